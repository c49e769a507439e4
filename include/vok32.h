/*
 * vok32.h - public interface of the VOK32 e-mail client library.
 *
 * Every function returns a 32-bit signed int: negative values are failure
 * codes (named below), 0 means done or idle, positive values are what the
 * call delivers. vokErrorText turns a code into its text.
 *
 * On 32-bit Windows the functions use the stdcall convention and are
 * exported from VOK32.dll under their plain names; elsewhere they use the
 * platform's C convention.
 */
#ifndef VOK32_H
#define VOK32_H

#if defined(_WIN32) && !defined(_WIN64)
#define VOKAPI __stdcall
#else
#define VOKAPI
#endif

#if defined(VOK32_BUILDING) && !defined(_WIN32)
#define VOK_EXPORT __attribute__((visibility("default")))
#else
#define VOK_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Library version 3.4.2 (one hex digit per part), build 11. */
#define VOK_VERSION 0x342
#define VOK_BUILD 11

/* Limits. */
#define VOK_MAX_CHANNELS 128

/* Result codes of the library itself. */
#define VOK_OK 0
#define VOK_CANNOT_COMPLY 0
#define VOK_SOCKET_CLOSED (-1)
#define VOK_WINSOCK_BLOCKING (-4)
#define VOK_BAD_STATUS_FLAG (-5)
#define VOK_INVALID_SOCKET (-7)
#define VOK_SOCKET_TIMEOUT (-8)
#define VOK_NO_SOCKADDR (-9)
#define VOK_NO_HOST_NAME (-12)
#define VOK_CANNOT_CREATE_SOCKET (-18)
#define VOK_RESPONSE_OVERFLOW (-31)
#define VOK_BAD_ADDRESS_CHAR (-32)
#define VOK_CANNOT_ACCESS_WINSOCK (-34)
#define VOK_CANNOT_OPEN_FILE (-35)
#define VOK_CONNECT_ERROR (-36)
#define VOK_EMPTY_ADDRESS (-37)
#define VOK_FROM_NULL (-38)
#define VOK_MISSING_AT (-39)
#define VOK_MISSING_FROM (-40)
#define VOK_MISSING_LT (-41)
#define VOK_MISSING_GT (-43)
#define VOK_NOT_CONNECTED (-44)
#define VOK_NO_RECIPIENT (-45)
#define VOK_SERVER_NOT_FOUND (-46)
#define VOK_NULL_POINTER (-47)
#define VOK_TO_NULL (-48)
#define VOK_SMTP_ERROR (-49)
#define VOK_SERVER_NOT_SPECIFIED (-50)
#define VOK_SOCKET_READ_ERROR (-51)
#define VOK_SOCKET_WRITE_ERROR (-52)
#define VOK_TOO_MANY_AT (-53)
#define VOK_UNEXPECTED_GT (-54)
#define VOK_NO_MEMORY (-55)
#define VOK_BAD_SERVER_NAME (-56)
#define VOK_APOP_NO_TIMESTAMP (-57)
#define VOK_SMTP_ONLY (-58)
#define VOK_POP3_ONLY (-59)
#define VOK_NO_USER (-61)
#define VOK_NO_PASSWORD (-62)
#define VOK_POP3_ERROR (-63)
#define VOK_NO_SUCH_MESSAGE (-64)
#define VOK_MISSING_FILENAME (-65)
#define VOK_MISSING_EMAIL_PATH (-66)
#define VOK_CANNOT_CREATE_FILE (-67)
#define VOK_BUFFER_NULL (-68)
#define VOK_BUFFER_TOO_SMALL (-69)
#define VOK_MISSING_ATTACH_PATH (-70)
#define VOK_NOT_ATTACHED (-71)
#define VOK_ALREADY_ATTACHED (-72)
#define VOK_CHANNEL_RANGE (-73)

/* Secure connections. vokErrorText adds the TLS backend's reason after one
 * space (the server's line for VOK_STARTTLS_REFUSED and VOK_AUTH_NOT_OFFERED)
 * when the buffer has room. */
#define VOK_TLS_HANDSHAKE_FAILED (-80)  /* "TLS handshake failed." */
#define VOK_TLS_UNTRUSTED (-81)         /* "Server certificate is not trusted." (also: expired) */
#define VOK_TLS_NAME_MISMATCH (-82)     /* "Server name does not match its certificate." */
#define VOK_STARTTLS_REFUSED (-83)      /* "Server does not offer STARTTLS." (or refused STLS) */
#define VOK_TLS_UNAVAILABLE (-84)       /* "TLS is not available in this build." */
#define VOK_AUTH_NOT_OFFERED (-85)      /* "Authentication method not offered by the server." */

