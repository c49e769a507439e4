// SPDX-License-Identifier: MIT
// The VOK32 side of bench/peers.py: one workload per run, through the public
// interface only, against a server the driver started. Prints one line of
// JSON: the wall and processor time of the timed part (the process's start
// and the setup are left out), or {"na": "..."} when this build lacks a
// setting asked for (an integer parameter the library does not know).
//
//   vok_peer_client [--param INDEX=VALUE ...] WORKLOAD ARGS...
//
//   smtp PORT MESSAGES AUTH            one session: connect, EHLO (AUTH with
//                                      ann/secret when AUTH is 1), MESSAGES
//                                      small messages, QUIT
//   attach PORT FILE TICK_MS CAP_S     one message with FILE attached; with
//                                      TICK_MS > 0 AutoCall 0 and one vokDriver
//                                      call per tick, given up after CAP_S
//   channels PORT CHANNELS MESSAGES    CHANNELS sessions at once from this
//                                      thread (AutoCall 0), MESSAGES each
//   fetch PORT DIR                     POP3 login, message 1 downloaded and
//                                      decoded into DIR, QUIT
//   list PORT                          POP3 login, every message's size (LIST
//                                      n) and every unique id (UIDL), QUIT
//   run COMMAND ARGS...                runs any program (a peer too) and adds
//                                      a line with its wall and processor time
//                                      and its peak memory
//
// --param sets an integer parameter on every channel after vokAttach (1 is
// MinResponseWait, 13 PollSleep, ...).
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "vok32.h"

namespace {

constexpr const char* kFrom = "Ann <ann@example.com>";
constexpr const char* kTo = "Bob <bob@example.org>";
constexpr const char* kSubject = "Short note";
constexpr const char* kBody = "Hello Bob,\r\nthe meeting is at ten.\r\nAnn";

// Statistics a newer library may offer for waiting on many channels: what
// the channel waits for, and how long until its next step is due.
constexpr int kStatWaitFor = 32;
constexpr int kStatDueIn = 33;

double Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double CpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    auto seconds = [](const timeval& tv) {
        return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
    };
    return seconds(ru.ru_utime) + seconds(ru.ru_stime);
}

void SleepMs(double ms) {
    if (ms <= 0) return;
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms * 1e6) % 1000000000L};
    nanosleep(&ts, nullptr);
}

struct Timer {
    double wall = Now();
    double cpu = CpuSeconds();
};

int Report(const Timer& t, const std::string& extra = "") {
    std::printf("{\"wall\": %.6f, \"cpu\": %.6f%s%s}\n", Now() - t.wall, CpuSeconds() - t.cpu,
                extra.empty() ? "" : ", ", extra.c_str());
    return 0;
}

int Fail(const char* what, int rc) {
    char text[1300] = "";
    vokErrorText(0, rc, text, sizeof text);
    for (char& c : text)
        if (c == '"' || c == '\\' || c == '\r' || c == '\n') c = ' ';
    std::printf("{\"error\": \"%s: %d %s\"}\n", what, rc, text);
    return 1;
}

std::vector<std::pair<int, int>> params;

// Attaches and applies the --param settings; false (and a report) when the
// library does not know one of them.
bool Attach(int channels) {
    if (vokAttach(channels) != 1) {
        Fail("vokAttach", -1);
        return false;
    }
    for (int ch = 0; ch < channels; ++ch) {
        for (const auto& p : params) {
            if (vokIntegerParam(ch, p.first, p.second) == -1) {
                std::printf("{\"na\": \"parameter %d unknown\"}\n", p.first);
                return false;
            }
        }
    }
    return true;
}

int Smtp(int port, int messages, bool auth) {
    if (!Attach(1)) return 3;
    vokIntegerParam(0, VOK_SMTP_PORT, port);
    if (auth) {
        vokIntegerParam(0, VOK_ESMTP_MODE, 1);
        vokStringParam(0, VOK_USER_NAME, "ann");
        vokStringParam(0, VOK_SMTP_PASSWORD, "secret");
    }
    Timer t;
    int rc = vokSmtpConnect(0, "127.0.0.1", kFrom, nullptr);
    if (rc != 0) return Fail("connect", rc);
    for (int i = 0; i < messages; ++i) {
        rc = vokSendEmail(0, kTo, nullptr, nullptr, kSubject, kBody, nullptr);
        if (rc != 0) return Fail("send", rc);
    }
    rc = vokClose(0);
    if (rc != 0) return Fail("close", rc);
    Report(t);
    vokRelease();
    return 0;
}

