// SPDX-License-Identifier: MIT
// The TLS backend on Windows: SChannel through SSPI (secur32.dll) and the
// certificate chain functions of crypt32.dll, so the DLL still imports only
// Windows' own libraries. The certificate is checked by the library itself
// (manual validation): against a CA file's roots when one is given, else
// against the system's store, then the name (DNS names by the SSL policy, IP
// address entries of subjectAltName by hand).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
#ifndef SCHANNEL_USE_BLACKLISTS
#define SCHANNEL_USE_BLACKLISTS  // SCH_CREDENTIALS, where TLS 1.3 is set up
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <winternl.h>  // UNICODE_STRING of SCH_CREDENTIALS
#include <wincrypt.h>
#include <schannel.h>
#include <security.h>
#include <sspi.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <new>

#include "platform/platform.h"
#include "platform/sockets.h"
#include "platform/tls.h"

// The SSL policy's checks to leave out (the values of wininet.h).
#ifndef SECURITY_FLAG_IGNORE_REVOCATION
#define SECURITY_FLAG_IGNORE_REVOCATION 0x00000080
#endif
#ifndef SECURITY_FLAG_IGNORE_UNKNOWN_CA
#define SECURITY_FLAG_IGNORE_UNKNOWN_CA 0x00000100
#endif
#ifndef SECURITY_FLAG_IGNORE_CERT_CN_INVALID
#define SECURITY_FLAG_IGNORE_CERT_CN_INVALID 0x00001000
#endif

namespace vok::plat {

namespace {

constexpr int kInSize = 0x10000;  // whole records of 16 KB and more than one
constexpr int kNameSize = 256;

}  // namespace

struct TlsSession {
    SocketHandle Socket;
    int SendWait;  // ms, -1 = no bound
    CredHandle Cred;
    CtxtHandle Context;
    bool HaveCred;
    bool HaveContext;
    bool Done;
    bool Verify;
    bool PeerClosed;   // close_notify seen
    bool Broken;       // ended without close_notify, or failed
    bool Incomplete;   // the received bytes end inside a record
    HCERTSTORE Roots;  // the CA file's certificates, or null for the system store
    char Name[kNameSize];
    bool Literal;  // Name is an IP address
    SecPkgContext_StreamSizes Sizes;
    char* Out;  // header + data + trailer of one record
    int InLen;
    char In[kInSize];  // received, not yet decrypted
    int PlainPos;
    int PlainLen;
    char Plain[kInSize];  // decrypted, not yet read
    int Version;
    char Description[128];
    char Subject[256];
};

namespace {

void StatusReason(char* reason, int size, const char* what, SECURITY_STATUS status) {
    char text[96];
    snprintf(text, sizeof text, "%s (SSPI 0x%08lX)", what, static_cast<unsigned long>(status));
    CopyReason(reason, size, text);
}

constexpr DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                ISC_REQ_EXTENDED_ERROR;

// Sends an SSPI output token (handshake message, alert) and frees it.
bool SendToken(TlsSession* s, SecBuffer* b) {
    bool ok = true;
    if (b->pvBuffer && b->cbBuffer > 0)
        ok = SocketSend(s->Socket, static_cast<const char*>(b->pvBuffer),
                        static_cast<int>(b->cbBuffer), false,
                        s->SendWait) == static_cast<int>(b->cbBuffer);
    if (b->pvBuffer) ::FreeContextBuffer(b->pvBuffer);
    b->pvBuffer = nullptr;
    b->cbBuffer = 0;
    return ok;
}

// TLS 1.2 at least: the current credential structure where the system has
// it, the older one (TLS 1.2 and 1.3 bits, then TLS 1.2 alone) elsewhere.
SECURITY_STATUS AcquireCredentials(CredHandle* cred) {
    TimeStamp expiry;
    TLS_PARAMETERS tls{};
    tls.grbitDisabledProtocols =
        static_cast<DWORD>(~(SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT));
    SCH_CREDENTIALS sch{};
    sch.dwVersion = SCH_CREDENTIALS_VERSION;
    sch.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    sch.cTlsParameters = 1;
    sch.pTlsParameters = &tls;
    SECURITY_STATUS rc =
        ::AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND,
                                    nullptr, &sch, nullptr, nullptr, cred, &expiry);
    if (rc == SEC_E_OK) return rc;
    for (DWORD protocols : {static_cast<DWORD>(SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT),
                            static_cast<DWORD>(SP_PROT_TLS1_2_CLIENT)}) {
        SCHANNEL_CRED old{};
        old.dwVersion = SCHANNEL_CRED_VERSION;
        old.grbitEnabledProtocols = protocols;
        old.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
        rc = ::AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A),
                                         SECPKG_CRED_OUTBOUND, nullptr, &old, nullptr, nullptr,
                                         cred, &expiry);
        if (rc == SEC_E_OK) return rc;
    }
    return rc;
}

