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
    return bad == 0 ? kExitOk : kExitRejected;
}

int VerifyOnServer(Session& session, const ParsedArgs& args,
                   const std::vector<std::string>& items) {
    ServerAddress server = ParseServer(args);
    std::string from = AddressList({args.Get("from", "vokmail@localhost")}, "from");
    Security security = ReadSecurity(args, &server, false);
    if (server.port) vokIntegerParam(kChannel, VOK_SMTP_PORT, server.port);
    vokIntegerParam(kChannel, VOK_ESMTP_MODE, 1);
    // Servers that answer VRFY only after a login.
    if (args.Has("user")) {
        std::string password;
        if (UsesPassword(security))
            password = GetPassword(args, args.Get("user") + " at " + server.host);
        vokStringParam(kChannel, VOK_USER_NAME, args.Get("user").c_str());
        vokStringParam(kChannel, VOK_SMTP_PASSWORD, password.c_str());
    }
    ApplySecurity(security);
    ConnectSecurely(
        session, security,
        [&] { return vokSmtpConnect(kChannel, server.host.c_str(), from.c_str(), nullptr); },
        "connecting to the SMTP server");
    int unknown = 0;
    for (const std::string& item : items) {
        // One VRFY per call, so that each answer is read on its own.
        session.Must(vokVerifyUser(kChannel, item.c_str()), "verifying");
        bool known = vokStatistics(kChannel, VOK_STAT_VERIFY_RESULT) == 1;
        unknown += known ? 0 : 1;
        std::printf("%-9s%s: %s\n", known ? "known" : "unknown", item.c_str(),
                    LastReplyLine().c_str());
    }
    session.Close();
    return unknown == 0 ? kExitOk : kExitRejected;
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
