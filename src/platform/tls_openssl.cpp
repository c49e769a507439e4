// SPDX-License-Identifier: MIT
// The TLS backend on POSIX: OpenSSL 3. The session talks to the socket
// through a BIO of its own that reads only after a zero-time poll has found
// bytes, so no handshake step or record read ever blocks.
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cstring>
#include <mutex>

#include "platform/sockets.h"
#include "platform/tls.h"

namespace vok::plat {

struct TlsSession {
    SSL_CTX* Context;
    SSL* Ssl;
    SocketHandle Socket;
    int SendWait;  // ms, -1 = no bound
};

namespace {

// The oldest error queued by OpenSSL in this thread, as text.
void QueuedReason(char* reason, int size, const char* fallback) {
    unsigned long e = ERR_peek_last_error();
    if (e == 0 || !reason || size < 1) {
        CopyReason(reason, size, fallback);
        return;
    }
    const char* why = ERR_reason_error_string(e);
    CopyReason(reason, size, why ? why : fallback);
}

// --- The socket BIO ---------------------------------------------------------

int BioRead(BIO* b, char* buffer, int length) {
    BIO_clear_retry_flags(b);
    SocketHandle s = static_cast<TlsSession*>(BIO_get_data(b))->Socket;
    if (length <= 0) return 0;
    if (SocketPoll(s, Readiness::Readable, 0) != 1) {
        BIO_set_retry_read(b);
        return -1;
    }
    int n = SocketRecv(s, buffer, length);
    if (n == -kWouldBlock) {
        BIO_set_retry_read(b);
        return -1;
    }
    return n < 0 ? -1 : n;  // 0: the peer closed the connection
}

int BioWrite(BIO* b, const char* data, int length) {
    BIO_clear_retry_flags(b);
    const TlsSession* session = static_cast<TlsSession*>(BIO_get_data(b));
    if (length <= 0) return 0;
    int n = SocketSend(session->Socket, data, length, false, session->SendWait);
    if (n == -kWouldBlock) {
        BIO_set_retry_write(b);
        return -1;
    }
    return n < 0 ? -1 : n;
}

long BioCtrl(BIO*, int cmd, long, void*) {
    return cmd == BIO_CTRL_FLUSH ? 1 : 0;
}

int BioCreate(BIO* b) {
    BIO_set_init(b, 1);
    return 1;
}

BIO_METHOD* SocketMethod() {
    static BIO_METHOD* method = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "vok socket");
        if (!m) return;
        BIO_meth_set_read(m, BioRead);
        BIO_meth_set_write(m, BioWrite);
        BIO_meth_set_ctrl(m, BioCtrl);
        BIO_meth_set_create(m, BioCreate);
        method = m;
    });
    return method;
}

// An address literal is checked against the certificate's IP entries, a
// name against its DNS entries (RFC 6125); IPv6 literals may be bracketed.
bool AddressLiteral(const char* name, char* bare, int size) {
    int n = 0;
    const char* p = name;
    if (*p == '[') ++p;
    while (*p && *p != ']' && n < size - 1) bare[n++] = *p++;
    bare[n] = '\0';
    ASN1_OCTET_STRING* ip = a2i_IPADDRESS(bare);
    bool literal = ip != nullptr;
    ASN1_OCTET_STRING_free(ip);
    return literal;
}

bool IsUntrusted(long code) {
    switch (code) {
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_CERT_UNTRUSTED:
        case X509_V_ERR_CERT_REJECTED:
        case X509_V_ERR_CERT_HAS_EXPIRED:
        case X509_V_ERR_CERT_NOT_YET_VALID:
        case X509_V_ERR_CERT_SIGNATURE_FAILURE:
        case X509_V_ERR_INVALID_CA:
        case X509_V_ERR_CERT_REVOKED:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool TlsAvailable() {
    return SocketMethod() != nullptr;
}

TlsFailure TlsCreate(SocketHandle socket, const TlsOptions& options, TlsSession** out, char* reason,
                     int reasonSize) {
    *out = nullptr;
    CopyReason(reason, reasonSize, "");
    ERR_clear_error();
    BIO_METHOD* method = SocketMethod();
    SSL_CTX* ctx = method ? SSL_CTX_new(TLS_client_method()) : nullptr;
    if (!ctx) {
        QueuedReason(reason, reasonSize, "cannot make a TLS context");
        return TlsFailure::Unavailable;
    }
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    TlsFailure failure = TlsFailure::Handshake;
    SSL* ssl = nullptr;
    BIO* bio = nullptr;
    char bare[256];
    bool literal = AddressLiteral(options.ServerName ? options.ServerName : "", bare, sizeof bare);
    if (options.Verify) {
        SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
        int loaded = options.CaFile && *options.CaFile
                         ? SSL_CTX_load_verify_locations(ctx, options.CaFile, nullptr)
                         : SSL_CTX_set_default_verify_paths(ctx);
        if (loaded != 1) {
            QueuedReason(reason, reasonSize, "cannot load the trusted certificates");
            failure = TlsFailure::Untrusted;
            goto fail;
        }
    }
    ssl = SSL_new(ctx);
    bio = ssl ? BIO_new(method) : nullptr;
    if (!bio) {
        QueuedReason(reason, reasonSize, "cannot make a TLS session");
        goto fail;
    }
    SSL_set_bio(ssl, bio, bio);
    if (!literal && bare[0]) SSL_set_tlsext_host_name(ssl, bare);  // SNI (RFC 6066 section 3)
    if (options.Verify && bare[0]) {
        int ok = literal ? X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), bare)
                         : SSL_set1_host(ssl, bare);
        if (ok != 1) {
            QueuedReason(reason, reasonSize, "cannot set the name to check");
            goto fail;
        }
    }
    SSL_set_connect_state(ssl);
    *out = new TlsSession{ctx, ssl, socket, -1};
    BIO_set_data(bio, *out);
    return TlsFailure::None;
fail:
    SSL_free(ssl);
    SSL_CTX_free(ctx);
    return failure;
}