// The CA file's certificates (PEM, one or more) in a memory store.
HCERTSTORE LoadRoots(const char* path) {
    FileHandle f = FileOpenRead(path);
    if (f <= 0) return nullptr;
    static const int kMax = 1 << 20;
    char* text = new (std::nothrow) char[kMax + 1];
    if (!text) {
        FileClose(f);
        return nullptr;
    }
    int len = 0;
    for (int32_t n;
         len < kMax && (n = FileRead(f, text + len, static_cast<uint32_t>(kMax - len))) > 0;)
        len += n;
    FileClose(f);
    text[len] = '\0';
    HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    int added = 0;
    const char* begin = "-----BEGIN CERTIFICATE-----";
    const char* end = "-----END CERTIFICATE-----";
    for (char* p = store ? strstr(text, begin) : nullptr; p; p = strstr(p, begin)) {
        char* e = strstr(p, end);
        if (!e) break;
        e += strlen(end);
        DWORD size = 0;
        DWORD length = static_cast<DWORD>(e - p);
        if (::CryptStringToBinaryA(p, length, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                                   nullptr) &&
            size > 0) {
            BYTE* der = new (std::nothrow) BYTE[size];
            if (der &&
                ::CryptStringToBinaryA(p, length, CRYPT_STRING_BASE64HEADER, der, &size, nullptr,
                                       nullptr) &&
                ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der, size,
                                                   CERT_STORE_ADD_ALWAYS, nullptr))
                ++added;
            delete[] der;
        }
        p = e;
    }
    delete[] text;
    if (store && added == 0) {
        ::CertCloseStore(store, 0);
        store = nullptr;
    }
    return store;
}

// The IP address of a literal as bytes: 4 or 16, 0 when not a literal.
int LiteralBytes(const char* name, BYTE* out) {
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST;
    hints.ai_family = AF_UNSPEC;
    addrinfo* res = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &res) != 0 || !res) return 0;
    int n = 0;
    if (res->ai_family == AF_INET) {
        memcpy(out, &reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr, 4);
        n = 4;
    } else if (res->ai_family == AF_INET6) {
        memcpy(out, &reinterpret_cast<sockaddr_in6*>(res->ai_addr)->sin6_addr, 16);
        n = 16;
    }
    ::freeaddrinfo(res);
    return n;
}

// An address given as the server matches an IP entry of subjectAltName
// (RFC 6125 section 6.2.1).
bool AddressMatches(PCCERT_CONTEXT cert, const char* name) {
    BYTE want[16];
    int n = LiteralBytes(name, want);
    if (n == 0) return false;
    PCERT_EXTENSION ext = ::CertFindExtension(szOID_SUBJECT_ALT_NAME2, cert->pCertInfo->cExtension,
                                              cert->pCertInfo->rgExtension);
    if (!ext) return false;
    CERT_ALT_NAME_INFO* info = nullptr;
    DWORD size = 0;
    if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, ext->Value.pbData,
                               ext->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &info, &size))
        return false;
    bool match = false;
    for (DWORD i = 0; i < info->cAltEntry && !match; ++i) {
        const CERT_ALT_NAME_ENTRY& e = info->rgAltEntry[i];
        match = e.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS &&
                e.IPAddress.cbData == static_cast<DWORD>(n) &&
                memcmp(e.IPAddress.pbData, want, static_cast<size_t>(n)) == 0;
    }
    ::LocalFree(info);
    return match;
}

