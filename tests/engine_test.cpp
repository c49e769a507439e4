// SPDX-License-Identifier: MIT
// The driver and the transport on the wire: connects, replies, time-outs,
// the error exit, raw commands, close and abort. Each test scripts a
// loopback server and checks what crossed the socket and what the log says.
#include <algorithm>
#include <memory>
#include <vector>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "codec/text.h"
#include "engine/engine.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/memory.h"
#include "frame/settings.h"
#include "helpers.h"
#include "platform/sockets.h"
#include "script_server.h"

using namespace vok;
using vok_test::ReadFile;
using vok_test::ScriptServer;
using vok_test::TempDir;

namespace {

class Wire : public ::testing::Test {
  protected:
    TempDir dir;
    std::string logPath;
    Settings saved;

    void SetUp() override {
        saved = LibrarySettings;
        LibrarySettings.MinResponseWait = 1;
        LibrarySettings.MaxResponseWait = 5000;
        ASSERT_EQ(vokAttach(2), 1);
        logPath = dir.file("chan0.log");
        ASSERT_GT(vokStringParam(0, VOK_LOG_FILE, logPath.c_str()), 0);
    }
    void TearDown() override {
        vokRelease();
        LibrarySettings = saved;
    }
    Channel* Chan(int n = 0) { return ChannelTable[n].Record; }

