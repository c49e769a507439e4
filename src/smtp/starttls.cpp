// SPDX-License-Identifier: MIT
// STARTTLS (RFC 3207): asked for after EHLO when the channel requires TLS;
// after the handshake the session starts over with EHLO.
#include "codec/text.h"
#include "engine/engine.h"
#include "engine/reply.h"
#include "engine/tls_transport.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "smtp/smtp.h"
#include "vok32.h"

namespace vok::smtp {

// Without STARTTLS in the EHLO reply nothing more is sent: no AUTH, no MAIL
// (RFC 3207 section 4 leaves the client to decide; a required TLS means
// giving up).
int ChooseStartTls(Channel* ch) {
    if (!ReplyOffers(ch->ReplyBuffer, "STARTTLS")) {
        SetTlsReason(ch, "");
        return DriverError(ch, 0, VOK_STARTTLS_REFUSED);
    }
    GoTo(ch, kStStartTls);
    return 0;
}

int SendStartTls(Channel* ch, uint32_t now) {
    CopyText(ch->CommandLine, "STARTTLS", kLineChars);
    int rc = SendLine(ch, ch->CommandLine);
    if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
    ReplyWait(ch, now);
    GoTo(ch, kStStartTlsReply);
    return 0;
}

// "220 Ready to start TLS"; any other answer (454 TLS not available, a 5xx)
// refuses it.
int ReadStartTlsReply(Channel* ch, uint32_t) {
    if (!ReplyReady(ch, kSmtpReply)) return 0;
    int rc = ReadSmtpReply(ch);
    if (rc == VOK_SMTP_ERROR || (rc == 0 && ch->ReplyCode != 220)) {
        SetTlsReason(ch, ch->ReplyBuffer);
        return DriverError(ch, 0, VOK_STARTTLS_REFUSED);
    }
    if (rc < 0) return DriverError(ch, 0, rc);
    // Whatever the server sent after its answer was sent before the
    // handshake and is not to be trusted (RFC 3207 section 6): dropped.
    if (RingCount(ch) > 0)
        LogFormat(ch, "STARTTLS: %d bytes before the handshake dropped\r\n", RingCount(ch));
    EmptyRing(ch);
    ch->ReturnState = kStHello;  // EHLO again: the extensions may differ now
    GoTo(ch, kTlsStart);
    return 0;
}

}  // namespace vok::smtp