// The certificate checks after the handshake.
TlsFailure CheckCertificate(TlsSession* s, char* reason, int size) {
    PCCERT_CONTEXT cert = nullptr;
    if (::QueryContextAttributesA(&s->Context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &cert) !=
            SEC_E_OK ||
        !cert) {
        CopyReason(reason, size, "no server certificate");
        return TlsFailure::Untrusted;
    }
    TlsFailure failure = TlsFailure::None;
    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    // The server's intermediates come with its certificate; a CA file's
    // roots are added for the chain to reach them.
    HCERTSTORE extra = cert->hCertStore;
    HCERTSTORE both = nullptr;
    if (s->Roots) {
        both = ::CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr);
        if (both) {
            ::CertAddStoreToCollection(both, s->Roots, 0, 0);
            ::CertAddStoreToCollection(both, cert->hCertStore, 0, 0);
            extra = both;
        }
    }
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!::CertGetCertificateChain(nullptr, cert, nullptr, extra, &para, 0, nullptr, &chain) ||
        !chain || chain->cChain < 1) {
        CopyReason(reason, size, "no certificate chain");
        failure = TlsFailure::Untrusted;
    }
    DWORD ignore = 0;
    if (failure == TlsFailure::None) {
        DWORD status = chain->TrustStatus.dwErrorStatus;
        if (s->Roots) {
            // Trusted only through a root of the CA file, not the system's.
            PCERT_SIMPLE_CHAIN simple = chain->rgpChain[0];
            PCCERT_CONTEXT root = simple->rgpElement[simple->cElement - 1]->pCertContext;
            PCCERT_CONTEXT found = ::CertFindCertificateInStore(s->Roots, X509_ASN_ENCODING, 0,
                                                                CERT_FIND_EXISTING, root, nullptr);
            if (found) {
                ::CertFreeCertificateContext(found);
                status &= ~static_cast<DWORD>(CERT_TRUST_IS_UNTRUSTED_ROOT |
                                              CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                                              CERT_TRUST_IS_OFFLINE_REVOCATION);
                ignore |= SECURITY_FLAG_IGNORE_UNKNOWN_CA;
            } else {
                status |= CERT_TRUST_IS_UNTRUSTED_ROOT;
            }
        }
        status &= ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                                      CERT_TRUST_IS_OFFLINE_REVOCATION);
        if (status & CERT_TRUST_IS_NOT_TIME_VALID) {
            CopyReason(reason, size, "certificate has expired");
            failure = TlsFailure::Untrusted;
        } else if (status & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) {
            CopyReason(reason, size, "no trusted root");
            failure = TlsFailure::Untrusted;
        } else if (status != 0) {
            char text[64];
            snprintf(text, sizeof text, "certificate chain error 0x%08lX",
                     static_cast<unsigned long>(status));
            CopyReason(reason, size, text);
            failure = TlsFailure::Untrusted;
        }
    }
    if (failure == TlsFailure::None) {
        // The name: DNS names through the SSL policy; an address by hand.
        wchar_t wide[kNameSize];
        ::MultiByteToWideChar(CP_ACP, 0, s->Name, -1, wide, kNameSize);
        SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
        ssl.cbSize = sizeof ssl;
        ssl.dwAuthType = AUTHTYPE_SERVER;
        ssl.fdwChecks = ignore | SECURITY_FLAG_IGNORE_REVOCATION |
                        (s->Literal ? SECURITY_FLAG_IGNORE_CERT_CN_INVALID : 0);
        ssl.pwszServerName = wide;
        CERT_CHAIN_POLICY_PARA policy{};
        policy.cbSize = sizeof policy;
        policy.pvExtraPolicyPara = &ssl;
        CERT_CHAIN_POLICY_STATUS result{};
        result.cbSize = sizeof result;
        if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &result)) {
            CopyReason(reason, size, "certificate policy check failed");
            failure = TlsFailure::Untrusted;
        } else if (result.dwError == static_cast<DWORD>(CERT_E_CN_NO_MATCH)) {
            CopyReason(reason, size, "hostname mismatch");
            failure = TlsFailure::NameMismatch;
        } else if (result.dwError == static_cast<DWORD>(CERT_E_EXPIRED)) {
            CopyReason(reason, size, "certificate has expired");
            failure = TlsFailure::Untrusted;
        } else if (result.dwError != 0) {
            char text[64];
            snprintf(text, sizeof text, "certificate not accepted (0x%08lX)",
                     static_cast<unsigned long>(result.dwError));
            CopyReason(reason, size, text);
            failure = TlsFailure::Untrusted;
        } else if (s->Literal && !AddressMatches(cert, s->Name)) {
            CopyReason(reason, size, "IP address mismatch");
            failure = TlsFailure::NameMismatch;
        }
    }
    if (chain) ::CertFreeCertificateChain(chain);
    if (both) ::CertCloseStore(both, 0);
    ::CertFreeCertificateContext(cert);
    return failure;
}