TlsStatus TlsHandshake(TlsSession* s, TlsFailure* failure, char* reason, int reasonSize) {
    *failure = TlsFailure::None;
    ERR_clear_error();
    int rc = SSL_do_handshake(s->Ssl);
    if (rc == 1) return TlsStatus::Done;
    int err = SSL_get_error(s->Ssl, rc);
    if (err == SSL_ERROR_WANT_READ) return TlsStatus::WantRead;
    if (err == SSL_ERROR_WANT_WRITE) return TlsStatus::WantWrite;
    long verify = SSL_get_verify_result(s->Ssl);
    if (verify != X509_V_OK) {
        CopyReason(reason, reasonSize, X509_verify_cert_error_string(verify));
        if (verify == X509_V_ERR_HOSTNAME_MISMATCH || verify == X509_V_ERR_IP_ADDRESS_MISMATCH)
            *failure = TlsFailure::NameMismatch;
        else
            *failure = IsUntrusted(verify) ? TlsFailure::Untrusted : TlsFailure::Handshake;
        return TlsStatus::Failed;
    }
    *failure = TlsFailure::Handshake;
    if (err == SSL_ERROR_SYSCALL && ERR_peek_last_error() == 0)
        CopyReason(reason, reasonSize, "the server closed the connection");
    else
        QueuedReason(reason, reasonSize, "protocol error");
    return TlsStatus::Failed;
}

int TlsRead(TlsSession* s, char* buffer, int length) {
    if (length <= 0) return 0;
    ERR_clear_error();
    int n = SSL_read(s->Ssl, buffer, length);
    if (n > 0) return n;
    switch (SSL_get_error(s->Ssl, n)) {
        case SSL_ERROR_WANT_READ:
        case SSL_ERROR_WANT_WRITE:
            return 0;
        case SSL_ERROR_ZERO_RETURN:
            return -1;
        default:
            // OpenSSL 3 reports an end without close_notify as an error
            // (unexpected EOF): a truncation, not an orderly end.
            return -2;
    }
}

bool TlsHasPending(TlsSession* s) {
    return SSL_pending(s->Ssl) > 0;
}

bool TlsReadable(TlsSession* s) {
    if (SSL_pending(s->Ssl) > 0 || SSL_has_pending(s->Ssl)) return true;
    return SocketPoll(s->Socket, Readiness::Readable, 0) == 1;
}

int TlsWrite(TlsSession* s, const char* data, int length) {
    int done = 0;
    // Writes complete unless the socket fails (SSL_write without partial
    // writes sends whole records); a want is waited out a bounded number of
    // times.
    for (int tries = 0; done < length && tries < 1000; ++tries) {
        ERR_clear_error();
        int n = SSL_write(s->Ssl, data + done, length - done);
        if (n > 0) {
            done += n;
            continue;
        }
        int err = SSL_get_error(s->Ssl, n);
        if (err == SSL_ERROR_WANT_WRITE) {
            SocketPoll(s->Socket, Readiness::Writable, 100);
        } else if (err == SSL_ERROR_WANT_READ) {
            SocketPoll(s->Socket, Readiness::Readable, 100);
        } else {
            int pending = SocketPendingError(s->Socket);
            return pending ? -pending : -10054;
        }
    }
    return done == length ? length : -10053;
}

void TlsSetSendWait(TlsSession* s, int timeoutMs) {
    s->SendWait = timeoutMs;
}

void TlsCloseNotify(TlsSession* s) {
    ERR_clear_error();
    SSL_shutdown(s->Ssl);  // sends ours; the peer's is not waited for
}

void TlsFree(TlsSession* s) {
    if (!s) return;
    SSL_free(s->Ssl);
    SSL_CTX_free(s->Context);
    delete s;
}

int TlsProtocolVersion(const TlsSession* s) {
    return s ? SSL_version(s->Ssl) : 0;
}

int TlsDescribe(const TlsSession* s, char* buffer, int size) {
    if (!buffer || size < 1) return 0;
    buffer[0] = '\0';
    if (!s) return 0;
    const char* version = SSL_get_version(s->Ssl);
    const char* cipher = SSL_get_cipher_name(s->Ssl);
    int n = 0;
    for (const char* part : {version, " ", cipher}) {
        for (const char* p = part ? part : ""; *p && n < size - 1; ++p) buffer[n++] = *p;
    }
    buffer[n] = '\0';
    return n;
}

int TlsPeerSubject(const TlsSession* s, char* buffer, int size) {
    if (!buffer || size < 1) return 0;
    buffer[0] = '\0';
    if (!s) return 0;
    X509* cert = SSL_get0_peer_certificate(s->Ssl);
    if (!cert) return 0;
    BIO* mem = BIO_new(BIO_s_mem());
    if (!mem) return 0;
    X509_NAME_print_ex(mem, X509_get_subject_name(cert), 0, XN_FLAG_RFC2253);
    int n = BIO_read(mem, buffer, size - 1);
    BIO_free(mem);
    if (n < 0) n = 0;
    buffer[n] = '\0';
    return n;
}

}  // namespace vok::plat
