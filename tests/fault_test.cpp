// SPDX-License-Identifier: MIT
// Fault injection at every step of an SMTP and a POP3 session. For each
// exchange of a normal session the server misbehaves in one way: it closes,
// resets, stalls past the time-out, answers garbage or a line without end,
// sends half a line and closes, or sends its reply one byte per segment
// (which must still work). Every case checks that the call of that step
// fails (and only that one), that no descriptor stays open, and that the
// channel then runs a whole normal session.
#include <chrono>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "frame/settings.h"
#include "helpers.h"
#include "script_server.h"
#include "codec/md5.h"
#include "vok32.h"

using vok_test::Base64;
using vok_test::ScriptServer;
using vok_test::TempDir;

namespace {

constexpr int kWait = 400;  // MaxResponseWait, ReadWait and WriteWait, ms

enum class Fault { Close, Reset, Stall, Garbage, LongLine, HalfLineClose, OneByteSegments };
const char* const kFaultNames[] = {"Close",    "Reset",         "Stall",          "Garbage",
                                   "LongLine", "HalfLineClose", "OneByteSegments"};

// One exchange: the line the client sends (empty for the greeting), then the
// server's reply in two parts; a fault strikes between them. `midData`
// marks the point inside the message data, which has no reply of its own.
struct Exchange {
    const char* name;
    std::string expect;
    std::string head;
    std::string rest;
    bool untilDot = false;
    bool midData = false;
};

// A session is its exchanges and the calls that carry them out; each call
// covers the exchanges up to `last`.
struct Call {
    int last;
    std::function<int(uint16_t port)> run;
};

struct Session {
    std::vector<Exchange> exchanges;
    std::vector<Call> calls;
};

std::string Message() {
    std::string attachment;
    for (int i = 0; i < 300; ++i) attachment += "attachment line " + std::to_string(i) + "\n";
    std::string b64 = Base64(attachment);
    std::string lines;
    for (size_t i = 0; i < b64.size(); i += 76) lines += b64.substr(i, 76) + "\r\n";
    return "From: a@example.org\r\nSubject: faults\r\nMIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"B\"\r\n\r\n--B\r\n"
           "Content-Type: text/plain\r\n\r\nHello.\r\n--B\r\n"
           "Content-Type: application/octet-stream; name=\"a.bin\"\r\n"
           "Content-Transfer-Encoding: base64\r\n\r\n" +
           lines + "--B--\r\n";
}

Session SmtpSession(const std::string& attachPath) {
    Session s;
    s.exchanges = {
        {"greeting", "", "", "220 ready\r\n"},
        {"ehlo", "EHLO example.com", "250-hi\r\n", "250 AUTH LOGIN\r\n"},
        {"auth", "AUTH LOGIN", "", "334 VXNlcm5hbWU6\r\n"},
        {"auth-user", Base64("ann"), "", "334 UGFzc3dvcmQ6\r\n"},
        {"auth-password", Base64("secret"), "", "235 ok\r\n"},
        {"mail", "MAIL FROM:<ann@example.com>", "", "250 ok\r\n"},
        {"rcpt-1", "RCPT TO:<bob@example.org>", "", "250 ok\r\n"},
        {"rcpt-2", "RCPT TO:<cy@example.org>", "", "250 ok\r\n"},
        {"data", "DATA", "", "354 go\r\n"},
        {"mid-data", "", "", "", false, true},
        {"final-dot", "", "", "250 queued\r\n", true},
        {"quit", "QUIT", "", "221 bye\r\n"},
    };
    s.calls = {
        {4,
         [](uint16_t port) {
             vokIntegerParam(0, VOK_SMTP_PORT, port);
             vokIntegerParam(0, VOK_ESMTP_MODE, 1);
             vokStringParam(0, VOK_USER_NAME, "ann");
             vokStringParam(0, VOK_SMTP_PASSWORD, "secret");
             return vokSmtpConnect(0, "127.0.0.1", "<ann@example.com>", nullptr);
         }},
        {10,
         [attachPath](uint16_t) {
             return vokSendEmail(0, "<bob@example.org>", "<cy@example.org>", "", "Faults", "Hello.",
                                 attachPath.c_str());
         }},
        {11, [](uint16_t) { return vokClose(0); }},
    };
    return s;
}

Session VrfySession() {
    Session s;
    s.exchanges = {
        {"greeting", "", "", "220 ready\r\n"},
        {"helo", "HELO example.com", "", "250 hi\r\n"},
        {"vrfy", "VRFY <bob@example.org>", "", "250 Bob <bob@example.org>\r\n"},
        {"quit", "QUIT", "", "221 bye\r\n"},
    };
    s.calls = {
        {1,
         [](uint16_t port) {
             vokIntegerParam(0, VOK_SMTP_PORT, port);
             vokIntegerParam(0, VOK_ESMTP_MODE, 0);
             return vokSmtpConnect(0, "127.0.0.1", "<ann@example.com>", nullptr);
         }},
        {2,
         [](uint16_t) {
             int rc = vokVerifyUser(0, "<bob@example.org>");
             return rc == 1 ? 0 : rc < 0 ? rc : -1000;
         }},
        {3, [](uint16_t) { return vokClose(0); }},
    };
    return s;
}

// `retrSplit` is where the RETR reply is cut for a fault: in its header or
// in the middle of the attachment.
Session Pop3Session(const std::string& folder, size_t retrSplit) {
    const std::string message = Message();
    const std::string size = std::to_string(message.size());
    const std::string retr = "+OK " + size + " octets\r\n" + message + ".\r\n";
    Session s;
    s.exchanges = {
        {"greeting", "", "", "+OK ready\r\n"},
        {"user", "USER ann", "", "+OK\r\n"},
        {"pass", "PASS secret", "", "+OK logged in\r\n"},
        {"stat", "STAT", "", "+OK 1 " + size + "\r\n"},
        {"list", "LIST 1", "", "+OK 1 " + size + "\r\n"},
        {"uidl", "UIDL 1", "", "+OK 1 abc\r\n"},
        {"top", "TOP 1 0", "+OK\r\nFrom: a@example.org\r\n", "Subject: faults\r\n\r\n.\r\n"},
        {"retr", "RETR 1", retr.substr(0, retrSplit), retr.substr(retrSplit)},
        {"dele", "DELE 1", "", "+OK deleted\r\n"},
        {"quit", "QUIT", "", "+OK bye\r\n"},
    };
    s.calls = {
        {2,
         [](uint16_t port) {
             vokIntegerParam(0, VOK_POP3_PORT, port);
             vokIntegerParam(0, VOK_USE_APOP, 0);
             return vokPop3Connect(0, "127.0.0.1", "ann", "secret");
         }},
        {3, [](uint16_t) { return vokGetEmailCount(0) == 1 ? 0 : -1000; }},
        {4, [](uint16_t) { return vokGetEmailSize(0, 1) > 0 ? 0 : -1000; }},
        {5,
         [](uint16_t) {
             char uid[200];
             int rc = vokGetEmailUID(0, 1, uid, sizeof uid);
             return rc > 0 ? 0 : rc < 0 ? rc : -1000;
         }},
        {6,
         [](uint16_t) {
             char top[400];
             int rc = vokGetEmailLines(0, 1, 0, top, sizeof top);
             return rc > 0 ? 0 : rc < 0 ? rc : -1000;
         }},
        {7,
         [folder](uint16_t) {
             return vokGetEmailFile(0, 1, "mail.txt", folder.c_str(), folder.c_str());
         }},
        {8, [](uint16_t) { return vokDeleteEmail(0, 1); }},
        {9, [](uint16_t) { return vokClose(0); }},
    };
    return s;
}

Session ApopSession() {
    Session s;
    const std::string stamp = "<1896.697170952@dbc.mtview.ca.us>";
    vok::Md5 md;
    const std::string secret = stamp + "secret";
    md.Update(secret.data(), secret.size());
    uint8_t digest[16];
    md.Final(digest);
    char hex[33];
    vok::DigestToHex(digest, hex);
    s.exchanges = {
        {"greeting", "", "", "+OK ready " + stamp + "\r\n"},
        {"apop", std::string("APOP ann ") + hex, "", "+OK logged in\r\n"},
        {"quit", "QUIT", "", "+OK bye\r\n"},
    };
    s.calls = {{1,
                [](uint16_t port) {
                    vokIntegerParam(0, VOK_POP3_PORT, port);
                    vokIntegerParam(0, VOK_USE_APOP, 1);
                    return vokPop3Connect(0, "127.0.0.1", "ann", "secret");
                }},
               {2, [](uint16_t) { return vokClose(0); }}};
    return s;
}

enum class Kind { Smtp, Vrfy, Pop3Header, Pop3MidAttachment, Apop };

struct Case {
    Kind kind;
    int at;
    Fault fault;
};

// What ctest shows beside each case's name.
void PrintTo(const Case& c, std::ostream* os) {
    *os << "exchange " << c.at << ", " << kFaultNames[static_cast<int>(c.fault)];
}

Session MakeSession(Kind kind, const std::string& folder) {
    switch (kind) {
        case Kind::Smtp:
            return SmtpSession(folder + "/attachment.bin");
        case Kind::Vrfy:
            return VrfySession();
        case Kind::Pop3Header:
            return Pop3Session(folder, 40);
        case Kind::Pop3MidAttachment:
            return Pop3Session(folder, Message().size() / 2 + 300);
        case Kind::Apop:
            return ApopSession();
    }
    return Session{};
}

// The script of a whole session, with the fault (if any) at exchange `at`;
// the script ends at the fault, except for one-byte segments.
void Script(ScriptServer& srv, const Session& s, int at, const Fault* fault) {
    for (int i = 0; i < static_cast<int>(s.exchanges.size()); ++i) {
        const Exchange& e = s.exchanges[i];
        const bool here = fault && i == at;
        if (e.midData) {
            if (!here) continue;
            srv.ReadBytes(1500);
        } else if (e.untilDot) {
            srv.ReadUntil("\r\n.\r\n");
        } else if (!e.expect.empty()) {
            srv.Expect(e.expect + "\r\n");
        }
        if (!here) {
            srv.Send(e.head + e.rest);
            continue;
        }
        if (*fault == Fault::OneByteSegments) {
            // The first few hundred bytes are enough to split every line of
            // a reply, and the start of a message, at every place.
            const std::string reply = e.head + e.rest;
            srv.Trickle(reply.substr(0, 300));
            if (reply.size() > 300) srv.Send(reply.substr(300));
            continue;
        }
        if (!e.head.empty()) srv.Send(e.head);
        switch (*fault) {
            case Fault::Close:
                srv.Close();
                break;
            case Fault::Reset:
                srv.Reset();
                break;
            case Fault::Stall:
                srv.Deaf(kWait + 600);
                break;
            case Fault::Garbage:
                srv.Send("garbage\r\n").Stall(kWait + 600);
                break;
            case Fault::LongLine:
                srv.Send(std::string(64 * 1024, 'x')).Stall(kWait + 600);
                break;
            case Fault::HalfLineClose:
                srv.Send(e.rest.empty() ? "25" : e.rest.substr(0, e.rest.size() / 2)).Close();
                break;
            case Fault::OneByteSegments:
                break;
        }
        return;
    }
    srv.AwaitClose();
}

class FaultInjection : public ::testing::TestWithParam<Case> {
  protected:
    TempDir dir;
    vok::Settings saved;

