// SPDX-License-Identifier: MIT
// TLS of the platform layer: one client session on a connected socket,
// driven without blocking. The backend is the platform's own (OpenSSL 3 on
// POSIX, SChannel on Windows); a build without one has the stub, whose
// sessions all fail with "TLS is not available".
//
// The session reads the socket only when a poll says there is something to
// read, so a handshake or a record that arrives in pieces never blocks the
// thread that drives the channel: the call reports TlsStatus::WantRead and
// the caller comes back later. Writes go through the socket's own send.
#pragma once

#include <cstdint>

#include "platform/sockets.h"

namespace vok::plat {

struct TlsSession;

// Why a session could not be made or a handshake failed.
enum class TlsFailure : int {
    None = 0,
    Unavailable,   // no TLS backend in this build
    Handshake,     // the protocol failed (no common version, garbage, closed, ...)
    Untrusted,     // the certificate does not chain to a trusted root, or is out of date
    NameMismatch,  // the certificate is for another name or address
};

enum class TlsStatus : int { Done = 0, WantRead = 1, WantWrite = 2, Failed = 3 };

struct TlsOptions {
    const char* ServerName;  // host name (sent as SNI) or an IPv4/IPv6 literal
    bool Verify;             // check the chain, the validity period and the name
    const char* CaFile;      // PEM roots instead of the system store; null or "" = system
};

// True when this build has a TLS backend.
bool TlsAvailable();

// Makes a client session on a connected socket. 0 and *out set; or the
// failure, with the reason text in `reason` (bounded by reasonSize).
TlsFailure TlsCreate(SocketHandle socket, const TlsOptions& options, TlsSession** out, char* reason,
                     int reasonSize);

// One handshake step: Done, WantRead / WantWrite (call again when the socket
// is ready), or Failed with the failure and reason set.
TlsStatus TlsHandshake(TlsSession* s, TlsFailure* failure, char* reason, int reasonSize);

// Decrypted bytes: > 0 bytes read; 0 nothing there yet; -1 the peer closed
// with close_notify; -2 the connection ended without it (cut off) or failed.
int TlsRead(TlsSession* s, char* buffer, int length);

// True when the session holds decrypted bytes not yet read, or the socket
// has something that may complete a record.
bool TlsReadable(TlsSession* s);

// Bytes decrypted and held by the session (no socket poll).
bool TlsHasPending(TlsSession* s);

// Encrypts and sends all of data (blocking like the socket's send): the
// length, or -error (a WinSock-style number).
int TlsWrite(TlsSession* s, const char* data, int length);

// The bound of every send the session makes from now on (handshake, data,
// close_notify), in ms; -1 = none. A peer that stops reading fails the send.
void TlsSetSendWait(TlsSession* s, int timeoutMs);

// Sends close_notify (RFC 8446 section 6.1), without waiting for the peer's.
void TlsCloseNotify(TlsSession* s);

// Frees the session (the socket stays open; closing it is the caller's).
void TlsFree(TlsSession* s);

// The negotiated protocol as its wire number: 0x0303 TLS 1.2, 0x0304 TLS 1.3.
int TlsProtocolVersion(const TlsSession* s);
// "TLSv1.3 TLS_AES_256_GCM_SHA384": the protocol and the cipher suite.
int TlsDescribe(const TlsSession* s, char* buffer, int size);
// The server certificate's subject, one line ("CN=localhost, O=...").
int TlsPeerSubject(const TlsSession* s, char* buffer, int size);

// Copies a backend's failure text into a caller's reason buffer of `size`
// bytes, cut to fit and always terminated; harmless with no buffer.
inline void CopyReason(char* reason, int size, const char* text) {
    if (!reason || size < 1) return;
    int n = 0;
    while (n < size - 1 && text && text[n]) {
        reason[n] = text[n];
        ++n;
    }
    reason[n] = '\0';
}

}  // namespace vok::plat
