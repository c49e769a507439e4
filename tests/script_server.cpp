// SPDX-License-Identifier: MIT
#include "script_server.h"

#include <atomic>
#include <cstdio>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sstream>
#include <thread>

#include "platform/platform.h"
#include "platform/sockets.h"

namespace vok_test {

using vok::plat::Readiness;
using vok::plat::SocketHandle;

namespace {

enum class Op {
    Send,
    Expect,
    ReadUntil,
    ReadBytes,
    ReadLine,
    Stall,
    Deaf,
    Trickle,
    AwaitClose,
    Close,
    Reset,
    Do,
    Timeout
};

struct Step {
    Step(Op o, std::string t = std::string(), size_t n = 0, int wait = 0,
         std::function<void()> f = nullptr)
        : op(o), text(std::move(t)), count(n), ms(wait), fn(std::move(f)) {}
    Op op;
    std::string text;
    size_t count;
    int ms;
    std::function<void()> fn;
};

std::string Printable(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c < 32 || c > 126) {
            char buf[8];
            snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else
            out += static_cast<char>(c);
    }
    return out.size() > 300 ? out.substr(0, 300) + "..." : out;
}

}  // namespace

struct ScriptServer::Impl {
    SocketHandle listener = vok::plat::kNoSocket;
    SocketHandle conn = vok::plat::kNoSocket;
    uint16_t port = 0;
    std::vector<Step> steps;
    std::thread thread;
    mutable std::mutex mu;
    std::string received;  // everything, in order
    std::string pending;   // received but not yet consumed by a step
    std::vector<std::string> blocks;
    std::vector<std::string> failures;
    std::atomic<bool> done{false};
    std::atomic<bool> stop{false};
    bool ok = true;
    int stepTimeout = 10000;

    void Fail(const std::string& why) {
        std::lock_guard<std::mutex> lock(mu);
        failures.push_back(why);
        ok = false;
    }

