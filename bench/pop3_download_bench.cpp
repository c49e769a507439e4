// SPDX-License-Identifier: MIT
// Download and decode of one message with a large base64 attachment from a
// loopback POP3 server (a thread that generates the message as it sends
// it, so the server holds no copy). Reports throughput, the client's
// processor time and the process's peak memory, for two attachment sizes:
// the peak must not grow with the size of the message.
//
//   build-bench/bench/vok_bench --benchmark_filter=Pop3
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "frame/settings.h"
#include "platform/platform.h"
#include "platform/sockets.h"
#include "vok32.h"

namespace {

namespace plat = vok::plat;

constexpr size_t kRawPerLine = 57;  // 76 base64 characters

const char kHead[] =
    "From: Bob <bob@example.org>\r\n"
    "To: Ann <ann@example.com>\r\n"
    "Subject: Big attachment\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"bench-boundary\"\r\n"
    "\r\n"
    "--bench-boundary\r\n"
    "Content-Type: text/plain\r\n"
    "\r\n"
    "The data is attached.\r\n"
    "--bench-boundary\r\n"
    "Content-Type: application/octet-stream; name=\"data.bin\"\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "Content-Disposition: attachment; filename=\"data.bin\"\r\n"
    "\r\n";
const char kTail[] = "--bench-boundary--\r\n.\r\n";

void EncodeLine(const unsigned char* in, size_t n, std::string* out) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t i = 0; i < n; i += 3) {
        uint32_t v = static_cast<uint32_t>(in[i]) << 16;
        if (i + 1 < n) v |= static_cast<uint32_t>(in[i + 1]) << 8;
        if (i + 2 < n) v |= in[i + 2];
        *out += kAlphabet[v >> 18];
        *out += kAlphabet[(v >> 12) & 63];
        *out += i + 1 < n ? kAlphabet[(v >> 6) & 63] : '=';
        *out += i + 2 < n ? kAlphabet[v & 63] : '=';
    }
    *out += "\r\n";
}

size_t MessageSize(size_t rawBytes) {
    size_t full = rawBytes / kRawPerLine;
    size_t rest = rawBytes % kRawPerLine;
    size_t encoded = full * 78 + (rest ? (rest + 2) / 3 * 4 + 2 : 0);
    return strlen(kHead) + encoded + strlen(kTail) - 3;  // the "." line is not message
}

bool SendAll(plat::SocketHandle s, const std::string& data) {
    return plat::SocketSend(s, data.data(), static_cast<int>(data.size())) ==
           static_cast<int>(data.size());
}

std::string ReadCommand(plat::SocketHandle s) {
    std::string line;
    char c = 0;
    while (line.size() < 200) {
        if (plat::SocketPoll(s, plat::Readiness::Readable, 30000) != 1) return "";
        if (plat::SocketRecv(s, &c, 1) != 1) return "";
        line += c;
        if (c == '\n') break;
    }
    return line;
}

// Serves `sessions` sessions one after the other: login, then any number
// of "RETR n", each answered with the message generated afresh, until QUIT.
void Serve(plat::SocketHandle listener, size_t rawBytes, int sessions = 1) {
    for (int session = 0; session < sessions; ++session) {
        plat::SocketHandle s = plat::kNoSocket;
        if (plat::SocketAccept(listener, &s) != 0) return;
        SendAll(s, "+OK bench ready\r\n");
        for (;;) {
            std::string cmd = ReadCommand(s);
            if (cmd.empty() || cmd.compare(0, 4, "QUIT") == 0) break;
            if (cmd.compare(0, 4, "CAPA") == 0) {
                SendAll(s, "+OK\r\nUSER\r\n.\r\n");
                continue;
            }
            if (cmd.compare(0, 4, "RETR") != 0) {
                SendAll(s, "+OK\r\n");
                continue;
            }
            std::string out =
                "+OK " + std::to_string(MessageSize(rawBytes)) + " octets\r\n" + kHead;
            unsigned char raw[kRawPerLine];
            uint32_t x = 12345;
            for (size_t done = 0; done < rawBytes;) {
                size_t n = rawBytes - done < kRawPerLine ? rawBytes - done : kRawPerLine;
                for (size_t i = 0; i < n; ++i) {
                    x = x * 1103515245u + 12345u;
                    raw[i] = static_cast<unsigned char>(x >> 16);
                }
                EncodeLine(raw, n, &out);
                done += n;
                if (out.size() >= 64 * 1024) {
                    if (!SendAll(s, out)) break;
                    out.clear();
                }
            }
            out += kTail;
            SendAll(s, out);
        }
        SendAll(s, "+OK bye\r\n");
        plat::SocketClose(s, 1);
    }
}

