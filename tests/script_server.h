/* SPDX-License-Identifier: MIT */
// A scripted loopback server for wire tests. It listens on 127.0.0.1 on an
// ephemeral port, accepts one connection and plays its script step by step
// on its own thread, recording every byte the client sends. Tests read like
// a transcript:
//
//     ScriptServer srv;
//     srv.Send("220 ready\r\n").Expect("HELO me\r\n").Send("250 ok\r\n");
//     srv.Start();
//     ... drive the client at 127.0.0.1:srv.Port() ...
//     EXPECT_TRUE(srv.Finish());     // script ran to its end, every Expect met
//     EXPECT_EQ(srv.Received(), "HELO me\r\n");
//
// Every wait is bounded (default 10 s per step), so a broken client can never
// hang the suite.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vok_test {

class ScriptServer {
  public:
    ScriptServer();
    ~ScriptServer();
    ScriptServer(const ScriptServer&) = delete;
    ScriptServer& operator=(const ScriptServer&) = delete;

    uint16_t Port() const;

    // --- Script steps, played in order after a client connects ---
    // Sends bytes as they are.
    ScriptServer& Send(const std::string& bytes);
    // Reads one line (through LF) and checks it equals `line` exactly.
    ScriptServer& Expect(const std::string& line);
    // Reads until the received bytes of this step end with `terminator`
    // (for example "\r\n.\r\n" after DATA); stores them for Block(i).
    ScriptServer& ReadUntil(const std::string& terminator);
    // Reads exactly n bytes and stores them for Block(i).
    ScriptServer& ReadBytes(size_t n);
    // Reads one line and stores it for Block(i), whatever it is.
    ScriptServer& ReadLine();
    // Does nothing for ms milliseconds (still recording what arrives).
    ScriptServer& Stall(int ms);
    // Stops reading for ms milliseconds: what the client sends piles up.
    ScriptServer& Deaf(int ms);
    // Sends bytes one at a time, each in a segment of its own.
    ScriptServer& Trickle(const std::string& bytes);
    // Waits until the client closes its side (bounded by the step time).
    ScriptServer& AwaitClose();
    // Closes the connection gracefully (FIN).
    ScriptServer& Close();
    // Aborts the connection (RST).
    ScriptServer& Reset();
    // Runs a callback on the server thread (for example to check a file).
    ScriptServer& Do(std::function<void()> fn);

    // Per-step wait limit in ms (default 10000).
    ScriptServer& StepTimeout(int ms);

    // Starts the thread: it accepts one connection and plays the script.
    void Start();
    // Waits for the script to end (bounded), closes everything, and returns
    // true when every step ran and every Expect matched.
    bool Finish(int ms = 15000);

    // Everything received, in order.
    std::string Received() const;
    // Bytes stored by the i-th ReadUntil / ReadBytes / ReadLine step.
    std::string Block(size_t i) const;
    // Human-readable mismatches and time-outs.
    std::string Failures() const;

  private:
    ScriptServer& Add(int op, const std::string& text = std::string(), size_t n = 0, int ms = 0,
                      std::function<void()> fn = nullptr);
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A port on 127.0.0.1 where nothing listens (connects are refused).
uint16_t RefusedPort();

// A listener whose backlog is full, so that a further connect never
// completes (no SYN-ACK). Lives until destroyed.
class BlackHole {
  public:
    BlackHole();
    ~BlackHole();
    uint16_t Port() const { return port_; }

  private:
    std::vector<intptr_t> sockets_;
    uint16_t port_ = 0;
};

}  // namespace vok_test
