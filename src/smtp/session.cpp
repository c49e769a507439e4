// SPDX-License-Identifier: MIT
// Opening an SMTP session: greeting, HELO or EHLO, and the AUTH exchanges
// CRAM-MD5 (RFC 2195), LOGIN and PLAIN (RFC 4616) of the ESMTP AUTH
// extension (RFC 4954).
#include "codec/codec.h"
#include "codec/text.h"
#include "engine/engine.h"
#include "engine/reply.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "smtp/smtp.h"
#include "vok32.h"

namespace vok {

namespace {

constexpr int kMaxUserChars = kUserChars;

// Base64 of n bytes as ONE line, without line end, into out (which needs
// 4 * ceil(n / 3) + 3 bytes); returns its length. Each group of 57 bytes is
// a whole number of 3-byte units, so the groups' encodings joined are the
// encoding of the whole: a server takes an AUTH answer only as one line.
int EncodeUnbroken(const char* data, int n, char* out) {
    int total = 0;
    const auto* in = reinterpret_cast<const unsigned char*>(data);
    for (int done = 0; done < n;) {
        int k = n - done < 57 ? n - done : 57;
        // Each call writes CR LF behind its characters; the next group and
        // the terminator below overwrite them.
        total += EncodeBase64Line(in + done, out + total, k);
        done += k;
    }
    out[total] = '\0';
    return total;
}

// Sends the base64 of n bytes of data as one line. A secret (a login) is
// masked in the log after the prefix.
int SendEncoded(Channel* ch, const char* prefix, const char* data, int n, bool secret) {
    int at = CopyText(ch->CommandLine, prefix, kLineChars);
    EncodeUnbroken(data, n, ch->CommandLine + at);
    return secret ? SendSecretLine(ch, ch->CommandLine, at) : SendLine(ch, ch->CommandLine);
}

int SendCommand(Channel* ch, const char* command) {
    CopyText(ch->CommandLine, command, kLineChars);
    return SendLine(ch, ch->CommandLine);
}

// A reply-waiting state: 1 when the reply is in, 0 to repeat, else the
// error exit's code.
inline int Reply(Channel* ch) {
    return AwaitSmtpReply(ch);
}

}  // namespace

namespace smtp {

int StartSession(Channel* ch, uint32_t now) {
    (void)now;
    LogVersionLine(ch);
    ch->ReturnState = kStGreeting;
    GoTo(ch, kStLocalHost1);
    return 0;
}

int ReadGreeting(Channel* ch, uint32_t now) {
    int r = Reply(ch);
    if (r <= 0) return r;
    // HELO goes out at once: the greeting is in, nothing is awaited.
    AnswerDeadline(ch, now);
    GoTo(ch, kStHello);
    return 0;
}

int SendHello(Channel* ch, uint32_t now) {
    ch->BodyBytesRead = ch->AttachBytesRead = 0;
    ch->BodyBytesSent = ch->AttachBytesSent = 0;
    char domain[kNameChars + 2];
    if (ch->HeloName[0])
        CopyText(domain, ch->HeloName, kNameChars);
    else
        SenderDomain(ch->FromAddress, domain, sizeof domain);
    // STARTTLS and a chosen AUTH mechanism are extensions: asking for them
    // takes EHLO (RFC 3207 section 4, RFC 4954 section 3).
    bool extended = ch->EsmtpMode || ch->TlsMode == 1 || ch->AuthMethod != 0 || ch->Pipelining;
    CopyText(ch->CommandLine, extended ? "EHLO " : "HELO ", kLineChars);
    AppendText(ch->CommandLine, domain, kNameChars);
    // Only gives a slow socket a moment (a failure shows in the send); a
    // caller that drives the channel itself is never held up.
    WaitWritable(ch, ch->AutoCall ? 1000 : 0);
    int rc = SendLine(ch, ch->CommandLine);
    if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
    LongReplyWait(ch, now, 2);
    GoTo(ch, kStHelloReply);
    return 0;
}

// Whether a line of the EHLO reply is the keyword (RFC 5321 section 4.1.1.1:
// "250-KEYWORD params"), in any case.
static bool HasEhloKeyword(const char* reply, const char* keyword) {
    for (const char* line = reply; line && *line;) {
        if (line[0] && line[1] && line[2] && (line[3] == '-' || line[3] == ' ')) {
            const char* p = line + 4;
            int k = 0;
            while (keyword[k] && (p[k] & ~0x20) == keyword[k]) ++k;
            if (!keyword[k] && (p[k] == '\r' || p[k] == '\n' || p[k] == ' ' || !p[k])) return true;
        }
        line = FindChar(line, '\n');
        if (line) ++line;
    }
    return false;
}

// The EHLO reply lists the mechanisms after "AUTH" (RFC 4954 section 3);
// ours are tried in the order of our own preference.
int ReadHelloReply(Channel* ch, uint32_t now) {
    (void)now;
    int r = Reply(ch);
    if (r <= 0) return r;
    GoTo(ch, kStIdle);
    ch->ServerPipelines = HasEhloKeyword(ch->ReplyBuffer, "PIPELINING") ? 1 : 0;
    if (ch->TlsMode == 1 && !ch->Tls) return ChooseStartTls(ch);
    if (ch->AuthMethod != 0) return ChooseAuthMethod(ch);
    // STARTTLS alone asks for EHLO; the AUTH exchange stays with EsmtpMode.
    // No user name, no AUTH: a login with empty credentials can only fail.
    if (!ch->EsmtpMode || !ch->UserName[0]) return 0;
    const char* auth = FindText(ch->ReplyBuffer, "AUTH ");
    if (!auth) return 0;
    if (FindText(auth, " CRAM-MD5")) {
        GoTo(ch, kStAuthCram);
    } else if (FindText(auth, " LOGIN") || FindText(auth, " =LOGIN")) {
        GoTo(ch, kStAuthLogin);
    } else if (FindText(auth, " PLAIN")) {
        GoTo(ch, kStAuthPlain);
    }
    return 0;
}

int SendAuthCramMd5(Channel* ch, uint32_t now) {
    int rc = SendCommand(ch, "AUTH CRAM-MD5");
    if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
    ScaledReplyWait(ch, now, 2);
    GoTo(ch, kStCramChallenge);
    return 0;
}

// "334 <base64 challenge>". The challenge is the server's to choose; what
// does not fit AuthBuffer is cut off.
int ReadCramChallenge(Channel* ch, uint32_t now) {
    (void)now;
    int r = Reply(ch);
    if (r <= 0) return r;
    const char* text = ch->ReplyBuffer;
    int len = TextLength(text);
    text = len > 4 ? text + 4 : text + len;
    len = TextLength(text);
    // Decoded in the scratch line, which is large enough for any reply:
    // 3 * (1024 / 4) + 4 bytes at most.
    int got = vokDecodeBuffer(text, ch->ScratchLine, len);
    if (got < 0) got = 0;
    if (got > static_cast<int>(sizeof ch->AuthBuffer) - 1) got = sizeof ch->AuthBuffer - 1;
    CopyBytes(ch->AuthBuffer, ch->ScratchLine, got);
    LogFormat(ch, "Challenge '%s'\r\n", ch->AuthBuffer);
    GoTo(ch, kStCramAnswer);
    return 0;
}

int SendCramAnswer(Channel* ch, uint32_t now) {
    BuildCramMd5Response(ch);
    int rc = SendEncoded(ch, "", ch->AuthBuffer, TextLength(ch->AuthBuffer), false);
    if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
    LongReplyWait(ch, now, 1);
    GoTo(ch, kStCramResult);
    return 0;
}

int ReadCramResult(Channel* ch, uint32_t now) {
    (void)now;
    int r = Reply(ch);
    if (r <= 0) return r;
    LogText(ch, "AUTH CRAM-MD5 ok\r\n");
    GoTo(ch, kStIdle);
    return 0;
}

int SendAuthLogin(Channel* ch, uint32_t now) {
    int rc = SendCommand(ch, "AUTH LOGIN");
    if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
    LongReplyWait(ch, now, 2);
    GoTo(ch, kStLoginUser);
    return 0;
}

// The 334 prompts are not read: servers word them differently, and the
// order user name, password is fixed.
int SendLoginUser(Channel* ch, uint32_t now) {
    int r = Reply(ch);
    if (r <= 0) return r;
    CopyText(ch->AuthBuffer, ch->UserName, kMaxUserChars);
    int rc = SendEncoded(ch, "", ch->AuthBuffer, TextLength(ch->AuthBuffer), true);
    if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
    ReplyWait(ch, now);
    GoTo(ch, kStLoginPassword);
    return 0;
}

int SendLoginPassword(Channel* ch, uint32_t now) {
    int r = Reply(ch);
    if (r <= 0) return r;
    CopyText(ch->AuthBuffer, ch->SmtpPassword, kMaxUserChars);
    int rc = SendEncoded(ch, "", ch->AuthBuffer, TextLength(ch->AuthBuffer), true);
    if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
    LongReplyWait(ch, now, 1);
    GoTo(ch, kStLoginResult);
    return 0;
}

int ReadLoginResult(Channel* ch, uint32_t now) {
    (void)now;
    int r = Reply(ch);
    if (r <= 0) return r;
    LogText(ch, "AUTH LOGIN ok\r\n");
    GoTo(ch, kStIdle);
    return 0;
}

// authorization identity NUL authentication identity NUL password, sent as
// the initial response of the AUTH command.
int SendAuthPlain(Channel* ch, uint32_t now) {
    char* text = ch->ScratchLine;
    int n = CopyText(text, ch->UserName, kMaxUserChars);
    text[n++] = '\0';
    n += CopyText(text + n, ch->UserName, kMaxUserChars);
    text[n++] = '\0';
    n += CopyText(text + n, ch->SmtpPassword, kMaxUserChars);
    int rc = SendEncoded(ch, "AUTH PLAIN ", text, n, true);
    if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
    ScaledReplyWait(ch, now, 2);
    GoTo(ch, kStPlainResult);
    return 0;
}

int ReadPlainResult(Channel* ch, uint32_t now) {
    (void)now;
    int r = Reply(ch);
    if (r <= 0) return r;
    LogText(ch, "AUTH PLAIN ok\r\n");
    GoTo(ch, kStIdle);
    return 0;
}

}  // namespace smtp
}  // namespace vok

