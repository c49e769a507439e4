// SPDX-License-Identifier: MIT
// WinSock 2 sockets (ws2_32.dll, for IPv6 and getaddrinfo) behind the
// platform's socket interface. Error numbers are WinSock's own, the same
// numbers WinSock 1.1 has, so nothing needs mapping here.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstring>

#include "platform/platform.h"
#include "platform/sockets.h"

namespace vok::plat {

namespace {

SOCKET AsSocket(SocketHandle s) {
    return static_cast<SOCKET>(s);
}
int LastError() {
    return ::WSAGetLastError();
}

}  // namespace

uint16_t HostToNet16(uint16_t v) {
    return ::htons(v);
}
uint32_t HostToNet32(uint32_t v) {
    return ::htonl(v);
}
uint32_t NetToHost32(uint32_t v) {
    return ::ntohl(v);
}

int SocketCreate(SocketHandle* out, int family) {
    SOCKET s = ::socket(family == 6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return LastError();
    *out = static_cast<SocketHandle>(s);
    return 0;
}

int SocketSetNonBlocking(SocketHandle s, uint32_t on) {
    u_long arg = on;
    return ::ioctlsocket(AsSocket(s), FIONBIO, &arg) == SOCKET_ERROR ? LastError() : 0;
}

int SocketConnect(SocketHandle s, const SockAddrIn* address) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = address->Port;
    sa.sin_addr.s_addr = address->Address;
    if (::connect(AsSocket(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) return 0;
    return LastError();
}

// WinSock has no way to hold a send back, so Nagle's algorithm stays on
// there and does the coalescing; `more` is not needed.
int SocketSend(SocketHandle s, const char* data, int length, bool, int timeoutMs) {
    // Without a limit the send blocks as the socket does; with one, the
    // socket is switched to non-blocking for the send and every wait for
    // room is a bounded select.
    bool bounded = timeoutMs >= 0;
    u_long on = 1, off = 0;
    if (bounded) ::ioctlsocket(AsSocket(s), FIONBIO, &on);
    uint32_t limit = TickCount() + static_cast<uint32_t>(bounded ? timeoutMs : 0);
    int done = 0, rc = 0;
    while (done < length) {
        int n = ::send(AsSocket(s), data + done, length - done, 0);
        if (n != SOCKET_ERROR) {
            done += n;
            continue;
        }
        int err = LastError();
        if (!bounded || err != kWouldBlock) {
            rc = -err;
            break;
        }
        int32_t left = static_cast<int32_t>(limit - TickCount());
        if (left <= 0) {
            rc = -kTimedOut;
            break;
        }
        SocketPoll(s, Readiness::Writable, left);
    }
    if (bounded) ::ioctlsocket(AsSocket(s), FIONBIO, &off);
    return rc < 0 ? rc : done;
}

int SocketSetNoDelay(SocketHandle) {
    return 0;
}

int SocketRecv(SocketHandle s, char* buffer, int length) {
    int n = ::recv(AsSocket(s), buffer, length, 0);
    return n == SOCKET_ERROR ? -LastError() : n;
}

int SocketPoll(SocketHandle s, Readiness kind, int timeoutMs) {
    // Each poll has its own set, so polls of different channels share
    // nothing and need no lock.
    fd_set set;
    FD_ZERO(&set);
    FD_SET(AsSocket(s), &set);
    timeval tv{};
    if (timeoutMs > 0) {
        tv.tv_sec = timeoutMs / 1000;
        tv.tv_usec = (timeoutMs % 1000) * 1000;
    }
    fd_set* r = kind == Readiness::Readable ? &set : nullptr;
    fd_set* w = kind == Readiness::Writable ? &set : nullptr;
    fd_set* e = kind == Readiness::Failed ? &set : nullptr;
    int rc = ::select(0, r, w, e, &tv);
    if (rc == SOCKET_ERROR) return 1;  // let the next send or receive meet the error
    return FD_ISSET(AsSocket(s), &set) ? 1 : 0;
}

int SocketPendingError(SocketHandle s) {
    int err = 0;
    int len = sizeof err;
    if (::getsockopt(AsSocket(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0)
        return LastError();
    return err;
}

int SocketClose(SocketHandle s, int lingerSeconds) {
    linger l{};
    l.l_onoff = 1;
    l.l_linger = static_cast<u_short>(lingerSeconds);
    ::setsockopt(AsSocket(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
    return ::closesocket(AsSocket(s)) == 0 ? 0 : -LastError();
}

int SocketCloseGraceful(SocketHandle s) {
    // Linger off: closesocket returns at once and the system sends what is
    // queued, then the FIN.
    linger l{};
    ::setsockopt(AsSocket(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
    ::shutdown(AsSocket(s), 1);  // SD_SEND
    return ::closesocket(AsSocket(s)) == 0 ? 0 : -LastError();
}

void SocketShutdown(SocketHandle s) {
    ::shutdown(AsSocket(s), 2);  // SD_BOTH
}

int SocketLocalAddress(SocketHandle s, SockAddrIn* out) {
    sockaddr_in sa{};
    int len = sizeof sa;
    if (::getsockname(AsSocket(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        return -LastError();
    out->Family = 2;
    out->Port = sa.sin_port;
    out->Address = sa.sin_addr.s_addr;
    memset(out->Zero, 0, sizeof out->Zero);
    return 0;
}

int SocketListenLoopback(SocketHandle* out, uint16_t* port, int backlog) {
    SocketHandle s = kNoSocket;
    if (int rc = SocketCreate(&s)) return rc;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = ::htons(*port);
    sa.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int len = sizeof sa;
    if (::bind(AsSocket(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(AsSocket(s), backlog) != 0 ||
        ::getsockname(AsSocket(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        int rc = LastError();
        ::closesocket(AsSocket(s));
        return rc;
    }
    *port = ::ntohs(sa.sin_port);
    *out = s;
    return 0;
}

int SocketAccept(SocketHandle listener, SocketHandle* out) {
    SOCKET c = ::accept(AsSocket(listener), nullptr, nullptr);
    if (c == INVALID_SOCKET) return LastError();
    *out = static_cast<SocketHandle>(c);
    return 0;
}

int ResolveHost(const char* name, uint32_t* address) {
    hostent* h = ::gethostbyname(name);
    if (!h) return LastError();
    if (h->h_addrtype != AF_INET || !h->h_addr_list || !h->h_addr_list[0]) return 11004;
    uint32_t net = 0;
    memcpy(&net, h->h_addr_list[0], sizeof net);
    *address = ::ntohl(net);
    return 0;
}

int LocalHostName(char* buffer, int size) {
    if (size <= 0) return WSAEFAULT;
    if (::gethostname(buffer, size) != 0) return LastError();
    buffer[size - 1] = '\0';
    return 0;
}

bool SocketLayerBusy() {
    // WinSock 2 has no blocking hooks: no call of another thread is ever
    // "in progress" in the WinSock 1.1 sense.
    return false;
}

// --- IPv4 and IPv6 --------------------------------------------------------------
// getaddrinfo and getnameinfo (Windows XP and later) parse and format the
// addresses too, so nothing newer than XP is needed.

namespace {

int ToSockaddr(const NetAddress* a, uint16_t port, sockaddr_storage* ss) {
    memset(ss, 0, sizeof *ss);
    if (a->Family == 4) {
        auto* sa = reinterpret_cast<sockaddr_in*>(ss);
        sa->sin_family = AF_INET;
        sa->sin_port = ::htons(port);
        memcpy(&sa->sin_addr, a->Bytes, 4);
        return sizeof *sa;
    }
    if (a->Family == 6) {
        auto* sa = reinterpret_cast<sockaddr_in6*>(ss);
        sa->sin6_family = AF_INET6;
        sa->sin6_port = ::htons(port);
        memcpy(&sa->sin6_addr, a->Bytes, 16);
        sa->sin6_scope_id = a->ScopeId;
        return sizeof *sa;
    }
    return 0;
}

bool FromSockaddr(const sockaddr* sa, NetAddress* out) {
    *out = NetAddress{};
    if (sa->sa_family == AF_INET) {
        out->Family = 4;
        memcpy(out->Bytes, &reinterpret_cast<const sockaddr_in*>(sa)->sin_addr, 4);
        return true;
    }
    if (sa->sa_family == AF_INET6) {
        const auto* s6 = reinterpret_cast<const sockaddr_in6*>(sa);
        out->Family = 6;
        memcpy(out->Bytes, &s6->sin6_addr, 16);
        out->ScopeId = s6->sin6_scope_id;
        return true;
    }
    return false;
}

}  // namespace

int SocketConnectTo(SocketHandle s, const NetAddress* address, uint16_t port) {
    sockaddr_storage ss;
    int len = ToSockaddr(address, port, &ss);
    if (len == 0) return WSAEAFNOSUPPORT;
    if (::connect(AsSocket(s), reinterpret_cast<sockaddr*>(&ss), len) == 0) return 0;
    return LastError();
}

int SocketLocalNetAddress(SocketHandle s, NetAddress* out) {
    sockaddr_storage ss{};
    int len = sizeof ss;
    if (::getsockname(AsSocket(s), reinterpret_cast<sockaddr*>(&ss), &len) != 0)
        return -LastError();
    return FromSockaddr(reinterpret_cast<sockaddr*>(&ss), out) ? 0 : -WSAEAFNOSUPPORT;
}

int ResolveAll(const char* name, NetAddress* out, int max, int* count) {
    *count = 0;
    if (ResolveOverridden(name, out, max, count)) return *count > 0 ? 0 : WSANO_DATA;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    int rc = ::getaddrinfo(name, nullptr, &hints, &res);
    if (rc != 0) return rc;  // WSAHOST_NOT_FOUND, WSATRY_AGAIN, ...
    for (addrinfo* a = res; a && *count < max; a = a->ai_next) {
        if (a->ai_addr && FromSockaddr(a->ai_addr, &out[*count])) ++*count;
    }
    ::freeaddrinfo(res);
    return *count > 0 ? 0 : WSANO_DATA;
}

bool ParseIpv6(const char* text, NetAddress* out) {
    char bare[80];
    const char* p = text;
    if (*p == '[') ++p;
    int n = 0;
    while (*p && *p != ']' && n < static_cast<int>(sizeof bare) - 1) bare[n++] = *p++;
    bare[n] = '\0';
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* res = nullptr;
    if (::getaddrinfo(bare, nullptr, &hints, &res) != 0) return false;
    bool ok = res && res->ai_addr && FromSockaddr(res->ai_addr, out) && out->Family == 6;
    ::freeaddrinfo(res);
    return ok;
}

int FormatNetAddress(const NetAddress* address, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = '\0';
    sockaddr_storage ss;
    int len = ToSockaddr(address, 0, &ss);
    char text[NI_MAXHOST];
    if (len == 0 || ::getnameinfo(reinterpret_cast<sockaddr*>(&ss), len, text, sizeof text, nullptr,
                                  0, NI_NUMERICHOST) != 0)
        return 0;
    int n = static_cast<int>(strlen(text));
    if (n >= size) return 0;
    memcpy(buffer, text, static_cast<size_t>(n) + 1);
    return n;
}

}  // namespace vok::plat
