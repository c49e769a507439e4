// SPDX-License-Identifier: MIT
// MD5 as RFC 1321 defines it, HMAC-MD5 after RFC 2104, and the
// "user hexdigest" answer the logins built on them send.
#include "codec/md5.h"

#include <cstring>

#include "codec/text.h"

namespace vok {

namespace {

inline uint32_t Rotl(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline uint32_t LoadLe(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

inline void StoreLe(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// The sine table T[i] = floor(2^32 * |sin(i + 1)|) of RFC 1321 section 3.4.
constexpr uint32_t kT[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

void Transform(uint32_t state[4], const uint8_t block[64]) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLe(block + 4 * i);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int k;
        switch (i >> 4) {
            case 0:
                f = (b & c) | (~b & d);
                k = i;
                break;
            case 1:
                f = (b & d) | (c & ~d);
                k = (5 * i + 1) & 15;
                break;
            case 2:
                f = b ^ c ^ d;
                k = (3 * i + 5) & 15;
                break;
            default:
                f = c ^ (b | ~d);
                k = (7 * i) & 15;
                break;
        }
        uint32_t t = d;
        d = c;
        c = b;
        b = b + Rotl(a + f + x[k] + kT[i], kShift[i >> 4][i & 3]);
        a = t;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, count_{0, 0}, buffer_{} {}

void Md5::Update(const void* data, size_t length) {
    auto in = static_cast<const uint8_t*>(data);
    size_t used = (count_[0] >> 3) & 63;
    // The bit count is 64 bits wide, held low word first.
    uint64_t bits = (uint64_t{count_[1]} << 32) | count_[0];
    bits += static_cast<uint64_t>(length) << 3;
    count_[0] = static_cast<uint32_t>(bits);
    count_[1] = static_cast<uint32_t>(bits >> 32);

    if (used) {
        size_t take = 64 - used;
        if (length < take) {
            memcpy(buffer_ + used, in, length);
            return;
        }
        memcpy(buffer_ + used, in, take);
        Transform(state_, buffer_);
        in += take;
        length -= take;
    }
    for (; length >= 64; in += 64, length -= 64) Transform(state_, in);
    if (length) memcpy(buffer_, in, length);
}

void Md5::Final(uint8_t digest[16]) {
    uint8_t length[8];
    StoreLe(length, count_[0]);
    StoreLe(length + 4, count_[1]);
    // Pad with 0x80 and zeros to 56 bytes modulo 64, then the bit count.
    static const uint8_t kPadding[64] = {0x80};
    size_t used = (count_[0] >> 3) & 63;
    size_t pad = used < 56 ? 56 - used : 120 - used;
    Update(kPadding, pad);
    Update(length, 8);
    for (int i = 0; i < 4; ++i) StoreLe(digest + 4 * i, state_[i]);
    *this = Md5();  // nothing of the input stays behind
}

void HmacMd5(const char* text, const char* key, uint8_t digest[16]) {
    if (!text) text = "";
    if (!key) key = "";
    // A challenge ends at its CR: the server's line end is not part of it.
    const size_t textLength = LengthToCr(text, SIZE_MAX);
    size_t keyLength = strlen(key);

    uint8_t keyDigest[16];
    const uint8_t* keyBytes = reinterpret_cast<const uint8_t*>(key);
    if (keyLength > 64) {  // RFC 2104 section 2: longer keys are hashed first
        Md5 k;
        k.Update(key, keyLength);
        k.Final(keyDigest);
        keyBytes = keyDigest;
        keyLength = 16;
    }

    uint8_t inner[64] = {};
    uint8_t outer[64] = {};
    memcpy(inner, keyBytes, keyLength);
    memcpy(outer, keyBytes, keyLength);
    for (int i = 0; i < 64; ++i) {
        inner[i] ^= 0x36;
        outer[i] ^= 0x5c;
    }

    uint8_t innerDigest[16];
    Md5 md;
    md.Update(inner, 64);
    md.Update(text, textLength);
    md.Final(innerDigest);
    md.Update(outer, 64);
    md.Update(innerDigest, 16);
    md.Final(digest);
}

void DigestToHex(const uint8_t digest[16], char* out) {
    static const char kDigits[] = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        out[2 * i] = kDigits[digest[i] >> 4];
        out[2 * i + 1] = kDigits[digest[i] & 15];
    }
    out[32] = '\0';
}

void FormatDigestAnswer(const char* user, int userMax, const uint8_t digest[16], char* out) {
    char hex[33];
    DigestToHex(digest, hex);
    int n = CopyText(out, user ? user : "", userMax);
    out[n++] = ' ';
    CopyText(out + n, hex, 32);
}

}  // namespace vok
