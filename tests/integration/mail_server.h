// SPDX-License-Identifier: MIT
// A loopback mail server for the integration tests, started and stopped by
// servers/mailservers.py in a private folder: "smtp" (aiosmtpd) or "pop3"
// (a private Dovecot). The server greets with a token of its own; a test
// that finds it in the session log knows it reached its own server.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "helpers.h"

namespace vok_test {

class MailServer {
  public:
    explicit MailServer(std::string kind) : kind_(std::move(kind)) {
        std::filesystem::create_directory(dir_.file("mail"));
    }
    ~MailServer() {
        if (port_) Run("stop '" + dir_.path() + "'");
    }
    MailServer(const MailServer&) = delete;
    MailServer& operator=(const MailServer&) = delete;

    // pop3: a message for the mailbox, before Start.
    void Put(const std::string& name, const std::string& bytes) {
        WriteFile(dir_.file("mail/" + name), bytes);
    }
    // Starts the server (options: mailservers.py's, e.g. "--only PLAIN").
    // false with Failure() telling why.
    bool Start(const std::string& options = "") {
        std::string out = dir_.file("launcher.out");
        if (Run(kind_ + " '" + dir_.path() + "' " + options + " > '" + out + "' 2>&1") != 0) {
            failure_ = "cannot start the " + kind_ + " server:\n" + ReadFile(out) +
                       ReadFile(dir_.file("server.log")) + ReadFile(dir_.file("dovecot.log"));
            return false;
        }
        port_ = std::atoi(ReadFile(dir_.file("port")).c_str());
        token_ = ReadFile(dir_.file("token"));
        return port_ > 0 && !token_.empty();
    }
    // pop3: one more message, seen at the next login.
    bool Deliver(const std::string& file) {
        return Run("deliver '" + dir_.path() + "' '" + file + "'") == 0;
    }

    int Port() const { return port_; }
    const std::string& Token() const { return token_; }
    const std::string& Failure() const { return failure_; }
    // The folder the SMTP server files messages in.
    std::string Mail() const { return dir_.file("mail"); }
    std::string Log() const { return ReadFile(dir_.file("server.log")); }

  private:
    static int Run(const std::string& args) {
        return std::system(
            ("/usr/bin/python3 '" VOK_TEST_SERVERS "/mailservers.py' " + args).c_str());
    }

    std::string kind_;
    TempDir dir_;
    int port_ = 0;
    std::string token_, failure_;
};

}  // namespace vok_test