/* Socket-layer failures are the negated WinSock error numbers. */
#define VOK_WSAEINTR (-10004)
#define VOK_WSAEBADF (-10009)
#define VOK_WSAEACCES (-10013)
#define VOK_WSAEFAULT (-10014)
#define VOK_WSAEINVAL (-10022)
#define VOK_WSAEMFILE (-10024)
#define VOK_WSAEWOULDBLOCK (-10035)
#define VOK_WSAEINPROGRESS (-10036)
#define VOK_WSAEALREADY (-10037)
#define VOK_WSAENOTSOCK (-10038)
#define VOK_WSAEDESTADDRREQ (-10039)
#define VOK_WSAEMSGSIZE (-10040)
#define VOK_WSAEPROTOTYPE (-10041)
#define VOK_WSAENOPROTOOPT (-10042)
#define VOK_WSAEPROTONOSUPPORT (-10043)
#define VOK_WSAESOCKTNOSUPPORT (-10044)
#define VOK_WSAEOPNOTSUPP (-10045)
#define VOK_WSAEAFNOSUPPORT (-10047)
#define VOK_WSAEADDRINUSE (-10048)
#define VOK_WSAEADDRNOTAVAIL (-10049)
#define VOK_WSAENETDOWN (-10050)
#define VOK_WSAENETUNREACH (-10051)
#define VOK_WSAENETRESET (-10052)
#define VOK_WSAECONNABORTED (-10053)
#define VOK_WSAECONNRESET (-10054)
#define VOK_WSAENOBUFS (-10055)
#define VOK_WSAEISCONN (-10056)
#define VOK_WSAENOTCONN (-10057)
#define VOK_WSAESHUTDOWN (-10058)
#define VOK_WSAETIMEDOUT (-10060)
#define VOK_WSAECONNREFUSED (-10061)
#define VOK_WSAEHOSTDOWN (-10064)
#define VOK_WSAEHOSTUNREACH (-10065)
#define VOK_WSASYSNOTREADY (-10091)
#define VOK_WSAVERNOTSUPPORTED (-10092)
#define VOK_WSANOTINITIALISED (-10093)
#define VOK_WSAHOST_NOT_FOUND (-11001)
#define VOK_WSATRY_AGAIN (-11002)
#define VOK_WSANO_RECOVERY (-11003)
#define VOK_WSANO_DATA (-11004)

/* vokDriver: the step had to wait; call again. */
#define VOK_DRIVER_WAIT 9999

/* Integer parameters (vokIntegerParam). */
#define VOK_MIN_RESPONSE_WAIT 1
#define VOK_MAX_RESPONSE_WAIT 2
#define VOK_CONNECT_WAIT 3
#define VOK_SEND_LINE_DELAY 5
#define VOK_TRANSFER_WAIT 6
#define VOK_BODY_FORMAT 8
#define VOK_AUTO_CALL 9
#define VOK_NUMBER_ATTACHMENTS 10
#define VOK_WRITE_WAIT 11
#define VOK_READ_WAIT 12
#define VOK_POLL_SLEEP 13
#define VOK_SAVE_UNNAMED 14
#define VOK_SMTP_PORT 15
#define VOK_POP3_PORT 16
#define VOK_LINE_LENGTH 17
#define VOK_BLOCKING_CONNECT 18
#define VOK_PASS_8BIT 19
#define VOK_HIDE_ATTACH_NOTE 21
#define VOK_HIDE_TO_HEADER 22
#define VOK_ADDRESS_DELIMITER 23
#define VOK_WINSOCK_CLEANUP 24
#define VOK_ATTACH_DELIMITER 25
#define VOK_ATTACH_NAME_DELIMITER 26
#define VOK_INLINE_IMAGES 27
#define VOK_RAW_DOWNLOAD 28
#define VOK_ESMTP_MODE 29
#define VOK_USE_APOP 30
/* TlsMode (channel, default 0): 0 plain TCP; 1 STARTTLS required (SMTP:
 * EHLO, STARTTLS, handshake, EHLO again, RFC 3207; POP3: STLS after the
 * greeting, RFC 2595), implies EHLO (the AUTH exchange still follows
 * VOK_ESMTP_MODE or VOK_AUTH_METHOD); 2 implicit TLS right after the connect
 * (SMTP port 465, POP3 port 995). TLS 1.2 at least; SNI sent for names. */
#define VOK_TLS_MODE 31
#define VOK_TLS_PLAIN 0
#define VOK_TLS_STARTTLS 1
#define VOK_TLS_IMPLICIT 2
/* TlsVerify (channel, default 1): 1 the server certificate must chain to a
 * trusted root, be within its validity period and match the server name (DNS
 * names in subjectAltName, IP entries for an address); 0 no check (the log
 * says so in a warning line). */
