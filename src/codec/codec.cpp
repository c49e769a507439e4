// SPDX-License-Identifier: MIT
// Base64 (RFC 2045 section 6.8) and quoted-printable decoding (RFC 2045
// section 6.7), one line at a time, on caller storage.
//
// The base64 routines are table driven: the encoder looks up two output
// characters per 12 input bits, the decoder ORs four pre-shifted 6-bit values
// per group. Neither has a branch per byte, which keeps both well above a
// gigabyte per second on one core.
#include "codec/codec.h"

#include <cstring>

#include "vok32.h"

namespace vok {

const char kHexUpper[17] = "0123456789ABCDEF";

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Two base64 characters for every 12-bit value.
struct PairTable {
    char c[4096 * 2];
    constexpr PairTable() : c() {
        for (int v = 0; v < 4096; ++v) {
            c[2 * v] = kAlphabet[v >> 6];
            c[2 * v + 1] = kAlphabet[v & 63];
        }
    }
};
constexpr PairTable kPairs;

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr bool kLittleEndian = true;
#else
constexpr bool kLittleEndian = false;
#endif

// Value of a base64 character shifted into place for each of the four
// positions of a group. Every byte outside the alphabet ('=' included)
// counts as 0: nothing is skipped and nothing is rejected.
//
// On a little-endian machine the bits go straight to where the three output
// bytes lie in memory (first byte lowest), so one 32-bit store writes a
// group; elsewhere they form the 24-bit value, first byte highest.
struct DecodeTable {
    uint32_t d[4][256];
    constexpr DecodeTable() : d() {
        for (int i = 0; i < 64; ++i) {
            auto c = static_cast<unsigned char>(kAlphabet[i]);
            auto v = static_cast<uint32_t>(i);
            if (kLittleEndian) {
                d[0][c] = v << 2;
                d[1][c] = (v >> 4) | ((v & 15) << 12);
                d[2][c] = ((v >> 2) << 8) | ((v & 3) << 22);
                d[3][c] = v << 16;
            } else {
                d[0][c] = v << 18;
                d[1][c] = v << 12;
                d[2][c] = v << 6;
                d[3][c] = v;
            }
        }
    }
};
constexpr DecodeTable kDecode;

inline void PutGroup(char* out, uint32_t v) {
    memcpy(out, kPairs.c + 2 * (v >> 12), 2);
    memcpy(out + 2, kPairs.c + 2 * (v & 0xFFF), 2);
}

// Upper-case hex only: RFC 2045 section 6.7 rule (1) makes the encoder use
// upper case, and we decode the lower-case letters as 0 like any other
// stray character.
inline int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

}  // namespace

int EncodeBase64Line(const unsigned char* input, char* output, int n) {
    if (!input || !output || n <= 0) return 0;
    const unsigned char* in = input;
    char* out = output;
    int groups = n / 3;
    for (; groups >= 2; groups -= 2) {  // six bytes, eight characters
        uint64_t v = (uint64_t{in[0]} << 40) | (uint64_t{in[1]} << 32) | (uint64_t{in[2]} << 24) |
                     (uint64_t{in[3]} << 16) | (uint64_t{in[4]} << 8) | in[5];
        memcpy(out, kPairs.c + 2 * ((v >> 36) & 0xFFF), 2);
        memcpy(out + 2, kPairs.c + 2 * ((v >> 24) & 0xFFF), 2);
        memcpy(out + 4, kPairs.c + 2 * ((v >> 12) & 0xFFF), 2);
        memcpy(out + 6, kPairs.c + 2 * (v & 0xFFF), 2);
        in += 6;
        out += 8;
    }
    if (groups) {
        uint32_t v = (uint32_t{in[0]} << 16) | (uint32_t{in[1]} << 8) | in[2];
        PutGroup(out, v);
        in += 3;
        out += 4;
    }
    switch (n % 3) {
        case 1: {
            uint32_t v = uint32_t{in[0]} << 16;
            PutGroup(out, v);
            out[2] = '=';
            out[3] = '=';
            out += 4;
            break;
        }
        case 2: {
            uint32_t v = (uint32_t{in[0]} << 16) | (uint32_t{in[1]} << 8);
            PutGroup(out, v);
            out[3] = '=';
            out += 4;
            break;
        }
        default:
            break;
    }
    out[0] = '\r';
    out[1] = '\n';
    return static_cast<int>(out - output);
}

