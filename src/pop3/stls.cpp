// SPDX-License-Identifier: MIT
// STLS (RFC 2595 section 4): asked for after the greeting when the channel
// requires TLS; the login follows the handshake.
#include "codec/text.h"
#include "engine/engine.h"
#include "engine/reply.h"
#include "engine/tls_transport.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "pop3/pop3.h"
#include "vok32.h"

namespace vok {

int SendStls(Channel* ch, uint32_t now) {
    CopyText(ch->CommandLine, "STLS", kLineChars);
    int rc = SendLine(ch, ch->CommandLine);
    if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
    ReplyWait(ch, now);
    GoTo(ch, kPop3StlsReply);
    return 0;
}

// "-ERR" refuses it: nothing else is sent, no USER, no PASS.
int ReadStlsReply(Channel* ch, uint32_t) {
    if (!ReplyReady(ch, kPop3Reply)) return 0;
    int rc = ReadPop3Reply(ch);
    if (rc == VOK_POP3_ERROR) {
        SetTlsReason(ch, ch->ReplyBuffer);
        return DriverError(ch, 0, VOK_STARTTLS_REFUSED);
    }
    if (rc < 0) return DriverError(ch, 0, rc);
    // Bytes after "+OK" came before the handshake: not to be trusted
    // (RFC 2595 section 4), dropped.
    if (RingCount(ch) > 0)
        LogFormat(ch, "STLS: %d bytes before the handshake dropped\r\n", RingCount(ch));
    EmptyRing(ch);
    GoTo(ch, kTlsStart);  // then ReturnState: USER or APOP
    return 0;
}

}  // namespace vok
