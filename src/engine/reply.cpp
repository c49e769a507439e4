// SPDX-License-Identifier: MIT
// The reply layer: lines, multi-line replies and their end rules.
#include "engine/reply.h"

#include <cstring>

#include "codec/text.h"
#include "engine/engine.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/settings.h"
#include "vok32.h"

namespace vok {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Every line of an SMTP reply begins with its three-digit code (RFC 5321
// section 4.2); "250 text" ends the reply, "250-text" continues it (section
// 4.2.1), and a bare code ends it too.
int JudgeSmtpLine(const char* line, int n, bool first, int room, int32_t* code) {
    // A line that does not begin with a code is no reply at all.
    if (n < 3 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2])) return VOK_SMTP_ERROR;
    // Only the reader (code given) stops at a refusal's first line; the
    // readiness check waits for the whole reply, whose later lines a caller
    // may still read (VRFY).
    if (first && code) {
        *code = ParseDecimal(line);
        // 4yz is "not done, try again later" and 5yz "not done" (section
        // 4.2.1): either way the command failed. The code stays in
        // ReplyCode for the caller to tell them apart.
        if (*code >= 400) return VOK_SMTP_ERROR;
    }
    // Every line of a reply, the last included, ends with CR LF; one that
    // stalled without it, or filled the reply's room, is no reply.
    if (line[n - 1] != '\n') return n >= room - 1 ? VOK_RESPONSE_OVERFLOW : VOK_SOCKET_TIMEOUT;
    return n < 4 || line[3] != '-' ? kReplyEnds : kReplyGoesOn;
}

// A POP3 reply is its status line. Only "+OK" is a positive status (RFC
// 1939 section 3); anything else, "-ERR" or a line that is no status at all,
// is not.
int JudgePop3Line(const char* line, int n, bool, int, int32_t* code) {
    bool ok = n >= 3 && line[0] == '+' && line[1] == 'O' && line[2] == 'K';
    if (code) *code = ok ? 100 : 500;
    return ok ? kReplyEnds : VOK_POP3_ERROR;
}

}  // namespace

const ReplyRule kSmtpReply = {JudgeSmtpLine, false, 127};
const ReplyRule kPop3Reply = {JudgePop3Line, true, kNameChars};

int ReadLine(Channel* ch, char* dst, int size, int32_t firstWait, int32_t nextWait) {
    if (!WaitReadable(ch, firstWait)) return 0;
    int total = ReadLinePiece(ch, dst, size);
    if (total <= 0) return total;
    while (total < size - 1 && dst[total - 1] != '\n' && WaitReadable(ch, nextWait)) {
        int piece = ReadLinePiece(ch, dst + total, size - total);
        if (piece <= 0) return piece;
        total += piece;
    }
    return total;
}

int ReadReply(Channel* ch, const ReplyRule& rule) {
    ch->ReplyCode = 0;
    if (rule.StatusLine) {
        // The reader waits by itself; the driver's deadline does not apply.
        NoDeadline(ch);
        if (!WaitReadable(ch, LibrarySettings.ReadWait)) return VOK_SOCKET_TIMEOUT;
    }
    char* pos = ch->ReplyBuffer;
    int room = kReplyRoom;
    *pos = '\0';
    for (bool first = true;; first = false) {
        int n = ReadLine(ch, pos, room, 0, LibrarySettings.MaxResponseWait);
        // A connection that closes before the reply's last line has ended
        // leaves the command's outcome unknown: never a success.
        if (n < 0) return VOK_SOCKET_CLOSED;
        if (n == 0) {
            if (rule.StatusLine) return VOK_SOCKET_TIMEOUT;
            // The next line of a multi-line reply has not arrived yet. Wait
            // for it, but not for ever (RFC 5321 section 4.5.3.2).
            if (!WaitReadable(ch, LibrarySettings.MaxResponseWait)) return VOK_SOCKET_TIMEOUT;
            continue;
        }
        CopyText(ch->LastReply, pos, rule.LastReplyChars);
        int verdict = rule.Judge(pos, n, first, room, first ? &ch->ReplyCode : nullptr);
        if (verdict == kReplyEnds) return 0;
        if (verdict < 0) return verdict;
        pos += n;
        room -= n;
        if (room <= 1) return VOK_RESPONSE_OVERFLOW;
    }
}

bool ReplyReady(Channel* ch, const ReplyRule& rule) {
    if (!DataArrived(ch)) return false;
    if (FillRing(ch) < 0) return true;  // the reader meets the end
    char held[kRingSize];
    int n = RingSnapshot(ch, held, sizeof held);
    if (n >= kRingSize - 1) return true;  // a long reply: the reader takes it in pieces
    int room = kReplyRoom;
    for (int at = 0, index = 0; at < n; ++index) {
        const void* lf = memchr(held + at, '\n', static_cast<size_t>(n - at));
        if (!lf) break;  // the rest of the line is still to come
        int len = static_cast<int>(static_cast<const char*>(lf) - (held + at)) + 1;
        if (rule.Judge(held + at, len, index == 0, room, nullptr) != kReplyGoesOn) return true;
        at += len;
        room -= len;
        if (room <= 1) return true;
    }
    // Nothing more to see until more comes: the driver waits on the socket.
    ch->RingStarved = 1;
    return false;
}

int AwaitReply(Channel* ch, const ReplyRule& rule) {
    if (!ReplyReady(ch, rule)) return 0;
    int rc = ReadReply(ch, rule);
    return rc < 0 ? DriverError(ch, 0, rc) : 1;
}

}  // namespace vok
