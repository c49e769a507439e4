// SPDX-License-Identifier: MIT
// The encrypted transport: the TLS session of a channel behind the
// transport's one read point and its write points, and the handshake states.
// The receive ring, the line and reply readers and every state above them
// see the same bytes as on a plain connection.
#pragma once

#include <cstdint>

#include "engine/engine.h"

namespace vok {

struct Channel;

// The handshake states (kTlsStart, kTlsHandshake): the second repeats until
// the handshake is done (bounded by ConnectWait), then goes on to ReturnState.
extern const StateTable kTlsStates;

// Readiness of a TLS connection: true when decrypted bytes are waiting (the
// check pulls what the socket has into the stage), or when the session has
// ended, so that the following receive meets the end.
bool TlsPollReadable(Channel* ch);
// Decrypted bytes already held (stage or session): no socket poll needed.
bool TlsHasBuffered(const Channel* ch);
// The receive of a TLS connection: bytes, or -1 at its end.
int TlsReceive(Channel* ch, char* dst, int length);
// The send of a TLS connection: all bytes, or the negated socket error.
int TlsSend(Channel* ch, const char* data, int length);
// Ends the session, with close_notify when `notify` (an orderly close).
void TlsEnd(Channel* ch, bool notify);

// Whether the EHLO reply in ReplyBuffer lists the keyword as an extension
// (RFC 5321 section 4.1.1.1: one per line after the code).
bool ReplyOffers(const char* reply, const char* keyword);

// Stores a reason text for vokErrorText (the server's line, ...).
void SetTlsReason(Channel* ch, const char* text);

}  // namespace vok