    void SetUp() override {
        saved = vok::LibrarySettings;
        vok::LibrarySettings.MinResponseWait = 1;
        vok::LibrarySettings.MaxResponseWait = kWait;
        vok::LibrarySettings.ReadWait = kWait;
        vok::LibrarySettings.WriteWait = kWait;
        vok::LibrarySettings.ConnectWait = 2000;
        vok::LibrarySettings.PollSleep = 5;
        vok_test::WriteFile(dir.file("attachment.bin"), std::string(20000, 'a'));
        ASSERT_EQ(vokAttach(1), 1);
    }
    void TearDown() override {
        vokRelease();
        vok::LibrarySettings = saved;
    }

    // Runs the session's calls in order until one fails; returns the index
    // of the call that failed (calls.size() when none did) and its result.
    static std::pair<size_t, int> Run(const Session& s, uint16_t port) {
        for (size_t i = 0; i < s.calls.size(); ++i) {
            int rc = s.calls[i].run(port);
            if (rc != 0) return {i, rc};
        }
        return {s.calls.size(), 0};
    }
};

TEST_P(FaultInjection, FailsThatStepOnlyAndRecovers) {
    const Case c = GetParam();
    const Session s = MakeSession(c.kind, dir.path());
    const int before = vok_test::OpenDescriptors();
    {
        ScriptServer srv;
        Script(srv, s, c.at, &c.fault);
        srv.Start();
        const auto start = std::chrono::steady_clock::now();
        auto [failed, rc] = Run(s, srv.Port());
        const auto took = std::chrono::steady_clock::now() - start;
        size_t expected = 0;
        while (s.calls[expected].last < c.at) ++expected;
        const bool lastCall = expected + 1 == s.calls.size();
        const bool closing = lastCall && s.exchanges[c.at].expect == "QUIT";
        if (c.fault == Fault::OneByteSegments) {
            EXPECT_EQ(failed, s.calls.size()) << "result " << rc;
        } else if (closing && (c.fault == Fault::Close || c.fault == Fault::Reset ||
                               c.fault == Fault::HalfLineClose)) {
            // A server that closes after QUIT has closed the session anyway.
            EXPECT_LE(rc, 0);
        } else {
            EXPECT_EQ(failed, expected) << "result " << rc;
            EXPECT_LT(rc, 0);
        }
        // Bounded by the configured waits (generously: this guards against
        // hangs, not for speed).
        EXPECT_LT(took, std::chrono::milliseconds(8 * kWait + 4000));
        vokAbort(0);
        srv.Finish(5000);
    }
    EXPECT_EQ(vok_test::OpenDescriptors(), before);

    // The channel is as good as new.
    ScriptServer again;
    Script(again, s, -1, nullptr);
    again.Start();
    EXPECT_EQ(Run(s, again.Port()).second, 0);
    EXPECT_TRUE(again.Finish()) << again.Failures();
}

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    const struct {
        Kind kind;
        std::vector<int> at;
    } points[] = {
        {Kind::Smtp, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
        {Kind::Vrfy, {2}},
        {Kind::Pop3Header, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {Kind::Pop3MidAttachment, {7}},
        {Kind::Apop, {1}},
    };
    for (const auto& p : points)
        for (int at : p.at)
            for (int f = 0; f <= static_cast<int>(Fault::OneByteSegments); ++f) {
                // Data the server only reads cannot come in segments.
                if (p.kind == Kind::Smtp && at == 9 &&
                    f == static_cast<int>(Fault::OneByteSegments))
                    continue;
                cases.push_back({p.kind, at, static_cast<Fault>(f)});
            }
    return cases;
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    static const char* const kinds[] = {"Smtp", "Vrfy", "Pop3", "Pop3MidAttachment", "Apop"};
    const Case& c = info.param;
    const Session s = MakeSession(c.kind, "x");
    std::string step = s.exchanges[c.at].name;
    for (char& ch : step)
        if (ch == '-') ch = '_';
    return std::string(kinds[static_cast<int>(c.kind)]) + "_" + step + "_" +
           kFaultNames[static_cast<int>(c.fault)];
}

INSTANTIATE_TEST_SUITE_P(EveryStep, FaultInjection, ::testing::ValuesIn(AllCases()), CaseName);

}  // namespace
