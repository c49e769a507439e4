// SPDX-License-Identifier: MIT
// Fuzz target for the MIME walker of downloads (codec/mime.cpp): the input
// is a message as the server sends it (after dot-unstuffing), so the message
// cases serve as seeds as they are. The input's length picks the options
// and how lines are cut into pieces; the message is split the way the
// download splits it (after each LF, long lines in pieces) and fed through
// a sink that checks what the walker tells it.
//
// Built with clang's -fsanitize=fuzzer (fuzz/CMakeLists.txt) it is a
// libFuzzer target, seeded from tests/data/mime with fuzz/mime.dict.
// Otherwise its own main runs the files named on the command line, or a
// bounded number of mutations of built-in messages.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "codec/mime.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "mime_fuzz: %s\n", what);
        abort();
    }
}

class CheckingSink final : public vok::MimeSink {
  public:
    int Text(const char* data, int n) override {
        Check(n >= 0 && (n == 0 || data), "text");
        text_ += static_cast<size_t>(n);
        return 0;
    }
    int PartBegin(const char* name) override {
        Check(!open_, "a part begins inside another");
        size_t len = strlen(name);
        Check(len > 0 && len <= vok::kMimeNameChars, "name length");
        // Every other part is refused, so both ways of going on are taken.
        if (++parts_ % 2 == 0) return 1;
        open_ = true;
        return 0;
    }
    int PartData(const char* data, int n) override {
        Check(open_, "data outside a part");
        Check(n > 0 && data, "part data");
        // Touch every byte so the sanitizer checks the whole range.
        unsigned sum = 0;
        for (int i = 0; i < n; ++i) sum += static_cast<unsigned char>(data[i]);
        bytes_ += sum & 1;
        return 0;
    }
    int PartEnd(bool) override {
        Check(open_, "end of no part");
        open_ = false;
        return 0;
    }
    bool Open() const { return open_; }

  private:
    bool open_ = false;
    int parts_ = 0;
    size_t text_ = 0;
    size_t bytes_ = 0;
};

// The walker is large (it holds a header field and the boundary stack):
// one, reused.
vok::MimeDecoder* Walker() {
    static std::unique_ptr<vok::MimeDecoder> d(new vok::MimeDecoder());
    return d.get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const unsigned options = static_cast<unsigned>(size % 16);
    const char* text = reinterpret_cast<const char*>(data);
    size_t n = size;
    // Pieces of at most 1,023 bytes like the download's, or short ones that
    // cut escapes and base64 groups of long lines.
    const size_t piece = (options & 0x0C) == 0 ? 7 : 1023;
    vok::MimeDecoder* d = Walker();
    CheckingSink sink;
    vok::MimeStart(d, (options & 1) != 0);
    size_t at = 0;
    while (at < n) {
        const char* lf = static_cast<const char*>(memchr(text + at, '\n', n - at));
        size_t end = lf ? static_cast<size_t>(lf - text) + 1 : n;
        for (size_t p = at; p < end; p += piece) {
            size_t len = end - p < piece ? end - p : piece;
            int rc = vok::MimeLine(d, &sink, text + p, static_cast<int>(len));
            Check(rc == 0, "the sink never fails here");
            Check(d->Stack.Depth >= 0 && d->Stack.Depth <= vok::kMimeDepth, "stack depth");
            Check(d->FieldLen >= 0 && d->FieldLen <= vok::kFieldChars, "field length");
            Check(d->CarryLen >= 0 && d->CarryLen <= static_cast<int>(sizeof d->Carry), "carry");
        }
        at = end;
    }
    vok::MimeFinish(d, &sink, (options & 2) != 0);
    Check(!sink.Open(), "a part left open");
    return 0;
}

#ifndef VOK_LIBFUZZER
namespace {

const char* const kSeeds[] = {
    "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
    "Content-Type: text/plain; name*0*=utf-8''a%41; name*1=\".txt\"\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n\r\nx=41=\r\ny=\r\n--b\r\n"
    "Content-Type: multipart/alternative;\r\n boundary=c\r\n\r\n--c\r\n"
    "Content-Disposition: attachment; filename=\"=?utf-8?b?YS5iaW4?=\"\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\nYWJj\r\nZA\r\n--c--\r\n--b--\r\n",
    "Content-Type: message/rfc822\r\n\r\nContent-Type: multipart/mixed; boundary=x\r\n\r\n"
    "--x\r\nContent-Disposition: inline\r\nContent-Transfer-Encoding: "
    "base64\r\n\r\nYQ\r\n--x--\r\n",
};

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && argv[1][0] != '-') {
        for (int i = 1; i < argc; ++i) {
            FILE* f = fopen(argv[i], "rb");
            if (!f) continue;
            std::vector<uint8_t> input;
            for (int c; (c = fgetc(f)) != EOF;) input.push_back(static_cast<uint8_t>(c));
            fclose(f);
            // Every option: the input grows by one byte at a time.
            for (int options = 0; options < 16; ++options) {
                LLVMFuzzerTestOneInput(input.data(), input.size());
                input.push_back('\n');
            }
        }
        return 0;
    }
    long runs = argc > 1 ? strtol(argv[1] + 1, nullptr, 10) : 20000;  // "-N"
    std::mt19937 rng(20261208u);
    static const char kSpecial[] = "=?\"\r\n-;:*'%\\ \tbB";
    for (long i = 0; i < runs; ++i) {
        std::string seed = kSeeds[rng() % (sizeof kSeeds / sizeof kSeeds[0])];
        std::vector<uint8_t> input(seed.begin(), seed.end());
        for (int m = static_cast<int>(rng() % 8); m > 0 && !input.empty(); --m) {
            size_t at = rng() % input.size();
            unsigned r = rng();
            uint8_t b = (r & 3) ? static_cast<uint8_t>(kSpecial[(r >> 2) % (sizeof kSpecial - 1)])
                                : static_cast<uint8_t>(r >> 8);
            if (r & 0x100)
                input[at] = b;
            else if (r & 0x200)
                input.insert(input.begin() + static_cast<long>(at), b);
            else
                input.erase(input.begin() + static_cast<long>(at));
        }
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    printf("mime_fuzz: %ld inputs\n", runs);
    return 0;
}
#endif