    // Opens a bare connection the way the connect calls do, and marks the
    // channel as speaking `protocol`.
    int Connect(uint16_t port, char protocol, const char* server = "127.0.0.1", int chan = 0) {
        Channel* ch = Chan(chan);
        CopyText(ch->Server, server, kNameChars);
        ch->RemotePort = port;
        ch->Protocol = protocol;
        EmptyRing(ch);
        return StartOperation(ch, kStLocalHost1, false);
    }
    std::string Log() { return ReadFile(logPath); }
};

bool Contains(const std::string& hay, const std::string& needle) {
    return hay.find(needle) != std::string::npos;
}

// --- Connecting -----------------------------------------------------------------

TEST_F(Wire, ConnectTracesEveryStep) {
    ScriptServer srv;
    srv.AwaitClose();
    srv.Start();
    ASSERT_EQ(Connect(srv.Port(), 'S'), 0);
    EXPECT_NE(Chan()->Socket, plat::kNoSocket);
    EXPECT_EQ(vokStatistics(0, 27), static_cast<int>(Chan()->Socket));
    EXPECT_EQ(vokStatistics(0, 20), 1);  // connected and writable
    vokAbort(0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
    std::string log = Log();
    for (const char* line :
         {"<101:", "LocalHost = '", "<104:", "Server = '127.0.0.1'\r\n", "ServerIP = 127.0.0.1\r\n",
          "<105:", "RemoteAddr=7f000001, RemotePort=", "<106:",
          "*** vokAbort\r\nClosing socket\r\n"})
        EXPECT_TRUE(Contains(log, line)) << line << "\n" << log;
    EXPECT_EQ(Chan()->Socket, plat::kNoSocket);
}

TEST_F(Wire, RefusedConnectIsMinus36WithTheSocketCode) {
    uint16_t port = vok_test::RefusedPort();
    EXPECT_EQ(Connect(port, 'S'), VOK_CONNECT_ERROR);
    EXPECT_EQ(vokStatistics(0, 4), VOK_WSAECONNREFUSED);
    EXPECT_EQ(Chan()->NextState, 0);
    std::string log = Log();
    EXPECT_TRUE(Contains(log, "VokCode=-36")) << log;
    EXPECT_TRUE(Contains(log, "Error attempting to connect. Connection refused by remote host."))
        << log;
    EXPECT_TRUE(Contains(log, "Closing socket\r\n"));
    // Blocking connects fail the same way, at once.
    EXPECT_EQ(vokIntegerParam(0, VOK_BLOCKING_CONNECT, 1), 1);
    EXPECT_EQ(Connect(port, 'S'), VOK_CONNECT_ERROR);
    EXPECT_EQ(vokStatistics(0, 4), VOK_WSAECONNREFUSED);
}

TEST_F(Wire, UnknownHostIsMinus46) {
    EXPECT_EQ(Connect(25, 'S', "no-such-host.invalid"), VOK_SERVER_NOT_FOUND);
    int sock = vokStatistics(0, 4);
    EXPECT_TRUE(sock <= -11001 && sock >= -11004) << sock;
    EXPECT_TRUE(Contains(Log(), "Server = 'no-such-host.invalid'\r\n"));
}

TEST_F(Wire, ConnectThatNeverCompletesTimesOut) {
    vok_test::BlackHole hole;
    LibrarySettings.ConnectWait = 300;
    EXPECT_EQ(Connect(hole.Port(), 'S'), VOK_SOCKET_TIMEOUT);
    std::string log = Log();
    size_t err = log.find("ERROR(");
    ASSERT_NE(err, std::string::npos) << log;
    EXPECT_TRUE(Contains(log.substr(err),
                         "SockCode=0 VokCode=-8 PrevState=106 ThisState=-1 NextState=106\r\n"
                         "Socket timed out.Closing socket\r\n"))
        << log;
}

// --- Replies ----------------------------------------------------------------------

TEST_F(Wire, MultiLineReplyIsReadWhole) {
    ScriptServer srv;
    srv.Expect("EHLO me\r\n").Send("250-one\r\n250-AUTH=LOGIN\r\n250 three\r\n").AwaitClose();
    srv.Start();
    ASSERT_EQ(Connect(srv.Port(), 'S'), 0);
    EXPECT_EQ(vokCommand(0, "EHLO me"), 0);
    EXPECT_EQ(Chan()->ReplyCode, 250);
    EXPECT_STREQ(Chan()->ReplyBuffer, "250-one\r\n250-AUTH=LOGIN\r\n250 three\r\n");
    EXPECT_STREQ(Chan()->LastReply, "250 three\r\n");
    EXPECT_NE(FindText(Chan()->ReplyBuffer, "AUTH "), nullptr);
    char buf[200];
    EXPECT_EQ(vokDebug(0, 23, buf, sizeof buf), 9);
    EXPECT_STREQ(buf, "250 three\r\n");
    EXPECT_EQ(vokStatistics(0, 3), 250);
    vokAbort(0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

// 4yz and 5yz both mean "not done" (RFC 5321 section 4.2.1): the call fails
// with -49, and statistic 3 tells a retry-later from a refusal.
TEST_F(Wire, FourHundredsAndFiveHundredsAreErrors) {
    for (const char* reply : {"451 later", "550 No such user"}) {
        ScriptServer srv;
        srv.Expect("BAD\r\n").Send(std::string(reply) + "\r\n").AwaitClose();
        srv.Start();
        ASSERT_EQ(Connect(srv.Port(), 'S'), 0);
        EXPECT_EQ(vokCommand(0, "BAD"), VOK_SMTP_ERROR);
        EXPECT_EQ(vokStatistics(0, 3), atoi(reply));
        char text[128];
        vokErrorText(0, VOK_SMTP_ERROR, text, sizeof text);
        EXPECT_EQ(std::string(text), std::string("SMTP returned error. ") + reply + "\r\n");
        EXPECT_EQ(Chan()->Socket, plat::kNoSocket);  // the error exit closed it
        EXPECT_TRUE(srv.Finish()) << srv.Failures();
        // (PrevState is 298, or 299 when the reply took more than one step.)
        EXPECT_TRUE(
            Contains(Log(), std::string("ThisState=299 NextState=299\r\nSMTP returned error. ") +
                                reply + "\r\nClosing socket\r\n"))
            << Log();
    }
}

TEST_F(Wire, TwoRepliesInOnePacket) {
    ScriptServer srv;
    srv.Expect("ONE\r\n").Send("250 first\r\n250 second\r\n").Expect("TWO\r\n").AwaitClose();
    srv.Start();
    ASSERT_EQ(Connect(srv.Port(), 'S'), 0);
    EXPECT_EQ(vokCommand(0, "ONE"), 0);
    EXPECT_STREQ(Chan()->LastReply, "250 first\r\n");
    EXPECT_EQ(RingCount(Chan()), 12);
    EXPECT_EQ(vokCommand(0, "TWO"), 0);
    EXPECT_STREQ(Chan()->LastReply, "250 second\r\n");
    vokAbort(0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
    std::string log = Log();
    // One receive, two reads out of the ring.
    EXPECT_TRUE(Contains(log, "P: 250 first\r\n250 second\r\nr: 250 first\r\n")) << log;
    EXPECT_TRUE(Contains(log, "S: TWO\r\n<299:")) << log;
    EXPECT_TRUE(Contains(log, "r: 250 second\r\n")) << log;
}

TEST_F(Wire, OverlongReplyOverflows) {
    std::string lines;
    for (int i = 0; i < 20; ++i) lines += "250-" + std::string(70, 'x') + "\r\n";
    lines += "250 end\r\n";
    ScriptServer srv;
    srv.Expect("EHLO x\r\n").Send(lines).AwaitClose();
    srv.Start();
    ASSERT_EQ(Connect(srv.Port(), 'S'), 0);
    EXPECT_EQ(vokCommand(0, "EHLO x"), VOK_RESPONSE_OVERFLOW);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

TEST_F(Wire, ReplyLineLongerThanTheBufferOverflows) {
    ScriptServer srv;
    srv.Expect("X\r\n").Send("250 " + std::string(3000, 'y') + "\r\n").AwaitClose();
    srv.Start();
    ASSERT_EQ(Connect(srv.Port(), 'S'), 0);
    EXPECT_EQ(vokCommand(0, "X"), VOK_RESPONSE_OVERFLOW);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

TEST_F(Wire, MissingContinuationLineTimesOutInsteadOfSpinning) {
    LibrarySettings.MaxResponseWait = 300;
    ScriptServer srv;
    srv.Expect("EHLO x\r\n").Send("250-first\r\n").Stall(1500).Close();
    srv.Start();
    ASSERT_EQ(Connect(srv.Port(), 'S'), 0);
    double cpu = vok_test::CpuSeconds();
    EXPECT_EQ(vokCommand(0, "EHLO x"), VOK_SOCKET_TIMEOUT);
    double used = vok_test::CpuSeconds() - cpu;
    EXPECT_LT(used, 0.2);  // it slept; it did not spin
    srv.Finish();
}

TEST_F(Wire, ConnectionClosedBeforeTheReplyIsAFailure) {
    ScriptServer srv;
    srv.Expect("NOOP\r\n").Close();
    srv.Start();
    ASSERT_EQ(Connect(srv.Port(), 'S'), 0);
    EXPECT_EQ(vokCommand(0, "NOOP"), VOK_SOCKET_CLOSED);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();

    ScriptServer pop;
    pop.Expect("STAT\r\n").Close();
    pop.Start();
    ASSERT_EQ(Connect(pop.Port(), 'P'), 0);
    EXPECT_EQ(vokCommand(0, "STAT"), VOK_SOCKET_CLOSED);
    EXPECT_TRUE(pop.Finish()) << pop.Failures();
}

TEST_F(Wire, Pop3StatusLines) {
    ScriptServer srv;
    srv.Expect("STAT\r\n")
        .Send("+OK 2 320\r\n")
        .Expect("DELE 9\r\n")
        .Send("-ERR no such message\r\n")
        .AwaitClose();
    srv.Start();
    ASSERT_EQ(Connect(srv.Port(), 'P'), 0);
    EXPECT_EQ(vokCommand(0, "STAT"), 0);
    EXPECT_EQ(vokStatistics(0, 3), 100);
    EXPECT_EQ(vokCommand(0, "DELE 9"), VOK_POP3_ERROR);
    EXPECT_EQ(vokStatistics(0, 3), 500);
    char buf[200];
    EXPECT_EQ(vokDebug(0, 23, buf, sizeof buf), 20);
    EXPECT_STREQ(buf, "-ERR no such message\r\n");
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

// --- Driving by hand -------------------------------------------------------------

TEST_F(Wire, ManualDrivingAndTheTimeGate) {
    LibrarySettings.MinResponseWait = 300;
    ScriptServer srv;
    // The reply comes late enough to find the gate still shut (a reply
    // that is there opens it early).
    srv.Expect("NOOP\r\n").Stall(150).Send("250 ok\r\n").AwaitClose();
    srv.Start();
    ASSERT_EQ(Connect(srv.Port(), 'S'), 0);
    ASSERT_EQ(vokIntegerParam(0, VOK_AUTO_CALL, 0), 1);
    EXPECT_EQ(vokCommand(0, "NOOP"), 0);  // only set up
    EXPECT_EQ(Chan()->NextState, 298);
    int steps = vokStatistics(0, 2);
    EXPECT_EQ(vokDriver(0), 299);
    EXPECT_EQ(vokStatistics(0, 2), steps + 1);
    EXPECT_EQ(vokDriver(0), VOK_DRIVER_WAIT);  // inside MinResponseWait
    EXPECT_EQ(vokStatistics(0, 2), steps + 1);
    int rc = VOK_DRIVER_WAIT;
    for (int i = 0; i < 2000 && rc > 0; ++i) {
        rc = vokDriver(0);
        if (rc > 0) plat::SleepMs(2);
    }
    EXPECT_EQ(rc, 0);
    EXPECT_STREQ(Chan()->LastReply, "250 ok\r\n");
    EXPECT_EQ(vokDriver(0), 0);  // idle
    vokAbort(0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
    // The waiting state is traced once however often it was called.
    std::string log = Log();
    size_t first = log.find("<299:");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log.find("<299:", first + 1), std::string::npos) << log;
}

TEST_F(Wire, UnknownStateIsReportedAndKept) {
    ASSERT_EQ(vokIntegerParam(0, VOK_AUTO_CALL, 0), 1);
    Chan()->NextState = 50;
    EXPECT_EQ(vokDriver(0), 50);
    EXPECT_EQ(vokDriver(0), 50);
    EXPECT_TRUE(Contains(Log(), "< 50:"));
    EXPECT_TRUE(Contains(Log(), "ERROR! Unknown state 50\r\nERROR! Unknown state 50\r\n"));
    Chan()->NextState = 0;
}

TEST_F(Wire, ExpiredDeadlineAfterAnErrorGivesAnotherTimeout) {
    ASSERT_EQ(vokIntegerParam(0, VOK_AUTO_CALL, 0), 1);
    Chan()->NextState = 0;
    Chan()->Deadline = plat::TickCount() - 10;
    EXPECT_EQ(vokDriver(0), VOK_SOCKET_TIMEOUT);
    Chan()->Deadline = 0;
    EXPECT_EQ(vokDriver(0), 0);
}

// --- Raw commands, close and abort ------------------------------------------------

TEST_F(Wire, RawCommandArguments) {
    EXPECT_EQ(vokCommand(0, nullptr), VOK_NULL_POINTER);
    EXPECT_EQ(vokCommand(0, "NOOP"), VOK_BAD_SERVER_NAME);  // never connected
    EXPECT_EQ(vokCommand(5, "NOOP"), VOK_CHANNEL_RANGE);
    ScriptServer srv;
    srv.Expect(std::string(32, 'A') + "\r\n").Send("250 ok\r\n").AwaitClose();
    srv.Start();
    ASSERT_EQ(Connect(srv.Port(), 'S'), 0);
    EXPECT_EQ(vokCommand(0, std::string(40, 'A').c_str()), 0);
    vokAbort(0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

TEST_F(Wire, CloseSendsQuitAndForgetsTheSession) {
    ScriptServer srv;
    srv.Expect("QUIT\r\n").Send("221 bye\r\n").AwaitClose();
    srv.Start();
    ASSERT_EQ(Connect(srv.Port(), 'S'), 0);
    ASSERT_GT(vokStringParam(0, VOK_ALTERNATE_TEXT, "alt"), 0);
    std::string before = Log();
    EXPECT_EQ(vokClose(0), 0);
    EXPECT_EQ(Chan()->Protocol, 0);
    EXPECT_EQ(BlockInUse(kSlotAlternateText), 0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
    std::string tail = Log().substr(before.size());
    // Call line, QUIT, its reply twice (arrival and consumption), close.
    std::string want0 = "*** vokClose\r\n<258:";
    EXPECT_EQ(tail.rfind(want0, 0), 0u) << tail;
    EXPECT_TRUE(Contains(tail, ">\r\nS: QUIT\r\n<259:")) << tail;
    EXPECT_TRUE(Contains(tail, ">\r\nP: 221 bye\r\nr: 221 bye\r\nClosing socket\r\n")) << tail;
}

TEST_F(Wire, CloseAfterAServerThatHungUpOnQuit) {
    ScriptServer srv;
    srv.Expect("QUIT\r\n").Close();
    srv.Start();
    ASSERT_EQ(Connect(srv.Port(), 'P'), 0);
    EXPECT_EQ(vokClose(0), 0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

TEST_F(Wire, AbortThenCloseIsAWriteError) {
    ScriptServer srv;
    srv.AwaitClose();
    srv.Start();
    ASSERT_EQ(Connect(srv.Port(), 'S'), 0);
    ASSERT_EQ(vokIntegerParam(0, VOK_AUTO_CALL, 0), 1);
    EXPECT_EQ(vokAbort(0), 1);
    EXPECT_EQ(Chan()->AutoCall, 1);
    EXPECT_EQ(Chan()->Protocol, 'S');
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
    EXPECT_EQ(vokClose(0), VOK_SOCKET_WRITE_ERROR);
    EXPECT_EQ(Chan()->Protocol, 0);
    EXPECT_EQ(vokAbort(1), 1);  // no connection at all: still fine
}

TEST_F(Wire, ReleaseDropsOpenConnections) {
    ScriptServer srv;
    srv.AwaitClose();
    srv.Start();
    ASSERT_EQ(Connect(srv.Port(), 'S'), 0);
    vokRelease();
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
    EXPECT_EQ(ReadFile(logPath).substr(ReadFile(logPath).size() - 21), "Releasing channel 0\r\n");
    ASSERT_EQ(vokAttach(2), 1);  // TearDown releases again
}

TEST_F(Wire, ReconnectingDropsTheOldConnection) {
    ScriptServer first;
    first.AwaitClose();
    first.Start();
    ScriptServer second;
    second.Expect("NOOP\r\n").Send("250 ok\r\n").AwaitClose();
    second.Start();
    ASSERT_EQ(Connect(first.Port(), 'S'), 0);
    ASSERT_EQ(Connect(second.Port(), 'S'), 0);  // no close in between
    EXPECT_TRUE(first.Finish()) << first.Failures();
    EXPECT_EQ(vokCommand(0, "NOOP"), 0);
    vokAbort(0);
    EXPECT_TRUE(second.Finish()) << second.Failures();
}

TEST_F(Wire, ResetConnectionFailsTheNextSendAtOnce) {
    ScriptServer srv;
    srv.Stall(200).Reset();
    srv.Start();
    ASSERT_EQ(Connect(srv.Port(), 'S'), 0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
    plat::SleepMs(50);
    // The reset arrives first; QUIT then meets it instead of waiting.
    uint32_t start = plat::TickCount();
    int rc = vokClose(0);
    EXPECT_TRUE(rc == VOK_SOCKET_WRITE_ERROR || rc == VOK_SOCKET_CLOSED) << rc;
    EXPECT_LT(plat::TickCount() - start, 2000u);
}

TEST_F(Wire, WaitingCostsNoProcessorTime) {
    ScriptServer srv;
    srv.Expect("NOOP\r\n").Stall(1200).Send("250 late\r\n").AwaitClose();
    srv.Start();
    ASSERT_EQ(Connect(srv.Port(), 'S'), 0);
    double cpu = vok_test::CpuSeconds();
    EXPECT_EQ(vokCommand(0, "NOOP"), 0);
    double used = vok_test::CpuSeconds() - cpu;
    EXPECT_LT(used, 0.2);
    vokAbort(0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

// While one channel's server name is being looked up (held here as a slow
// name server would), the same thread drives another channel through a
// whole session; releasing the library mid-lookup leaves the lookup to
// finish on its own.
TEST_F(Wire, SlowLookupHoldsUpNoOtherChannel) {
    plat::NetAddress loopback{};
    loopback.Family = 4;
    loopback.Bytes[0] = 127;
    loopback.Bytes[3] = 1;
    plat::SetResolveOverride("slow.test", &loopback, 1);
    plat::HoldResolveOverride(true);
    ScriptServer slow, quick;
    slow.Expect("NOOP\r\n").Send("250 slow\r\n").AwaitClose();
    quick.Expect("NOOP\r\n").Send("250 quick\r\n").AwaitClose();
    slow.Start();
    quick.Start();
    ASSERT_EQ(vokIntegerParam(0, VOK_AUTO_CALL, 0), 1);
    ASSERT_EQ(vokIntegerParam(1, VOK_AUTO_CALL, 0), 1);
    auto drive = [](int chan) {
        int rc = VOK_DRIVER_WAIT;
        for (int i = 0; i < 5000 && rc > 0; ++i) {
            rc = vokDriver(chan);
            if (rc > 0) plat::SleepMs(1);
        }
        return rc;
    };
    ASSERT_EQ(Connect(slow.Port(), 'S', "slow.test", 0), 0);
    ASSERT_EQ(Connect(quick.Port(), 'S', "127.0.0.1", 1), 0);
    for (int i = 0; i < 20; ++i) vokDriver(0);  // the lookup has started and waits
    EXPECT_EQ(drive(1), 0);
    EXPECT_EQ(vokCommand(1, "NOOP"), 0);
    EXPECT_EQ(drive(1), 0);
    EXPECT_STREQ(Chan(1)->LastReply, "250 quick\r\n");
    EXPECT_EQ(Chan(0)->NextState, 104);  // still waiting for the name
    plat::HoldResolveOverride(false);
    EXPECT_EQ(drive(0), 0);
    EXPECT_EQ(vokCommand(0, "NOOP"), 0);
    EXPECT_EQ(drive(0), 0);
    EXPECT_STREQ(Chan(0)->LastReply, "250 slow\r\n");
    vokAbort(0);
    vokAbort(1);
    EXPECT_TRUE(slow.Finish()) << slow.Failures();
    EXPECT_TRUE(quick.Finish()) << quick.Failures();
    // Released while the lookup is held: the record goes, the lookup stays.
    plat::HoldResolveOverride(true);
    ASSERT_EQ(vokIntegerParam(0, VOK_AUTO_CALL, 0), 1);  // the abort set it back
    ASSERT_EQ(Connect(slow.Port(), 'S', "slow.test", 0), 0);
    for (int i = 0; i < 20; ++i) vokDriver(0);
    vokRelease();
    plat::HoldResolveOverride(false);
    plat::SetResolveOverride(nullptr, nullptr, 0);
    plat::SleepMs(50);  // the abandoned lookup ends and frees itself
}

// --- Names and addresses ------------------------------------------------------------

TEST(Names, ServerNameCharacters) {
    EXPECT_EQ(CheckServerName("mail.example.com"), 1);
    EXPECT_EQ(CheckServerName(""), 1);
    EXPECT_EQ(CheckServerName("caf\xE9.example"), 1);
    EXPECT_EQ(CheckServerName("user@host"), 0);
    EXPECT_EQ(CheckServerName("<host>"), 0);
    EXPECT_EQ(CheckServerName("bad\x80name"), 0);
    EXPECT_EQ(CheckServerName("tab\there"), 0);
    EXPECT_EQ(CheckServerName("del\x7F"), 0);
}

TEST(Names, DottedQuads) {
    EXPECT_EQ(IsDottedQuad("127.0.0.1"), 1);
    EXPECT_EQ(ParseDottedQuad("127.0.0.1"), 0x7F000001u);
    EXPECT_EQ(IsDottedQuad("10..0.1"), 1);  // an empty field counts as 0
    EXPECT_EQ(ParseDottedQuad("10..0.1"), 0x0A000001u);
    EXPECT_EQ(IsDottedQuad("1.2.3.4.junk"), 1);
    EXPECT_EQ(IsDottedQuad("1.2.3.256"), 0);
    EXPECT_EQ(IsDottedQuad("1.2.3"), 0);
    EXPECT_EQ(IsDottedQuad("1.2.3.x"), 0);
    EXPECT_EQ(IsDottedQuad("mail.example.com"), 0);
    EXPECT_EQ(IsDottedQuad("99999999999999999999.1.1.1"), 0);
    char buf[32];
    EXPECT_EQ(FormatDottedQuad(0x7F000001u, buf, sizeof buf), 9);
    EXPECT_STREQ(buf, "127.0.0.1");
    strcpy(buf, "keep");
    EXPECT_EQ(FormatDottedQuad(0xFFFFFFFFu, buf, 16), 0);
    EXPECT_STREQ(buf, "keep");
    EXPECT_EQ(FormatDottedQuad(0xFFFFFFFFu, buf, 17), 15);
}

// --- Readiness: replies are read the moment they arrive ----------------------------

plat::SocketHandle Handle(int chan) {
    return static_cast<plat::SocketHandle>(vokStatistics(chan, VOK_STAT_SOCKET));
}

// One vokDriver call after waiting, the way an application's poll loop
// would: on the socket for what statistic 32 names, at most for the
// statistic 33 timer (and never long).
int PollThenDrive(int chan) {
    int wait = vokStatistics(chan, VOK_STAT_WAIT_FOR);
    int timer = vokStatistics(chan, VOK_STAT_TIMER_MS);
    int ms = timer < 0 || timer > 20 ? 20 : timer;
    if (wait != 0)
        plat::SocketPoll(Handle(chan),
                         wait == 1 ? plat::Readiness::Readable : plat::Readiness::Writable, ms);
    else if (ms > 0)
        plat::SleepMs(static_cast<uint32_t>(ms));
    return vokDriver(chan);
}

// AutoCall 0 with a gate a minute away: a state that waits for the server
// runs as soon as the whole reply is there, however it came; with no reply
// every call returns 9999 at once and takes no step. Statistics 32 and 33
// agree with poll() all along.
TEST_F(Wire, ReplyOpensTheTimeGate) {
    struct Case {
        const char* name;
        char protocol;
        std::vector<std::string> pieces;  // the reply, sent with pauses between
        const char* last;                 // LastReply once read; null: no reply comes
    };
    const Case cases[] = {
        {"smtp line", 'S', {"250 ok\r\n"}, "250 ok\r\n"},
        {"smtp multi-line in pieces", 'S', {"250-one\r\n25", "0 two\r\n"}, "250 two\r\n"},
        {"pop3 status", 'P', {"+OK\r\n"}, "+OK\r\n"},
        {"no reply", 'S', {}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptServer srv;
        srv.Expect("NOOP\r\n");
        for (const std::string& piece : c.pieces) srv.Stall(100).Send(piece);
        srv.AwaitClose();
        srv.Start();
        LibrarySettings.MinResponseWait = 1;
        ASSERT_EQ(Connect(srv.Port(), c.protocol), 0);
        LibrarySettings.MinResponseWait = 60000;
        ASSERT_EQ(vokIntegerParam(0, VOK_AUTO_CALL, 0), 1);
        ASSERT_EQ(vokCommand(0, "NOOP"), 0);
        EXPECT_EQ(vokDriver(0), c.protocol == 'S' ? 299 : 399);  // sent
        int steps = vokStatistics(0, VOK_STAT_STEP_COUNT);
        if (plat::SocketPoll(Handle(0), plat::Readiness::Readable, 0) == 0) {
            EXPECT_EQ(vokStatistics(0, VOK_STAT_WAIT_FOR), 1);
            int timer = vokStatistics(0, VOK_STAT_TIMER_MS);
            EXPECT_TRUE(timer > 0 && timer <= 5001) << timer;  // the deadline comes first
            EXPECT_EQ(vokDriver(0), VOK_DRIVER_WAIT);
            EXPECT_EQ(vokStatistics(0, VOK_STAT_STEP_COUNT), steps);
        }
        int rc = VOK_DRIVER_WAIT;
        for (int i = 0; i < (c.last ? 500 : 10) && rc > 0; ++i) rc = PollThenDrive(0);
        if (c.last) {
            EXPECT_EQ(rc, 0);
            EXPECT_STREQ(Chan()->LastReply, c.last);
            EXPECT_EQ(vokStatistics(0, VOK_STAT_WAIT_FOR), 0);
            EXPECT_EQ(vokStatistics(0, VOK_STAT_TIMER_MS), -1);
        } else {
            EXPECT_EQ(rc, VOK_DRIVER_WAIT);
            EXPECT_EQ(vokStatistics(0, VOK_STAT_STEP_COUNT), steps);
        }
        // vokClose waits first for room to send its QUIT.
        ASSERT_EQ(vokClose(0), 0);
        EXPECT_EQ(plat::SocketPoll(Handle(0), plat::Readiness::Writable, 0), 1);
        EXPECT_EQ(vokStatistics(0, VOK_STAT_WAIT_FOR), 2);
        vokAbort(0);
        EXPECT_TRUE(srv.Finish()) << srv.Failures();
    }
}

// Sixty-four sessions closed one after another from one thread: each
// vokClose returns once its QUIT reply is in.
TEST(Closing, SixtyFourChannelsFromOneThread) {
    constexpr int kChannels = 64;
    Settings saved = LibrarySettings;
    LibrarySettings.MinResponseWait = 1;
    ASSERT_EQ(vokAttach(kChannels), 1);
    std::vector<std::unique_ptr<ScriptServer>> servers;
    for (int i = 0; i < kChannels; ++i) {
        servers.push_back(std::make_unique<ScriptServer>());
        servers.back()->Expect("QUIT\r\n").Send("221 bye\r\n").AwaitClose();
        servers.back()->Start();
        Channel* ch = ChannelTable[i].Record;
        CopyText(ch->Server, "127.0.0.1", kNameChars);
        ch->RemotePort = servers.back()->Port();
        ch->Protocol = 'S';
        ASSERT_EQ(StartOperation(ch, kStLocalHost1, false), 0) << i;
    }
    LibrarySettings = saved;  // the default gate from here on
    for (int i = 0; i < kChannels; ++i) EXPECT_EQ(vokClose(i), 0) << i;
    for (auto& srv : servers) EXPECT_TRUE(srv->Finish()) << srv->Failures();
    vokRelease();
    LibrarySettings = saved;
}

TEST(TextRoutines, SearchesAndNumbers) {
    EXPECT_NE(FindText("250-AUTH=LOGIN PLAIN", "AUTH "), nullptr);
    EXPECT_EQ(FindText("abc", "b"), nullptr);  // one character never matches
    EXPECT_EQ(FindText("ab", "abcd"), nullptr);
    EXPECT_EQ(SameText("hello", "HELLO", 5), 1);
    EXPECT_EQ(SameText("h\xE9", "H\xC9", 2), 0);  // only a-z fold
    EXPECT_EQ(SameText("ab", "ab", 10), 1);
    EXPECT_EQ(SameText("ab", "abc", 10), 0);
    EXPECT_EQ(SameText("x", "x", 0), 0);
    EXPECT_EQ(ParseDecimal("250 ok"), 250);
    EXPECT_EQ(ParseDecimal("-5"), 0);
    EXPECT_EQ(ParseDecimal("99999999999"), INT32_MAX);      // saturates
    EXPECT_EQ(ParseDecimal("12345678901234"), 1234567890);  // ten digits at most
    char dst[8];
    EXPECT_EQ(CopyText(dst, "abcdefghij", 7), 7);
    EXPECT_STREQ(dst, "abcdefg");
    EXPECT_EQ(IndexOfChar("abc\0d", 'd', 5), -1);
}

}  // namespace
