// SPDX-License-Identifier: MIT
// The library under abuse: every integer setting at its extremes, calls
// from other threads (abort, release, attach) while a call waits, a peer
// that stops reading, many closes at once, and failures that must not leak
// descriptors.
#include <atomic>
#include <chrono>
#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "frame/settings.h"
#include "helpers.h"
#include "script_server.h"
#include "vok32.h"

using vok_test::ScriptServer;
using vok_test::TempDir;

namespace {

using Clock = std::chrono::steady_clock;

class Robustness : public ::testing::Test {
  protected:
    TempDir dir;
    vok::Settings saved;

    void SetUp() override {
        saved = vok::LibrarySettings;
        Fast();
    }
    void TearDown() override {
        vokRelease();
        vok::LibrarySettings = saved;
    }
    static void Fast() {
        vok::LibrarySettings.MinResponseWait = 1;
        vok::LibrarySettings.MaxResponseWait = 2000;
        vok::LibrarySettings.ReadWait = 2000;
        vok::LibrarySettings.WriteWait = 2000;
        vok::LibrarySettings.PollSleep = 5;
    }

    // Drives channel `chan` by hand until its operation ends or `ms` pass.
    static int Drive(int chan, int ms) {
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        int rc = 1;
        while (rc > 0 && Clock::now() < until) {
            rc = vokDriver(chan);
            if (rc == VOK_DRIVER_WAIT) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return rc;
    }

    static ScriptServer& Greet(ScriptServer& srv) {
        return srv.Send("220 ready\r\n").Expect("HELO example.com\r\n").Send("250 hi\r\n");
    }

    static int Connect(int chan, ScriptServer& srv) {
        srv.Start();
        vokIntegerParam(chan, VOK_SMTP_PORT, srv.Port());
        return vokSmtpConnect(chan, "127.0.0.1", "<ann@example.com>", nullptr);
    }
};

// Any value of any integer setting: no undefined behaviour (the sanitizer
// build checks), no wait that never ends; negative waits act as 0, so a
// session with them still completes.
TEST_F(Robustness, EveryIntegerSettingAtItsExtremes) {
    vok_test::WriteFile(dir.file("a.bin"), std::string(3000, 'a'));
    const std::string attachment = dir.file("a.bin");
    for (int index = 1; index <= 40; ++index) {
        for (int value : {INT_MIN, INT_MAX}) {
            SCOPED_TRACE("index " + std::to_string(index) + " value " + std::to_string(value));
            vok::LibrarySettings = saved;
            Fast();
            ASSERT_EQ(vokAttach(1), 1);
            vokIntegerParam(0, VOK_AUTO_CALL, 0);
            vokIntegerParam(0, index, value);
            if (index != VOK_AUTO_CALL) vokIntegerParam(0, VOK_AUTO_CALL, 0);
            ScriptServer srv;
            Greet(srv).Expect("MAIL FROM:<ann@example.com>\r\n").Send("250 ok\r\n");
            srv.Expect("RCPT TO:<b@x.com>\r\n").Send("250 ok\r\n");
            srv.Expect("DATA\r\n").Send("354 go\r\n").ReadUntil("\r\n.\r\n").Send("250 ok\r\n");
            srv.StepTimeout(300);
            int rc = Connect(0, srv);
            if (rc == 0) rc = Drive(0, 300);
            if (rc == 0) {
                rc = vokSendEmail(0, "<b@x.com>", "", "", "subject", "body\r\n.line",
                                  attachment.c_str());
                if (rc == 0) rc = Drive(0, 300);
            }
            const bool negativeWait =
                value < 0 && (index == VOK_MIN_RESPONSE_WAIT || index == VOK_SEND_LINE_DELAY);
            if (negativeWait) {
                EXPECT_EQ(rc, 0);
            }
            vokAbort(0);
            srv.Finish(2000);
            vokRelease();
        }
    }
}

// All closes issued together from one thread: no close waits for another,
// so every QUIT is answered within its own deadline.
TEST_F(Robustness, ManyClosesAtOnceFromOneThread) {
    constexpr int kChannels = 16;
    ASSERT_EQ(vokAttach(kChannels), 1);
    std::vector<std::unique_ptr<ScriptServer>> servers;
    for (int chan = 0; chan < kChannels; ++chan) {
        servers.emplace_back(new ScriptServer);
        Greet(*servers.back()).Expect("QUIT\r\n").Send("221 bye\r\n").AwaitClose();
        vokIntegerParam(chan, VOK_AUTO_CALL, 0);
        ASSERT_EQ(Connect(chan, *servers.back()), 0);
        ASSERT_EQ(Drive(chan, 3000), 0);
    }
    for (int chan = 0; chan < kChannels; ++chan) EXPECT_EQ(vokClose(chan), 0);
    std::vector<int> result(kChannels, 1);
    const auto until = Clock::now() + std::chrono::seconds(20);
    for (bool busy = true; busy && Clock::now() < until;) {
        busy = false;
        for (int chan = 0; chan < kChannels; ++chan) {
            if (result[chan] <= 0) continue;
            result[chan] = vokDriver(chan);
            busy = busy || result[chan] > 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (int chan = 0; chan < kChannels; ++chan) {
        EXPECT_EQ(result[chan], 0) << "channel " << chan;
        EXPECT_TRUE(servers[chan]->Finish()) << servers[chan]->Failures();
    }
}

// A peer that stops reading cannot hold a send for longer than WriteWait,
// however much is still to go (here an 8 MB Subject line).
TEST_F(Robustness, SendToAPeerThatStopsReadingIsBounded) {
    vok::LibrarySettings.WriteWait = 500;
    ASSERT_EQ(vokAttach(1), 1);
    ScriptServer srv;
    Greet(srv).Expect("MAIL FROM:<ann@example.com>\r\n").Send("250 ok\r\n");
    srv.Expect("RCPT TO:<b@x.com>\r\n").Send("250 ok\r\n");
    srv.Expect("DATA\r\n").Send("354 go\r\n").Deaf(6000);
    ASSERT_EQ(Connect(0, srv), 0);
    const std::string subject(8 << 20, 's');
    const auto start = Clock::now();
    int rc = vokSendEmail(0, "<b@x.com>", "", "", subject.c_str(), "body", "");
    EXPECT_TRUE(rc == VOK_SOCKET_WRITE_ERROR || rc == VOK_SOCKET_TIMEOUT) << rc;
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    srv.Finish(8000);
}

// vokAbort and vokRelease from another thread wake a call that waits for a
// reply: it returns a negative result, and nothing it uses is freed under it.
TEST_F(Robustness, AbortAndReleaseFromAnotherThreadEndAWaitingCall) {
    vok::LibrarySettings.MaxResponseWait = 10000;
    for (bool release : {false, true}) {
        SCOPED_TRACE(release ? "release" : "abort");
        ASSERT_EQ(vokAttach(1), 1);
        ScriptServer srv;
        Greet(srv).Expect("MAIL FROM:<ann@example.com>\r\n").Stall(3000);
        ASSERT_EQ(Connect(0, srv), 0);
        std::thread other([release] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            EXPECT_EQ(release ? vokRelease() : vokAbort(0), 1);
        });
        const auto start = Clock::now();
        int rc = vokSendEmail(0, "<b@x.com>", "", "", "s", "body", "");
        other.join();
        EXPECT_LT(rc, 0);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
        srv.Finish(5000);
        if (!release) {
            // The channel is usable again.
            ScriptServer again;
            Greet(again).Expect("QUIT\r\n").Send("221 bye\r\n").AwaitClose();
            EXPECT_EQ(Connect(0, again), 0);
            EXPECT_EQ(vokClose(0), 0);
            EXPECT_TRUE(again.Finish()) << again.Failures();
        }
        vokRelease();
    }
}

// Two attaches at once: exactly one wins.
TEST_F(Robustness, SimultaneousAttachesHaveOneWinner) {
    for (int round = 0; round < 40; ++round) {
        std::atomic<int> ready{0};
        int results[2] = {0, 0};
        auto attach = [&](int i) {
            ready.fetch_add(1);
            while (ready.load() < 2) std::this_thread::yield();
            results[i] = vokAttach(8);
        };
        std::thread a(attach, 0), b(attach, 1);
        a.join();
        b.join();
        EXPECT_EQ((results[0] == 1) + (results[1] == 1), 1) << results[0] << " " << results[1];
        EXPECT_TRUE(results[0] == VOK_ALREADY_ATTACHED || results[1] == VOK_ALREADY_ATTACHED);
        EXPECT_EQ(vokRelease(), 1);
    }
}

// A send that fails inside an attachment, followed by a reconnect instead of
// a close, leaves no file or socket open.
TEST_F(Robustness, FailedSendsFollowedByReconnectsLeakNothing) {
    vok_test::WriteFile(dir.file("big.bin"), std::string(200000, 'z'));
    const std::string attachment = dir.file("big.bin");
    ASSERT_EQ(vokAttach(1), 1);
    const int before = vok_test::OpenDescriptors();
    for (int round = 0; round < 10; ++round) {
        ScriptServer srv;
        Greet(srv).Expect("MAIL FROM:<ann@example.com>\r\n").Send("250 ok\r\n");
        srv.Expect("RCPT TO:<b@x.com>\r\n").Send("250 ok\r\n");
        srv.Expect("DATA\r\n").Send("354 go\r\n").ReadBytes(5000).Reset();
        ASSERT_EQ(Connect(0, srv), 0);
        EXPECT_LT(vokSendEmail(0, "<b@x.com>", "", "", "s", "body", attachment.c_str()), 0);
        srv.Finish(5000);
    }
    EXPECT_EQ(vok_test::OpenDescriptors(), before);
}

}  // namespace