#define VOK_TLS_VERIFY 32
/* AuthMethod (channel, default 0): 0 chosen as before (the EHLO reply's AUTH
 * list; USER/PASS or APOP); 1 PLAIN, 2 LOGIN, 3 CRAM-MD5, 4 XOAUTH2. POP3
 * uses the SASL AUTH command (RFC 5034) for 1 and 4. */
#define VOK_AUTH_METHOD 33
#define VOK_AUTH_DEFAULT 0
#define VOK_AUTH_PLAIN 1
#define VOK_AUTH_LOGIN 2
#define VOK_AUTH_CRAM_MD5 3
#define VOK_AUTH_XOAUTH2 4

/* String parameters (vokStringParam). */
#define VOK_LOG_FILE 20
#define VOK_SAVE_BUFFER 41
#define VOK_REPLY_TO 50
#define VOK_USER_HEADERS 51
#define VOK_LOG_TEXT 52
#define VOK_FROM_ADDRESS 53
#define VOK_CUSTOM_CONTENT_TYPE 54
#define VOK_CUSTOM_ENCODING 55
#define VOK_ADD_HEADER 56
#define VOK_SMTP_PASSWORD 57
#define VOK_USER_NAME 58
#define VOK_ALTERNATE_TEXT 59
/* TlsCaFile (channel): a PEM file of trusted roots used instead of the
 * system's store; "" returns to the system's store. */
#define VOK_TLS_CA_FILE 60
/* OAuthToken (channel, up to 8192 characters): the bearer token of XOAUTH2;
 * the user name is the account. */
#define VOK_OAUTH_TOKEN 61

/* Statistics (vokStatistics) of secure connections. */
#define VOK_STAT_TLS_ACTIVE 30  /* 1 while the connection is encrypted, else 0 */
#define VOK_STAT_TLS_VERSION 31 /* 0x0303 TLS 1.2, 0x0304 TLS 1.3, 0 without TLS */

/* Debug texts (vokDebug) of secure connections. */
#define VOK_DEBUG_TLS_SESSION 41 /* "TLSv1.3 TLS_AES_256_GCM_SHA384" */
#define VOK_DEBUG_TLS_SUBJECT 42 /* the server certificate's subject */
#define VOK_DEBUG_SERVER_ADDRESS 43 /* the server's address as text (IPv4 or IPv6) */

/* Extensions. VOK_CHARSET (channel): the name of the charset the texts
 * given to vokSendEmail are in (the body, the subject, display names and
 * attachment names); default "utf-8", on Windows the ANSI code page's name
 * ("windows-1252", ...). It is declared wherever a part or a header holds
 * bytes of 128 or more. Result: its length; an empty text restores the
 * default; VOK_BAD_ADDRESS_CHAR for a character a charset name cannot hold
 * (RFC 2978: letters, digits and ! # $ & + - ^ _ ` { } ~ . :). */
#define VOK_CHARSET 62
/* VOK_RAW_COPY_DIR (channel, default empty = off): vokGetEmailFile also
 * writes the message as the server sent it (dot-unstuffed, CR LF kept) to
 * <RawCopyDir>/<EmailName>.eml, under a temporary name until the download
 * is complete; an existing file is never overwritten (the copy is then
 * named "<EmailName> (2).eml"). */
#define VOK_RAW_COPY_DIR 63

/* Library lifecycle. vokAttach makes 0..128 channels: 1, or -72 when the
 * library is attached already (also when two threads attach at once: one
 * wins), -73 for a count out of range. vokRelease frees them all and
 * returns 1. Calls still under way on other threads are woken first (their
 * sockets are shut) and return a negative result; nothing is freed before
 * the last of them has returned.
 *
 * Threads: one channel is driven by one thread at a time. vokAbort and
 * vokRelease may come from any thread: a call waiting on the channel then
 * returns -1 (abort) or -71 (release). */
VOK_EXPORT int VOKAPI vokAttach(int channels);
VOK_EXPORT int VOKAPI vokRelease(void);

/* The driver: runs one step of the channel's operation. A positive result
 * is the state that runs next (VOK_DRIVER_WAIT when the step had to wait),
 * 0 means done or idle, a negative result is the failure code. */
VOK_EXPORT int VOKAPI vokDriver(int channel);

/* Raw command, polite close (QUIT) and abort of either protocol. */
VOK_EXPORT int VOKAPI vokCommand(int channel, const char* command);
VOK_EXPORT int VOKAPI vokClose(int channel);
VOK_EXPORT int VOKAPI vokAbort(int channel);