using namespace vok;

extern "C" VOK_EXPORT int VOKAPI vokSmtpConnect(int channel, const char* server, const char* from,
                                                const char* replyTo) {
    CallScope scope;
    Channel* ch = nullptr;
    if (int rc = LookupChannel(channel, &ch)) return rc;
    ch->Protocol = 'S';
    LogCall(ch, "vokSmtpConnect");
    if (!server) return VOK_SERVER_NOT_SPECIFIED;
    if (!from) return VOK_FROM_NULL;
    if (!CheckServerName(server)) return VOK_BAD_SERVER_NAME;
    // The Reply-To goes into the header: a line break would start a header
    // line of its own.
    if (replyTo && HasLineBreak(replyTo)) return VOK_BAD_ADDRESS_CHAR;
    if (replyTo && *replyTo) {
        CopyText(ch->ReplyTo, replyTo, kNameChars);
    } else {
        ch->ReplyTo[0] = '\0';
    }
    CopyText(ch->Server, server, kNameChars);
    if (int rc = CheckAddressForm(ch, from, false)) return rc;
    // The sender ends up in EHLO and MAIL FROM: a line break would start a
    // command of its own.
    if (HasLineBreak(from)) return VOK_BAD_ADDRESS_CHAR;
    CopyText(ch->FromAddress, from, kNameChars);
    ch->RemotePort = ch->SmtpPort;
    AbandonMessage(ch);
    ch->AttachCount = 0;
    EmptyRing(ch);
    return StartOperation(ch, kStSmtpConnect, false);
}
