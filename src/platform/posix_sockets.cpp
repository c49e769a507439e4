// SPDX-License-Identifier: MIT
// POSIX sockets behind the WinSock-flavoured interface: BSD sockets, poll()
// for readiness, errno mapped onto the WinSock error numbers.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <net/if.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/sockets.h"

namespace vok::plat {

namespace {

int WinsockError(int e) {
    switch (e) {
        case EINTR:
            return 10004;
        case EBADF:
            return 10009;
        case EACCES:
        case EPERM:
            return 10013;
        case EFAULT:
            return 10014;
        case EINVAL:
            return 10022;
        case EMFILE:
        case ENFILE:
            return 10024;
#if EAGAIN != EWOULDBLOCK
        case EAGAIN:
#endif
        case EWOULDBLOCK:
        case EINPROGRESS:
            return kWouldBlock;
        case EALREADY:
            return 10037;
        case ENOTSOCK:
            return kNotSocket;
        case EDESTADDRREQ:
            return 10039;
        case EMSGSIZE:
            return 10040;
        case EPROTOTYPE:
            return 10041;
        case ENOPROTOOPT:
            return 10042;
        case EPROTONOSUPPORT:
            return 10043;
        case ESOCKTNOSUPPORT:
            return 10044;
        case EOPNOTSUPP:
            return 10045;
        case EAFNOSUPPORT:
            return 10047;
        case EADDRINUSE:
            return 10048;
        case EADDRNOTAVAIL:
            return 10049;
        case ENETDOWN:
            return 10050;
        case ENETUNREACH:
            return 10051;
        case ENETRESET:
            return 10052;
        case ECONNABORTED:
        case EPIPE:
            return 10053;
        case ECONNRESET:
            return 10054;
        case ENOBUFS:
        case ENOMEM:
            return 10055;
        case EISCONN:
            return 10056;
        case ENOTCONN:
            return 10057;
        case ESHUTDOWN:
            return 10058;
        case ETIMEDOUT:
            return 10060;
        case ECONNREFUSED:
            return 10061;
        case EHOSTDOWN:
            return 10064;
        case EHOSTUNREACH:
            return 10065;
        default:
            return 10050;  // some network error without a closer match
    }
}

int LastError() {
    return WinsockError(errno);
}

}  // namespace

uint16_t HostToNet16(uint16_t v) {
    return htons(v);
}
uint32_t HostToNet32(uint32_t v) {
    return htonl(v);
}
uint32_t NetToHost32(uint32_t v) {
    return ntohl(v);
}

int SocketCreate(SocketHandle* out, int family) {
    int fd = socket(family == 6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) return LastError();
    if (fd == 0) {  // 0 means "no socket" to the channel record
        int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
        close(fd);
        if (moved < 0) return LastError();
        fd = moved;
    }
    *out = fd;
    return 0;
}

int SocketSetNonBlocking(SocketHandle s, uint32_t on) {
    int flags = fcntl(static_cast<int>(s), F_GETFL, 0);
    if (flags < 0) return LastError();
    flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(static_cast<int>(s), F_SETFL, flags) < 0 ? LastError() : 0;
}

int SocketConnect(SocketHandle s, const SockAddrIn* address) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = address->Port;
    sa.sin_addr.s_addr = address->Address;
    if (connect(static_cast<int>(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) return 0;
    return LastError();
}

int SocketSend(SocketHandle s, const char* data, int length, bool more, int timeoutMs) {
    int done = 0;
    // MSG_NOSIGNAL: a peer that has gone gives EPIPE, never SIGPIPE.
    // MSG_DONTWAIT: the wait for room is the poll below, which has a limit.
    int flags = MSG_NOSIGNAL | MSG_DONTWAIT | (more ? MSG_MORE : 0);
    uint32_t limit = TickCount() + static_cast<uint32_t>(timeoutMs < 0 ? 0 : timeoutMs);
    while (done < length) {
        ssize_t n =
            send(static_cast<int>(s), data + done, static_cast<size_t>(length - done), flags);
        if (n >= 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return -LastError();
        int wait = -1;
        if (timeoutMs >= 0) {
            int32_t left = static_cast<int32_t>(limit - TickCount());
            if (left <= 0) return -kTimedOut;
            wait = left;
        }
        pollfd p{};
        p.fd = static_cast<int>(s);
        p.events = POLLOUT;
        if (poll(&p, 1, wait) < 0 && errno != EINTR) return -LastError();
    }
    return done;
}

int SocketSetNoDelay(SocketHandle s) {
    int one = 1;
    return setsockopt(static_cast<int>(s), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) == 0
               ? 0
               : LastError();
}

int SocketRecv(SocketHandle s, char* buffer, int length) {
    for (;;) {
        ssize_t n = recv(static_cast<int>(s), buffer, static_cast<size_t>(length), 0);
        if (n < 0 && errno == EINTR) continue;
        return n < 0 ? -LastError() : static_cast<int>(n);
    }
}

int SocketPoll(SocketHandle s, Readiness kind, int timeoutMs) {
    pollfd p{};
    p.fd = static_cast<int>(s);
    p.events = kind == Readiness::Readable ? POLLIN : kind == Readiness::Writable ? POLLOUT : 0;
    int rc = poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (rc < 0) return 1;  // let the next send or receive meet the error
    if (rc == 0) return 0;
    if (p.revents & POLLNVAL) return 1;
    switch (kind) {
        case Readiness::Readable:
            return (p.revents & (POLLIN | POLLHUP | POLLERR)) ? 1 : 0;
        case Readiness::Writable:
            // A connection that failed or was reset counts as writable, so
            // that the next send meets the error at once instead of waiting
            // for a writability that never comes. (A connect in progress is
            // checked for failure first.)
            return (p.revents & (POLLOUT | POLLERR | POLLHUP)) ? 1 : 0;
        case Readiness::Failed:
            // A failed connect, or a connection the peer has reset.
            return (p.revents & POLLERR) ? 1 : 0;
    }
    return 0;
}

int SocketPendingError(SocketHandle s) {
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(static_cast<int>(s), SOL_SOCKET, SO_ERROR, &err, &len) != 0) return LastError();
    return err ? WinsockError(err) : 0;
}

int SocketClose(SocketHandle s, int lingerSeconds) {
    linger l{};
    l.l_onoff = 1;
    l.l_linger = lingerSeconds;
    setsockopt(static_cast<int>(s), SOL_SOCKET, SO_LINGER, &l, sizeof l);
    return close(static_cast<int>(s)) == 0 ? 0 : -LastError();
}

int SocketCloseGraceful(SocketHandle s) {
    // Linger off: close() returns at once and the system sends what is
    // queued, then the FIN.
    linger l{};
    setsockopt(static_cast<int>(s), SOL_SOCKET, SO_LINGER, &l, sizeof l);
    shutdown(static_cast<int>(s), SHUT_WR);
    return close(static_cast<int>(s)) == 0 ? 0 : -LastError();
}

void SocketShutdown(SocketHandle s) {
    shutdown(static_cast<int>(s), SHUT_RDWR);
}

int SocketLocalAddress(SocketHandle s, SockAddrIn* out) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0)
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
    int one = 1;
    setsockopt(static_cast<int>(s), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(*port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    if (bind(static_cast<int>(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        listen(static_cast<int>(s), backlog) != 0 ||
        getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        int rc = LastError();
        close(static_cast<int>(s));
        return rc;
    }
    *port = ntohs(sa.sin_port);
    *out = s;
    return 0;
}

int SocketAccept(SocketHandle listener, SocketHandle* out) {
    int fd = accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return LastError();
    *out = fd;
    return 0;
}

namespace {
int ResolverError(int rc) {
    switch (rc) {
        case EAI_AGAIN:
            return 11002;
        case EAI_FAIL:
            return 11003;
#ifdef EAI_NODATA
        case EAI_NODATA:
            return 11004;
#endif
        case EAI_NONAME:
            return 11001;
        default:
            return 11003;
    }
}
}  // namespace

int ResolveHost(const char* name, uint32_t* address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    int rc = getaddrinfo(name, nullptr, &hints, &res);
    if (rc != 0) return ResolverError(rc);
    bool any = false;
    uint32_t found = 0;
    for (addrinfo* a = res; a && !any; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addr) {
            found = ntohl(reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
            any = true;
        }
    }
    freeaddrinfo(res);
    if (!any) return 11004;
    *address = found;
    return 0;
}

int LocalHostName(char* buffer, int size) {
    if (size <= 0) return 10014;
    if (gethostname(buffer, static_cast<size_t>(size)) != 0) return LastError();
    buffer[size - 1] = '\0';
    return 0;
}

bool SocketLayerBusy() {
    return false;
}

// --- IPv4 and IPv6 --------------------------------------------------------------

namespace {

// The socket address of a NetAddress: its length, 0 for an unknown family.
socklen_t ToSockaddr(const NetAddress* a, uint16_t port, sockaddr_storage* ss) {
    memset(ss, 0, sizeof *ss);
    if (a->Family == 4) {
        auto* sa = reinterpret_cast<sockaddr_in*>(ss);
        sa->sin_family = AF_INET;
        sa->sin_port = htons(port);
        memcpy(&sa->sin_addr, a->Bytes, 4);
        return sizeof *sa;
    }
    if (a->Family == 6) {
        auto* sa = reinterpret_cast<sockaddr_in6*>(ss);
        sa->sin6_family = AF_INET6;
        sa->sin6_port = htons(port);
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
    socklen_t len = ToSockaddr(address, port, &ss);
    if (len == 0) return 10047;
    if (connect(static_cast<int>(s), reinterpret_cast<sockaddr*>(&ss), len) == 0) return 0;
    return LastError();
}

int SocketLocalNetAddress(SocketHandle s, NetAddress* out) {
    sockaddr_storage ss{};
    socklen_t len = sizeof ss;
    if (getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&ss), &len) != 0)
        return -LastError();
    return FromSockaddr(reinterpret_cast<sockaddr*>(&ss), out) ? 0 : -10047;
}

int ResolveAll(const char* name, NetAddress* out, int max, int* count) {
    *count = 0;
    if (ResolveOverridden(name, out, max, count)) return *count > 0 ? 0 : 11004;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* res = nullptr;
    int rc = getaddrinfo(name, nullptr, &hints, &res);
    if (rc == EAI_NONAME || rc == EAI_ADDRFAMILY) {
        // AI_ADDRCONFIG drops every family on a machine whose only
        // addresses are loopback ones; ask again without it.
        hints.ai_flags = 0;
        rc = getaddrinfo(name, nullptr, &hints, &res);
    }
    if (rc != 0) return ResolverError(rc);
    for (addrinfo* a = res; a && *count < max; a = a->ai_next) {
        if (a->ai_addr && FromSockaddr(a->ai_addr, &out[*count])) ++*count;
    }
    freeaddrinfo(res);
    return *count > 0 ? 0 : 11004;
}

bool ParseIpv6(const char* text, NetAddress* out) {
    char bare[64];
    const char* p = text;
    if (*p == '[') ++p;
    int n = 0;
    while (*p && *p != ']' && *p != '%' && n < static_cast<int>(sizeof bare) - 1) bare[n++] = *p++;
    bare[n] = '\0';
    in6_addr a6;
    if (inet_pton(AF_INET6, bare, &a6) != 1) return false;
    *out = NetAddress{};
    out->Family = 6;
    memcpy(out->Bytes, &a6, 16);
    if (*p == '%') {
        char zone[32];
        int z = 0;
        for (++p; *p && *p != ']' && z < static_cast<int>(sizeof zone) - 1;) zone[z++] = *p++;
        zone[z] = '\0';
        out->ScopeId = if_nametoindex(zone);
        if (out->ScopeId == 0) out->ScopeId = static_cast<uint32_t>(atoi(zone));
    }
    return true;
}

int FormatNetAddress(const NetAddress* address, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    char text[INET6_ADDRSTRLEN + 1];
    int family = address->Family == 6 ? AF_INET6 : AF_INET;
    if (!inet_ntop(family, address->Bytes, text, sizeof text)) text[0] = '\0';
    int n = static_cast<int>(strlen(text));
    if (n >= size) {
        buffer[0] = '\0';
        return 0;
    }
    memcpy(buffer, text, static_cast<size_t>(n) + 1);
    return n;
}

}  // namespace vok::plat
