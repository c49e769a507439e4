// SPDX-License-Identifier: MIT
// A loopback mail sink for the benchmarks, fast enough not to be what is
// measured: an SMTP server that swallows message data (AUTH PLAIN and LOGIN
// accept any account), or a POP3 server that hands out one message with a
// large base64 attachment. Plain, STARTTLS (STLS) or implicit TLS (OpenSSL).
// Serves each connection on a thread of its own.
//
//   vok_mail_sink smtp|pop3 none|starttls|implicit CERTDIR MB PORTFILE CONNECTIONS [DELAY_MS]
//
// Binds 127.0.0.1 port 0 and writes the port it got to PORTFILE. DELAY_MS
// holds back every SMTP reply after the greeting (a slow server). Gives up a
// connection that stays silent for 60 s, and stops taking connections after
// CONNECTIONS, or when none has come for 120 s.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

int replyDelayMs = 0;

struct Conn {
    int fd = -1;
    SSL* ssl = nullptr;
    std::string buf;

    bool Wait() {
        if (ssl && SSL_pending(ssl) > 0) return true;
        pollfd p{fd, POLLIN, 0};
        return poll(&p, 1, 60000) == 1;
    }
    int Read(char* out, int n) {
        if (!Wait()) return -1;
        int got = ssl ? SSL_read(ssl, out, n) : static_cast<int>(recv(fd, out, n, 0));
        return got > 0 ? got : -1;
    }
    bool Write(const char* data, size_t n) {
        size_t done = 0;
        while (done < n) {
            int chunk = static_cast<int>(n - done > (1 << 20) ? (1 << 20) : n - done);
            int put = ssl ? SSL_write(ssl, data + done, chunk)
                          : static_cast<int>(send(fd, data + done, chunk, MSG_NOSIGNAL));
            if (put <= 0) return false;
            done += static_cast<size_t>(put);
        }
        return true;
    }
    bool Write(const std::string& s) { return Write(s.data(), s.size()); }
    bool Line(std::string* line) {
        char tmp[65536];
        for (;;) {
            size_t eol = buf.find('\n');
            if (eol != std::string::npos) {
                *line = buf.substr(0, eol + 1);
                buf.erase(0, eol + 1);
                return true;
            }
            int n = Read(tmp, sizeof tmp);
            if (n <= 0) return false;
            buf.append(tmp, static_cast<size_t>(n));
        }
    }
    // Message data up to the "." line, looking only at the tail for it.
    bool SkipData() {
        char tmp[65536];
        std::string tail = buf;
        buf.clear();
        for (;;) {
            size_t end = tail.find("\r\n.\r\n");
            if (end != std::string::npos) {
                buf = tail.substr(end + 5);
                return true;
            }
            if (tail.size() > 4) tail.erase(0, tail.size() - 4);
            int n = Read(tmp, sizeof tmp);
            if (n <= 0) return false;
            tail.append(tmp, static_cast<size_t>(n));
        }
    }
    bool StartTls(SSL_CTX* ctx) {
        ssl = SSL_new(ctx);
        SSL_set_fd(ssl, fd);
        buf.clear();
        return SSL_accept(ssl) == 1;
    }
    void Close() {
        if (ssl) {
            SSL_shutdown(ssl);
            SSL_free(ssl);
        }
        close(fd);
    }
};

bool Starts(const std::string& line, const char* verb) {
    return strncasecmp(line.c_str(), verb, strlen(verb)) == 0;
}

// An SMTP reply, after the slow server's pause.
bool Reply(Conn& c, const std::string& text) {
    if (replyDelayMs > 0) poll(nullptr, 0, replyDelayMs);
    return c.Write(text);
}

void Smtp(Conn& c, SSL_CTX* ctx, bool starttls) {
    c.Write("220 sink ESMTP\r\n");
    std::string line;
    while (c.Line(&line)) {
        if (Starts(line, "EHLO")) {
            std::string reply = "250-sink\r\n250-PIPELINING\r\n";
            if (starttls && !c.ssl) reply += "250-STARTTLS\r\n";
            Reply(c, reply + "250 AUTH PLAIN LOGIN\r\n");
        } else if (Starts(line, "STARTTLS")) {
            Reply(c, "220 go ahead\r\n");
            if (!c.StartTls(ctx)) return;
        } else if (Starts(line, "AUTH")) {
            // RFC 4954 4: LOGIN asks for the user and the password in turn;
            // PLAIN without an initial response asks for it (RFC 4616).
            int challenges = Starts(line, "AUTH LOGIN") ? 2 : line.size() <= 12 ? 1 : 0;
            for (int i = 0; i < challenges; ++i) {
                if (!Reply(c, i == 0 && challenges == 2 ? "334 VXNlcm5hbWU6\r\n"
                              : challenges == 2         ? "334 UGFzc3dvcmQ6\r\n"
                                                        : "334 \r\n") ||
                    !c.Line(&line))
                    return;
            }
            Reply(c, "235 ok\r\n");
        } else if (Starts(line, "DATA")) {
            Reply(c, "354 go on\r\n");
            if (!c.SkipData()) return;
            Reply(c, "250 queued\r\n");
        } else if (Starts(line, "QUIT")) {
            Reply(c, "221 bye\r\n");
            return;
        } else {
            Reply(c, "250 ok\r\n");
        }
    }
}

