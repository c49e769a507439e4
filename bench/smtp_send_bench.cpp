// SPDX-License-Identifier: MIT
// Sending through a loopback sink: one message with a 20 MB attachment, and
// 200 small messages over one session. The sink is a thread that answers
// every command and discards the data. Each case runs with the default
// MinResponseWait (25 ms) and with 0. Reports the MIME throughput, messages
// per second and the processor time of the sending thread.
//
//   build-bench/bench/vok_bench --benchmark_filter=Smtp
#include <benchmark/benchmark.h>

#include <atomic>
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

// Answers an SMTP client until QUIT; counts the bytes of message data.
class Sink {
  public:
    Sink() {
        plat::SocketListenLoopback(&listener_, &port_, 1);
        thread_ = std::thread([this] { Serve(); });
    }
    ~Sink() {
        thread_.join();
        plat::SocketClose(listener_, 0);
    }
    uint16_t Port() const { return port_; }
    int64_t DataBytes() const { return data_.load(); }

  private:
    bool Reply(const char* text) {
        int n = static_cast<int>(strlen(text));
        return plat::SocketSend(conn_, text, n) == n;
    }

    void Serve() {
        if (plat::SocketAccept(listener_, &conn_) != 0) return;
        Reply("220 sink ready\r\n");
        std::string pending;  // an unfinished command line, or the tail of the data
        bool inData = false;
        char buf[65536];
        for (;;) {
            if (plat::SocketPoll(conn_, plat::Readiness::Readable, 60000) != 1) break;
            int n = plat::SocketRecv(conn_, buf, sizeof buf);
            if (n <= 0) break;
            pending.append(buf, static_cast<size_t>(n));
            bool quit = false;
            while (!quit) {
                if (inData) {
                    size_t end = pending.find("\r\n.\r\n");
                    if (end == std::string::npos) {
                        // Keep only what may begin the terminator.
                        size_t keep = pending.size() < 4 ? pending.size() : 4;
                        data_ += static_cast<int64_t>(pending.size() - keep);
                        pending.erase(0, pending.size() - keep);
                        break;
                    }
                    data_ += static_cast<int64_t>(end + 2);
                    pending.erase(0, end + 5);
                    inData = false;
                    Reply("250 ok\r\n");
                    continue;
                }
                size_t eol = pending.find("\r\n");
                if (eol == std::string::npos) break;
                std::string cmd = pending.substr(0, 4);
                pending.erase(0, eol + 2);
                if (cmd == "DATA") {
                    inData = true;
                    Reply("354 go on\r\n");
                } else if (cmd == "QUIT") {
                    Reply("221 bye\r\n");
                    quit = true;
                } else {
                    Reply("250 ok\r\n");
                }
            }
            if (quit) break;
        }
        plat::SocketClose(conn_, 1);
    }

    plat::SocketHandle listener_ = plat::kNoSocket;
    plat::SocketHandle conn_ = plat::kNoSocket;
    uint16_t port_ = 0;
    std::atomic<int64_t> data_{0};
    std::thread thread_;
};

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Attaches, applies the response wait (-1 = the default), opens a session.
bool Open(const Sink& sink, int minWait, vok::Settings* saved) {
    *saved = vok::LibrarySettings;
    if (minWait >= 0) vok::LibrarySettings.MinResponseWait = minWait;
    if (vokAttach(1) != 1) return false;
    vokIntegerParam(0, VOK_SMTP_PORT, sink.Port());
    return vokSmtpConnect(0, "127.0.0.1", "Ann <ann@example.com>", nullptr) == 0;
}

void Close(const vok::Settings& saved) {
    vokClose(0);
    vokRelease();
    vok::LibrarySettings = saved;
}

void BM_SmtpSendAttachment(benchmark::State& state) {
    const size_t rawBytes = 20u * 1024 * 1024;
    auto dir = std::filesystem::temp_directory_path() / "vok_smtp_bench";
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "data.bin").string();
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        std::string block(1 << 20, '\0');
        uint32_t x = 12345;
        for (size_t done = 0; done < rawBytes; done += block.size()) {
            for (char& c : block) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 16);
            out << block;
        }
    }
    Sink sink;
    vok::Settings saved;
    if (!Open(sink, static_cast<int>(state.range(0)), &saved)) state.SkipWithError("connect");
    double cpu = 0;
    for (auto _ : state) {
        double start = ThreadCpuSeconds();
        int rc = vokSendEmail(0, "<bob@example.org>", nullptr, nullptr, "Data", "See attached.",
                              file.c_str());
        cpu += ThreadCpuSeconds() - start;
        if (rc != 0) {
            state.SkipWithError("send failed");
            break;
        }
    }
    Close(saved);
    std::filesystem::remove_all(dir);
    state.SetBytesProcessed(sink.DataBytes());
    state.counters["client_cpu_s"] =
        benchmark::Counter(cpu / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_SmtpSendAttachment)
    ->ArgName("MinResponseWait")
    ->Arg(-1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

void BM_SmtpSmallMessages(benchmark::State& state) {
    const int kMessages = 200;
    Sink sink;
    vok::Settings saved;
    if (!Open(sink, static_cast<int>(state.range(0)), &saved)) state.SkipWithError("connect");
    double cpu = 0;
    for (auto _ : state) {
        double start = ThreadCpuSeconds();
        for (int i = 0; i < kMessages; ++i) {
            if (vokSendEmail(0, "Bob <bob@example.org>", nullptr, nullptr, "Short note",
                             "Hello Bob,\r\nthe meeting is at ten.\r\nAnn", nullptr) != 0) {
                state.SkipWithError("send failed");
                break;
            }
        }
        cpu += ThreadCpuSeconds() - start;
    }
    Close(saved);
    state.SetBytesProcessed(sink.DataBytes());
    state.counters["msgs_per_s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * kMessages), benchmark::Counter::kIsRate);
    state.counters["client_cpu_s"] =
        benchmark::Counter(cpu / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_SmtpSmallMessages)
    ->ArgName("MinResponseWait")
    ->Arg(-1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
