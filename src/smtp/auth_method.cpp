// SPDX-License-Identifier: MIT
// The AUTH mechanism the application asked for (AuthMethod), and XOAUTH2:
// the bearer token as the AUTH command's initial response (RFC 4954
// section 4); a refusal comes as a 334 challenge carrying an error, which is
// answered with an empty line to get the final reply.
#include "codec/md5.h"
#include "codec/text.h"
#include "engine/engine.h"
#include "engine/reply.h"
#include "engine/sasl.h"
#include "engine/tls_transport.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "smtp/smtp.h"
#include "vok32.h"

namespace vok::smtp {

namespace {

struct Mechanism {
    const char* Name;
    State Next;
};
const Mechanism kMechanisms[] = {{"PLAIN", kStAuthPlain},
                                 {"LOGIN", kStAuthLogin},
                                 {"CRAM-MD5", kStAuthCram},
                                 {"XOAUTH2", kStAuthXoauth2}};

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

// Whether the EHLO reply's AUTH line lists the mechanism (RFC 4954 section 3).
bool Offers(const char* reply, const char* name) {
    for (const char* line = reply; line && *line;) {
        const char* word = TextLength(line) > 4 ? line + 4 : "";
        if (Upper(word[0]) == 'A' && Upper(word[1]) == 'U' && Upper(word[2]) == 'T' &&
            Upper(word[3]) == 'H' && (word[4] == ' ' || word[4] == '=')) {
            for (const char* p = word + 5; *p && *p != '\r' && *p != '\n';) {
                while (*p == ' ') ++p;
                int k = 0;
                while (name[k] && Upper(p[k]) == name[k]) ++k;
                char end = p[k];
                if (!name[k] && (end == ' ' || end == '\r' || end == '\n' || end == '\0'))
                    return true;
                while (*p && *p != ' ' && *p != '\r' && *p != '\n') ++p;
            }
        }
        const char* next = FindChar(line, '\n');
        line = next ? next + 1 : nullptr;
    }
    return false;
}

}  // namespace

int ChooseAuthMethod(Channel* ch) {
    const Mechanism& m = kMechanisms[(ch->AuthMethod - 1) & 3];
    if (!Offers(ch->ReplyBuffer, m.Name)) {
        SetTlsReason(ch, m.Name);
        return DriverError(ch, 0, VOK_AUTH_NOT_OFFERED);
    }
    GoTo(ch, m.Next);
    return 0;
}

int SendAuthXoauth2(Channel* ch, uint32_t now) {
    int rc = SendXoauth2(ch, "AUTH XOAUTH2 ");
    if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
    LongReplyWait(ch, now, 1);
    GoTo(ch, kStXoauth2Result);
    return 0;
}

// 235: done. 334 with an error (base64 JSON): the empty answer asks for the
// final reply, which fails the call with the server's line.
int ReadXoauth2Result(Channel* ch, uint32_t now) {
    int r = AwaitSmtpReply(ch);
    if (r <= 0) return r;
    if (ch->ReplyCode == 334) {
        int rc = SendData(ch, "\r\n", 2);
        if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
        ReplyWait(ch, now);
        GoTo(ch, kStXoauth2Final);
        return 0;
    }
    if (ch->ReplyCode < 200 || ch->ReplyCode >= 300) return DriverError(ch, 0, VOK_SMTP_ERROR);
    LogText(ch, "AUTH XOAUTH2 ok\r\n");
    GoTo(ch, kStIdle);
    return 0;
}

int ReadXoauth2Final(Channel* ch, uint32_t) {
    int r = AwaitSmtpReply(ch);
    if (r <= 0) return r;
    // Whatever the code, the token was refused.
    return DriverError(ch, 0, VOK_SMTP_ERROR);
}

}  // namespace vok::smtp

namespace vok {

void BuildCramMd5Response(Channel* ch) {
    if (!ch) return;
    // AuthBuffer may have been filled to its last byte; never read past it.
    char challenge[sizeof ch->AuthBuffer + 1];
    size_t n = LengthToCr(ch->AuthBuffer, sizeof ch->AuthBuffer);
    CopyBytes(challenge, ch->AuthBuffer, static_cast<int>(n));
    char password[kUserChars + 1];
    CopyText(password, ch->SmtpPassword, kUserChars);

    uint8_t digest[16];
    HmacMd5(challenge, password, digest);
    static_assert(kUserChars + 34 <= sizeof(Channel::AuthBuffer), "answer fits AuthBuffer");
    FormatDigestAnswer(ch->UserName, kUserChars, digest, ch->AuthBuffer);
}

}  // namespace vok
