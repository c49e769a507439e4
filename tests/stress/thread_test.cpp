// SPDX-License-Identifier: MIT
// Many channels at once. Every channel sends tagged messages to a scripted
// SMTP server of its own, closes, then downloads tagged messages from a
// scripted POP3 server of its own and closes again; every byte must arrive
// where it belongs: each server receives only its channel's messages, whole,
// and each downloaded file is its message byte for byte. Two ways of running
// the channels: 8 threads with 16 channels each (AutoCall 1, the calls run
// the driver themselves), and one thread driving 128 channels through
// vokDriver (AutoCall 0).
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "frame/settings.h"
#include "pop3_wire.h"

using vok_test::Contains;
using vok_test::ReadFile;
using vok_test::ScriptServer;
using vok_test::Stuffed;
using vok_test::TempDir;

namespace {

constexpr int kMessages = 2;

std::string Tag(int ch, int m) {
    char tag[32];
    std::snprintf(tag, sizeof tag, "<tag ch=%03d m=%d>", ch, m);
    return tag;
}

// Lines that the body encoder passes as they are (short, ASCII, no leading
// dot), each carrying the tag, so that a stray line shows where it came from.
std::string Body(int ch, int m) {
    std::string body;
    for (int line = 0; line < 60; ++line)
        body += Tag(ch, m) + " line " + std::to_string(line) + " " +
                std::string(static_cast<size_t>(10 + (ch + line) % 30), 'a' + line % 26) + "\r\n";
    return body;
}

std::string Message(int ch, int m) {
    return "From: <bob@example.org>\r\nSubject: " + Tag(ch, m) + "\r\n\r\n" + Body(ch, m);
}

// One channel's servers, its files, and where it stands in its plan.
struct Rig {
    int ch;
    ScriptServer smtp, pop3;
    TempDir dir;
    std::vector<std::string> subjects, bodies;
    int step = 0;  // -1 once the plan is over
    std::string failure;

    explicit Rig(int channel) : ch(channel) {
        smtp.StepTimeout(60000).Send("220 smtp for channel " + std::to_string(ch) + "\r\n");
        smtp.ReadLine().Send("250 hello\r\n");  // HELO
        for (int m = 0; m < kMessages; ++m) {
            subjects.push_back(Tag(ch, m));
            bodies.push_back(Body(ch, m));
            smtp.ReadLine().Send("250 sender ok\r\n");  // MAIL
            smtp.ReadLine().Send("250 recipient ok\r\n");
            smtp.ReadLine().Send("354 go ahead\r\n");  // DATA
            smtp.ReadUntil("\r\n.\r\n").Send("250 stored\r\n");
        }
        smtp.Expect("QUIT\r\n").Send("221 bye\r\n").AwaitClose();

        pop3.StepTimeout(60000).Send("+OK pop3 for channel " + std::to_string(ch) + "\r\n");
        pop3.Expect("USER ann\r\n").Send("+OK\r\n").Expect("PASS secret\r\n").Send("+OK in\r\n");
        for (int m = 0; m < kMessages; ++m)
            pop3.Expect("RETR " + std::to_string(m + 1) + "\r\n")
                .Send("+OK\r\n" + Stuffed(Message(ch, m)));
        pop3.Expect("QUIT\r\n").Send("+OK bye\r\n").AwaitClose();
    }

    // Starts step `step` of the plan: its result, or 1 once the plan is done.
    int Begin() {
        const int sends = kMessages, gets = kMessages;
        int s = step;
        if (s == 0) {
            smtp.Start();  // each server waits a bounded time for its client
            vokIntegerParam(ch, VOK_SMTP_PORT, smtp.Port());
            return vokSmtpConnect(ch, "127.0.0.1", "<ann@example.com>", nullptr);
        }
        if (--s < sends)
            return vokSendEmail(ch, "<carol@example.net>", nullptr, nullptr, subjects[s].c_str(),
                                bodies[s].c_str(), nullptr);
        if ((s -= sends) == 0) return vokClose(ch);
        if (--s == 0) {
            pop3.Start();
            vokIntegerParam(ch, VOK_POP3_PORT, pop3.Port());
            return vokPop3Connect(ch, "127.0.0.1", "ann", "secret");
        }
        if (--s < gets) {
            std::string name = "m" + std::to_string(s) + ".txt";
            return vokGetEmailFile(ch, s + 1, name.c_str(), dir.path().c_str(), dir.path().c_str());
        }
        if (s == gets) return vokClose(ch);
        return 1;
    }