int SendAttachment(int port, const char* file, int tickMs, int capSeconds) {
    if (!Attach(1)) return 3;
    vokIntegerParam(0, VOK_SMTP_PORT, port);
    Timer t;
    int rc = vokSmtpConnect(0, "127.0.0.1", kFrom, nullptr);
    if (rc != 0) return Fail("connect", rc);
    if (tickMs <= 0) {
        rc = vokSendEmail(0, kTo, nullptr, nullptr, "Data", "See attached.", file);
        if (rc != 0) return Fail("send", rc);
        vokClose(0);
        Report(t);
        vokRelease();
        return 0;
    }
    // A program with a timer: one step per tick, as a window's timer message
    // would run it.
    vokIntegerParam(0, VOK_AUTO_CALL, 0);
    rc = vokSendEmail(0, kTo, nullptr, nullptr, "Data", "See attached.", file);
    if (rc < 0) return Fail("send", rc);
    double due = Now();
    const double cap = due + capSeconds;
    long ticks = 0;
    for (;;) {
        due += tickMs / 1000.0;
        SleepMs((due - Now()) * 1000.0);
        ++ticks;
        rc = vokDriver(0);
        if (rc <= 0) break;
        if (Now() > cap) {
            // Not finished in time: the figure is the time so far, scaled by
            // the part still to send.
            double read = vokStatistics(0, VOK_STAT_ATTACH_BYTES_READ);
            double size = 1;
            if (FILE* f = std::fopen(file, "rb")) {
                std::fseek(f, 0, SEEK_END);
                size = static_cast<double>(std::ftell(f));
                std::fclose(f);
            }
            vokAbort(0);
            char extra[200];
            std::snprintf(extra, sizeof extra,
                          "\"capped\": true, \"ticks\": %ld, \"done_fraction\": %.6f", ticks,
                          read / (size > 0 ? size : 1));
            Report(t, extra);
            vokRelease();
            return 0;
        }
    }
    if (rc < 0) return Fail("driver", rc);
    vokIntegerParam(0, VOK_AUTO_CALL, 1);
    vokClose(0);
    Report(t, "\"ticks\": " + std::to_string(ticks));
    vokRelease();
    return 0;
}

// Many sessions from one thread: every channel is stepped in turn; when a
// whole round moved nothing, the thread sleeps in poll() on the channels'
// sockets until one has data, for at most what the library says is the
// next due step (statistic 33 when it has one) or else 1 ms. When the
// poll saw data and the next round still moved nothing, the library is
// holding the reply back: the thread sleeps that long instead.
int Channels(int port, int channels, int messages) {
    if (channels > VOK_MAX_CHANNELS) channels = VOK_MAX_CHANNELS;
    if (!Attach(channels)) return 3;
    const bool dueKnown =
        vokStatistics(0, kStatWaitFor) != -1 && vokStatistics(0, kStatDueIn) != -1;
    struct State {
        int sent = -1;  // messages sent; -1 while connecting, messages + 1 once closed
        int last = -1;  // the driver's last result
        bool done = false;
    };
    std::vector<State> state(static_cast<size_t>(channels));
    Timer t;
    for (int ch = 0; ch < channels; ++ch) {
        vokIntegerParam(ch, VOK_SMTP_PORT, port);
        vokIntegerParam(ch, VOK_AUTO_CALL, 0);
        int rc = vokSmtpConnect(ch, "127.0.0.1", kFrom, nullptr);
        if (rc < 0) return Fail("connect", rc);
    }
    int open = channels;
    long rounds = 0, sleeps = 0;
    bool dataWaiting = false;
    const double limit = Now() + 600;
    while (open > 0) {
        if (++rounds % 64 == 0 && Now() > limit) return Fail("time limit", -8);
        bool moved = false;
        for (int ch = 0; ch < channels; ++ch) {
            State& s = state[static_cast<size_t>(ch)];
            if (s.done) continue;
            int rc = vokDriver(ch);
            if (rc < 0) return Fail("driver", rc);
            if (rc == 0) {
                moved = true;
                ++s.sent;
                if (s.sent > messages) {  // the QUIT reply is in
                    s.done = true;
                    --open;
                    continue;
                }
                // Every step of the session, the QUIT too, goes through the
                // driver: a blocking call would hold up every other channel.
                rc = s.sent == messages
                         ? vokClose(ch)
                         : vokSendEmail(ch, kTo, nullptr, nullptr, kSubject, kBody, nullptr);
                if (rc < 0) return Fail("send", rc);
            } else if (rc != VOK_DRIVER_WAIT && rc != s.last) {
                moved = true;
            }
            s.last = rc;
        }
        if (moved || open == 0) continue;
        double waitMs = 1;
        if (dueKnown) {
            waitMs = 10;
            for (int ch = 0; ch < channels; ++ch) {
                if (state[static_cast<size_t>(ch)].done) continue;
                int due = vokStatistics(ch, kStatDueIn);
                if (due >= 0 && due < waitMs) waitMs = due;
            }
        }
        ++sleeps;
        if (dataWaiting) {
            // A reply has come, yet no channel took it: the library holds
            // it back until its pause after the command is over.
            SleepMs(waitMs);
            dataWaiting = false;
            continue;
        }
        std::vector<pollfd> fds;
        for (int ch = 0; ch < channels; ++ch) {
            int sock = vokStatistics(ch, VOK_STAT_SOCKET);
            if (!state[static_cast<size_t>(ch)].done && sock > 0)
                fds.push_back(pollfd{sock, POLLIN, 0});
        }
        dataWaiting = poll(fds.data(), fds.size(), static_cast<int>(waitMs + 0.999)) > 0;
    }
    Report(t, "\"rounds\": " + std::to_string(rounds) + ", \"sleeps\": " + std::to_string(sleeps) +
                  ", \"wait\": \"" + (dueKnown ? "poll+due" : "poll") + "\"");
    vokRelease();
    return 0;
}