    // Receives more bytes into `pending`. false on close, error or time-out.
    bool Fill(int timeoutMs) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!stop) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            int slice = left.count() > 50 ? 50 : static_cast<int>(left.count());
            if (vok::plat::SocketPoll(conn, Readiness::Readable, slice) != 1) continue;
            char buf[65536];
            int n = vok::plat::SocketRecv(conn, buf, sizeof buf);
            if (n <= 0) return false;
            std::lock_guard<std::mutex> lock(mu);
            received.append(buf, static_cast<size_t>(n));
            pending.append(buf, static_cast<size_t>(n));
            return true;
        }
        return false;
    }

    // Takes bytes from `pending` until `until` returns a cut position.
    template <typename Cut>
    bool Take(Cut cut, std::string* out, const char* what) {
        for (;;) {
            size_t at;
            {
                std::lock_guard<std::mutex> lock(mu);
                at = cut(pending);
                if (at != std::string::npos) {
                    *out = pending.substr(0, at);
                    pending.erase(0, at);
                    return true;
                }
            }
            if (!Fill(stepTimeout)) {
                std::lock_guard<std::mutex> lock(mu);
                failures.push_back(std::string(what) +
                                   ": connection ended or timed out; pending '" +
                                   Printable(pending) + "'");
                ok = false;
                return false;
            }
        }
    }

    bool RunStep(const Step& s) {
        switch (s.op) {
            case Op::Send:
                if (vok::plat::SocketSend(conn, s.text.data(), static_cast<int>(s.text.size())) !=
                    static_cast<int>(s.text.size())) {
                    Fail("send failed: '" + Printable(s.text) + "'");
                    return false;
                }
                return true;
            case Op::Expect: {
                std::string line;
                auto cut = [](const std::string& p) {
                    size_t lf = p.find('\n');
                    return lf == std::string::npos ? std::string::npos : lf + 1;
                };
                if (!Take(cut, &line, ("expecting '" + Printable(s.text) + "'").c_str()))
                    return false;
                if (line != s.text) {
                    Fail("expected '" + Printable(s.text) + "' got '" + Printable(line) + "'");
                    return false;
                }
                return true;
            }
            case Op::ReadLine:
            case Op::ReadUntil:
            case Op::ReadBytes: {
                std::string block;
                const std::string term = s.op == Op::ReadLine ? std::string("\n") : s.text;
                size_t count = s.count;
                bool bytes = s.op == Op::ReadBytes;
                auto cut = [&](const std::string& p) -> size_t {
                    if (bytes) return p.size() >= count ? count : std::string::npos;
                    size_t at = p.find(term);
                    return at == std::string::npos ? std::string::npos : at + term.size();
                };
                bool got = Take(cut, &block, "reading a block");
                std::lock_guard<std::mutex> lock(mu);
                blocks.push_back(block);
                return got;
            }
            case Op::Stall: {
                auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(s.ms);
                while (!stop && std::chrono::steady_clock::now() < until) {
                    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        until - std::chrono::steady_clock::now());
                    if (left.count() <= 0) break;
                    if (!Fill(static_cast<int>(left.count() > 50 ? 50 : left.count()))) {
                        // Closed or nothing came: just keep time.
                        std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    }
                }
                return true;
            }
            case Op::Deaf:
                for (int waited = 0; !stop && waited < s.ms; waited += 10)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                return true;
            case Op::Trickle:
                vok::plat::SocketSetNoDelay(conn);
                for (char c : s.text) {
                    if (stop || vok::plat::SocketSend(conn, &c, 1) != 1) {
                        Fail("send failed: '" + Printable(s.text) + "'");
                        return false;
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                return true;
            case Op::AwaitClose: {
                auto until =
                    std::chrono::steady_clock::now() + std::chrono::milliseconds(stepTimeout);
                while (!stop && std::chrono::steady_clock::now() < until) {
                    if (vok::plat::SocketPoll(conn, Readiness::Readable, 50) != 1) continue;
                    char buf[4096];
                    int n = vok::plat::SocketRecv(conn, buf, sizeof buf);
                    if (n <= 0) return true;
                    std::lock_guard<std::mutex> lock(mu);
                    received.append(buf, static_cast<size_t>(n));
                    pending.append(buf, static_cast<size_t>(n));
                }
                Fail("the client did not close");
                return false;
            }
            case Op::Close:
                vok::plat::SocketClose(conn, 5);
                conn = vok::plat::kNoSocket;
                return true;
            case Op::Reset:
                vok::plat::SocketClose(conn, 0);
                conn = vok::plat::kNoSocket;
                return true;
            case Op::Do:
                s.fn();
                return true;
            case Op::Timeout:
                stepTimeout = s.ms;
                return true;
        }
        return false;
    }

    void Run() {
        // Accept one connection, bounded in time.
        auto until =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(stepTimeout + 5000);
        while (!stop && conn == vok::plat::kNoSocket) {
            if (std::chrono::steady_clock::now() > until) {
                Fail("no client connected");
                done = true;
                return;
            }
            if (vok::plat::SocketPoll(listener, Readiness::Readable, 50) != 1) continue;
            SocketHandle c = vok::plat::kNoSocket;
            if (vok::plat::SocketAccept(listener, &c) == 0) conn = c;
        }
        for (const Step& s : steps) {
            if (stop || !RunStep(s)) break;
        }
        done = true;
    }
};

ScriptServer::ScriptServer() : impl_(new Impl) {
    vok::plat::SocketStartup();
    uint16_t port = 0;
    if (vok::plat::SocketListenLoopback(&impl_->listener, &port, 4) != 0)
        impl_->Fail("cannot listen");
    impl_->port = port;
}

ScriptServer::~ScriptServer() {
    impl_->stop = true;
    if (impl_->thread.joinable()) impl_->thread.join();
    if (impl_->conn != vok::plat::kNoSocket) vok::plat::SocketClose(impl_->conn, 0);
    if (impl_->listener != vok::plat::kNoSocket) vok::plat::SocketClose(impl_->listener, 0);
}

uint16_t ScriptServer::Port() const {
    return impl_->port;
}

