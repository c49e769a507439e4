/* SPDX-License-Identifier: MIT */
// The reply layer shared by SMTP and POP3: reading the server's answer line
// by line over the transport's receive ring, the continuation of a
// multi-line reply, and the one timer a reply's later lines get. Each
// protocol supplies its rule for where a reply ends and what it means.
#pragma once

#include <cstdint>

namespace vok {

struct Channel;

// What a protocol says about one line of a reply.
enum ReplyVerdict : int { kReplyGoesOn = 0, kReplyEnds = 1 };

struct ReplyRule {
    // The verdict on one line of `n` bytes (`room` is what the reply had left
    // for it): kReplyGoesOn, kReplyEnds, or the negative code that fails the
    // reply. `code`, when not null, receives the reply's code from its first
    // line (`first` set); when null only where the reply ends is asked.
    int (*Judge)(const char* line, int n, bool first, int room, int32_t* code);
    // POP3 status lines: the first byte may take ReadWait, and the driver's
    // deadline gives way to that wait. SMTP: the driver's deadline alone.
    bool StatusLine;
    // Characters of each line kept in LastReply.
    int LastReplyChars;
};

extern const ReplyRule kSmtpReply;  // RFC 5321 section 4.2
extern const ReplyRule kPop3Reply;  // RFC 1939 section 3

// Reads one line (up to its LF, or size - 1 bytes) into dst: waits up to
// firstWait for its first byte and up to nextWait for each later piece.
// Its length, 0 when nothing came, -1 at the connection's end.
int ReadLine(Channel* ch, char* dst, int size, int32_t firstWait, int32_t nextWait);

// Reads a whole reply into ReplyBuffer (its last line in LastReply, its code
// in ReplyCode): 0 when the rule accepts it, else a negative code.
int ReadReply(Channel* ch, const ReplyRule& rule);
inline int ReadSmtpReply(Channel* ch) {  // 0, -49, -31, -1
    return ReadReply(ch, kSmtpReply);
}
inline int ReadPop3Reply(Channel* ch) {  // 0, -63, -8, -1
    return ReadReply(ch, kPop3Reply);
}

// Whether a whole reply (up to the line its rule ends it with) has been
// received: takes what the socket holds into the receive ring without
// waiting and looks. Also true when the ring is full or the connection has
// ended, so that the reader then meets the long reply or the end.
bool ReplyReady(Channel* ch, const ReplyRule& rule);

// The reply-state pattern. 1 when a reply was read and accepted, 0 when it
// has not (all) come yet (the state repeats; the driver waits on the
// socket), or the negative result of DriverError.
int AwaitReply(Channel* ch, const ReplyRule& rule);
inline int AwaitSmtpReply(Channel* ch) {
    return AwaitReply(ch, kSmtpReply);
}
inline int AwaitPop3Reply(Channel* ch) {
    return AwaitReply(ch, kPop3Reply);
}

}  // namespace vok
