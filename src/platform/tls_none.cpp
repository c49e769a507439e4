// SPDX-License-Identifier: MIT
// The TLS stub of a build without a backend: every session fails with
// "TLS is not available", so a plain session works and a TLS one is
// refused before a byte goes out.
#include "platform/tls.h"

namespace vok::plat {

bool TlsAvailable() {
    return false;
}

TlsFailure TlsCreate(SocketHandle, const TlsOptions&, TlsSession** out, char* reason,
                     int reasonSize) {
    *out = nullptr;
    CopyReason(reason, reasonSize, "no TLS backend");
    return TlsFailure::Unavailable;
}

TlsStatus TlsHandshake(TlsSession*, TlsFailure* failure, char* reason, int reasonSize) {
    *failure = TlsFailure::Unavailable;
    CopyReason(reason, reasonSize, "no TLS backend");
    return TlsStatus::Failed;
}

int TlsRead(TlsSession*, char*, int) {
    return -2;
}
bool TlsReadable(TlsSession*) {
    return true;
}
bool TlsHasPending(TlsSession*) {
    return false;
}
int TlsWrite(TlsSession*, const char*, int) {
    return -10038;
}
void TlsSetSendWait(TlsSession*, int) {}
void TlsCloseNotify(TlsSession*) {}
void TlsFree(TlsSession*) {}
int TlsProtocolVersion(const TlsSession*) {
    return 0;
}
int TlsDescribe(const TlsSession*, char* buffer, int size) {
    if (buffer && size > 0) buffer[0] = '\0';
    return 0;
}
int TlsPeerSubject(const TlsSession*, char* buffer, int size) {
    if (buffer && size > 0) buffer[0] = '\0';
    return 0;
}

}  // namespace vok::plat