void DescribeSession(TlsSession* s) {
    SecPkgContext_ConnectionInfo info{};
    const char* version = "TLS";
    if (::QueryContextAttributesA(&s->Context, SECPKG_ATTR_CONNECTION_INFO, &info) == SEC_E_OK) {
        if (info.dwProtocol & SP_PROT_TLS1_3_CLIENT) {
            s->Version = 0x0304;
            version = "TLSv1.3";
        } else if (info.dwProtocol & SP_PROT_TLS1_2_CLIENT) {
            s->Version = 0x0303;
            version = "TLSv1.2";
        }
    }
    char suite[80] = "";
    SecPkgContext_CipherInfo cipher{};
    cipher.dwVersion = SECPKGCONTEXT_CIPHERINFO_V1;
    if (::QueryContextAttributesA(&s->Context, SECPKG_ATTR_CIPHER_INFO, &cipher) == SEC_E_OK) {
        int n = 0;
        for (const WCHAR* w = cipher.szCipherSuite; *w && n < 79; ++w)
            suite[n++] = static_cast<char>(*w);
        suite[n] = '\0';
    }
    if (!suite[0])
        snprintf(suite, sizeof suite, "cipher 0x%04lX/%lu bits",
                 static_cast<unsigned long>(info.aiCipher),
                 static_cast<unsigned long>(info.dwCipherStrength));
    snprintf(s->Description, sizeof s->Description, "%s %s", version, suite);
    PCCERT_CONTEXT cert = nullptr;
    if (::QueryContextAttributesA(&s->Context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &cert) ==
            SEC_E_OK &&
        cert) {
        ::CertNameToStrA(
            X509_ASN_ENCODING, &cert->pCertInfo->Subject,
            CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG | CERT_NAME_STR_NO_QUOTING_FLAG,
            s->Subject, sizeof s->Subject);
        ::CertFreeCertificateContext(cert);
    }
}

// Reads what the socket has (never waiting) onto the received bytes: > 0
// bytes, 0 nothing yet, -1 the peer closed, -2 failed.
int Receive(TlsSession* s) {
    if (s->InLen >= kInSize) return -2;  // a record larger than TLS allows
    if (SocketPoll(s->Socket, Readiness::Readable, 0) != 1) return 0;
    int n = SocketRecv(s->Socket, s->In + s->InLen, kInSize - s->InLen);
    if (n == -kWouldBlock) return 0;
    if (n == 0) return -1;
    if (n < 0) return -2;
    s->InLen += n;
    s->Incomplete = false;
    return n;
}

// Keeps the bytes an SSPI call did not consume (SECBUFFER_EXTRA) at the front.
void KeepExtra(TlsSession* s, const SecBuffer* buffers, int count) {
    for (int i = 0; i < count; ++i) {
        if (buffers[i].BufferType == SECBUFFER_EXTRA && buffers[i].cbBuffer > 0) {
            int extra = static_cast<int>(buffers[i].cbBuffer);
            if (extra > s->InLen) extra = s->InLen;
            memmove(s->In, s->In + s->InLen - extra, static_cast<size_t>(extra));
            s->InLen = extra;
            return;
        }
    }
    s->InLen = 0;
}

}  // namespace