// The message: a text part and a base64 attachment of mb MiB.
std::string Message(int mb) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string m =
        "From: Bob <bob@example.org>\r\nTo: Ann <ann@example.com>\r\nSubject: Big\r\n"
        "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
        "--b\r\nContent-Type: text/plain\r\n\r\nThe data is attached.\r\n--b\r\n"
        "Content-Type: application/octet-stream; name=\"data.bin\"\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "Content-Disposition: attachment; filename=\"data.bin\"\r\n\r\n";
    size_t raw = static_cast<size_t>(mb) << 20;
    uint32_t x = 12345;
    unsigned char in[57];
    for (size_t done = 0; done < raw;) {
        size_t n = raw - done < 57 ? raw - done : 57;
        for (size_t i = 0; i < n; ++i)
            in[i] = static_cast<unsigned char>((x = x * 1103515245u + 12345u) >> 16);
        for (size_t i = 0; i < n; i += 3) {
            uint32_t v = static_cast<uint32_t>(in[i]) << 16;
            if (i + 1 < n) v |= static_cast<uint32_t>(in[i + 1]) << 8;
            if (i + 2 < n) v |= in[i + 2];
            m += kAlphabet[v >> 18];
            m += kAlphabet[(v >> 12) & 63];
            m += i + 1 < n ? kAlphabet[(v >> 6) & 63] : '=';
            m += i + 2 < n ? kAlphabet[v & 63] : '=';
        }
        m += "\r\n";
        done += n;
    }
    return m + "--b--\r\n";
}

void Pop3(Conn& c, SSL_CTX* ctx, bool stls, const std::string& message) {
    c.Write("+OK sink ready\r\n");
    std::string size = std::to_string(message.size());
    std::string line;
    while (c.Line(&line)) {
        if (Starts(line, "CAPA")) {
            c.Write(std::string("+OK\r\n") + (stls && !c.ssl ? "STLS\r\n" : "") + "USER\r\n.\r\n");
        } else if (Starts(line, "STLS")) {
            c.Write("+OK begin TLS\r\n");
            if (!c.StartTls(ctx)) return;
        } else if (Starts(line, "STAT")) {
            c.Write("+OK 1 " + size + "\r\n");
        } else if (Starts(line, "LIST") || Starts(line, "UIDL")) {
            bool one = line.size() > 6;
            std::string id = Starts(line, "UIDL") ? "sink-1" : size;
            c.Write(one ? "+OK 1 " + id + "\r\n" : "+OK\r\n1 " + id + "\r\n.\r\n");
        } else if (Starts(line, "RETR")) {
            if (!c.Write("+OK " + size + " octets\r\n") || !c.Write(message) || !c.Write(".\r\n"))
                return;
        } else if (Starts(line, "QUIT")) {
            c.Write("+OK bye\r\n");
            return;
        } else {
            c.Write("+OK\r\n");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7 && argc != 8) {
        std::fprintf(stderr,
                     "usage: vok_mail_sink smtp|pop3 none|starttls|implicit CERTDIR MB PORTFILE "
                     "CONNECTIONS [DELAY_MS]\n");
        return 2;
    }
    if (argc == 8) replyDelayMs = std::atoi(argv[7]);
    bool smtp = std::strcmp(argv[1], "smtp") == 0;
    std::string tls = argv[2];
    std::string certs = argv[3];
    int connections = std::atoi(argv[6]);
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    if (tls != "none" &&
        (SSL_CTX_use_certificate_chain_file(ctx, (certs + "/good.pem").c_str()) != 1 ||
         SSL_CTX_use_PrivateKey_file(ctx, (certs + "/good.key").c_str(), SSL_FILETYPE_PEM) != 1)) {
        std::fprintf(stderr, "vok_mail_sink: cannot load the certificate\n");
        return 1;
    }
    std::string message = smtp ? "" : Message(std::atoi(argv[4]));
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    if (bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        listen(listener, 128) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        return 1;
    std::string tmp = std::string(argv[5]) + ".tmp";
    if (FILE* f = std::fopen(tmp.c_str(), "w")) {
        std::fprintf(f, "%d", ntohs(sa.sin_port));
        std::fclose(f);
        std::rename(tmp.c_str(), argv[5]);
    }
    std::atomic<int> live{0};
    for (int i = 0; i < connections; ++i) {
        pollfd p{listener, POLLIN, 0};
        if (poll(&p, 1, 120000) != 1) break;
        int fd = accept(listener, nullptr, nullptr);
        if (fd < 0) break;
        // Replies go out as they are made, as a pipelining server's must
        // (RFC 2920 section 3.2): Nagle would hold each one back until the
        // client acknowledged the one before.
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        ++live;
        std::thread([fd, ctx, smtp, &tls, &message, &live] {
            Conn c;
            c.fd = fd;
            if (tls == "implicit" && !c.StartTls(ctx)) {
                c.Close();
                --live;
                return;
            }
            if (smtp)
                Smtp(c, ctx, tls == "starttls");
            else
                Pop3(c, ctx, tls == "starttls", message);
            c.Close();
            --live;
        }).detach();
    }
    close(listener);
    // The connections still open end within their silence limit.
    for (int i = 0; i < 700 && live > 0; ++i) poll(nullptr, 0, 100);
    SSL_CTX_free(ctx);
    return 0;
}