bool Login(int port) {
    vokIntegerParam(0, VOK_POP3_PORT, port);
    int rc = vokPop3Connect(0, "127.0.0.1", "ann", "secret");
    if (rc != 0) {
        Fail("login", rc);
        return false;
    }
    return true;
}

int Fetch(int port, const char* dir) {
    if (!Attach(1)) return 3;
    Timer t;
    if (!Login(port)) return 1;
    int rc = vokGetEmailFile(0, 1, "mail.txt", dir, dir);
    if (rc != 0) return Fail("download", rc);
    if (vokStatistics(0, VOK_STAT_ATTACH_COUNT) != 1) return Fail("no attachment saved", 0);
    vokClose(0);
    Report(t);
    vokRelease();
    return 0;
}

int List(int port) {
    if (!Attach(1)) return 3;
#ifdef VOK_PARAM_LIST_ALL
    // One LIST and one UIDL for the whole mailbox, as poplib is asked here.
    vokIntegerParam(0, VOK_PARAM_LIST_ALL, 1);
#endif
    Timer t;
    if (!Login(port)) return 1;
    int count = vokGetEmailCount(0);
    if (count < 0) return Fail("count", count);
    long long total = 0;
    for (int n = 1; n <= count; ++n) {
        int size = vokGetEmailSize(0, n);
        if (size < 0) return Fail("size", size);
        total += size;
    }
    std::vector<char> uids(static_cast<size_t>(count) * 80 + 256);
    int rc = vokGetEmailUID(0, 0, uids.data(), static_cast<int>(uids.size()));
    if (rc < 0) return Fail("uids", rc);
    int lines = 0;
    // "n uid" lines (RFC 1939 7), whatever else the text holds.
    for (int i = 0; i < rc; ++i)
        lines += (i == 0 || uids[static_cast<size_t>(i) - 1] == '\n') &&
                 uids[static_cast<size_t>(i)] >= '1' && uids[static_cast<size_t>(i)] <= '9';
    if (lines != count) return Fail("unique ids missing", lines);
    vokClose(0);
    Report(t, "\"messages\": " + std::to_string(count) + ", \"uids\": " + std::to_string(lines) +
                  ", \"bytes\": " + std::to_string(total));
    vokRelease();
    return 0;
}

// The peak memory a parent reads for its child includes what the child held
// before exec, so the parent that measures should itself be small: this one.
int Run(std::vector<std::string> command) {
    std::vector<char*> argv;
    for (std::string& a : command) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    std::fflush(stdout);
    double start = Now();
    pid_t pid = fork();
    if (pid < 0) return Fail("fork", -1);
    if (pid == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    if (wait4(pid, &status, 0, &ru) != pid) return Fail("wait", -1);
    double wall = Now() - start;
    auto seconds = [](const timeval& tv) {
        return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
    };
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("{\"wall\": %.6f, \"cpu\": %.6f, \"rss_kib\": %ld, \"status\": %d}\n", wall,
                seconds(ru.ru_utime) + seconds(ru.ru_stime), ru.ru_maxrss, code);
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    while (args.size() >= 2 && args[0] == "--param") {
        size_t eq = args[1].find('=');
        if (eq == std::string::npos) break;
        params.emplace_back(std::atoi(args[1].c_str()), std::atoi(args[1].c_str() + eq + 1));
        args.erase(args.begin(), args.begin() + 2);
    }
    auto arg = [&](size_t i) { return i < args.size() ? std::atoi(args[i].c_str()) : 0; };
    const std::string what = args.empty() ? "" : args[0];
    if (what == "run" && args.size() >= 2) return Run({args.begin() + 1, args.end()});
    if (what == "smtp" && args.size() == 4) return Smtp(arg(1), arg(2), arg(3) != 0);
    if (what == "attach" && args.size() == 5)
        return SendAttachment(arg(1), args[2].c_str(), arg(3), arg(4));
    if (what == "channels" && args.size() == 4) return Channels(arg(1), arg(2), arg(3));
    if (what == "fetch" && args.size() == 3) return Fetch(arg(1), args[2].c_str());
    if (what == "list" && args.size() == 2) return List(arg(1));
    std::fprintf(stderr, "usage: vok_peer_client [--param INDEX=VALUE ...] WORKLOAD ARGS...\n");
    return 2;
}
