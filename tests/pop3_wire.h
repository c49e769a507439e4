/* SPDX-License-Identifier: MIT */
// Shared fixture of the POP3 wire tests: a channel with a log and fast
// timings, a scripted login, and a one-call download of a message.
#pragma once

#include <cstdint>
#include <string>

#include "frame/channel.h"
#include "frame/settings.h"
#include "helpers.h"
#include "script_server.h"
#include "vok32.h"

namespace vok_test {

// The message as a POP3 server sends it after "+OK": lines that begin with
// '.' get another one, then the "." line (RFC 1939 section 3).
inline std::string Stuffed(const std::string& message) {
    std::string out;
    size_t at = 0;
    while (at < message.size()) {
        size_t end = message.find('\n', at);
        end = end == std::string::npos ? message.size() : end + 1;
        if (message[at] == '.') out += '.';
        out += message.substr(at, end - at);
        at = end;
    }
    return out + ".\r\n";
}

// Base64 broken into lines of `width` characters, each ended by CR LF.
inline std::string Base64Lines(const std::string& in, size_t width = 76) {
    std::string all = Base64(in);
    std::string out;
    for (size_t i = 0; i < all.size(); i += width) out += all.substr(i, width) + "\r\n";
    return out;
}

// Every byte value, a few times over: what a PDF or image looks like to us.
inline std::string Binary(size_t size, int seed = 0) {
    std::string out = "%PDF-1.4\n";
    for (size_t i = 0; out.size() < size; ++i) out += static_cast<char>((i * 7 + seed) & 0xFF);
    return out;
}

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class Pop3Wire : public ::testing::Test {
  protected:
    TempDir dir;
    std::string logPath;
    vok::Settings saved;

    void SetUp() override {
        saved = vok::LibrarySettings;
        vok::LibrarySettings.MinResponseWait = 1;
        vok::LibrarySettings.MaxResponseWait = 5000;
        vok::LibrarySettings.ReadWait = 3000;
        vok::LibrarySettings.PollSleep = 5;
        ASSERT_EQ(vokAttach(2), 1);
        logPath = dir.file("chan0.log");
        ASSERT_GT(vokStringParam(0, VOK_LOG_FILE, logPath.c_str()), 0);
    }
    void TearDown() override {
        vokRelease();
        vok::LibrarySettings = saved;
    }

    vok::Channel* Ch() { return vok::ChannelTable[0].Record; }
    std::string Log() { return ReadFile(logPath); }

    // Greeting, USER and PASS of the account ann / secret.
    static ScriptServer& Login(ScriptServer& srv, const char* greeting = "+OK POP3 ready\r\n") {
        return srv.Send(greeting)
            .Expect("USER ann\r\n")
            .Send("+OK\r\n")
            .Expect("PASS secret\r\n")
            .Send("+OK logged in\r\n");
    }

    int Connect(ScriptServer& srv) {
        srv.Start();
        vokIntegerParam(0, VOK_POP3_PORT, srv.Port());
        return vokPop3Connect(0, "127.0.0.1", "ann", "secret");
    }

    // Logs in, downloads message 1 (sent as given) into dir/mail.txt with
    // attachments into dir/att, and returns the call's result.
    int Fetch(const std::string& message, const std::string& attachDir) {
        ScriptServer srv;
        Login(srv)
            .Expect("RETR 1\r\n")
            .Send("+OK " + std::to_string(message.size()) + " octets\r\n");
        srv.Send(Stuffed(message));
        if (Connect(srv) != 0) return -1000;
        int rc = vokGetEmailFile(0, 1, "mail.txt", dir.path().c_str(), attachDir.c_str());
        vokAbort(0);
        EXPECT_TRUE(srv.Finish()) << srv.Failures();
        return rc;
    }
    std::string Mail() { return ReadFile(dir.file("mail.txt")); }
};

}  // namespace vok_test
