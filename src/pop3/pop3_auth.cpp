// SPDX-License-Identifier: MIT
// The POP3 login the application asked for (AuthMethod): PLAIN and XOAUTH2
// through the SASL AUTH command with an initial response (RFC 5034), once
// CAPA has shown the server offers the mechanism (RFC 2449); LOGIN is
// USER/PASS and CRAM-MD5 its POP3 counterpart, APOP.
#include "codec/md5.h"
#include "codec/text.h"
#include "engine/engine.h"
#include "engine/reply.h"
#include "engine/sasl.h"
#include "engine/tls_transport.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "pop3/pop3.h"
#include "vok32.h"

namespace vok {

namespace {

const char* MechanismName(const Channel* ch) {
    return ch->AuthMethod == 4 ? "XOAUTH2" : "PLAIN";
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

// "SASL PLAIN XOAUTH2": whether the capability line names the mechanism.
bool SaslLineOffers(const char* line, const char* name) {
    const char* tag = "SASL ";
    for (int i = 0; i < 5; ++i)
        if (Upper(line[i]) != tag[i]) return false;
    for (const char* p = line + 5; *p && *p != '\r' && *p != '\n';) {
        while (*p == ' ') ++p;
        int k = 0;
        while (name[k] && Upper(p[k]) == name[k]) ++k;
        char end = p[k];
        if (!name[k] && (end == ' ' || end == '\r' || end == '\n' || end == '\0')) return true;
        while (*p && *p != ' ' && *p != '\r' && *p != '\n') ++p;
    }
    return false;
}

int NotOffered(Channel* ch) {
    SetTlsReason(ch, MechanismName(ch));
    return DriverError(ch, 0, VOK_AUTH_NOT_OFFERED);
}

}  // namespace

State Pop3LoginState(const Channel* ch) {
    switch (ch->AuthMethod) {
        case 1:
        case 4:
            return kPop3Capa;
        case 2:
            return kPop3User;
        case 3:
            return kPop3Apop;
        default:
            return ch->UseApop ? kPop3Apop : kPop3User;
    }
}

int SendCapa(Channel* ch, uint32_t now) {
    CopyText(ch->CommandLine, "CAPA", kLineChars);
    int rc = SendLine(ch, ch->CommandLine);
    if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_READ_ERROR);
    ReplyWait(ch, now);
    ch->CapaStage = 0;
    GoTo(ch, kPop3CapaLine);
    return 0;
}

// The capability list, one line per step; repeats until its "." line.
int ReadCapaLine(Channel* ch, uint32_t now) {
    if (!ReplyReady(ch, kPop3Reply)) return 0;  // a whole line
    int n = ReadLine(ch, ch->ReplyBuffer, kReplyRoom, 0, LibrarySettings.MaxResponseWait);
    if (n < 0) return DriverError(ch, 0, VOK_SOCKET_CLOSED);
    if (n == 0) return 0;
    ReplyWait(ch, now);
    const char* line = ch->ReplyBuffer;
    if (ch->CapaStage == 0) {
        // A server without CAPA cannot tell its mechanisms.
        if (line[0] != '+') return NotOffered(ch);
        ch->CapaStage = 1;
        return 0;
    }
    if (line[0] == '.' && (line[1] == '\r' || line[1] == '\n' || line[1] == '\0')) {
        if (ch->CapaStage != 2) return NotOffered(ch);
        GoTo(ch, kPop3Auth);
        return 0;
    }
    if (SaslLineOffers(line, MechanismName(ch))) ch->CapaStage = 2;
    return 0;
}

int SendSaslAuth(Channel* ch, uint32_t now) {
    int rc;
    if (ch->AuthMethod == 4) {
        rc = SendXoauth2(ch, "AUTH XOAUTH2 ");
    } else {
        // authorization identity (empty) NUL user NUL password (RFC 4616).
        char raw[2 * kUserChars + 4];
        int n = 0;
        raw[n++] = '\0';
        n += CopyText(raw + n, ch->UserName, kUserChars);
        raw[n++] = '\0';
        n += CopyText(raw + n, ch->Pop3Password, kUserChars);
        rc = SendBase64Line(ch, "AUTH PLAIN ", raw, n, true);
    }
    if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_READ_ERROR);
    LongReplyWait(ch, now, 1);
    GoTo(ch, kPop3AuthReply);
    return 0;
}

// "+OK": logged in. "-ERR": refused. "+ <challenge>": the server refuses a
// token with an error challenge (XOAUTH2); an empty answer gets its final
// "-ERR" (RFC 5034 section 4).
int ReadSaslReply(Channel* ch, uint32_t now) {
    if (!ReplyReady(ch, kPop3Reply)) return 0;
    int rc = ReadPop3Reply(ch);
    const char* line = ch->ReplyBuffer;
    // A continuation is "+" and a blank (or the line end), never "+OK".
    bool challenge = rc == VOK_POP3_ERROR && line[0] == '+' &&
                     (line[1] == ' ' || line[1] == '\r' || line[1] == '\n');
    if (rc < 0 && !challenge) return DriverError(ch, 0, rc);
    if (challenge) {
        int sent = SendData(ch, "\r\n", 2);
        if (sent < 0) return DriverError(ch, sent, VOK_SOCKET_READ_ERROR);
        ReplyWait(ch, now);
        GoTo(ch, kPop3AuthFinal);
        return 0;
    }
    LogFormat(ch, "AUTH %s ok\r\n", MechanismName(ch));
    GoTo(ch, kStIdle);
    return 0;
}

int ReadSaslFinal(Channel* ch, uint32_t) {
    int rc = AwaitPop3Reply(ch);
    if (rc <= 0) return rc;
    return DriverError(ch, 0, VOK_POP3_ERROR);
}

void BuildApopResponse(Channel* ch) {
    if (!ch) return;
    // RFC 1939 section 7: MD5 of the greeting's timestamp followed by the
    // shared secret, no CR cut.
    uint8_t digest[16];
    Md5 md;
    md.Update(ch->AuthBuffer, BoundedLength(ch->AuthBuffer, sizeof ch->AuthBuffer));
    md.Final(digest);
    static_assert(kUserChars + 34 <= sizeof(Channel::AuthBuffer), "answer fits AuthBuffer");
    FormatDigestAnswer(ch->UserName, kUserChars, digest, ch->AuthBuffer);
}

}  // namespace vok