/* SMTP replies: a 4yz reply (try again later) fails a call just as a 5yz
 * one does, with VOK_SMTP_ERROR (-49); vokStatistics(channel, 3) gives the
 * code, vokErrorText appends the server's line. AUTH is only tried when a
 * user name is set (string parameter 58).
 *
 * SMTP: open a session (EHLO/HELO and AUTH), send a message, check an
 * address's form offline, ask the server about addresses (VRFY). Address
 * lists separate their items with the AddressDelimiter (default ','); an
 * item's address stands in angle brackets. A Message beginning with '@'
 * names a file that holds the body. */
VOK_EXPORT int VOKAPI vokSmtpConnect(int channel, const char* server, const char* from,
                                     const char* replyTo);
VOK_EXPORT int VOKAPI vokSendEmail(int channel, const char* to, const char* cc, const char* bcc,
                                   const char* subject, const char* message,
                                   const char* attachments);
VOK_EXPORT int VOKAPI vokVerifyFormat(const char* address);
VOK_EXPORT int VOKAPI vokVerifyUser(int channel, const char* userList);

/* POP3: log in (USER/PASS, or APOP when VOK_USE_APOP is set), count the
 * mailbox (result: the count), a message's size, delete a message (takes
 * effect at QUIT). A "-ERR" answer to these three fails the call with -63
 * (the server's line in vokErrorText) and the session stays open; a reply
 * that is no status line at all fails it and closes the connection.
 * A message's unique id or the whole list (message < 1) goes into buffer
 * (at least 128 bytes; at most size - 1 characters and always a NUL;
 * result: the text's length), the header
 * and first lines of a message (TOP) into buffer, or into the library's own
 * buffer when buffer is NULL or "*" (result: the bytes placed), and download
 * a message into emailDir/fileName, saving its attachments in attachDir. */
VOK_EXPORT int VOKAPI vokPop3Connect(int channel, const char* server, const char* user,
                                     const char* password);
VOK_EXPORT int VOKAPI vokGetEmailCount(int channel);
VOK_EXPORT int VOKAPI vokGetEmailSize(int channel, int message);
VOK_EXPORT int VOKAPI vokDeleteEmail(int channel, int message);
VOK_EXPORT int VOKAPI vokGetEmailUID(int channel, int message, char* buffer, int size);
VOK_EXPORT int VOKAPI vokGetEmailLines(int channel, int message, int lines, char* buffer, int size);
VOK_EXPORT int VOKAPI vokGetEmailFile(int channel, int message, const char* fileName,
                                      const char* emailDir, const char* attachDir);

/* Settings and inspection.
 * vokDebug copies at most `size` characters and then a NUL, so the buffer
 * must hold size + 1 bytes (codes -12, 23, 29, 30, 40); codes 25 and 28
 * give 0 and an empty buffer when size is 16 or less. Every integer
 * setting takes any int: a negative wait counts as 0, and waits are cut at
 * 2^31 - 2 ms. Every send is bounded by WriteWait. The log file is created
 * readable by its owner only (POSIX) and never shows a password or a
 * login's base64 ("****" stands in its place). */
VOK_EXPORT int VOKAPI vokIntegerParam(int channel, int index, int value);
VOK_EXPORT int VOKAPI vokStringParam(int channel, int index, const char* text);
VOK_EXPORT int VOKAPI vokStatistics(int channel, int index);
VOK_EXPORT int VOKAPI vokDebug(int channel, int code, char* buffer, int size);
VOK_EXPORT int VOKAPI vokErrorText(int channel, int code, char* buffer, int size);

/* Utilities: need no vokAttach and take no channel.
 * vokEncodeBuffer: base64 of length bytes as lines of 76 characters, each
 * ended by CR LF; output needs 4*ceil(length/3) + 2*ceil(length/57) bytes.
 * No NUL is written. Returns the characters written.
 * vokDecodeBuffer: bytes decoded from length characters of base64 text that
 * may be broken into lines by CR LF; output needs 3*(length/4) + 4 bytes.
 * Returns the bytes written.
 * vokExtractText / vokExtractLine: copy the line holding search (from the
 * match on) / line number (counted from 1) through its LF into buffer of
 * size bytes. Return the characters copied; 0 when nothing was found or the
 * line does not fit. */
VOK_EXPORT int VOKAPI vokEncodeBuffer(const char* input, char* output, int length);
VOK_EXPORT int VOKAPI vokDecodeBuffer(const char* text, char* output, int length);
VOK_EXPORT int VOKAPI vokExtractText(const char* text, const char* search, char* buffer, int size);
VOK_EXPORT int VOKAPI vokExtractLine(const char* text, int number, char* buffer, int size);

#ifdef __cplusplus
}
#endif

#endif /* VOK32_H */
