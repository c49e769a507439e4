// SPDX-License-Identifier: MIT
// vokmail's secure connections: --tls, --ca-file, --insecure, --auth and
// --oauth2-token-env, turned into the library's TLS and AUTH settings, and
// the connect that may fall back to a clear session on a loopback server.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli.h"
#include "vok32.h"

namespace vokmail {

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

bool IsLoopback(const std::string& host) {
    std::string h = Lower(host);
    if (h == "localhost" || h == "localhost." || h == "::1" || h == "0:0:0:0:0:0:0:1") return true;
    // 127.0.0.0/8 as a dotted quad.
    if (h.compare(0, 4, "127.") != 0) return false;
    int dots = 0;
    for (char c : h) {
        if (c == '.') {
            ++dots;
        } else if (c < '0' || c > '9') {
            return false;
        }
    }
    return dots == 3;
}

Security ReadSecurity(const ParsedArgs& args, ServerAddress* server, bool pop3) {
    Security s;
    s.mode = Lower(args.Get("tls", "auto"));
    const int implicitPort = pop3 ? 995 : 465;
    const int plainPort = pop3 ? 110 : 25;
    bool loopback = IsLoopback(server->host);
    if (s.mode == "implicit") {
        s.tlsMode = VOK_TLS_IMPLICIT;
        if (!server->port) server->port = implicitPort;
    } else if (s.mode == "starttls") {
        s.tlsMode = VOK_TLS_STARTTLS;
    } else if (s.mode == "none") {
        s.tlsMode = VOK_TLS_PLAIN;
    } else if (s.mode == "auto") {
        int port = server->port ? server->port : plainPort;
        // The ports of implicit TLS (RFC 8314 section 7); elsewhere STARTTLS,
        // required, except that a loopback server may lack it.
        s.tlsMode = port == 465 || port == 995 ? VOK_TLS_IMPLICIT : VOK_TLS_STARTTLS;
        s.clearOnLoopback = s.tlsMode == VOK_TLS_STARTTLS && loopback;
    } else {
        throw UsageError("--tls takes auto, starttls, implicit or none");
    }
    if (args.Has("ca-file")) {
        if (s.tlsMode == VOK_TLS_PLAIN) throw UsageError("--ca-file goes with TLS, not --tls none");
        s.caFile = args.Get("ca-file");
    }
    s.insecure = args.Has("insecure");
    if (s.insecure && s.tlsMode == VOK_TLS_PLAIN)
        throw UsageError("--insecure goes with TLS, not --tls none");

    std::string auth = Lower(args.Get("auth"));
    if (args.Has("oauth2-token-env") && auth.empty()) auth = "xoauth2";
    if (auth.empty()) {
        s.authMethod = VOK_AUTH_DEFAULT;
    } else if (auth == "plain") {
        s.authMethod = VOK_AUTH_PLAIN;
    } else if (auth == "login") {
        s.authMethod = VOK_AUTH_LOGIN;
    } else if (auth == "cram-md5") {
        s.authMethod = VOK_AUTH_CRAM_MD5;
    } else if (auth == "xoauth2") {
        s.authMethod = VOK_AUTH_XOAUTH2;
    } else {
        throw UsageError("--auth takes plain, login, cram-md5 or xoauth2");
    }
    if (s.authMethod != VOK_AUTH_DEFAULT && !args.Has("user"))
        throw UsageError("--auth needs --user NAME");
    if (s.authMethod == VOK_AUTH_XOAUTH2) {
        if (!args.Has("oauth2-token-env"))
            throw UsageError("--auth xoauth2 needs --oauth2-token-env VARIABLE");
        std::string variable = args.Get("oauth2-token-env");
        const char* token = std::getenv(variable.c_str());
        if (!token || !*token)
            throw UsageError("the environment variable " + variable + " holds no token");
        s.token = token;
        if (s.token.size() > 8192) throw UsageError("the token is longer than 8192 characters");
    }
    if (s.insecure)
        std::fprintf(stderr,
                     "vokmail: warning: --insecure: the server's certificate is not checked; "
                     "anyone on the way can read the session\n");
    if (s.tlsMode == VOK_TLS_PLAIN && !loopback)
        std::fprintf(stderr,
                     "vokmail: warning: --tls none: the session%s crosses the network in "
                     "clear\n",
                     args.Has("user") ? ", password included," : "");
    return s;
}

bool UsesPassword(const Security& s) {
    return s.authMethod != VOK_AUTH_XOAUTH2;
}

void ApplySecurity(const Security& s) {
    vokIntegerParam(kChannel, VOK_TLS_MODE, s.tlsMode);
    vokIntegerParam(kChannel, VOK_TLS_VERIFY, s.insecure ? 0 : 1);
    if (!s.caFile.empty() && vokStringParam(kChannel, VOK_TLS_CA_FILE, s.caFile.c_str()) <= 0)
        throw Failure("the library refused the CA file name '" + s.caFile + "'");
    vokIntegerParam(kChannel, VOK_AUTH_METHOD, s.authMethod);
    if (!s.token.empty()) vokStringParam(kChannel, VOK_OAUTH_TOKEN, s.token.c_str());
}

void ConnectSecurely(Session& session, Security& s, const std::function<int()>& start,
                     const char* what, Phase phase) {
    int rc = session.Run(start(), nullptr);
    if (rc == VOK_STARTTLS_REFUSED && s.clearOnLoopback) {
        // A warning also off a terminal (the session is not what --tls auto
        // promises elsewhere), but --quiet leaves nothing but errors.
        if (!Out().quiet)
            std::fprintf(stderr,
                         "vokmail: the loopback server offers no STARTTLS; the session "
                         "stays in clear\n");
        s.tlsMode = VOK_TLS_PLAIN;
        vokIntegerParam(kChannel, VOK_TLS_MODE, s.tlsMode);
        rc = session.Run(start(), nullptr);
    }
    if (rc < 0) throw LibraryFailure(what, rc, phase);
}

}  // namespace vokmail
