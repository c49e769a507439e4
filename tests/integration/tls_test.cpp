// SPDX-License-Identifier: MIT
// TLS against scripted loopback servers (tests/servers/tls_script.py, Python's
// ssl) with certificates made at test time by the openssl command
// (tests/servers/tls_certs.sh). Each case is one connection: the server's
// transcript tells which lines came in clear and which inside TLS.
#include <cstdlib>
#include <cstring>
#include <string>

#include "frame/settings.h"
#include "helpers.h"
#include "platform/platform.h"
#include "platform/sockets.h"
#include "vok32.h"

using vok_test::ReadFile;
using vok_test::TempDir;

namespace {

const char kPython[] = "/usr/bin/python3";
const std::string kServers = VOK_TEST_SERVERS;

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

// The certificates, made once for the whole run.
const std::string& CertDir() {
    static TempDir dir;  // removed when the process ends
    static bool made = std::system((kServers + "/tls_certs.sh " + Quote(dir.path())).c_str()) == 0;
    EXPECT_TRUE(made);
    return dir.path();
}

std::string AwaitText(const std::string& path, const std::string& marker, uint32_t ms) {
    uint32_t start = vok::plat::TickCount();
    for (;;) {
        std::string text = ReadFile(path);
        bool done = marker.empty() ? !text.empty() : text.find(marker) != std::string::npos;
        if (done || vok::plat::TickCount() - start > ms) return text;
        vok::plat::SleepMs(20);
    }
}

// One scripted server for one connection.
class Script {
  public:
    Script(const TempDir& dir, const std::string& args) : record_(dir.file("record")) {
        std::string portFile = dir.file("port");
        std::system((std::string(kPython) + " " + Quote(kServers + "/tls_script.py") + " --certs " +
                     Quote(CertDir()) + " --port-file " + Quote(portFile) + " --record " +
                     Quote(record_) + " --lifetime 40 " + args + " > " +
                     Quote(dir.file("server.log")) + " 2>&1 &")
                        .c_str());
        port_ = std::atoi(AwaitText(portFile, "", 15000).c_str());
    }
    int Port() const { return port_; }
    // The transcript once the server has ended (bounded).
    std::string Transcript() const { return AwaitText(record_, "end: ", 20000); }

  private:
    std::string record_;
    int port_ = 0;
};

struct Case {
    const char* Name;
    const char* Server;  // tls_script.py arguments
    int TlsMode;
    int Verify;
    bool WithCa;  // TlsCaFile set to the test CA
    int Expected;
    const char* Reason;  // part of the error text after the code's own text
};

class TlsBase : public ::testing::Test {
  protected:
    TempDir dir;
    vok::Settings saved;