ScriptServer& ScriptServer::Send(const std::string& bytes) {
    return Add(static_cast<int>(Op::Send), bytes);
}
ScriptServer& ScriptServer::Expect(const std::string& line) {
    return Add(static_cast<int>(Op::Expect), line);
}
ScriptServer& ScriptServer::ReadUntil(const std::string& terminator) {
    return Add(static_cast<int>(Op::ReadUntil), terminator);
}
ScriptServer& ScriptServer::ReadBytes(size_t n) {
    return Add(static_cast<int>(Op::ReadBytes), "", n);
}
ScriptServer& ScriptServer::ReadLine() {
    return Add(static_cast<int>(Op::ReadLine));
}
ScriptServer& ScriptServer::Stall(int ms) {
    return Add(static_cast<int>(Op::Stall), "", 0, ms);
}
ScriptServer& ScriptServer::Deaf(int ms) {
    return Add(static_cast<int>(Op::Deaf), "", 0, ms);
}
ScriptServer& ScriptServer::Trickle(const std::string& bytes) {
    return Add(static_cast<int>(Op::Trickle), bytes);
}
ScriptServer& ScriptServer::AwaitClose() {
    return Add(static_cast<int>(Op::AwaitClose));
}
ScriptServer& ScriptServer::Close() {
    return Add(static_cast<int>(Op::Close));
}
ScriptServer& ScriptServer::Reset() {
    return Add(static_cast<int>(Op::Reset));
}
ScriptServer& ScriptServer::Do(std::function<void()> fn) {
    return Add(static_cast<int>(Op::Do), "", 0, 0, std::move(fn));
}
ScriptServer& ScriptServer::StepTimeout(int ms) {
    return Add(static_cast<int>(Op::Timeout), "", 0, ms);
}

ScriptServer& ScriptServer::Add(int op, const std::string& text, size_t n, int ms,
                                std::function<void()> fn) {
    impl_->steps.emplace_back(static_cast<Op>(op), text, n, ms, std::move(fn));
    return *this;
}

void ScriptServer::Start() {
    impl_->thread = std::thread([this] { impl_->Run(); });
}

bool ScriptServer::Finish(int ms) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!impl_->done && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!impl_->done) impl_->Fail("script did not finish in time");
    impl_->stop = true;
    if (impl_->thread.joinable()) impl_->thread.join();
    if (impl_->conn != vok::plat::kNoSocket) {
        vok::plat::SocketClose(impl_->conn, 0);
        impl_->conn = vok::plat::kNoSocket;
    }
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->ok;
}

std::string ScriptServer::Received() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->received;
}

std::string ScriptServer::Block(size_t i) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return i < impl_->blocks.size() ? impl_->blocks[i] : std::string();
}

std::string ScriptServer::Failures() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    std::ostringstream out;
    for (const auto& f : impl_->failures) out << f << "\n";
    return out.str();
}

uint16_t RefusedPort() {
    vok::plat::SocketStartup();
    SocketHandle s = vok::plat::kNoSocket;
    uint16_t port = 0;
    if (vok::plat::SocketListenLoopback(&s, &port, 1) != 0) return 1;
    vok::plat::SocketClose(s, 0);  // nothing listens there any more
    return port;
}

BlackHole::BlackHole() {
    vok::plat::SocketStartup();
    SocketHandle listener = vok::plat::kNoSocket;
    if (vok::plat::SocketListenLoopback(&listener, &port_, 0) != 0) return;
    sockets_.push_back(listener);
    // Fill the accept queue with connections nobody accepts; once it is full
    // the kernel drops further SYNs, and a connect never completes.
    vok::plat::SockAddrIn sa{};
    sa.Family = 2;
    sa.Port = vok::plat::HostToNet16(port_);
    sa.Address = vok::plat::HostToNet32(0x7F000001);
    for (int i = 0; i < 8; ++i) {
        SocketHandle c = vok::plat::kNoSocket;
        if (vok::plat::SocketCreate(&c) != 0) break;
        vok::plat::SocketSetNonBlocking(c, 1);
        vok::plat::SocketConnect(c, &sa);
        sockets_.push_back(c);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

BlackHole::~BlackHole() {
    for (auto s : sockets_) vok::plat::SocketClose(s, 0);
}

}  // namespace vok_test
