// SPDX-License-Identifier: MIT
// The encrypted transport and the handshake states. The session is made on
// the connected socket (right after the connect for implicit TLS, after the
// server's go-ahead for STARTTLS / STLS) and replaces the socket's own send
// and receive until the connection closes.
#include "engine/tls_transport.h"

#include "codec/text.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "platform/platform.h"
#include "platform/sockets.h"
#include "platform/tls.h"
#include "vok32.h"

namespace vok {

namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

bool Before(uint32_t a, uint32_t b) {
    return static_cast<int32_t>(a - b) < 0;
}

int FailureCode(plat::TlsFailure failure) {
    switch (failure) {
        case plat::TlsFailure::Unavailable:
            return VOK_TLS_UNAVAILABLE;
        case plat::TlsFailure::Untrusted:
            return VOK_TLS_UNTRUSTED;
        case plat::TlsFailure::NameMismatch:
            return VOK_TLS_NAME_MISMATCH;
        default:
            return VOK_TLS_HANDSHAKE_FAILED;
    }
}

// Every send is bounded by WriteWait, as on a plain connection.
void BoundSends(Channel* ch) {
    plat::TlsSetSendWait(ch->Tls, LibrarySettings.WriteWait < 0 ? 0 : LibrarySettings.WriteWait);
}

// Fills the stage from the session when it is empty: true when bytes are
// staged or the session has ended.
bool FillStage(Channel* ch) {
    if (ch->TlsStageRead < ch->TlsStageLen) return true;
    if (ch->TlsEnded) return true;
    ch->TlsStageRead = ch->TlsStageLen = 0;
    int n = plat::TlsRead(ch->Tls, ch->TlsStage, kRingSize);
    if (n > 0) {
        ch->TlsStageLen = n;
        return true;
    }
    if (n == 0) return false;
    // -1 close_notify, -2 cut off: either way the connection is over, and
    // a download in progress sees a closed connection (cut off), never a
    // complete message.
    LogText(ch, n == -1 ? "TLS: close_notify received\r\n"
                        : "TLS: connection ended without close_notify\r\n");
    ch->TlsEnded = 1;
    return true;
}

// 107: the session on the connected socket.
int StartTls(Channel* ch, uint32_t now) {
    ch->TlsReason[0] = '\0';
    ch->TlsSession[0] = ch->TlsSubject[0] = '\0';
    ch->TlsVersion = 0;
    if (!plat::TlsAvailable()) {
        SetTlsReason(ch, "no TLS backend");
        return DriverError(ch, 0, VOK_TLS_UNAVAILABLE);
    }
    if (!ch->TlsVerify)
        LogText(ch, "WARNING: the server certificate is not verified (TlsVerify 0)\r\n");
    plat::TlsOptions options{ch->Server, ch->TlsVerify != 0, ch->TlsCaFile};
    plat::TlsFree(ch->Tls);
    ch->Tls = nullptr;
    ch->TlsEnded = 0;
    ch->TlsStageRead = ch->TlsStageLen = 0;
    plat::TlsSession* session = nullptr;
    plat::TlsFailure failure =
        plat::TlsCreate(ch->Socket, options, &session, ch->TlsReason, sizeof ch->TlsReason);
    if (failure != plat::TlsFailure::None) return DriverError(ch, 0, FailureCode(failure));
    ch->Tls = session;
    BoundSends(ch);
    LogText(ch, "TLS: handshake\r\n");
    // The handshake's own limit: ConnectWait, checked by the step so that a
    // stalled handshake fails as one (-80), not as a read time-out.
    HandshakeWait(ch, now);
    GoTo(ch, kTlsHandshake);
    return 0;
}

// 108: one handshake step; repeats until done.
int StepHandshake(Channel* ch, uint32_t now) {
    if (!ch->Tls) return DriverError(ch, 0, VOK_TLS_HANDSHAKE_FAILED);
    plat::TlsFailure failure = plat::TlsFailure::None;
    plat::TlsStatus status =
        plat::TlsHandshake(ch->Tls, &failure, ch->TlsReason, sizeof ch->TlsReason);
    if (status == plat::TlsStatus::Failed) {
        plat::TlsFree(ch->Tls);  // no close_notify on a session that never was
        ch->Tls = nullptr;
        return DriverError(ch, 0, FailureCode(failure));
    }
    if (status != plat::TlsStatus::Done) {
        if (Before(ch->TlsDeadline, now)) {
            SetTlsReason(ch, "no handshake within ConnectWait");
            plat::TlsFree(ch->Tls);
            ch->Tls = nullptr;
            return DriverError(ch, 0, VOK_TLS_HANDSHAKE_FAILED);
        }
        ch->NeedWritable = status == plat::TlsStatus::WantWrite ? 1 : 0;
        GoTo(ch, kTlsHandshake);
        return 0;
    }
    ch->TlsVersion = plat::TlsProtocolVersion(ch->Tls);
    plat::TlsDescribe(ch->Tls, ch->TlsSession, sizeof ch->TlsSession);
    plat::TlsPeerSubject(ch->Tls, ch->TlsSubject, sizeof ch->TlsSubject);
    LogFormat(ch, "TLS: %s, server certificate '%s'\r\n", ch->TlsSession, ch->TlsSubject);
    ReplyWait(ch, now);
    GoTo(ch, ReturnTo(ch));
    return 0;
}

const StateEntry kEntries[] = {{kTlsStart, StartTls}, {kTlsHandshake, StepHandshake}};

}  // namespace