    void SetUp() override {
        saved = vok::LibrarySettings;
        vok::LibrarySettings.MinResponseWait = 5;
        vok::LibrarySettings.ConnectWait = 3000;
        ASSERT_EQ(vokAttach(1), 1);
        vokStringParam(0, VOK_LOG_FILE, dir.file("client.log").c_str());
    }
    void TearDown() override {
        vokRelease();
        vok::LibrarySettings = saved;
    }
    void Configure(const Case& c) {
        ASSERT_EQ(vokIntegerParam(0, VOK_TLS_MODE, c.TlsMode), 1);
        ASSERT_EQ(vokIntegerParam(0, VOK_TLS_VERIFY, c.Verify), 1);
        if (c.WithCa) vokStringParam(0, VOK_TLS_CA_FILE, (CertDir() + "/ca.pem").c_str());
    }
    std::string ErrorText(int code) {
        char text[256];
        vokErrorText(0, code, text, sizeof text);
        return text;
    }
    // Nothing but the greeting exchange may come in clear.
    static void ExpectNothingSecretInClear(const std::string& transcript) {
        for (const char* word : {"plain: AUTH", "plain: MAIL", "plain: USER", "plain: PASS",
                                 "plain: APOP", "plain: RCPT", "plain: DATA"})
            EXPECT_EQ(transcript.find(word), std::string::npos) << word << "\n" << transcript;
    }
    void ExpectSessionFacts() {
        EXPECT_EQ(vokStatistics(0, VOK_STAT_TLS_ACTIVE), 1);
        int version = vokStatistics(0, VOK_STAT_TLS_VERSION);
        EXPECT_TRUE(version == 0x0303 || version == 0x0304) << version;
        char text[256];
        vokDebug(0, VOK_DEBUG_TLS_SESSION, text, sizeof text);
        EXPECT_EQ(std::string(text).rfind("TLSv1.", 0), 0u) << text;
        vokDebug(0, VOK_DEBUG_TLS_SUBJECT, text, sizeof text);
        EXPECT_NE(std::string(text).find("CN=localhost"), std::string::npos) << text;
    }
};

// --- SMTP ------------------------------------------------------------------------

class SmtpTls : public TlsBase, public ::testing::WithParamInterface<Case> {};

TEST_P(SmtpTls, Session) {
    const Case& c = GetParam();
    Script srv(dir, std::string("--scenario smtp ") + c.Server);
    Configure(c);
    vokIntegerParam(0, VOK_SMTP_PORT, srv.Port());
    vokIntegerParam(0, VOK_ESMTP_MODE, 1);
    vokStringParam(0, VOK_USER_NAME, "ann");
    vokStringParam(0, VOK_SMTP_PASSWORD, "secret");
    int rc = vokSmtpConnect(0, "localhost", "<ann@example.org>", nullptr);
    ASSERT_EQ(rc, c.Expected) << ErrorText(rc) << "\n" << ReadFile(dir.file("client.log"));
    EXPECT_NE(ErrorText(rc).find(c.Reason), std::string::npos) << ErrorText(rc);
    if (rc == 0) {
        ExpectSessionFacts();
        EXPECT_EQ(vokSendEmail(0, "<bob@example.org>", nullptr, nullptr, "hi", "body", nullptr), 0);
        EXPECT_EQ(vokClose(0), 0);
        EXPECT_EQ(vokStatistics(0, VOK_STAT_TLS_ACTIVE), 0);
    } else {
        EXPECT_EQ(vokStatistics(0, VOK_STAT_TLS_ACTIVE), 0);
    }
    std::string transcript = srv.Transcript();
    ExpectNothingSecretInClear(transcript);
    if (rc == 0) {
        EXPECT_NE(transcript.find("tls: AUTH PLAIN"), std::string::npos) << transcript;
        EXPECT_NE(transcript.find("tls: QUIT"), std::string::npos) << transcript;
    }
    if (c.TlsMode == 1) {
        EXPECT_NE(transcript.find("plain: EHLO"), std::string::npos);
    }
    // The log names the session, never the password.
    std::string log = ReadFile(dir.file("client.log"));
    if (rc == 0) {
        EXPECT_NE(log.find("TLS: TLSv1."), std::string::npos);
    }
}

const Case kSmtpCases[] = {
    {"StartTls", "--mode starttls", 1, 1, true, 0, ""},
    {"Implicit", "--mode implicit", 2, 1, true, 0, ""},
    {"InjectedReplyDropped", "--mode starttls --twist inject", 1, 1, true, 0, ""},
    {"NoVerifySelfSigned", "--mode implicit --cert selfsigned", 2, 0, false, 0, ""},
    {"NotOffered", "--mode starttls --twist no-starttls", 1, 1, true, VOK_STARTTLS_REFUSED,
     "offer STARTTLS."},
    {"Refused", "--mode starttls --twist refuse", 1, 1, true, VOK_STARTTLS_REFUSED,
     "STARTTLS. 454 4.7.0 TLS not available"},
    {"Expired", "--mode implicit --cert expired", 2, 1, true, VOK_TLS_UNTRUSTED,
     "not trusted. certificate has expired"},
    {"SelfSigned", "--mode starttls --cert selfsigned", 1, 1, true, VOK_TLS_UNTRUSTED,
     "self-signed"},
    {"SystemStoreOnly", "--mode implicit", 2, 1, false, VOK_TLS_UNTRUSTED, "local issuer"},
    {"WrongName", "--mode implicit --cert wrongname", 2, 1, true, VOK_TLS_NAME_MISMATCH,
     "certificate. hostname mismatch"},
    {"HandshakeStalls", "--mode implicit --twist stall", 2, 1, true, VOK_TLS_HANDSHAKE_FAILED,
     "within ConnectWait"},
    {"GarbageServerHello", "--mode starttls --twist garbage", 1, 1, true, VOK_TLS_HANDSHAKE_FAILED,
     "failed. "},
};
INSTANTIATE_TEST_SUITE_P(Cases, SmtpTls, ::testing::ValuesIn(kSmtpCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// --- POP3 ------------------------------------------------------------------------

class Pop3Tls : public TlsBase, public ::testing::WithParamInterface<Case> {};

TEST_P(Pop3Tls, Download) {
    const Case& c = GetParam();
    Script srv(dir, std::string("--scenario pop3 ") + c.Server);
    Configure(c);
    vokIntegerParam(0, VOK_POP3_PORT, srv.Port());
    int rc = vokPop3Connect(0, "127.0.0.1", "ann", "secret");
    if (c.Expected == VOK_STARTTLS_REFUSED) {
        EXPECT_EQ(rc, c.Expected) << ErrorText(rc);
        EXPECT_NE(ErrorText(rc).find(c.Reason), std::string::npos) << ErrorText(rc);
    } else {
        ASSERT_EQ(rc, 0) << ErrorText(rc) << "\n" << ReadFile(dir.file("client.log"));
        ExpectSessionFacts();
        EXPECT_EQ(vokGetEmailCount(0), 1);
        rc = vokGetEmailFile(0, 1, "1.txt", dir.path().c_str(), dir.path().c_str());
        EXPECT_EQ(rc, c.Expected) << ErrorText(rc);
        std::string got = ReadFile(dir.file("1.txt"));
        if (c.Expected == 0) {
            EXPECT_NE(got.find("line 0399 of the body"), std::string::npos);
            EXPECT_EQ(vokClose(0), 0);
        } else {
            EXPECT_EQ(got.find("line 0399 of the body"), std::string::npos);  // cut off
        }
    }
    ExpectNothingSecretInClear(srv.Transcript());
}

const Case kPop3Cases[] = {
    {"Stls", "--mode starttls", 1, 1, true, 0, ""},
    {"Implicit", "--mode implicit", 2, 1, true, 0, ""},
    {"InjectedReplyDropped", "--mode starttls --twist inject", 1, 1, true, 0, ""},
    {"Refused", "--mode starttls --twist refuse", 1, 1, true, VOK_STARTTLS_REFUSED, "-ERR not now"},
    {"CutWithoutCloseNotify", "--mode implicit --twist cut", 2, 1, true, VOK_SOCKET_CLOSED, ""},
};
INSTANTIATE_TEST_SUITE_P(Cases, Pop3Tls, ::testing::ValuesIn(kPop3Cases),
                         [](const auto& info) { return std::string(info.param.Name); });

// --- AuthMethod and XOAUTH2 -------------------------------------------------

struct AuthCase {
    const char* Name;
    const char* Server;  // tls_script.py arguments
    int Method;
    const char* Token;
    int Expected;
    const char* Text;  // part of the error text
};

class AuthTls : public TlsBase, public ::testing::WithParamInterface<AuthCase> {};

TEST_P(AuthTls, Login) {
    const AuthCase& c = GetParam();
    Script srv(dir, std::string(c.Server) + " --mode implicit --token good-token");
    Configure(Case{c.Name, c.Server, 2, 1, true, 0, ""});
    ASSERT_EQ(vokIntegerParam(0, VOK_AUTH_METHOD, c.Method), 1);
    vokStringParam(0, VOK_OAUTH_TOKEN, c.Token);
    vokStringParam(0, VOK_USER_NAME, "ann");
    vokStringParam(0, VOK_SMTP_PASSWORD, "secret");
    bool pop3 = std::string(c.Server).find("pop3") != std::string::npos;
    int rc;
    if (pop3) {
        vokIntegerParam(0, VOK_POP3_PORT, srv.Port());
        rc = vokPop3Connect(0, "localhost", "ann", "secret");
    } else {
        vokIntegerParam(0, VOK_SMTP_PORT, srv.Port());
        rc = vokSmtpConnect(0, "localhost", "<ann@example.org>", nullptr);
    }
    EXPECT_EQ(rc, c.Expected) << ErrorText(rc) << "\n" << ReadFile(dir.file("client.log"));
    EXPECT_NE(ErrorText(rc).find(c.Text), std::string::npos) << ErrorText(rc);
    if (rc == 0) vokClose(0);
    std::string transcript = srv.Transcript();
    if (c.Expected == VOK_SMTP_ERROR || c.Expected == VOK_POP3_ERROR) {
        EXPECT_NE(transcript.find("empty answer: True"), std::string::npos) << transcript;
    }
    if (c.Expected == VOK_AUTH_NOT_OFFERED) {
        EXPECT_EQ(transcript.find("tls: AUTH"), std::string::npos) << transcript;
    }
    // The token never reaches the log, not even as base64.
    std::string log = ReadFile(dir.file("client.log"));
    EXPECT_EQ(log.find(c.Token), std::string::npos);
    EXPECT_EQ(log.find(vok_test::Base64(std::string("user=ann\001auth=Bearer ") + c.Token)),
              std::string::npos);
}

const AuthCase kAuthCases[] = {
    {"SmtpXoauth2", "--scenario smtp", VOK_AUTH_XOAUTH2, "good-token", 0, ""},
    {"SmtpXoauth2Refused", "--scenario smtp", VOK_AUTH_XOAUTH2, "stale-token", VOK_SMTP_ERROR,
     "535 5.7.8 token rejected"},
    {"SmtpPlain", "--scenario smtp", VOK_AUTH_PLAIN, "unused-token", 0, ""},
    {"SmtpLoginNotOffered", "--scenario smtp", VOK_AUTH_LOGIN, "unused-token", VOK_AUTH_NOT_OFFERED,
     "server. LOGIN"},
    {"Pop3Xoauth2", "--scenario pop3", VOK_AUTH_XOAUTH2, "good-token", 0, ""},
    {"Pop3Xoauth2Refused", "--scenario pop3", VOK_AUTH_XOAUTH2, "stale-token", VOK_POP3_ERROR,
     "-ERR token rejected"},
    {"Pop3Plain", "--scenario pop3", VOK_AUTH_PLAIN, "unused-token", 0, ""},
    {"Pop3NoSasl", "--scenario pop3 --twist no-sasl", VOK_AUTH_XOAUTH2, "good-token",
     VOK_AUTH_NOT_OFFERED, "server. XOAUTH2"},
};
INSTANTIATE_TEST_SUITE_P(Cases, AuthTls, ::testing::ValuesIn(kAuthCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// --- IPv6 and names with several addresses ------------------------------------

struct AddressCase {
    const char* Name;
    const char* Server;  // as the application gives it
    bool ListenV6;       // the server listens on ::1, else on 127.0.0.1
    int TlsMode;
    const char* Address;  // vokDebug 25 and 43 once connected
};

class AddressTls : public TlsBase, public ::testing::WithParamInterface<AddressCase> {
  protected:
    void TearDown() override {
        vok::plat::SetResolveOverride(nullptr, nullptr, 0);
        TlsBase::TearDown();
    }
};

vok::plat::NetAddress Loopback(int family) {
    vok::plat::NetAddress a{};
    a.Family = static_cast<uint8_t>(family);
    if (family == 4) {
        a.Bytes[0] = 127;
        a.Bytes[3] = 1;
    } else {
        a.Bytes[15] = 1;
    }
    return a;
}

TEST_P(AddressTls, Connects) {
    const AddressCase& c = GetParam();
    // "dual.test" resolves to both loopbacks, the one that does not listen
    // first.
    vok::plat::NetAddress both[2] = {Loopback(c.ListenV6 ? 4 : 6), Loopback(c.ListenV6 ? 6 : 4)};
    vok::plat::SetResolveOverride("dual.test", both, 2);
    Script srv(dir, std::string("--scenario smtp --mode ") +
                        (c.TlsMode == 2 ? "implicit" : "starttls") + (c.ListenV6 ? " --ipv6" : ""));
    Configure(Case{c.Name, "", c.TlsMode, 1, true, 0, ""});
    vokIntegerParam(0, VOK_SMTP_PORT, srv.Port());
    vokStringParam(0, VOK_USER_NAME, "ann");
    vokStringParam(0, VOK_SMTP_PASSWORD, "secret");
    int rc = vokSmtpConnect(0, c.Server, "<ann@example.org>", nullptr);
    ASSERT_EQ(rc, 0) << ErrorText(rc) << "\n" << ReadFile(dir.file("client.log"));
    char text[64];
    EXPECT_EQ(vokDebug(0, 25, text, sizeof text), static_cast<int>(strlen(c.Address)));
    EXPECT_STREQ(text, c.Address);
    vokDebug(0, VOK_DEBUG_SERVER_ADDRESS, text, sizeof text);
    EXPECT_STREQ(text, c.Address);
    vokDebug(0, 28, text, sizeof text);  // our end of the connection, same family
    EXPECT_STREQ(text, c.Address);
    EXPECT_EQ(vokStatistics(0, VOK_STAT_TLS_ACTIVE), c.TlsMode != 0 ? 1 : 0);
    EXPECT_EQ(vokClose(0), 0);
    EXPECT_NE(srv.Transcript().find(": QUIT"), std::string::npos);
}

const AddressCase kAddressCases[] = {
    {"Ipv6Literal", "::1", true, 2, "::1"},
    {"BracketedIpv6StartTls", "[::1]", true, 1, "::1"},
    {"NameOnlyIpv4Listens", "dual.test", false, 0, "127.0.0.1"},
    {"NameOnlyIpv6Listens", "dual.test", true, 0, "::1"},
};
INSTANTIATE_TEST_SUITE_P(Cases, AddressTls, ::testing::ValuesIn(kAddressCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// --- Real servers: aiosmtpd (STARTTLS required, implicit TLS) and Dovecot --------

// A server process started in the background, stopped by its process id.
class Process {
  public:
    Process(const std::string& command, const std::string& pidFile, const std::string& portFile) {
        std::system((command + " &").c_str());
        port_ = std::atoi(AwaitText(portFile, "", 20000).c_str());
        pid_ = ReadFile(pidFile);
    }
    ~Process() {
        if (!pid_.empty()) std::system(("kill " + pid_ + " 2>/dev/null").c_str());
    }
    int Port() const { return port_; }

  private:
    std::string pid_;
    int port_ = 0;
};

TEST(RealServersTls, SendOverStartTlsAndImplicitThenDownloadOverStls) {
    TempDir dir;
    const std::string certs = CertDir();
    ASSERT_EQ(vokAttach(1), 1);
    vokStringParam(0, VOK_LOG_FILE, dir.file("client.log").c_str());
    vokStringParam(0, VOK_TLS_CA_FILE, (certs + "/ca.pem").c_str());
    vokStringParam(0, VOK_USER_NAME, "ann");
    vokStringParam(0, VOK_SMTP_PASSWORD, "secret");
    vokIntegerParam(0, VOK_ESMTP_MODE, 1);
    std::string attachment = dir.file("data.bin");
    std::string bytes;
    for (int i = 0; i < 300000; ++i)
        bytes += static_cast<char>((static_cast<uint32_t>(i) * 7919u) >> 3);
    vok_test::WriteFile(attachment, bytes);
    for (int mode : {VOK_TLS_STARTTLS, VOK_TLS_IMPLICIT}) {
        std::string folder = dir.file("smtp" + std::to_string(mode));
        std::system(("mkdir -p " + Quote(folder)).c_str());
        Process smtp(std::string(kPython) + " " + Quote(kServers + "/smtp_server.py") +
                         " --folder " + Quote(folder) + " --port-file " + Quote(folder + ".port") +
                         " --pid-file " + Quote(folder + ".pid") +
                         " --user ann --password secret --lifetime 60 --tls " +
                         (mode == VOK_TLS_STARTTLS ? "starttls" : "implicit") + " --tls-cert " +
                         Quote(certs + "/good.pem") + " --tls-key " + Quote(certs + "/good.key") +
                         " 2>" + Quote(folder + ".log"),
                     folder + ".pid", folder + ".port");
        vokIntegerParam(0, VOK_TLS_MODE, mode);
        vokIntegerParam(0, VOK_SMTP_PORT, smtp.Port());
        ASSERT_EQ(vokSmtpConnect(0, "localhost", "<ann@example.com>", nullptr), 0)
            << ReadFile(dir.file("client.log"));
        EXPECT_EQ(vokStatistics(0, VOK_STAT_TLS_ACTIVE), 1);
        ASSERT_EQ(vokSendEmail(0, "<bob@example.org>", nullptr, nullptr, "over TLS",
                               "Hello over TLS.", attachment.c_str()),
                  0);
        EXPECT_EQ(vokClose(0), 0);
        ASSERT_FALSE(AwaitText(folder + "/1.eml", "", 10000).empty());
    }
    // The first message into a Dovecot that requires TLS; fetched over STLS.
    TempDir pop3;
    std::system(("mkdir -p " + Quote(pop3.file("mail")) + " && cp " +
                 Quote(dir.file("smtp1/1.eml")) + " " + Quote(pop3.file("mail/1")))
                    .c_str());
    ASSERT_EQ(std::system(("bash " + Quote(kServers + "/dovecot_tls.sh") + " start " +
                           Quote(pop3.path()) + " " + Quote(certs + "/good.pem") + " " +
                           Quote(certs + "/good.key"))
                              .c_str()),
              0)
        << ReadFile(pop3.file("dovecot.log"));
    vokIntegerParam(0, VOK_TLS_MODE, VOK_TLS_STARTTLS);
    vokIntegerParam(0, VOK_POP3_PORT, std::atoi(ReadFile(pop3.file("port")).c_str()));
    EXPECT_EQ(vokPop3Connect(0, "localhost", "ann", "secret"), 0)
        << ReadFile(dir.file("client.log"));
    EXPECT_EQ(vokStatistics(0, VOK_STAT_TLS_ACTIVE), 1);
    std::string out = dir.file("out");
    std::system(("mkdir -p " + Quote(out)).c_str());
    EXPECT_EQ(vokGetEmailFile(0, 1, "1.txt", out.c_str(), out.c_str()), 0);
    EXPECT_NE(ReadFile(out + "/1.txt").find("Hello over TLS."), std::string::npos);
    EXPECT_EQ(ReadFile(out + "/data.bin"), bytes);
    vokClose(0);
    vokRelease();
    std::system(
        ("/usr/bin/python3 " + Quote(kServers + "/mailservers.py") + " stop " + Quote(pop3.path()))
            .c_str());
}

}  // namespace