int DecodeBase64Line(const char* text, unsigned char* output, int len) {
    if (!text || !output || len <= 2) return 0;
    const int groups = len / 4;
    auto in = reinterpret_cast<const unsigned char*>(text);
    unsigned char* out = output;
    for (int g = 0; g < groups; ++g) {
        uint32_t v =
            kDecode.d[0][in[0]] | kDecode.d[1][in[1]] | kDecode.d[2][in[2]] | kDecode.d[3][in[3]];
        if (kLittleEndian) {
            // The fourth byte lands on the next group, or on the bytes
            // cleared below: the output area always has room for it.
            memcpy(out, &v, 4);
        } else {
            out[0] = static_cast<unsigned char>(v >> 16);
            out[1] = static_cast<unsigned char>(v >> 8);
            out[2] = static_cast<unsigned char>(v);
        }
        in += 4;
        out += 3;
    }
    // The four bytes behind the data are cleared, so a caller that treats
    // the output as text finds it terminated.
    memset(out, 0, 4);
    if (groups == 0) return 0;
    int result = 3 * groups;
    if (text[4 * groups - 1] == '=') --result;
    if (text[4 * groups - 2] == '=') --result;
    return result;
}

int DecodeQuotedLine(const char* text, char* output) {
    if (!output) return 0;
    if (!text) {
        output[0] = '\0';
        return 0;
    }
    // Every step consumes at least as many input characters as it writes,
    // so the output never outgrows strlen(text) + 1.
    int in = 0;
    int out = 0;
    for (;;) {
        char c = text[in];
        if (c != '=') {
            output[out] = c;
            if (c == '\0') return out;
            ++out;
            ++in;
            continue;
        }
        char next = text[in + 1];
        if (next == '\r') break;  // soft line break: the rest goes
        if (next == '"' || next == '?') {
            // Keep the =? and ?= of an encoded word (RFC 2047) and an '='
            // before a quoted parameter value.
            output[out++] = '=';
            ++in;
            continue;
        }
        if (next == '\0' || text[in + 2] == '\0') break;  // truncated escape
        output[out++] = static_cast<char>((HexValue(static_cast<unsigned char>(next)) << 4) |
                                          HexValue(static_cast<unsigned char>(text[in + 2])));
        in += 3;
    }
    output[out] = '\0';
    return out;
}

}  // namespace vok

using vok::DecodeBase64Line;
using vok::EncodeBase64Line;

extern "C" VOK_EXPORT int VOKAPI vokEncodeBuffer(const char* input, char* output, int length) {
    if (!input || !output || length <= 0) return 0;
    auto in = reinterpret_cast<const unsigned char*>(input);
    char* out = output;
    int total = 0;
    while (length > 0) {
        int take = length < 57 ? length : 57;
        int written = EncodeBase64Line(in, out, take) + 2;
        out += written;
        total += written;
        in += take;
        length -= take;
    }
    return total;
}

extern "C" VOK_EXPORT int VOKAPI vokDecodeBuffer(const char* text, char* output, int length) {
    if (!text || !output || length <= 0) return 0;
    auto out = reinterpret_cast<unsigned char*>(output);
    int total = 0;
    while (length > 0) {
        // The line runs to the first CR. A NUL before any CR ends the search,
        // and the line is then everything that is left.
        int line = length;
        if (const void* cr = memchr(text, '\r', static_cast<size_t>(length))) {
            line = static_cast<int>(static_cast<const char*>(cr) - text);
            if (memchr(text, '\0', static_cast<size_t>(line))) line = length;
        }
        int got = DecodeBase64Line(text, out, line);
        out += got;
        total += got;
        text += line;
        length -= line;
        while (length > 0 && (*text == '\r' || *text == '\n')) {
            ++text;
            --length;
        }
    }
    return total;
}
