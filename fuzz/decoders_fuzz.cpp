// SPDX-License-Identifier: MIT
// Fuzz harness for the decoders and line builders that see text from the
// network or from the application: base64 and quoted-printable decoding,
// line extraction and the body line builder.
//
// Built with clang and -fsanitize=fuzzer (VOK_FUZZ_LIBFUZZER) it is a
// libFuzzer target. Otherwise it has its own main that feeds a bounded number
// of pseudo-random inputs from a fixed seed (or the files named on the
// command line), so it runs as an ordinary test under the sanitizers.
//
// Every output area is allocated at exactly the size the routine promises to
// stay within, so the address sanitizer reports any byte written past it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "codec/codec.h"
#include "frame/channel.h"
#include "frame/settings.h"
#include "smtp/bodylines.h"
#include "vok32.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "decoders_fuzz: %s\n", what);
        abort();
    }
}

void FuzzBase64(const uint8_t* data, size_t size) {
    const int n = static_cast<int>(size);
    const size_t bound = 3 * (size / 4) + 4;
    std::unique_ptr<char[]> out(new char[bound]);
    int got = vokDecodeBuffer(reinterpret_cast<const char*>(data), out.get(), n);
    Check(got >= 0 && got <= 3 * (n / 4), "vokDecodeBuffer result out of range");

    std::unique_ptr<unsigned char[]> line(new unsigned char[bound]);
    got = vok::DecodeBase64Line(reinterpret_cast<const char*>(data), line.get(), n);
    Check(got >= 0 && got <= 3 * (n / 4), "DecodeBase64Line result out of range");

    // Whatever bytes come in, encoding then decoding gives them back.
    const size_t encodedSize = 4 * ((size + 2) / 3) + 2 * ((size + 56) / 57);
    std::unique_ptr<char[]> encoded(new char[encodedSize ? encodedSize : 1]);
    int len = vokEncodeBuffer(reinterpret_cast<const char*>(data), encoded.get(), n);
    Check(static_cast<size_t>(len) == encodedSize, "vokEncodeBuffer length");
    std::unique_ptr<char[]> back(new char[3 * (encodedSize / 4) + 4]);
    got = vokDecodeBuffer(encoded.get(), back.get(), len);
    Check(got == n && (size == 0 || memcmp(back.get(), data, size) == 0), "base64 round trip");
}

void FuzzQuoted(const std::string& text) {
    const size_t length = strlen(text.c_str());
    std::unique_ptr<char[]> out(new char[length + 1]);
    int got = vok::DecodeQuotedLine(text.c_str(), out.get());
    Check(got >= 0 && static_cast<size_t>(got) <= length, "DecodeQuotedLine result");
    Check(out[got] == '\0', "DecodeQuotedLine terminator");
}

void FuzzExtract(const std::string& text, const uint8_t* data, size_t size) {
    const int bufferSize = size ? data[0] % 40 : 0;
    std::unique_ptr<char[]> buffer(new char[bufferSize ? bufferSize : 1]);
    const std::string search = text.substr(0, size > 1 ? data[1] % 6 : 0);
    int got = vokExtractText(text.c_str(), search.c_str(), buffer.get(), bufferSize);
    Check(got >= 0 && (got == 0 || got < bufferSize), "vokExtractText result");
    if (got) Check(strlen(buffer.get()) == static_cast<size_t>(got), "vokExtractText length");
    for (int number = -1; number < 5; ++number) {
        got = vokExtractLine(text.c_str(), number, buffer.get(), bufferSize);
        Check(got >= 0 && (got == 0 || got < bufferSize), "vokExtractLine result");
    }
    if (bufferSize > 0) {
        memset(buffer.get(), 'x', static_cast<size_t>(bufferSize));
        vok::CopyOneLine(text.c_str(), buffer.get(), bufferSize);
        Check(memchr(buffer.get(), 0, static_cast<size_t>(bufferSize)) != nullptr, "unterminated");
    }
}

void FuzzBodyLines(const std::string& text, const uint8_t* data, size_t size) {
    static std::unique_ptr<vok::Channel> ch(new vok::Channel());
    vok::Settings saved = vok::LibrarySettings;
    const int formats[] = {0, 1, 2, 4};
    const int limits[] = {78, 1, 0, -40, 200, 5000};
    ch->BodyFormat = size ? formats[data[0] % 4] : 0;
    int hard = size > 1 ? limits[data[1] % 6] : 78;
    vok::LibrarySettings.LineHard = hard;
    vok::LibrarySettings.LineSoft = hard - 18;
    vok::LibrarySettings.Pass8Bit = size > 2 ? data[2] & 1 : 0;

    vok::ResetTextReader(ch.get());
    ch->TextFromMemory = 1;
    ch->MessageText = text.c_str();
    std::unique_ptr<char[]> out(new char[vok::kLineChars + 2]);
    for (size_t lines = 0; lines <= 2 * text.size() + 2; ++lines) {
        int n = vok::ReadTextLine(ch.get(), out.get());
        if (n < 0) break;
        Check(n <= 999 && strlen(out.get()) == static_cast<size_t>(n), "ReadTextLine length");
        Check(lines < 2 * text.size() + 2, "ReadTextLine never ends");
    }
    vok::LibrarySettings = saved;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    FuzzBase64(data, size);
    const std::string text(reinterpret_cast<const char*>(data), size);  // NUL-terminated copy
    FuzzQuoted(text);
    FuzzExtract(text, data, size);
    FuzzBodyLines(text, data, size);
    return 0;
}

#ifndef VOK_LIBFUZZER
namespace {

// Inputs built from the characters the decoders treat specially, with some
// random bytes mixed in.
std::vector<uint8_t> RandomInput(std::mt19937& rng) {
    static const char kSpecial[] = "=?\"\r\n.AZaz09+/ \t";
    std::vector<uint8_t> input(rng() % 300);
    for (uint8_t& b : input) {
        unsigned r = rng();
        b = (r & 3) ? static_cast<uint8_t>(kSpecial[(r >> 2) % (sizeof kSpecial - 1)])
                    : static_cast<uint8_t>(r >> 8);
    }
    return input;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && argv[1][0] != '-') {
        for (int i = 1; i < argc; ++i) {
            FILE* f = fopen(argv[i], "rb");
            if (!f) continue;
            std::vector<uint8_t> input;
            for (int c; (c = fgetc(f)) != EOF;) input.push_back(static_cast<uint8_t>(c));
            fclose(f);
            LLVMFuzzerTestOneInput(input.data(), input.size());
        }
        return 0;
    }
    long runs = argc > 1 ? strtol(argv[1] + 1, nullptr, 10) : 20000;  // "-N"
    std::mt19937 rng(20240611u);
    for (long i = 0; i < runs; ++i) {
        std::vector<uint8_t> input = RandomInput(rng);
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    printf("decoders_fuzz: %ld inputs\n", runs);
    return 0;
}
#endif
