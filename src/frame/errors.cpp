// SPDX-License-Identifier: MIT
#include "frame/errors.h"

#include <cstdint>

#include "frame/channel.h"
#include "vok32.h"

namespace vok {

namespace {

struct ErrorEntry {
    int32_t Code;
    const char* Text;
};

const ErrorEntry kErrors[] = {
    {0, "Cannot comply"},
    {-1, "Socket has been closed."},
    {-4, "WINSOCK is currently blocking."},
    {-5, "Bad status flag passed to vokStatus."},
    {-7, "Invalid socket."},
    {-8, "Socket timed out."},
    {-9, "No available sockaddr structures."},
    {-12, "No host name."},
    {-18, "Cannot create socket."},
    {-31, "Response buffer has overflowed."},
    {-32, "Bad character in email address."},
    {-34, "Cannot access WINSOCK"},
    {-35, "Cannot open file."},
    {-36, "Error attempting to connect."},
    {-37, "EMPTY email address."},
    {-38, "FromPtr is NULL."},
    {-39, "Missing '@' character in email address."},
    {-40, "Missing FROM email address."},
    {-41, "Missing '<' delimiter in email address."},
    {-43, "Missing '>' terminating email address."},
    {-44, "Not connected to server"},
    {-45, "Must have at least one recipient."},
    {-46, "Cannot find SMTP/POP3 server."},
    {-47, "Unexpected NULL pointer."},
    {-48, "ToPtr is NULL."},
    {-49, "SMTP returned error."},
    {-50, "SMTP/POP3 server not specified."},
    {-51, "Socket read error."},
    {-52, "Socket write error."},
    {-53, "Too many '@' symbols in email address."},
    {-54, "Found unexpected '>' character in email address."},
    {-55, "Cannot allocate memory."},
    {-56, "Illegal chars in server name."},
    {-57, "APOP timestamp missing."},
    {-58, "SMTP function ONLY."},
    {-59, "POP3 function ONLY."},
    {-61, "USER name not specified."},
    {-62, "PASSWORD not specified."},
    {-63, "POP3 returned error."},
    {-64, "No such message number."},
    {-65, "Missing filename."},
    {-66, "Missing email path."},
    {-67, "Cannot create file."},
    {-68, "Buffer is NULL."},
    {-69, "Buffer size < 128."},
    {-70, "Missing path for attachments."},
    {-71, "Must call vokAttach first."},
    {-72, "Already attached."},
    {-73, "Channel out of range."},
    {-80, "TLS handshake failed."},
    {-81, "Server certificate is not trusted."},
    {-82, "Server name does not match its certificate."},
    {-83, "Server does not offer STARTTLS."},
    {-84, "TLS is not available in this build."},
    {-85, "Authentication method not offered by the server."},
    {-10004, "Interrupted system call."},
    {-10009, "Bad file number."},
    {-10013, "Access denied."},
    {-10014, "Bad address."},
    {-10022, "Invalid argument."},
    {-10024, "Too many open files."},
    {-10035, "Would block socket in non-blocking mode."},
    {-10036, "Blocking call already in progress."},
    {-10037, "Operation already completed."},
    {-10038, "Not a valid socket"},
    {-10039, "Destination address required."},
    {-10040, "Message too big for buffer."},
    {-10041, "Protocol mismatch."},
    {-10042, "Protocol option invalid."},
    {-10043, "Protocol not supported."},
    {-10044, "Socket type not supported."},
    {-10045, "Socket operation not supported."},
    {-10047, "Socket address family not supported."},
    {-10048, "Socket address already in use."},
    {-10049, "Socket address not available."},
    {-10050, "Network error."},
    {-10051, "Cannot reach network."},
    {-10052, "Connection dropped."},
    {-10053, "Connection timed-out or aborted."},
    {-10054, "Connection reset by remote host."},
    {-10055, "Out of buffer space."},
    {-10056, "Socket already connected."},
    {-10057, "Socket not connected."},
    {-10058, "Socket functionality shut down."},
    {-10060, "Timed-out attempting to connect."},
    {-10061, "Connection refused by remote host."},
    {-10064, "Host is down"},
    {-10065, "No route to host"},
    {-10091, "Network not yet ready."},
    {-10092, "WINSOCK doesn't support requested version."},
    {-10093, "Sockets not initialized. Call WSAStartup."},
    {-11001, "Host does not exist."},
    {-11002, "Host not found. Try again."},
    {-11003, "Non-recoverable error has occurred."},
    {-11004, "No data is available."},
    {999, nullptr},
};

}  // namespace

const char* ErrorMessage(int code) {
    for (const ErrorEntry* e = kErrors; e->Code != 999; ++e)
        if (e->Code == code) return e->Text;
    return nullptr;
}

int FormatErrorText(const Channel* ch, int code, char* buffer, int size) {
    if (!buffer || size < 1) return 0;
    const char* text = ErrorMessage(code);
    int placed = 0;
    if (text) {
        while (placed < size - 1 && text[placed]) {
            buffer[placed] = text[placed];
            ++placed;
        }
        // A refused command or connect: add what the server said.
        bool withReply =
            code == VOK_SMTP_ERROR || code == VOK_POP3_ERROR || code == VOK_CONNECT_ERROR;
        // A file that could not be written: which one.
        if (code == VOK_CANNOT_CREATE_FILE && ch && ch->FailedFile[0]) {
            for (const char* r = " '"; *r && placed < size - 1; ++r) buffer[placed++] = *r;
            for (const char* r = ch->FailedFile; *r && placed < size - 1; ++r)
                buffer[placed++] = *r;
            if (placed < size - 1) buffer[placed++] = '\'';
        }
        if (withReply && ch && placed < size - 1) {
            buffer[placed++] = ' ';
            for (const char* r = ch->ReplyBuffer; *r && placed < size - 1; ++r)
                buffer[placed++] = *r;
        }
        // A TLS failure: add the backend's (or the server's) reason.
        bool withReason = code <= VOK_TLS_HANDSHAKE_FAILED && code >= VOK_AUTH_NOT_OFFERED;
        if (withReason && ch && ch->TlsReason[0] && placed < size - 1) {
            buffer[placed++] = ' ';
            for (const char* r = ch->TlsReason; *r && placed < size - 1; ++r) buffer[placed++] = *r;
        }
    }
    buffer[placed] = '\0';
    return placed;
}

}  // namespace vok

extern "C" VOK_EXPORT int VOKAPI vokErrorText(int channel, int code, char* buffer, int size) {
    vok::CallScope scope;
    vok::Channel* ch = nullptr;
    if (int rc = vok::LookupChannel(channel, &ch)) return rc;
    return vok::FormatErrorText(ch, code, buffer, size);
}
