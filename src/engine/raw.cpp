// SPDX-License-Identifier: MIT
// Calls that act on a channel whatever protocol it speaks: a raw command,
// the polite close with QUIT, and the abort that just drops the connection.
#include "codec/text.h"
#include "engine/engine.h"
#include "engine/reply.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "frame/memory.h"
#include "platform/platform.h"
#include "vok32.h"

namespace vok {

int SendRawCommand(Channel* ch, uint32_t now) {
    CopyText(ch->CommandLine, ch->RawCommand, kRawCommandChars);
    int rc = SendLine(ch, ch->CommandLine);
    if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
    ReplyWait(ch, now);
    GoTo(ch, ch->ThisState == kStSmtpRaw ? kStSmtpRawReply : kStPop3RawReply);
    return 0;
}

int ReadRawReply(Channel* ch, uint32_t) {
    int rc = IsSmtpRawState(ch->ThisState) ? AwaitSmtpReply(ch) : AwaitPop3Reply(ch);
    if (rc < 0) return rc;
    if (rc == 1) GoTo(ch, kStIdle);  // the reply stays in ReplyBuffer and LastReply
    return 0;
}

int SendQuit(Channel* ch, uint32_t now) {
    CopyText(ch->CommandLine, "QUIT", kLineChars);
    int rc = SendLine(ch, ch->CommandLine);
    if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
    ReplyWait(ch, now);
    GoTo(ch, kStQuitReply);
    return 0;
}

int ReadQuitReply(Channel* ch, uint32_t) {
    const ReplyRule& rule = ch->Protocol == 'S' ? kSmtpReply : kPop3Reply;
    if (!ReplyReady(ch, rule)) return 0;
    int rc = ReadReply(ch, rule);
    // A server that closes right after QUIT without a word has still closed
    // the session: the one place where a closed connection is a success.
    if (rc < 0 && rc != VOK_SOCKET_CLOSED) return DriverError(ch, 0, rc);
    GoTo(ch, kStIdle);
    CloseConnection(ch);
    return 0;
}

}  // namespace vok

using namespace vok;

extern "C" VOK_EXPORT int VOKAPI vokCommand(int channel, const char* command) {
    CallScope scope;
    Channel* ch = nullptr;
    if (int rc = LookupChannel(channel, &ch)) return rc;
    LogCall(ch, "vokCommand");
    if (!command) return VOK_NULL_POINTER;
    CopyText(ch->RawCommand, command, kRawCommandChars);
    DropListing(ch);  // RSET, DELE, ...: what was listed may no longer hold
    ch->ReturnState = 0;
    ch->SockCode = 0;
    // Only a channel opened by a connect call has a server to talk to.
    if (ch->Protocol != 'P' && ch->Protocol != 'S') return VOK_BAD_SERVER_NAME;
    return StartOperation(ch, ch->Protocol == 'P' ? kStPop3Raw : kStSmtpRaw, false);
}

extern "C" VOK_EXPORT int VOKAPI vokClose(int channel) {
    CallScope scope;
    Channel* ch = nullptr;
    if (int rc = LookupChannel(channel, &ch)) return rc;
    LogCall(ch, "vokClose");
    if (ch->Protocol == 'S') {
        // A message or attachment file still open from a failed send.
        if (ch->FileHandle > 0) plat::FileClose(ch->FileHandle);
        ch->FileHandle = 0;
    } else {
        FinishOpenFiles(ch);
    }
    int rc = StartOperation(ch, kStQuit, true);
    if (!ch->AutoCall) return 0;
    FreeMemory(ch->Chan, 1, 9);
    ch->Protocol = 0;
    return rc;
}

extern "C" VOK_EXPORT int VOKAPI vokAbort(int channel) {
    CallScope scope;
    Channel* ch = nullptr;
    if (int rc = LookupChannel(channel, &ch)) return rc;
    AbortChannel(ch);
    return 1;
}