bool TlsAvailable() {
    return true;
}

TlsFailure TlsCreate(SocketHandle socket, const TlsOptions& options, TlsSession** out, char* reason,
                     int reasonSize) {
    *out = nullptr;
    CopyReason(reason, reasonSize, "");
    auto* s = new (std::nothrow) TlsSession();
    if (!s) {
        CopyReason(reason, reasonSize, "out of memory");
        return TlsFailure::Handshake;
    }
    s->Socket = socket;
    s->SendWait = -1;
    s->Verify = options.Verify;
    // The name without IPv6 brackets.
    const char* p = options.ServerName ? options.ServerName : "";
    if (*p == '[') ++p;
    int n = 0;
    while (*p && *p != ']' && n < kNameSize - 1) s->Name[n++] = *p++;
    s->Name[n] = '\0';
    BYTE bytes[16];
    s->Literal = LiteralBytes(s->Name, bytes) > 0;
    if (options.Verify && options.CaFile && *options.CaFile) {
        s->Roots = LoadRoots(options.CaFile);
        if (!s->Roots) {
            CopyReason(reason, reasonSize, "cannot load the trusted certificates");
            delete s;
            return TlsFailure::Untrusted;
        }
    }
    SECURITY_STATUS rc = AcquireCredentials(&s->Cred);
    if (rc != SEC_E_OK) {
        StatusReason(reason, reasonSize, "no SChannel credentials", rc);
        TlsFree(s);
        return TlsFailure::Unavailable;
    }
    s->HaveCred = true;
    *out = s;
    return TlsFailure::None;
}

TlsStatus TlsHandshake(TlsSession* s, TlsFailure* failure, char* reason, int reasonSize) {
    *failure = TlsFailure::None;
    if (s->Done) return TlsStatus::Done;
    // SNI goes with a name, never with an address (RFC 6066 section 3).
    char* target = s->Literal ? nullptr : s->Name;
    for (int round = 0; round < 16; ++round) {
        SecBuffer outBuffer{0, SECBUFFER_TOKEN, nullptr};
        SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &outBuffer};
        DWORD attributes = 0;
        TimeStamp expiry;
        SECURITY_STATUS rc;
        SecBuffer inBuffers[2];
        if (!s->HaveContext) {
            // The ClientHello.
            rc = ::InitializeSecurityContextA(&s->Cred, nullptr, target, kContextFlags, 0, 0,
                                              nullptr, 0, &s->Context, &outDesc, &attributes,
                                              &expiry);
            if (rc == SEC_I_CONTINUE_NEEDED || rc == SEC_E_OK) s->HaveContext = true;
        } else {
            if (s->InLen == 0 || s->Incomplete) {
                int got = Receive(s);
                if (got == 0) return TlsStatus::WantRead;
                if (got < 0) {
                    *failure = TlsFailure::Handshake;
                    CopyReason(reason, reasonSize, "the server closed the connection");
                    return TlsStatus::Failed;
                }
            }
            inBuffers[0] = SecBuffer{static_cast<unsigned long>(s->InLen), SECBUFFER_TOKEN, s->In};
            inBuffers[1] = SecBuffer{0, SECBUFFER_EMPTY, nullptr};
            SecBufferDesc inDesc{SECBUFFER_VERSION, 2, inBuffers};
            rc = ::InitializeSecurityContextA(&s->Cred, &s->Context, target, kContextFlags, 0, 0,
                                              &inDesc, 0, nullptr, &outDesc, &attributes, &expiry);
            if (rc == SEC_E_INCOMPLETE_MESSAGE) {
                if (outBuffer.pvBuffer) ::FreeContextBuffer(outBuffer.pvBuffer);
                s->Incomplete = true;
                continue;  // read on (the next round reads or reports WantRead)
            }
            if (rc == SEC_E_OK || rc == SEC_I_CONTINUE_NEEDED || rc == SEC_I_INCOMPLETE_CREDENTIALS)
                KeepExtra(s, inBuffers, 2);
        }
        if (rc == SEC_I_CONTINUE_NEEDED || rc == SEC_E_OK || rc == SEC_I_INCOMPLETE_CREDENTIALS) {
            if (!SendToken(s, &outBuffer)) {
                *failure = TlsFailure::Handshake;
                CopyReason(reason, reasonSize, "the connection failed during the handshake");
                return TlsStatus::Failed;
            }
        } else {
            SendToken(s, &outBuffer);  // an alert, where SSPI made one
            *failure = TlsFailure::Handshake;
            StatusReason(reason, reasonSize, "handshake failed", rc);
            return TlsStatus::Failed;
        }
        if (rc != SEC_E_OK) continue;
        // Done: the record sizes, the certificate, the session's facts.
        if (::QueryContextAttributesA(&s->Context, SECPKG_ATTR_STREAM_SIZES, &s->Sizes) !=
            SEC_E_OK) {
            *failure = TlsFailure::Handshake;
            CopyReason(reason, reasonSize, "no record sizes");
            return TlsStatus::Failed;
        }
        s->Out = new (
            std::nothrow) char[s->Sizes.cbHeader + s->Sizes.cbMaximumMessage + s->Sizes.cbTrailer];
        if (!s->Out) {
            *failure = TlsFailure::Handshake;
            CopyReason(reason, reasonSize, "out of memory");
            return TlsStatus::Failed;
        }
        if (s->Verify) {
            TlsFailure checked = CheckCertificate(s, reason, reasonSize);
            if (checked != TlsFailure::None) {
                *failure = checked;
                return TlsStatus::Failed;
            }
        }
        DescribeSession(s);
        s->Done = true;
        s->Incomplete = false;
        return TlsStatus::Done;
    }
    return TlsStatus::WantRead;
}