// Peak resident memory of the process so far, in MB (Linux).
double PeakRssMb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            double kb = 0;
            status >> kb;
            return kb / 1024.0;
        }
        std::string rest;
        std::getline(status, rest);
    }
    return 0;
}

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void BM_Pop3DownloadAndDecode(benchmark::State& state) {
    const size_t rawBytes = static_cast<size_t>(state.range(0)) * 1024 * 1024;
    plat::SocketHandle listener = plat::kNoSocket;
    uint16_t port = 0;
    if (vokAttach(1) != 1 || plat::SocketListenLoopback(&listener, &port, 1) != 0) {
        state.SkipWithError("cannot set up");
        return;
    }
    std::thread server(Serve, listener, rawBytes, 1);
    auto dir = std::filesystem::temp_directory_path() / ("vok_bench_" + std::to_string(port));
    std::filesystem::create_directories(dir);
    vokIntegerParam(0, VOK_POP3_PORT, port);
    if (vokPop3Connect(0, "127.0.0.1", "ann", "secret") != 0) state.SkipWithError("login failed");

    double cpu = 0;
    for (auto _ : state) {
        double start = ThreadCpuSeconds();
        int rc = vokGetEmailFile(0, 1, "mail.txt", dir.string().c_str(), dir.string().c_str());
        cpu += ThreadCpuSeconds() - start;
        if (rc != 0) {
            state.SkipWithError("download failed");
            break;
        }
        // Saved files are never overwritten: clear the folder for the next
        // round.
        state.PauseTiming();
        std::error_code ec;
        if (std::filesystem::file_size(dir / "data.bin", ec) != rawBytes)
            state.SkipWithError("attachment size");
        std::filesystem::remove(dir / "data.bin", ec);
        state.ResumeTiming();
    }
    vokClose(0);
    server.join();
    plat::SocketClose(listener, 0);
    vokRelease();
    std::filesystem::remove_all(dir);

    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * MessageSize(rawBytes)));
    state.counters["client_cpu_s"] =
        benchmark::Counter(cpu / static_cast<double>(state.iterations()));
    state.counters["peak_rss_MB"] = PeakRssMb();
}
// The peer: curl's raw download of the same message (RETR, no decoding),
// in the same run.
void BM_CurlRawDownload(benchmark::State& state) {
    const size_t rawBytes = static_cast<size_t>(state.range(0)) * 1024 * 1024;
    plat::SocketHandle listener = plat::kNoSocket;
    uint16_t port = 0;
    if (std::system("curl --version > /dev/null 2>&1") != 0 ||
        plat::SocketListenLoopback(&listener, &port, 1) != 0) {
        state.SkipWithError("no curl");
        return;
    }
    const int rounds = 3;
    std::thread server(Serve, listener, rawBytes, rounds);
    auto out = std::filesystem::temp_directory_path() / ("vok_bench_curl_" + std::to_string(port));
    const std::string cmd = "curl -s --max-time 120 -u ann:secret -o " + out.string() +
                            " pop3://127.0.0.1:" + std::to_string(port) + "/1";
    int done = 0;
    for (auto _ : state) {
        if (done++ >= rounds || std::system(cmd.c_str()) != 0) {
            state.SkipWithError("curl failed");
            break;
        }
    }
    server.join();
    plat::SocketClose(listener, 0);
    std::error_code ec;
    std::filesystem::remove(out, ec);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * MessageSize(rawBytes)));
}
BENCHMARK(BM_CurlRawDownload)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK(BM_Pop3DownloadAndDecode)
    ->Arg(2)
    ->Arg(20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
