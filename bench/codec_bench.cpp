// SPDX-License-Identifier: MIT
// Throughput of the base64 codec and of the body line builder on 16 MB.
// Bytes per second are counted on the raw (unencoded) data in both
// directions of base64, and on the body text for the line builder.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "frame/channel.h"
#include "frame/settings.h"
#include "smtp/bodylines.h"
#include "vok32.h"

namespace {

constexpr int kSize = 16 << 20;

std::vector<char> RandomBytes(size_t n) {
    std::mt19937 rng(12345);
    std::vector<char> v(n);
    for (char& c : v) c = static_cast<char>(rng());
    return v;
}

void BM_EncodeBuffer(benchmark::State& state) {
    std::vector<char> in = RandomBytes(kSize);
    std::vector<char> out(4 * (kSize / 3 + 1) + 2 * (kSize / 57 + 1));
    for (auto _ : state) {
        int n = vokEncodeBuffer(in.data(), out.data(), kSize);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
}
BENCHMARK(BM_EncodeBuffer)->Unit(benchmark::kMillisecond);

void BM_DecodeBuffer(benchmark::State& state) {
    std::vector<char> raw = RandomBytes(kSize);
    std::vector<char> text(4 * (kSize / 3 + 1) + 2 * (kSize / 57 + 1));
    int len = vokEncodeBuffer(raw.data(), text.data(), kSize);
    std::vector<char> out(3 * (static_cast<size_t>(len) / 4) + 4);
    for (auto _ : state) {
        int n = vokDecodeBuffer(text.data(), out.data(), len);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
    state.counters["text_bytes"] = len;
}
BENCHMARK(BM_DecodeBuffer)->Unit(benchmark::kMillisecond);

// A body of ordinary text lines: words of printable ASCII, some lines long
// enough to wrap, a few bytes that need masking or escaping.
std::string BodyText() {
    std::mt19937 rng(777);
    std::string body;
    body.reserve(kSize + 200);
    while (body.size() < static_cast<size_t>(kSize)) {
        size_t words = 4 + rng() % 14;
        for (size_t w = 0; w < words; ++w) {
            size_t len = 1 + rng() % 9;
            for (size_t i = 0; i < len; ++i) body += static_cast<char>('a' + rng() % 26);
            body += (rng() % 50 == 0) ? '\xE9' : ' ';
        }
        body += "\r\n";
    }
    return body;
}

void RunLines(benchmark::State& state, int format) {
    const std::string body = BodyText();
    auto ch = std::make_unique<vok::Channel>();
    std::vector<char> out(vok::kLineChars + 2);
    int64_t lines = 0;
    for (auto _ : state) {
        vok::ResetTextReader(ch.get());
        ch->BodyFormat = format;
        ch->TextFromMemory = 1;
        ch->MessageText = body.c_str();
        while (vok::ReadTextLine(ch.get(), out.data()) >= 0) ++lines;
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(body.size()));
    state.counters["lines"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}

void BM_ReadTextLinePlain(benchmark::State& state) {
    RunLines(state, 0);
}
BENCHMARK(BM_ReadTextLinePlain)->Unit(benchmark::kMillisecond);

void BM_ReadTextLineQuoted(benchmark::State& state) {
    RunLines(state, 1);
}
BENCHMARK(BM_ReadTextLineQuoted)->Unit(benchmark::kMillisecond);

}  // namespace