int TlsRead(TlsSession* s, char* buffer, int length) {
    if (length <= 0) return 0;
    for (int round = 0; round < 64; ++round) {
        if (s->PlainPos < s->PlainLen) {
            int n = s->PlainLen - s->PlainPos;
            if (n > length) n = length;
            memcpy(buffer, s->Plain + s->PlainPos, static_cast<size_t>(n));
            s->PlainPos += n;
            return n;
        }
        if (s->PeerClosed) return -1;
        if (s->Broken) return -2;
        if (s->InLen == 0 || s->Incomplete) {
            int got = Receive(s);
            if (got == 0) return 0;
            if (got < 0) {
                // The end of the connection without close_notify: a
                // truncation (RFC 8446 section 6.1).
                s->Broken = true;
                continue;
            }
        }
        SecBuffer buffers[4] = {{static_cast<unsigned long>(s->InLen), SECBUFFER_DATA, s->In},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        SECURITY_STATUS rc = ::DecryptMessage(&s->Context, &desc, 0, nullptr);
        if (rc == SEC_E_INCOMPLETE_MESSAGE) {
            s->Incomplete = true;
            continue;
        }
        if (rc == SEC_I_CONTEXT_EXPIRED) {
            s->PeerClosed = true;  // close_notify
            continue;
        }
        if (rc != SEC_E_OK && rc != SEC_I_RENEGOTIATE) {
            s->Broken = true;
            continue;
        }
        s->PlainPos = s->PlainLen = 0;
        for (const SecBuffer& b : buffers) {
            if (b.BufferType == SECBUFFER_DATA && b.cbBuffer > 0) {
                int n = static_cast<int>(b.cbBuffer);
                if (n > kInSize) n = kInSize;
                memcpy(s->Plain, b.pvBuffer, static_cast<size_t>(n));
                s->PlainLen = n;
            }
        }
        KeepExtra(s, buffers, 4);
        if (rc == SEC_I_RENEGOTIATE) {
            // Post-handshake messages (TLS 1.3 session tickets, key updates)
            // go back through the handshake call, which may answer them.
            SecBuffer inBuffers[2] = {
                {static_cast<unsigned long>(s->InLen), SECBUFFER_TOKEN, s->In},
                {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc inDesc{SECBUFFER_VERSION, 2, inBuffers};
            SecBuffer outBuffer{0, SECBUFFER_TOKEN, nullptr};
            SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &outBuffer};
            DWORD attributes = 0;
            TimeStamp expiry;
            SECURITY_STATUS again = ::InitializeSecurityContextA(
                &s->Cred, &s->Context, s->Literal ? nullptr : s->Name, kContextFlags, 0, 0,
                s->InLen > 0 ? &inDesc : nullptr, 0, nullptr, &outDesc, &attributes, &expiry);
            SendToken(s, &outBuffer);
            if (again == SEC_E_OK || again == SEC_I_CONTINUE_NEEDED)
                KeepExtra(s, inBuffers, 2);
            else if (again != SEC_E_INCOMPLETE_MESSAGE)
                s->Broken = true;
        }
    }
    return 0;
}

bool TlsHasPending(TlsSession* s) {
    return s->PlainPos < s->PlainLen || (s->InLen > 0 && !s->Incomplete);
}

bool TlsReadable(TlsSession* s) {
    return TlsHasPending(s) || SocketPoll(s->Socket, Readiness::Readable, 0) == 1;
}

int TlsWrite(TlsSession* s, const char* data, int length) {
    if (!s->Done || !s->Out) return -kNotSocket;
    int done = 0;
    while (done < length) {
        int n = length - done;
        if (n > static_cast<int>(s->Sizes.cbMaximumMessage))
            n = static_cast<int>(s->Sizes.cbMaximumMessage);
        char* header = s->Out;
        char* body = header + s->Sizes.cbHeader;
        memcpy(body, data + done, static_cast<size_t>(n));
        SecBuffer buffers[4] = {{s->Sizes.cbHeader, SECBUFFER_STREAM_HEADER, header},
                                {static_cast<unsigned long>(n), SECBUFFER_DATA, body},
                                {s->Sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, body + n},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        if (::EncryptMessage(&s->Context, 0, &desc, 0) != SEC_E_OK) return -10053;
        int total =
            static_cast<int>(buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
        int sent = SocketSend(s->Socket, header, total, false, s->SendWait);
        if (sent < 0) return sent;
        done += n;
    }
    return length;
}

void TlsSetSendWait(TlsSession* s, int timeoutMs) {
    s->SendWait = timeoutMs;
}

void TlsCloseNotify(TlsSession* s) {
    if (!s->HaveContext || !s->Done) return;
    DWORD type = SCHANNEL_SHUTDOWN;
    SecBuffer control{sizeof type, SECBUFFER_TOKEN, &type};
    SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
    if (::ApplyControlToken(&s->Context, &controlDesc) != SEC_E_OK) return;
    SecBuffer outBuffer{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &outBuffer};
    DWORD attributes = 0;
    TimeStamp expiry;
    ::InitializeSecurityContextA(&s->Cred, &s->Context, s->Literal ? nullptr : s->Name,
                                 kContextFlags, 0, 0, nullptr, 0, nullptr, &outDesc, &attributes,
                                 &expiry);
    SendToken(s, &outBuffer);
}

void TlsFree(TlsSession* s) {
    if (!s) return;
    if (s->HaveContext) ::DeleteSecurityContext(&s->Context);
    if (s->HaveCred) ::FreeCredentialsHandle(&s->Cred);
    if (s->Roots) ::CertCloseStore(s->Roots, 0);
    delete[] s->Out;
    delete s;
}

int TlsProtocolVersion(const TlsSession* s) {
    return s ? s->Version : 0;
}

namespace {
int CopyOut(char* buffer, int size, const char* text) {
    if (!buffer || size < 1) return 0;
    int n = 0;
    while (n < size - 1 && text[n]) {
        buffer[n] = text[n];
        ++n;
    }
    buffer[n] = '\0';
    return n;
}
}  // namespace

int TlsDescribe(const TlsSession* s, char* buffer, int size) {
    return CopyOut(buffer, size, s ? s->Description : "");
}

int TlsPeerSubject(const TlsSession* s, char* buffer, int size) {
    return CopyOut(buffer, size, s ? s->Subject : "");
}

}  // namespace vok::plat
