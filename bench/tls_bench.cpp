// SPDX-License-Identifier: MIT
// TLS beside plain TCP: a 20 MiB attachment sent over STARTTLS and a 20 MiB
// attachment downloaded over implicit TLS, each with its plain twin against
// the same sink (vok_mail_sink, its own process), so the ratio shows what
// TLS costs. tls_compare.sh puts curl beside these on the same sinks.
//
//   build-bench/bench/vok_bench --benchmark_filter=Tls
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "frame/settings.h"
#include "platform/platform.h"
#include "vok32.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Work() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / "vok_tls_bench";
        fs::create_directories(d);
        std::system(
            ("'" VOK_TEST_SERVERS "/tls_certs.sh' '" + (d / "certs").string() + "'").c_str());
        return d;
    }();
    return dir;
}

// A sink for `connections` sessions; the port once it listens.
int StartSink(const char* protocol, const char* tls, int connections) {
    fs::path portFile = Work() / (std::string(protocol) + "-" + tls + ".port");
    fs::remove(portFile);
    std::string cmd = std::string("'" VOK_MAIL_SINK "' ") + protocol + " " + tls + " '" +
                      (Work() / "certs").string() + "' 20 '" + portFile.string() + "' " +
                      std::to_string(connections) + " &";
    std::system(cmd.c_str());
    for (int i = 0; i < 300 && !fs::exists(portFile); ++i) vok::plat::SleepMs(20);
    std::ifstream in(portFile);
    int port = 0;
    in >> port;
    return port;
}

// range(0): the TLS mode (0 plain, 1 STARTTLS).
void BM_TlsSmtpSend20MiB(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    const fs::path file = Work() / "data.bin";
    if (!fs::exists(file)) {
        std::ofstream out(file, std::ios::binary);
        std::string block(1 << 20, '\0');
        uint32_t x = 12345;
        for (int mb = 0; mb < 20; ++mb) {
            for (char& c : block) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 16);
            out << block;
        }
    }
    int port = StartSink("smtp", mode ? "starttls" : "none", 1);
    vok::Settings saved = vok::LibrarySettings;
    vok::LibrarySettings.MinResponseWait = 0;
    vokAttach(1);
    vokIntegerParam(0, VOK_SMTP_PORT, port);
    vokIntegerParam(0, VOK_TLS_MODE, mode);
    vokStringParam(0, VOK_TLS_CA_FILE, (Work() / "certs" / "ca.pem").string().c_str());
    if (vokSmtpConnect(0, "localhost", "<ann@example.com>", nullptr) != 0)
        state.SkipWithError("connect");
    for (auto _ : state) {
        if (vokSendEmail(0, "<bob@example.org>", nullptr, nullptr, "Data", "See attached.",
                         file.string().c_str()) != 0) {
            state.SkipWithError("send");
            break;
        }
    }
    vokClose(0);
    vokRelease();
    vok::LibrarySettings = saved;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (20 << 20));
}
BENCHMARK(BM_TlsSmtpSend20MiB)
    ->ArgName("TlsMode")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// range(0): the TLS mode (0 plain, 2 implicit).
void BM_TlsPop3Download20MiB(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    int port = StartSink("pop3", mode ? "implicit" : "none", 1);
    vok::Settings saved = vok::LibrarySettings;
    vok::LibrarySettings.MinResponseWait = 0;
    vokAttach(1);
    vokIntegerParam(0, VOK_POP3_PORT, port);
    vokIntegerParam(0, VOK_TLS_MODE, mode);
    vokStringParam(0, VOK_TLS_CA_FILE, (Work() / "certs" / "ca.pem").string().c_str());
    fs::path out = Work() / ("pop3-" + std::to_string(mode));
    fs::create_directories(out);
    if (vokPop3Connect(0, "localhost", "ann", "secret") != 0) state.SkipWithError("login");
    for (auto _ : state) {
        if (vokGetEmailFile(0, 1, "mail.txt", out.string().c_str(), out.string().c_str()) != 0) {
            state.SkipWithError("download");
            break;
        }
    }
    if (fs::file_size(out / "data.bin") != (20u << 20)) state.SkipWithError("attachment size");
    vokClose(0);
    vokRelease();
    vok::LibrarySettings = saved;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (20 << 20));
}
BENCHMARK(BM_TlsPop3Download20MiB)
    ->ArgName("TlsMode")
    ->Arg(0)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