const StateTable kTlsStates = {kEntries, static_cast<int>(sizeof kEntries / sizeof kEntries[0])};

void SetTlsReason(Channel* ch, const char* text) {
    CopyText(ch->TlsReason, text ? text : "", kNameChars);
    // The server's line keeps no line end in the reason.
    for (char* p = ch->TlsReason; *p; ++p) {
        if (*p == '\r' || *p == '\n') {
            *p = '\0';
            break;
        }
    }
}

bool TlsPollReadable(Channel* ch) {
    return FillStage(ch);
}

bool TlsHasBuffered(const Channel* ch) {
    return ch->Tls && (ch->TlsStageRead < ch->TlsStageLen || plat::TlsHasPending(ch->Tls));
}

int TlsReceive(Channel* ch, char* dst, int length) {
    if (!FillStage(ch) || ch->TlsStageRead >= ch->TlsStageLen) return -1;
    int n = ch->TlsStageLen - ch->TlsStageRead;
    if (n > length) n = length;
    CopyBytes(dst, ch->TlsStage + ch->TlsStageRead, n);
    ch->TlsStageRead += n;
    return n;
}

int TlsSend(Channel* ch, const char* data, int length) {
    BoundSends(ch);
    return plat::TlsWrite(ch->Tls, data, length);
}

void TlsEnd(Channel* ch, bool notify) {
    if (!ch->Tls) return;
    BoundSends(ch);
    if (notify && !ch->TlsEnded) plat::TlsCloseNotify(ch->Tls);
    plat::TlsFree(ch->Tls);
    ch->Tls = nullptr;
    ch->TlsEnded = 0;
    ch->TlsStageRead = ch->TlsStageLen = 0;
}

bool ReplyOffers(const char* reply, const char* keyword) {
    int klen = TextLength(keyword);
    for (const char* line = reply; line && *line;) {
        // "250-STARTTLS" / "250 STARTTLS": the keyword after the code and
        // its separator, ended by a blank or the line end.
        const char* p = line;
        int i = 0;
        while (i < 4 && p[i] && p[i] != '\n') ++i;
        if (i == 4) {
            const char* word = p + 4;
            int k = 0;
            while (k < klen && word[k] && Upper(word[k]) == Upper(keyword[k])) ++k;
            char after = word[k];
            if (k == klen && (after == ' ' || after == '\r' || after == '\n' || after == '\0'))
                return true;
        }
        const char* next = FindChar(line, '\n');
        line = next ? next + 1 : nullptr;
    }
    return false;
}

}  // namespace vok