    void Fail(int rc) {
        failure = "channel " + std::to_string(ch) + " step " + std::to_string(step) + ": " +
                  std::to_string(rc);
        step = -1;
    }

    // Every call succeeded, both servers saw their script through, and every
    // byte is in place.
    void Check() {
        SCOPED_TRACE("channel " + std::to_string(ch));
        ASSERT_EQ(failure, "");
        EXPECT_TRUE(smtp.Finish()) << smtp.Failures();
        EXPECT_TRUE(pop3.Finish()) << pop3.Failures();
        const std::string got = smtp.Received();
        for (int m = 0; m < kMessages; ++m) {
            const std::string data = smtp.Block(1 + 4 * m + 3);
            EXPECT_TRUE(Contains(data, "Subject: " + Tag(ch, m) + "\r\n")) << data;
            EXPECT_TRUE(Contains(data, "\r\n\r\n" + Body(ch, m))) << data;
            EXPECT_EQ(ReadFile(dir.file("m" + std::to_string(m) + ".txt")), Message(ch, m));
        }
        // Nothing of another channel.
        const std::string own = "<tag ch=" + Tag(ch, 0).substr(8, 3);
        for (size_t at = got.find("<tag "); at != std::string::npos; at = got.find("<tag ", at + 1))
            ASSERT_EQ(got.compare(at, own.size(), own), 0) << got.substr(at, 40);
    }
};

class Threads : public ::testing::Test {
  protected:
    vok::Settings saved;
    std::vector<std::unique_ptr<Rig>> rigs;

    void SetUp() override {
        saved = vok::LibrarySettings;
        vok::LibrarySettings.MinResponseWait = 1;
        vok::LibrarySettings.MaxResponseWait = 60000;
        vok::LibrarySettings.ReadWait = 30000;
        vok::LibrarySettings.PollSleep = 5;
        ASSERT_EQ(vokAttach(VOK_MAX_CHANNELS), 1);
        for (int ch = 0; ch < VOK_MAX_CHANNELS; ++ch) rigs.push_back(std::make_unique<Rig>(ch));
    }
    void TearDown() override {
        vokRelease();
        vok::LibrarySettings = saved;
    }
};

TEST_F(Threads, EightThreadsOfSixteenChannelsWithAutoCall) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([this, t] {
            // The channels of a thread take turns, one call each.
            for (bool busy = true; busy;) {
                busy = false;
                for (int i = 0; i < 16; ++i) {
                    Rig& rig = *rigs[t * 16 + i];
                    if (rig.step < 0) continue;
                    int rc = rig.Begin();
                    if (rc == 1) {
                        rig.step = -1;
                    } else if (rc != 0) {
                        rig.Fail(rc);
                    } else {
                        ++rig.step;
                        busy = true;
                    }
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    for (auto& rig : rigs) rig->Check();
}

TEST_F(Threads, OneThreadDrivesAllChannels) {
    for (auto& rig : rigs) ASSERT_EQ(vokIntegerParam(rig->ch, VOK_AUTO_CALL, 0), 1);
    // Each channel starts its next call once the driver reports the last one
    // done.
    std::vector<bool> started(rigs.size(), false);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (size_t live = rigs.size(); live > 0;) {
        ASSERT_LT(std::chrono::steady_clock::now(), until) << live << " channels still busy";
        live = 0;
        for (auto& rig : rigs) {
            if (rig->step < 0) continue;
            ++live;
            size_t i = static_cast<size_t>(rig->ch);
            int rc = started[i] ? vokDriver(rig->ch) : rig->Begin();
            if (!started[i] && rc == 1) {
                rig->step = -1;
            } else if (rc < 0) {
                rig->Fail(rc);
            } else if (!started[i]) {
                started[i] = true;
            } else if (rc == 0) {
                started[i] = false;
                ++rig->step;
            }
        }
    }
    for (auto& rig : rigs) rig->Check();
}

}  // namespace
