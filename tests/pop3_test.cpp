// SPDX-License-Identifier: MIT
// The POP3 session on the wire: login by USER/PASS and APOP, the mailbox
// commands and how they read "-ERR", TOP and UIDL into caller and library
// buffers, raw download, responses cut off by a closed connection, and the
// message-file path. A scripted loopback server plays the mailbox.
#include <cstring>
#include <string>

#include "codec/text.h"
#include "engine/engine.h"
#include "frame/memory.h"
#include "platform/platform.h"
#include "pop3_wire.h"
#include "codec/md5.h"

using namespace vok;
using vok_test::Contains;
using vok_test::Pop3Wire;
using vok_test::ReadFile;
using vok_test::ScriptServer;
using vok_test::Stuffed;

namespace {

std::string Md5Hex(const std::string& text) {
    Md5 md;
    md.Update(text.data(), text.size());
    uint8_t digest[16];
    md.Final(digest);
    char hex[33];
    DigestToHex(digest, hex);
    return hex;
}

// --- Login -----------------------------------------------------------------------

TEST_F(Pop3Wire, UserPassLoginTracesTheSession) {
    ScriptServer srv;
    Login(srv);
    ASSERT_EQ(Connect(srv), 0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
    EXPECT_EQ(Ch()->Protocol, 'P');
    std::string log = Log();
    size_t at = 0;
    for (const char* step :
         {"*** vokPop3Connect\r\n", "<300:", "VOK Win32 Version 3.4.2 Build 11\r\n",
          "<101:", "<301:", "<303:", "S: USER ann\r\n", "<304:", "<305:", "S: PASS ****\r\n",
          "<306:", "r: +OK logged in\r\n"}) {
        size_t found = log.find(step, at);
        ASSERT_NE(found, std::string::npos) << step << "\n" << log;
        at = found;
    }
}

TEST_F(Pop3Wire, RefusedPasswordIsMinus63WithTheServersLine) {
    ScriptServer srv;
    srv.Send("+OK ready\r\n").Expect("USER ann\r\n").Send("+OK\r\n").Expect("PASS secret\r\n");
    srv.Send("-ERR [AUTH] Authentication failed.\r\n").AwaitClose();
    ASSERT_EQ(Connect(srv), VOK_POP3_ERROR);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
    char text[200];
    vokErrorText(0, VOK_POP3_ERROR, text, sizeof text);
    EXPECT_TRUE(Contains(text, "-ERR [AUTH] Authentication failed.")) << text;
    EXPECT_EQ(vokStatistics(0, 3), 500);
}

TEST_F(Pop3Wire, ApopAnswersTheRfcExample) {
    ScriptServer srv;
    srv.Send("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>\r\n")
        .Expect("APOP mrose c4c9334bac560ecc979e58001b3e22fb\r\n")
        .Send("+OK mrose's maildrop has 2 messages (320 octets)\r\n");
    srv.Start();
    vokIntegerParam(0, VOK_POP3_PORT, srv.Port());
    vokIntegerParam(0, VOK_USE_APOP, 1);
    EXPECT_EQ(vokPop3Connect(0, "127.0.0.1", "mrose", "tanstaaf"), 0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

TEST_F(Pop3Wire, ApopTakesTheWholeTimestampAsItStands) {
    // Timestamps hold '+', '/', '=' and a long host name; all of it counts.
    const std::string stamp =
        "<4f1a.2c.6571f0a2.Xk3r+/Qz9N5Jh1/2pA==@ip-10-0-0-12.eu-west-1.compute.internal>";
    ScriptServer srv;
    srv.Send("+OK Dovecot ready. " + stamp + "\r\n")
        .Expect("APOP ann " + Md5Hex(stamp + "secret") + "\r\n")
        .Send("+OK Logged in.\r\n");
    vokIntegerParam(0, VOK_USE_APOP, 1);
    EXPECT_EQ(Connect(srv), 0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

TEST_F(Pop3Wire, ApopWithoutATimestampIsMinus57) {
    vokIntegerParam(0, VOK_USE_APOP, 1);
    for (const char* greeting : {"+OK ready\r\n", "+OK ready <1896.697170952@host\r\n"}) {
        ScriptServer srv;
        srv.Send(greeting).AwaitClose();
        EXPECT_EQ(Connect(srv), VOK_APOP_NO_TIMESTAMP) << greeting;
        EXPECT_TRUE(srv.Finish()) << srv.Failures();
        EXPECT_EQ(srv.Received(), "");
    }
}

TEST_F(Pop3Wire, ArgumentChecks) {
    char buf[200];
    EXPECT_EQ(vokGetEmailCount(0), VOK_POP3_ONLY);
    EXPECT_EQ(vokGetEmailFile(0, 1, "a", "b", "c"), VOK_POP3_ONLY);
    // A refused connect still marks the channel POP3.
    EXPECT_EQ(vokPop3Connect(0, nullptr, "u", "p"), VOK_SERVER_NOT_SPECIFIED);
    EXPECT_EQ(Ch()->Protocol, 'P');
    EXPECT_EQ(vokPop3Connect(0, "h", nullptr, "p"), VOK_NO_USER);
    EXPECT_EQ(vokPop3Connect(0, "h", "u", nullptr), VOK_NO_PASSWORD);
    EXPECT_EQ(vokPop3Connect(0, "bad@host", "u", "p"), VOK_BAD_SERVER_NAME);
    EXPECT_EQ(vokGetEmailSize(0, 0), VOK_NO_SUCH_MESSAGE);
    EXPECT_EQ(vokDeleteEmail(0, -1), VOK_NO_SUCH_MESSAGE);
    EXPECT_EQ(vokGetEmailLines(0, 0, 5, buf, 200), VOK_NO_SUCH_MESSAGE);
    EXPECT_EQ(vokGetEmailLines(0, 1, 5, buf, 127), VOK_BUFFER_TOO_SMALL);
    EXPECT_EQ(vokGetEmailUID(0, 1, nullptr, 200), VOK_BUFFER_NULL);
    EXPECT_EQ(vokGetEmailUID(0, 1, buf, 127), VOK_BUFFER_TOO_SMALL);
    EXPECT_EQ(vokGetEmailFile(0, 0, "a", "b", "c"), VOK_NO_SUCH_MESSAGE);
    EXPECT_EQ(vokGetEmailFile(0, 1, nullptr, "b", "c"), VOK_MISSING_FILENAME);
    EXPECT_EQ(vokGetEmailFile(0, 1, "a", nullptr, "c"), VOK_MISSING_EMAIL_PATH);
    EXPECT_EQ(vokGetEmailFile(0, 1, "a", "b", nullptr), VOK_MISSING_ATTACH_PATH);
    EXPECT_EQ(vokGetEmailCount(5), VOK_CHANNEL_RANGE);
    // No connection: the command cannot be sent.
    EXPECT_EQ(vokGetEmailCount(0), VOK_SOCKET_READ_ERROR);
    EXPECT_TRUE(Contains(Log(), "*** vokDelete\r\n"));
}

// --- STAT, LIST, DELE ------------------------------------------------------------

// "-ERR" fails the call with -63 and the session goes on; the refusal's text
// is the last reply.
TEST_F(Pop3Wire, MailboxCommandsAndTheirRefusals) {
    ScriptServer srv;
    Login(srv)
        .Expect("STAT\r\n")
        .Send("+OK 2 320\r\n")
        .Expect("STAT\r\n")
        .Send("-ERR mailbox locked\r\n")
        .Expect("LIST 1\r\n")
        .Send("+OK 1 120\r\n")
        .Expect("LIST 9\r\n")
        .Send("-ERR no such message\r\n")
        .Expect("DELE 1\r\n")
        .Send("+OK message 1 deleted\r\n")
        .Expect("DELE 1\r\n")
        .Send("-ERR message 1 already deleted\r\n")
        .Expect("STAT\r\n")
        .Send("+OK 1 200\r\n");
    ASSERT_EQ(Connect(srv), 0);
    EXPECT_EQ(vokGetEmailCount(0), 2);
    EXPECT_EQ(vokStatistics(0, 17), 2);
    EXPECT_EQ(vokGetEmailCount(0), VOK_POP3_ERROR);
    EXPECT_EQ(vokStatistics(0, 3), 500);
    char last[200];
    vokDebug(0, 23, last, sizeof last);
    EXPECT_TRUE(Contains(last, "-ERR mailbox locked"));
    EXPECT_EQ(vokGetEmailSize(0, 1), 120);
    EXPECT_EQ(vokStatistics(0, 18), 120);
    EXPECT_EQ(vokGetEmailSize(0, 9), VOK_POP3_ERROR);
    EXPECT_EQ(vokDeleteEmail(0, 1), 0);
    EXPECT_EQ(vokDeleteEmail(0, 1), VOK_POP3_ERROR);
    EXPECT_EQ(vokGetEmailCount(0), 1);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

// A reply that is no status line, or a status without its numbers, leaves
// the two sides out of step: the call fails and the connection is closed.
TEST_F(Pop3Wire, MailboxRepliesThatAreNoStatusFail) {
    const std::string junk(64 * 1024, 'x');
    struct Case {
        const char* command;
        std::string reply;
    } cases[] = {{"STAT", "+OK\r\n"},
                 {"STAT", "hello there\r\n"},
                 {"LIST 2", "+OK 120\r\n"},
                 {"DELE 1", "+Okay\r\n"},
                 {"STAT", junk + "\r\n"}};
    for (const Case& c : cases) {
        ScriptServer srv;
        Login(srv).Expect(std::string(c.command) + "\r\n").Send(c.reply).AwaitClose();
        ASSERT_EQ(Connect(srv), 0);
        int rc = c.command[0] == 'S'   ? vokGetEmailCount(0)
                 : c.command[0] == 'L' ? vokGetEmailSize(0, 2)
                                       : vokDeleteEmail(0, 1);
        EXPECT_TRUE(rc == VOK_POP3_ERROR || rc == VOK_RESPONSE_OVERFLOW) << c.command << " " << rc;
        EXPECT_EQ(Ch()->Socket, plat::kNoSocket) << c.command;
        EXPECT_TRUE(srv.Finish()) << srv.Failures();
    }
}

TEST_F(Pop3Wire, ManualDrivingOfStat) {
    ScriptServer srv;
    Login(srv).Expect("STAT\r\n").Send("+OK 7 9000\r\n");
    ASSERT_EQ(Connect(srv), 0);
    vokIntegerParam(0, VOK_AUTO_CALL, 0);
    EXPECT_EQ(vokGetEmailCount(0), 0);
    int rc = 0;
    int states = 0;
    for (int i = 0; i < 2000; ++i) {
        rc = vokDriver(0);
        if (rc <= 0) break;
        if (rc != VOK_DRIVER_WAIT) ++states;
        plat::SleepMs(1);
    }
    EXPECT_EQ(rc, 0);
    EXPECT_GE(states, 1);
    EXPECT_EQ(vokStatistics(0, 17), 7);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

TEST_F(Pop3Wire, StatusReplyCutOffByTheServerIsMinus1) {
    ScriptServer srv;
    Login(srv).Expect("STAT\r\n").Close();
    ASSERT_EQ(Connect(srv), 0);
    EXPECT_EQ(vokGetEmailCount(0), VOK_SOCKET_CLOSED);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

// --- UIDL ----------------------------------------------------------------------

TEST_F(Pop3Wire, UidlOfOneMessageAndOfTheMailbox) {
    const std::string list = "+OK\r\n1 whqtswO00WBw418f9t5JxYwZ\r\n2 QhdPYR:00WBw1Ph7x7\r\n";
    ScriptServer srv;
    Login(srv)
        .Expect("UIDL 2\r\n")
        .Send("+OK 2 QhdPYR:00WBw1Ph7x7\r\n")
        .Expect("UIDL\r\n")
        .Send(list + ".\r\n")
        .Expect("UIDL\r\n")
        .Send("-ERR not now\r\n")
        .Expect("UIDL 3\r\n")
        .Send("-ERR no such message\r\n")
        .Expect("UIDL\r\n")
        .Send(list + ".\r\n");
    ASSERT_EQ(Connect(srv), 0);
    char buf[300];
    EXPECT_EQ(vokGetEmailUID(0, 2, buf, sizeof buf), 26);
    EXPECT_STREQ(buf, "+OK 2 QhdPYR:00WBw1Ph7x7\r\n");
    EXPECT_EQ(vokGetEmailUID(0, -1, buf, sizeof buf), static_cast<int>(list.size()));
    EXPECT_EQ(buf, list);
    EXPECT_EQ(vokStatistics(0, 19), static_cast<int>(list.size()));
    // A refused list ends at once instead of waiting for a "." that never comes.
    EXPECT_EQ(vokGetEmailUID(0, 0, buf, sizeof buf), 14);
    EXPECT_STREQ(buf, "-ERR not now\r\n");
    EXPECT_EQ(vokGetEmailUID(0, 3, buf, sizeof buf), 22);
    // 128 bytes hold 127 characters and the NUL.
    char small[128];
    memset(small, 'x', sizeof small);
    EXPECT_EQ(vokGetEmailUID(0, -1, small, sizeof small), static_cast<int>(list.size()));
    EXPECT_EQ(std::string(small), list);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

// ListAll: a thousand sizes and ids cost one LIST and one UIDL. A message
// the listing lacks is asked about on its own; DELE discards the listing,
// and a refused listing leaves the one-message command.
TEST_F(Pop3Wire, ListAllAnswersFromOneListingEach) {
    std::string sizes = "+OK 1000 messages\r\n", uids = "+OK\r\n";
    for (int i = 1; i <= 1000; ++i) {
        sizes += std::to_string(i) + " " + std::to_string(100 + i) + "\r\n";
        uids += std::to_string(i) + " id-" + std::to_string(i) + "\r\n";
    }
    ScriptServer srv;
    Login(srv)
        .Expect("LIST\r\n")
        .Send(sizes + ".\r\n")
        .Expect("UIDL\r\n")
        .Send(uids + ".\r\n")
        .Expect("LIST 1001\r\n")
        .Send("-ERR no such message\r\n")
        .Expect("DELE 2\r\n")
        .Send("+OK\r\n")
        .Expect("LIST\r\n")
        .Send("-ERR not now\r\n")
        .Expect("LIST 3\r\n")
        .Send("+OK 3 103\r\n");
    EXPECT_EQ(vokIntegerParam(0, VOK_LIST_ALL, 2), -1);
    ASSERT_EQ(vokIntegerParam(0, VOK_LIST_ALL, 1), 1);
    ASSERT_EQ(Connect(srv), 0);
    int wrong = 0;
    char buf[200];
    for (int i = 1; i <= 1000; ++i) {
        std::string uid = "+OK " + std::to_string(i) + " id-" + std::to_string(i) + "\r\n";
        wrong += vokGetEmailSize(0, i) != 100 + i;
        wrong += vokGetEmailUID(0, i, buf, sizeof buf) != static_cast<int>(uid.size());
        wrong += buf != uid;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(vokStatistics(0, VOK_STAT_MESSAGE_SIZE), 1100);
    EXPECT_EQ(vokGetEmailSize(0, 1001), VOK_POP3_ERROR);
    EXPECT_EQ(vokDeleteEmail(0, 2), 0);
    EXPECT_EQ(vokGetEmailSize(0, 3), 103);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

// A list longer than the buffer fills it and is still terminated inside it.
TEST_F(Pop3Wire, UidlListThatFillsTheBufferIsTerminated) {
    std::string list = "+OK\r\n";
    for (int i = 1; i <= 20; ++i)
        list += std::to_string(i) + " uid-of-message-" + std::to_string(i) + "\r\n";
    ScriptServer srv;
    Login(srv).Expect("UIDL\r\n").Send(list + ".\r\n");
    ASSERT_EQ(Connect(srv), 0);
    char buf[200];
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(vokGetEmailUID(0, -1, buf, 128), 127);
    EXPECT_EQ(std::string(buf), list.substr(0, 127));
    EXPECT_EQ(buf[128], 'x');
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

TEST_F(Pop3Wire, UidlListCutOffIsMinus1AndKeepsWhatCame) {
    ScriptServer srv;
    Login(srv).Expect("UIDL\r\n").Send("+OK\r\n1 aaa\r\n").Close();
    ASSERT_EQ(Connect(srv), 0);
    char buf[200];
    EXPECT_EQ(vokGetEmailUID(0, -1, buf, sizeof buf), VOK_SOCKET_CLOSED);
    EXPECT_STREQ(buf, "+OK\r\n1 aaa\r\n");
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

// --- TOP -----------------------------------------------------------------------

const char kTopReply[] =
    "+OK top of message follows\r\n"
    "From: Bob <bob@example.org>\r\n"
    "Subject: Dots\r\n"
    "\r\n"
    ".\r\n"
    ".abc\r\n"
    "last line of the top\r\n";

TEST_F(Pop3Wire, TopIntoACallerBufferUnstuffsDots) {
    ScriptServer srv;
    Login(srv).Expect("TOP 4 0\r\n").Send(Stuffed(kTopReply));
    ASSERT_EQ(Connect(srv), 0);
    char buf[400];
    memset(buf, '#', sizeof buf);
    int n = vokGetEmailLines(0, 4, -5, buf, sizeof buf);
    EXPECT_EQ(n, static_cast<int>(strlen(kTopReply)));
    EXPECT_EQ(std::string(buf, n), kTopReply);
    EXPECT_EQ(buf[n], '\0');
    EXPECT_EQ(vokStatistics(0, 19), n);
    EXPECT_EQ(vokStatistics(0, 10), n);
    EXPECT_TRUE(Contains(Log(), "[Saving to buffer]\r\n"));
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

TEST_F(Pop3Wire, TopFillsASmallBufferExactly) {
    std::string reply = "+OK\r\n";
    for (int i = 0; i < 20; ++i)
        reply += "Received: from relay" + std::to_string(i) + ".example.org\r\n";
    ScriptServer srv;
    Login(srv).Expect("TOP 1 3\r\n").Send(reply + ".\r\n");
    ASSERT_EQ(Connect(srv), 0);
    char buf[201];
    buf[200] = '#';
    EXPECT_EQ(vokGetEmailLines(0, 1, 3, buf, 200), 200);
    EXPECT_EQ(std::string(buf, 200), reply.substr(0, 200));
    EXPECT_EQ(buf[200], '#');  // nothing past the size given
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

TEST_F(Pop3Wire, TopIntoTheLibraryBuffer) {
    ScriptServer srv;
    Login(srv).Expect("TOP 2 10\r\n").Send(Stuffed(kTopReply));
    ASSERT_EQ(Connect(srv), 0);
    EXPECT_EQ(vokStringParam(0, VOK_SAVE_BUFFER, dir.file("none.txt").c_str()), VOK_NULL_POINTER);
    int n = vokGetEmailLines(0, 2, 10, const_cast<char*>("*"), 5000);
    EXPECT_EQ(n, static_cast<int>(strlen(kTopReply)));
    EXPECT_EQ(BlockSize(0 * kSlotsPerChannel + kSlotMessageBuffer), 5002);
    EXPECT_STREQ(GetBlock(kSlotMessageBuffer), kTopReply);
    std::string saved = dir.file("top.txt");
    EXPECT_EQ(vokStringParam(0, VOK_SAVE_BUFFER, saved.c_str()), n);
    EXPECT_EQ(ReadFile(saved), kTopReply);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

TEST_F(Pop3Wire, TopRefusedEndsAtOnceWithMinus63) {
    ScriptServer srv;
    Login(srv).Expect("TOP 9 0\r\n").Send("-ERR no such message\r\n").AwaitClose();
    ASSERT_EQ(Connect(srv), 0);
    char buf[200];
    uint32_t start = plat::TickCount();
    EXPECT_EQ(vokGetEmailLines(0, 9, 0, buf, sizeof buf), VOK_POP3_ERROR);
    EXPECT_LT(plat::TickCount() - start, 2000u);
    EXPECT_EQ(std::string(buf, 22), "-ERR no such message\r\n");
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

TEST_F(Pop3Wire, TopCutOffIsMinus1) {
    ScriptServer srv;
    Login(srv).Expect("TOP 1 0\r\n").Send("+OK\r\nSubject: x\r\n").Close();
    ASSERT_EQ(Connect(srv), 0);
    char buf[200];
    EXPECT_EQ(vokGetEmailLines(0, 1, 0, buf, sizeof buf), VOK_SOCKET_CLOSED);
    EXPECT_STREQ(buf, "+OK\r\nSubject: x\r\n");
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

// --- RETR ----------------------------------------------------------------------

const char kPlain[] =
    "From: Bob <bob@example.org>\r\n"
    "Subject: Plain\r\n"
    "\r\n"
    "..\r\n"
    ".\r\n"
    "+OK is a fine way to start a line\r\n"
    "..abc\r\n"
    "end\r\n";

TEST_F(Pop3Wire, RetrOfAPlainMessageKeepsEveryLine) {
    EXPECT_EQ(Fetch(kPlain, dir.path()), 0);
    EXPECT_EQ(Mail(), kPlain);
    std::string log = Log();
    EXPECT_TRUE(
        Contains(log, "Saving email to '" + dir.file("mail.txt") + "'\r\n") ||
        Contains(log, "Saving email to '" + dir.path() + plat::PathSeparator() + "mail.txt'"));
    EXPECT_TRUE(Contains(log, "[Not doing MIME/2]\r\n"));
    EXPECT_TRUE(Contains(log, "[CLOSE]\r\n"));
    EXPECT_EQ(vokStatistics(0, 22), 0);
}

TEST_F(Pop3Wire, LogDetailLeavesOutDownloadedLines) {
    ASSERT_EQ(vokIntegerParam(0, VOK_LOG_DETAIL, 1), 1);
    EXPECT_EQ(Fetch(kPlain, dir.path()), 0);
    EXPECT_EQ(Mail(), kPlain);
    std::string log = Log();
    EXPECT_TRUE(Contains(log, "S: RETR 1\r\n")) << log;
    EXPECT_TRUE(Contains(log, "[CLOSE]\r\n")) << log;
    std::string firstLine(kPlain, strcspn(kPlain, "\r"));
    EXPECT_FALSE(Contains(log, firstLine)) << log;
}

TEST_F(Pop3Wire, RetrRefusedEndsAtOnceWithMinus63) {
    ScriptServer srv;
    Login(srv).Expect("RETR 5\r\n").Send("-ERR no such message\r\n").AwaitClose();
    ASSERT_EQ(Connect(srv), 0);
    uint32_t start = plat::TickCount();
    EXPECT_EQ(vokGetEmailFile(0, 5, "m.txt", dir.path().c_str(), dir.path().c_str()),
              VOK_POP3_ERROR);
    EXPECT_LT(plat::TickCount() - start, 2000u);
    EXPECT_EQ(ReadFile(dir.file("m.txt")), "-ERR no such message\r\n");
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

TEST_F(Pop3Wire, RetrCutOffIsMinus1AndKeepsWhatCame) {
    ScriptServer srv;
    Login(srv).Expect("RETR 1\r\n").Send("+OK\r\nSubject: cut\r\n\r\nfirst line\r\n").Close();
    ASSERT_EQ(Connect(srv), 0);
    EXPECT_EQ(vokGetEmailFile(0, 1, "m.txt", dir.path().c_str(), dir.path().c_str()),
              VOK_SOCKET_CLOSED);
    EXPECT_EQ(ReadFile(dir.file("m.txt")), "Subject: cut\r\n\r\nfirst line\r\n");
    EXPECT_EQ(Ch()->MailHandle, 0);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

TEST_F(Pop3Wire, MessageFileThatCannotBeMadeIsMinus67BeforeRetr) {
    std::string missing = dir.file("no/such/folder");
    std::string tooLong(130, 'd');
    for (const std::string& folder : {missing, dir.path() + "/" + tooLong}) {
        ScriptServer srv;
        Login(srv).AwaitClose();
        ASSERT_EQ(Connect(srv), 0);
        EXPECT_EQ(vokGetEmailFile(0, 1, "m.txt", folder.c_str(), dir.path().c_str()),
                  VOK_CANNOT_CREATE_FILE);
        EXPECT_TRUE(srv.Finish()) << srv.Failures();
        EXPECT_FALSE(Contains(srv.Received(), "RETR"));
    }
    // A name that would only fit cut short is refused too.
    ScriptServer srv;
    Login(srv).AwaitClose();
    ASSERT_EQ(Connect(srv), 0);
    EXPECT_EQ(vokGetEmailFile(0, 1, std::string(200, 'n').c_str(), "", dir.path().c_str()),
              VOK_CANNOT_CREATE_FILE);
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

TEST_F(Pop3Wire, RawDownloadWritesTheReplyAsReceived) {
    const std::string reply = "+OK 40 octets\r\n" + Stuffed(kPlain);
    vok::LibrarySettings.ReadWait = 300;
    // The next deadline counts from after the step's own wait for silence,
    // so equal waits (as the defaults are) still end in success.
    vok::LibrarySettings.MaxResponseWait = 300;
    ScriptServer srv;
    Login(srv).Expect("RETR 1\r\n").Send(reply).Stall(600);
    ASSERT_EQ(Connect(srv), 0);
    vokIntegerParam(0, VOK_RAW_DOWNLOAD, 1);
    uint32_t start = plat::TickCount();
    EXPECT_EQ(vokGetEmailFile(0, 1, "raw.txt", dir.path().c_str(), dir.path().c_str()), 0);
    // It ends only after ReadWait of silence.
    EXPECT_GE(plat::TickCount() - start, 300u);
    EXPECT_EQ(ReadFile(dir.file("raw.txt")), reply);
    EXPECT_EQ(vokStatistics(0, 13), static_cast<int>(reply.size()));
    EXPECT_EQ(vokStatistics(0, 10), static_cast<int>(reply.size()));
    EXPECT_EQ(Ch()->DecoderState, 1);  // stays raw for the next download
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

// A NUL is an ordinary byte: it neither hides a line end nor the "." line.
TEST_F(Pop3Wire, NulBytesInLinesAreOrdinaryBytes) {
    using namespace std::string_literals;
    const std::string top = "Subject: a\0b\r\n\r\n.\0dot\r\nlast\0\r\n"s;
    ScriptServer srv;
    Login(srv).Expect("TOP 1 2\r\n").Send("+OK\r\n" + Stuffed(top));
    srv.Expect("STAT\r\n").Send("+OK 1 9\r\n");
    ASSERT_EQ(Connect(srv), 0);
    char buf[300];
    ASSERT_EQ(vokGetEmailLines(0, 1, 2, buf, sizeof buf), static_cast<int>(5 + top.size()));
    EXPECT_EQ(std::string(buf, 5 + top.size()), "+OK\r\n" + top);
    EXPECT_EQ(vokGetEmailCount(0), 1);  // nothing of the reply was left over
    EXPECT_TRUE(srv.Finish()) << srv.Failures();
}

TEST_F(Pop3Wire, RawDownloadEndedByTheServer) {
    // After the "." line a close is the end of a whole message; before it,
    // the message was cut off.
    for (bool whole : {true, false}) {
        const std::string reply = whole ? "+OK\r\nbody\r\n.\r\n" : "+OK\r\nbody\r\n";
        ScriptServer srv;
        Login(srv).Expect("RETR 1\r\n").Send(reply).Close();
        ASSERT_EQ(Connect(srv), 0);
        vokIntegerParam(0, VOK_RAW_DOWNLOAD, 1);
        EXPECT_EQ(vokGetEmailFile(0, 1, "raw.txt", dir.path().c_str(), dir.path().c_str()),
                  whole ? 0 : VOK_SOCKET_CLOSED);
        EXPECT_EQ(ReadFile(dir.file("raw.txt")), reply);
        EXPECT_TRUE(Contains(Log(), "[EOF1]\r\n"));
        EXPECT_TRUE(srv.Finish()) << srv.Failures();
    }
}

}  // namespace
