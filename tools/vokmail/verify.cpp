// SPDX-License-Identifier: MIT
// vokmail verify: the form of addresses offline, or VRFY against a server.
#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"
#include "vok32.h"

namespace vokmail {

namespace {

std::string LastReplyLine() {
    char reply[200] = "";
    int n = vokDebug(kChannel, VOK_DEBUG_LAST_REPLY, reply, sizeof reply);
    std::string line(reply, n > 0 ? static_cast<size_t>(n) : 0);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    return line;
}

int VerifyOffline(const std::vector<std::string>& items) {
    int bad = 0;
    for (const std::string& item : items) {
        int rc = vokVerifyFormat(BracketAddress(item).c_str());
        if (rc == 1) {
            std::printf("valid    %s\n", item.c_str());
        } else {
            ++bad;
            std::printf("invalid  %s: %s (%d)\n", item.c_str(), ErrorText(rc).c_str(), rc);
        }
    }
    return bad == 0 ? kExitOk : kExitDataErr;
}

int VerifyOnServer(Session& session, const ParsedArgs& args,
                   const std::vector<std::string>& items) {
    ServerAddress server = ParseServer(args);
    std::string from =
        AddressList({args.Get("from", AccountValue("from").empty() ? "vokmail@localhost"
                                                                   : AccountValue("from"))},
                    "from");
    Security security = ReadSecurity(args, &server, false);
    if (args.Has("helo") &&
        vokStringParam(kChannel, VOK_PARAM_HELO_NAME, args.Get("helo").c_str()) < 0)
        throw UsageError("--helo '" + args.Get("helo") + "' is no host name");
    if (server.port) vokIntegerParam(kChannel, VOK_SMTP_PORT, server.port);
    vokIntegerParam(kChannel, VOK_ESMTP_MODE, 1);
    // Servers that answer VRFY only after a login.
    if (args.Has("user")) {
        std::string password;
        if (UsesPassword(security)) password = GetPassword(args, args.Get("user"), server.host);
        vokStringParam(kChannel, VOK_USER_NAME, args.Get("user").c_str());
        vokStringParam(kChannel, VOK_SMTP_PASSWORD, password.c_str());
    }
    ApplySecurity(security);
    ConnectSecurely(
        session, security,
        [&] { return vokSmtpConnect(kChannel, server.host.c_str(), from.c_str(), nullptr); },
        "connecting to the SMTP server");
    int status = kExitOk;
    auto worse = [&status](int candidate) {
        // A definite answer outranks "try later", which outranks success.
        if (candidate == kExitOk) return;
        if (status == kExitOk || status == kExitTempFail) status = candidate;
    };
    for (const std::string& item : items) {
        // One VRFY per call, so that each answer is read on its own. Any
        // answer is no failure of the call: its code tells.
        int rc = session.Run(vokVerifyUser(kChannel, item.c_str()), nullptr);
        if (rc < 0) throw LibraryFailure("verifying", rc, Phase::kOther);
        int reply = vokStatistics(kChannel, VOK_STAT_REPLY_CODE);
        std::string line = LastReplyLine();
        // RFC 5321 section 3.5.3: 250 and 251 confirm the address, 252 means
        // the server will not say but accepts mail for it; 550, 551 and 553
        // deny it.
        const char* verdict;
        if (reply == 250 || reply == 251) {
            verdict = "known";
        } else if (reply == 252) {
            verdict = "cannot verify (server will accept)";
        } else if (reply == 550 || reply == 551 || reply == 553) {
            verdict = "unknown";
            worse(kExitNoUser);
        } else if (reply >= 400 && reply < 500) {
            verdict = "try later";
            worse(kExitTempFail);
        } else if (reply == 530 || reply == 534 || reply == 535 || reply == 538) {
            verdict = "not allowed";
            worse(kExitNoPerm);
        } else {
            verdict = "no answer";
            worse(kExitUnavailable);
        }
        std::printf("%s: %s: %s\n", item.c_str(), verdict, line.c_str());
    }
    session.Close();
    return status;
}

}  // namespace

int RunVerify(const ParsedArgs& args) {
    std::vector<std::string> items;
    for (const std::string& arg : args.positional)
        for (const std::string& item : SplitAddressList(arg)) items.push_back(item);
    if (items.empty()) throw UsageError("verify needs at least one address");
    bool online = args.Has("server");
    if (!online && (args.Has("port") || args.Has("from") || args.Has("user")))
        throw UsageError("--port, --from and --user go with --server");
    for (const std::string& item : items)
        if (online && item.find(',') != std::string::npos)
            throw UsageError("'" + item + "': a display name may not hold a comma");
    Session session(args);
    return online ? VerifyOnServer(session, args, items) : VerifyOffline(items);
}

}  // namespace vokmail
