' SPDX-License-Identifier: MIT
' Generated from include/vok32.h by scripts/gen-bindings.py: do not edit.
' VOK32 for VB.NET: P/Invoke declarations of VOK32.dll.
Imports System.Runtime.InteropServices
Imports System.Text

Public Module Vok
    Public Const Dll As String = "VOK32.dll"

    ''' Library version 3.4.2 (one hex digit per part), build 11.
    Public Const VOK_VERSION As Integer = 834
    ''' the build number (VOK_STAT_BUILD)
    Public Const VOK_BUILD As Integer = 11
    ''' the major version: 3 for 3.4.2
    Public Const VOK_VERSION_MAJOR As Integer = 3
    ''' the minor version
    Public Const VOK_VERSION_MINOR As Integer = 4
    ''' the patch level
    Public Const VOK_VERSION_PATCH As Integer = 2
    ''' channels vokAttach can make
    Public Const VOK_MAX_CHANNELS As Integer = 128
    ''' the least size vokGetEmailUID accepts
    Public Const VOK_MIN_UID_BUFFER As Integer = 128
    ''' success (also the text of code 0 below)
    Public Const VOK_OK As Integer = 0
    ''' "Cannot comply"
    Public Const VOK_CANNOT_COMPLY As Integer = 0
    ''' "Socket has been closed." Also: unknown index, abort.
    Public Const VOK_SOCKET_CLOSED As Integer = -1
    ''' "WINSOCK is currently blocking."
    Public Const VOK_WINSOCK_BLOCKING As Integer = -4
    ''' "Bad status flag passed to vokStatus."
    Public Const VOK_BAD_STATUS_FLAG As Integer = -5
    ''' "Invalid socket."
    Public Const VOK_INVALID_SOCKET As Integer = -7
    ''' "Socket timed out."
    Public Const VOK_SOCKET_TIMEOUT As Integer = -8
    ''' "No available sockaddr structures."
    Public Const VOK_NO_SOCKADDR As Integer = -9
    ''' "No host name."
    Public Const VOK_NO_HOST_NAME As Integer = -12
    ''' "Cannot create socket."
    Public Const VOK_CANNOT_CREATE_SOCKET As Integer = -18
    ''' "Response buffer has overflowed."
    Public Const VOK_RESPONSE_OVERFLOW As Integer = -31
    ''' "Bad character in email address."
    Public Const VOK_BAD_ADDRESS_CHAR As Integer = -32
    ''' "Cannot access WINSOCK"
    Public Const VOK_CANNOT_ACCESS_WINSOCK As Integer = -34
    ''' "Cannot open file."
    Public Const VOK_CANNOT_OPEN_FILE As Integer = -35
    ''' "Error attempting to connect." + greeting
    Public Const VOK_CONNECT_ERROR As Integer = -36
    ''' "EMPTY email address."
    Public Const VOK_EMPTY_ADDRESS As Integer = -37
    ''' "FromPtr is NULL."
    Public Const VOK_FROM_NULL As Integer = -38
    ''' "Missing '@' character in email address."
    Public Const VOK_MISSING_AT As Integer = -39
    ''' "Missing FROM email address."
    Public Const VOK_MISSING_FROM As Integer = -40
    ''' "Missing '<' delimiter in email address."
    Public Const VOK_MISSING_LT As Integer = -41
    ''' "Missing '>' terminating email address."
    Public Const VOK_MISSING_GT As Integer = -43
    ''' "Not connected to server"
    Public Const VOK_NOT_CONNECTED As Integer = -44
    ''' "Must have at least one recipient."
    Public Const VOK_NO_RECIPIENT As Integer = -45
    ''' "Cannot find SMTP/POP3 server."
    Public Const VOK_SERVER_NOT_FOUND As Integer = -46
    ''' "Unexpected NULL pointer."
    Public Const VOK_NULL_POINTER As Integer = -47
    ''' "ToPtr is NULL."
    Public Const VOK_TO_NULL As Integer = -48
    ''' "SMTP returned error." + the 4yz/5yz reply
    Public Const VOK_SMTP_ERROR As Integer = -49
    ''' "SMTP/POP3 server not specified."
    Public Const VOK_SERVER_NOT_SPECIFIED As Integer = -50
    ''' "Socket read error."
    Public Const VOK_SOCKET_READ_ERROR As Integer = -51
    ''' "Socket write error."
    Public Const VOK_SOCKET_WRITE_ERROR As Integer = -52
    ''' "Too many '@' symbols in email address."
    Public Const VOK_TOO_MANY_AT As Integer = -53
    ''' "Found unexpected '>' character in email address."
    Public Const VOK_UNEXPECTED_GT As Integer = -54
    ''' "Cannot allocate memory."
    Public Const VOK_NO_MEMORY As Integer = -55
    ''' "Illegal chars in server name."
    Public Const VOK_BAD_SERVER_NAME As Integer = -56
    ''' "APOP timestamp missing."
    Public Const VOK_APOP_NO_TIMESTAMP As Integer = -57
    ''' "SMTP function ONLY."
    Public Const VOK_SMTP_ONLY As Integer = -58
    ''' "POP3 function ONLY."
    Public Const VOK_POP3_ONLY As Integer = -59
    ''' "USER name not specified."
    Public Const VOK_NO_USER As Integer = -61
    ''' "PASSWORD not specified."
    Public Const VOK_NO_PASSWORD As Integer = -62
    ''' "POP3 returned error." + the -ERR reply
    Public Const VOK_POP3_ERROR As Integer = -63
    ''' "No such message number."
    Public Const VOK_NO_SUCH_MESSAGE As Integer = -64
    ''' "Missing filename."
    Public Const VOK_MISSING_FILENAME As Integer = -65
    ''' "Missing email path."
    Public Const VOK_MISSING_EMAIL_PATH As Integer = -66
    ''' "Cannot create file."
    Public Const VOK_CANNOT_CREATE_FILE As Integer = -67
    ''' "Buffer is NULL."
    Public Const VOK_BUFFER_NULL As Integer = -68
    ''' "Buffer size < 128."
    Public Const VOK_BUFFER_TOO_SMALL As Integer = -69
    ''' "Missing path for attachments."
    Public Const VOK_MISSING_ATTACH_PATH As Integer = -70
    ''' "Must call vokAttach first."
    Public Const VOK_NOT_ATTACHED As Integer = -71
    ''' "Already attached."
    Public Const VOK_ALREADY_ATTACHED As Integer = -72
    ''' "Channel out of range."
    Public Const VOK_CHANNEL_RANGE As Integer = -73
    ''' "TLS handshake failed."
    Public Const VOK_TLS_HANDSHAKE_FAILED As Integer = -80
    ''' "Server certificate is not trusted." (also: expired)
    Public Const VOK_TLS_UNTRUSTED As Integer = -81
    ''' "Server name does not match its certificate."
    Public Const VOK_TLS_NAME_MISMATCH As Integer = -82
    ''' "Server does not offer STARTTLS." (or refused STLS)
    Public Const VOK_STARTTLS_REFUSED As Integer = -83
    ''' "TLS is not available in this build."
    Public Const VOK_TLS_UNAVAILABLE As Integer = -84
    ''' "Authentication method not offered by the server."
    Public Const VOK_AUTH_NOT_OFFERED As Integer = -85
    ''' "Interrupted system call."
    Public Const VOK_WSAEINTR As Integer = -10004
    ''' "Bad file number."
    Public Const VOK_WSAEBADF As Integer = -10009
    ''' "Access denied."
    Public Const VOK_WSAEACCES As Integer = -10013
    ''' "Bad address."
    Public Const VOK_WSAEFAULT As Integer = -10014
    ''' "Invalid argument."
    Public Const VOK_WSAEINVAL As Integer = -10022
    ''' "Too many open files."
    Public Const VOK_WSAEMFILE As Integer = -10024
    ''' "Would block socket in non-blocking mode."
    Public Const VOK_WSAEWOULDBLOCK As Integer = -10035
    ''' "Blocking call already in progress."
    Public Const VOK_WSAEINPROGRESS As Integer = -10036
    ''' "Operation already completed."
    Public Const VOK_WSAEALREADY As Integer = -10037
    ''' "Not a valid socket"
    Public Const VOK_WSAENOTSOCK As Integer = -10038
    ''' "Destination address required."
    Public Const VOK_WSAEDESTADDRREQ As Integer = -10039
    ''' "Message too big for buffer."
    Public Const VOK_WSAEMSGSIZE As Integer = -10040
    ''' "Protocol mismatch."
    Public Const VOK_WSAEPROTOTYPE As Integer = -10041
    ''' "Protocol option invalid."
    Public Const VOK_WSAENOPROTOOPT As Integer = -10042
    ''' "Protocol not supported."
    Public Const VOK_WSAEPROTONOSUPPORT As Integer = -10043
    ''' "Socket type not supported."
    Public Const VOK_WSAESOCKTNOSUPPORT As Integer = -10044
    ''' "Socket operation not supported."
    Public Const VOK_WSAEOPNOTSUPP As Integer = -10045
    ''' "Socket address family not supported."
    Public Const VOK_WSAEAFNOSUPPORT As Integer = -10047
    ''' "Socket address already in use."
    Public Const VOK_WSAEADDRINUSE As Integer = -10048
    ''' "Socket address not available."
    Public Const VOK_WSAEADDRNOTAVAIL As Integer = -10049
    ''' "Network error."
    Public Const VOK_WSAENETDOWN As Integer = -10050
    ''' "Cannot reach network."
    Public Const VOK_WSAENETUNREACH As Integer = -10051
    ''' "Connection dropped."
    Public Const VOK_WSAENETRESET As Integer = -10052
    ''' "Connection timed-out or aborted."
    Public Const VOK_WSAECONNABORTED As Integer = -10053
    ''' "Connection reset by remote host."
    Public Const VOK_WSAECONNRESET As Integer = -10054
    ''' "Out of buffer space."
    Public Const VOK_WSAENOBUFS As Integer = -10055
    ''' "Socket already connected."
    Public Const VOK_WSAEISCONN As Integer = -10056
    ''' "Socket not connected."
    Public Const VOK_WSAENOTCONN As Integer = -10057
    ''' "Socket functionality shut down."
    Public Const VOK_WSAESHUTDOWN As Integer = -10058
    ''' "Timed-out attempting to connect."
    Public Const VOK_WSAETIMEDOUT As Integer = -10060
    ''' "Connection refused by remote host."
    Public Const VOK_WSAECONNREFUSED As Integer = -10061
    ''' "Host is down"
    Public Const VOK_WSAEHOSTDOWN As Integer = -10064
    ''' "No route to host"
    Public Const VOK_WSAEHOSTUNREACH As Integer = -10065
    ''' "Network not yet ready."
    Public Const VOK_WSASYSNOTREADY As Integer = -10091
    ''' "WINSOCK doesn't support requested version."
    Public Const VOK_WSAVERNOTSUPPORTED As Integer = -10092
    ''' "Sockets not initialized. Call WSAStartup."
    Public Const VOK_WSANOTINITIALISED As Integer = -10093
    ''' "Host does not exist."
    Public Const VOK_WSAHOST_NOT_FOUND As Integer = -11001
    ''' "Host not found. Try again."
    Public Const VOK_WSATRY_AGAIN As Integer = -11002
    ''' "Non-recoverable error has occurred."
    Public Const VOK_WSANO_RECOVERY As Integer = -11003
    ''' "No data is available."
    Public Const VOK_WSANO_DATA As Integer = -11004
    ''' not an error: the step had to wait
    Public Const VOK_DRIVER_WAIT As Integer = 9999
    ''' MinResponseWait. Library, ms, default 25. Pause after a command (and after starting the
    ''' connect) before the driver's next step; a step that reads the server's reply runs as
    ''' soon as the whole reply has arrived.
    Public Const VOK_PARAM_MIN_RESPONSE_WAIT As Integer = 1
    Public Const VOK_MIN_RESPONSE_WAIT As Integer = VOK_PARAM_MIN_RESPONSE_WAIT
    ''' MaxResponseWait. Library, ms, default 25000. Time allowed for a server reply; past it
    ''' the call fails with VOK_SOCKET_TIMEOUT (-8).
    Public Const VOK_PARAM_MAX_RESPONSE_WAIT As Integer = 2
    Public Const VOK_MAX_RESPONSE_WAIT As Integer = VOK_PARAM_MAX_RESPONSE_WAIT
    ''' ConnectWait. Library, ms, default 60000. Time allowed for the TCP connect.
    Public Const VOK_PARAM_CONNECT_WAIT As Integer = 3
    Public Const VOK_CONNECT_WAIT As Integer = VOK_PARAM_CONNECT_WAIT
    ''' SendLineDelay. Library, ms, default 0. Pause after each line of body, message file or
    ''' attachment sent.
    Public Const VOK_PARAM_SEND_LINE_DELAY As Integer = 5
    Public Const VOK_SEND_LINE_DELAY As Integer = VOK_PARAM_SEND_LINE_DELAY
    ''' TransferWait. Library, ms, no default of its own: sets both WriteWait (11) and ReadWait
    ''' (12).
    Public Const VOK_PARAM_TRANSFER_WAIT As Integer = 6
    Public Const VOK_TRANSFER_WAIT As Integer = VOK_PARAM_TRANSFER_WAIT
    ''' BodyFormat. Channel, 0..15 (value AND 15), default 0. 0 text/plain; 1 text/plain
    ''' quoted-printable; 2 text/html (with AlternateText as multipart/alternative); 3
    ''' text/enriched; 4 text/plain iso-8859-1 quoted-printable; 9 the CustomContentType line
    ''' (string 54).
    Public Const VOK_PARAM_BODY_FORMAT As Integer = 8
    Public Const VOK_BODY_FORMAT As Integer = VOK_PARAM_BODY_FORMAT
    ''' AutoCall. Channel, 0 or 1 (value AND 1), default 1. 1: each call runs its operation to
    ''' the end; 0: calls return 0 after setting up and the program runs the operation with
    ''' vokDriver. Setting it clears the channel's pending wait.
    Public Const VOK_PARAM_AUTO_CALL As Integer = 9
    Public Const VOK_AUTO_CALL As Integer = VOK_PARAM_AUTO_CALL
    ''' NumberAttachments. Channel, 0 or non-zero, default 0. Non-zero: saved attachment names
    ''' get a running number in front ("2-name.pdf").
    Public Const VOK_PARAM_NUMBER_ATTACHMENTS As Integer = 10
    Public Const VOK_NUMBER_ATTACHMENTS As Integer = VOK_PARAM_NUMBER_ATTACHMENTS
    ''' WriteWait. Library, ms, default 25000. Time allowed for the socket to take each piece of
    ''' data sent; bounds every send.
    Public Const VOK_PARAM_WRITE_WAIT As Integer = 11
    Public Const VOK_WRITE_WAIT As Integer = VOK_PARAM_WRITE_WAIT
    ''' ReadWait. Library, ms, default 25000. Time to wait for POP3 data (status and message
    ''' lines).
    Public Const VOK_PARAM_READ_WAIT As Integer = 12
    Public Const VOK_READ_WAIT As Integer = VOK_PARAM_READ_WAIT
    ''' PollSleep. Library, ms, default 100. Sleep between two readiness polls while a step
    ''' waits.
    Public Const VOK_PARAM_POLL_SLEEP As Integer = 13
    Public Const VOK_POLL_SLEEP As Integer = VOK_PARAM_POLL_SLEEP
    ''' SaveUnnamed. Channel, 0 or non-zero, default 0. Non-zero: a base64 part without a file
    ''' name is saved anyway (as "noname").
    Public Const VOK_PARAM_SAVE_UNNAMED As Integer = 14
    Public Const VOK_SAVE_UNNAMED As Integer = VOK_PARAM_SAVE_UNNAMED
    ''' SmtpPort. Channel, 16-bit, default 25. Port of vokSmtpConnect.
    Public Const VOK_PARAM_SMTP_PORT As Integer = 15
    Public Const VOK_SMTP_PORT As Integer = VOK_PARAM_SMTP_PORT
    ''' Pop3Port. Channel, 16-bit, default 110. Port of vokPop3Connect.
    Public Const VOK_PARAM_POP3_PORT As Integer = 16
    Public Const VOK_POP3_PORT As Integer = VOK_PARAM_POP3_PORT
    ''' LineLength. Library, characters, default 78. Plain-text lines break at a space from
    ''' LineLength - 18 on and always at LineLength (RFC 5322 2.1.1); quoted-printable lines at
    ''' LineLength.
    Public Const VOK_PARAM_LINE_LENGTH As Integer = 17
    Public Const VOK_LINE_LENGTH As Integer = VOK_PARAM_LINE_LENGTH
    ''' BlockingConnect. Channel, 0 or non-zero, default 0. Non-zero: the connect blocks inside
    ''' one step; 0: the driver waits for it step by step.
    Public Const VOK_PARAM_BLOCKING_CONNECT As Integer = 18
    Public Const VOK_BLOCKING_CONNECT As Integer = VOK_PARAM_BLOCKING_CONNECT
    ''' Pass8Bit. Library, byte, default 0. 0: plain and HTML bodies holding bytes outside
    ''' printable ASCII go out quoted-printable; non-zero: as 8bit (unless they hold a NUL).
    Public Const VOK_PARAM_PASS_8BIT As Integer = 19
    Public Const VOK_PASS_8BIT As Integer = VOK_PARAM_PASS_8BIT
    ''' HideAttachNote. Library, byte, default 0. Non-zero: no "[Attachment saved to ...]" note
    ''' in the saved message file.
    Public Const VOK_PARAM_HIDE_ATTACH_NOTE As Integer = 21
    Public Const VOK_HIDE_ATTACH_NOTE As Integer = VOK_PARAM_HIDE_ATTACH_NOTE
    ''' HideToHeader. Library, byte, default 0. Non-zero: no "To:" header line is sent.
    Public Const VOK_PARAM_HIDE_TO_HEADER As Integer = 22
    Public Const VOK_HIDE_TO_HEADER As Integer = VOK_PARAM_HIDE_TO_HEADER
    ''' AddressDelimiter. Library, char, default ','. Separates the addresses of the To, CC, BCC
    ''' and VRFY lists.
    Public Const VOK_PARAM_ADDRESS_DELIMITER As Integer = 23
    Public Const VOK_ADDRESS_DELIMITER As Integer = VOK_PARAM_ADDRESS_DELIMITER
    ''' WinsockCleanup. Library, byte, default 1. Non-zero: vokRelease calls WSACleanup
    ''' (Windows).
    Public Const VOK_PARAM_WINSOCK_CLEANUP As Integer = 24
    Public Const VOK_WINSOCK_CLEANUP As Integer = VOK_PARAM_WINSOCK_CLEANUP
    ''' AttachDelimiter. Library, char, default ','. Separates the attachment files of
    ''' vokSendEmail and the names of VOK_DEBUG_SAVED_NAMES.
    Public Const VOK_PARAM_ATTACH_DELIMITER As Integer = 25
    Public Const VOK_ATTACH_DELIMITER As Integer = VOK_PARAM_ATTACH_DELIMITER
    ''' AttachNameDelimiter. Library, char, default '|'. Separates an attachment's path from the
    ''' name shown in the message ("a/b.pdf|report.pdf").
    Public Const VOK_PARAM_ATTACH_NAME_DELIMITER As Integer = 26
    Public Const VOK_ATTACH_NAME_DELIMITER As Integer = VOK_PARAM_ATTACH_NAME_DELIMITER
    ''' InlineImages. Channel, byte, default 1. Non-zero: .gif, .bmp, .tif and .jpg attachments
    ''' go inline with a Content-ID; 0: all as attachments.
    Public Const VOK_PARAM_INLINE_IMAGES As Integer = 27
    Public Const VOK_INLINE_IMAGES As Integer = VOK_PARAM_INLINE_IMAGES
    ''' RawDownload. Channel, 16-bit, default 0. 1: vokGetEmailFile writes the message as
    ''' received, undecoded; any other value: decoded, attachments saved.
    Public Const VOK_PARAM_RAW_DOWNLOAD As Integer = 28
    Public Const VOK_RAW_DOWNLOAD As Integer = VOK_PARAM_RAW_DOWNLOAD
    ''' EsmtpMode. Channel, byte, default 0. Non-zero: EHLO, and AUTH (CRAM-MD5, LOGIN or PLAIN,
    ''' RFC 4954) when a user name is set; 0: HELO.
    Public Const VOK_PARAM_ESMTP_MODE As Integer = 29
    Public Const VOK_ESMTP_MODE As Integer = VOK_PARAM_ESMTP_MODE
    ''' UseApop. Channel, byte, default 0. Non-zero: POP3 login by APOP (RFC 1939 7); 0: USER
    ''' and PASS.
    Public Const VOK_PARAM_USE_APOP As Integer = 30
    Public Const VOK_USE_APOP As Integer = VOK_PARAM_USE_APOP
    ''' TlsMode. Channel, default 0. 0 plain TCP; 1 STARTTLS required (SMTP: EHLO, STARTTLS,
    ''' handshake, EHLO again, RFC 3207; POP3: STLS after the greeting, RFC 2595), implies EHLO
    ''' (the AUTH exchange still follows VOK_PARAM_ESMTP_MODE or VOK_PARAM_AUTH_METHOD); 2
    ''' implicit TLS right after the connect (SMTP port 465, POP3 port 995). TLS 1.2 at least;
    ''' SNI sent for names.
    Public Const VOK_PARAM_TLS_MODE As Integer = 31
    Public Const VOK_TLS_MODE As Integer = VOK_PARAM_TLS_MODE
    Public Const VOK_TLS_PLAIN As Integer = 0
    Public Const VOK_TLS_STARTTLS As Integer = 1
    Public Const VOK_TLS_IMPLICIT As Integer = 2
    ''' TlsVerify. Channel, default 1. 1: the server certificate must chain to a trusted root,
    ''' be within its validity period and match the server name (DNS names in subjectAltName, IP
    ''' entries for an address); 0: no check (the log says so in a warning line).
    Public Const VOK_PARAM_TLS_VERIFY As Integer = 32
    Public Const VOK_TLS_VERIFY As Integer = VOK_PARAM_TLS_VERIFY
    ''' AuthMethod. Channel, default 0. 0 chosen as before (the EHLO reply's AUTH list;
    ''' USER/PASS or APOP); 1 PLAIN, 2 LOGIN, 3 CRAM-MD5, 4 XOAUTH2. POP3 uses the SASL AUTH
    ''' command (RFC 5034) for 1 and 4; -85 when the server does not offer the method.
    Public Const VOK_PARAM_AUTH_METHOD As Integer = 33
    Public Const VOK_AUTH_METHOD As Integer = VOK_PARAM_AUTH_METHOD
    Public Const VOK_AUTH_DEFAULT As Integer = 0
    Public Const VOK_AUTH_PLAIN As Integer = 1
    Public Const VOK_AUTH_LOGIN As Integer = 2
    Public Const VOK_AUTH_CRAM_MD5 As Integer = 3
    Public Const VOK_AUTH_XOAUTH2 As Integer = 4
    ''' Pipelining. Channel, 0 or 1, default 0. 1: vokSmtpConnect sends EHLO, and when its reply
    ''' lists PIPELINING (RFC 2920) vokSendEmail sends MAIL FROM, every RCPT TO and DATA in one
    ''' write and reads their replies in order. A refused recipient fails the call with -49 and
    ''' its reply, and LastRecipient is the last one accepted before it, as one at a time; the
    ''' session stays open when nothing is left in flight (DATA refused too, or every recipient
    ''' refused and the "." line sent after a 354), else the connection is dropped as without
    ''' pipelining. 0 (or no PIPELINING in the reply): one command per reply. Other values: -1.
    Public Const VOK_PARAM_PIPELINING As Integer = 34
    Public Const VOK_PIPELINING As Integer = VOK_PARAM_PIPELINING
    ''' LogDetail. Channel, 0 or 1, default 0. 0: the log (VOK_PARAM_LOG_FILE) shows every byte
    ''' sent and received; 1: commands, replies and states as before, but not the message data
    ''' (the lines of a message sent after DATA, the lines or blocks of a message downloaded by
    ''' RETR or TOP) nor the "P: " lines of data looked at ahead (shown again as "r: " when
    ''' taken). Other values: -1.
    Public Const VOK_PARAM_LOG_DETAIL As Integer = 35
    Public Const VOK_LOG_DETAIL As Integer = VOK_PARAM_LOG_DETAIL
    ''' ListAll. Channel, 0 or 1, default 0. 1: the first vokGetEmailSize of a session sends
    ''' LIST and the first vokGetEmailUID of one message sends UIDL, both without a message
    ''' number (RFC 1939 5), and keep every message's answer (message numbers up to 65536);
    ''' later calls are answered from them without a command, vokGetEmailUID in the form "+OK n
    ''' uid" CR LF as the server gives it. A message the listing lacks is asked about on its own
    ''' as with 0. vokDeleteEmail, vokCommand, a new connect and the end of the connection
    ''' discard the listings. 0: one LIST n or UIDL n per call. Other values: -1.
    Public Const VOK_PARAM_LIST_ALL As Integer = 36
    Public Const VOK_LIST_ALL As Integer = VOK_PARAM_LIST_ALL
    ''' RawMessage. Channel, default 0. 1: vokSendEmail's message is a prepared message, header
    ''' and body (the text, or the file named after an '@'), and goes out as it is: nothing is
    ''' composed (no Message-ID, Date, From or MIME lines of the library's), lines end in CR LF
    ''' whatever they ended in, a line that begins with a dot gets one more, and the data ends
    ''' with "." alone. The To, Cc and Bcc lists give the envelope's recipients only; the
    ''' subject and the attachment list are not used. A file that cannot be read gives -35.
    ''' Other values: -1.
    Public Const VOK_PARAM_RAW_MESSAGE As Integer = 37
    ''' LogFile. Channel. Creates (truncates) the file and makes it the channel's trace,
    ''' readable by its owner only (POSIX); passwords and login base64 show as "****". Result:
    ''' the file handle (> 0), or -1 when the file cannot be created.
    Public Const VOK_PARAM_LOG_FILE As Integer = 20
    Public Const VOK_LOG_FILE As Integer = VOK_PARAM_LOG_FILE
    ''' SaveBuffer. Channel. Writes the library's own message buffer (filled by vokGetEmailLines
    ''' with a NULL buffer) to the named file. Result: the bytes written; -47 without such a
    ''' buffer; -67 when the file cannot be made.
    Public Const VOK_PARAM_SAVE_BUFFER As Integer = 41
    Public Const VOK_SAVE_BUFFER As Integer = VOK_PARAM_SAVE_BUFFER
    ''' ReplyTo. Channel, up to 128 characters. The Reply-To address (also set by
    ''' vokSmtpConnect).
    Public Const VOK_PARAM_REPLY_TO As Integer = 50
    Public Const VOK_REPLY_TO As Integer = VOK_PARAM_REPLY_TO
    ''' UserHeaders. Channel, up to 2048 characters. Extra header lines sent after the Subject
    ''' line, separated by CR LF; "" removes them (result 0). Result: 1 + the distance from the
    ''' third-last character to the first CR or LF among the last three (which ends the text),
    ''' or to the end.
    Public Const VOK_PARAM_USER_HEADERS As Integer = 51
    Public Const VOK_USER_HEADERS As Integer = VOK_PARAM_USER_HEADERS
    ''' LogText. Channel. Writes the text and CR LF to the channel's log. Result: the log
    ''' handle, 0 when no log is open.
    Public Const VOK_PARAM_LOG_TEXT As Integer = 52
    Public Const VOK_LOG_TEXT As Integer = VOK_PARAM_LOG_TEXT
    ''' FromAddress. Channel, up to 128 characters. The sender (also set by vokSmtpConnect).
    Public Const VOK_PARAM_FROM_ADDRESS As Integer = 53
    Public Const VOK_FROM_ADDRESS As Integer = VOK_PARAM_FROM_ADDRESS
    ''' CustomContentType. Library, up to 64 characters. The whole Content-Type line used with
    ''' BodyFormat 9.
    Public Const VOK_PARAM_CUSTOM_CONTENT_TYPE As Integer = 54
    Public Const VOK_CUSTOM_CONTENT_TYPE As Integer = VOK_PARAM_CUSTOM_CONTENT_TYPE
    ''' CustomEncoding. Library, up to 128 characters. When not empty, the line sent instead of
    ''' "Content-Transfer-Encoding: quoted-printable".
    Public Const VOK_PARAM_CUSTOM_ENCODING As Integer = 55
    Public Const VOK_CUSTOM_ENCODING As Integer = VOK_PARAM_CUSTOM_ENCODING
    ''' AddHeader. Channel. Appends one header line to UserHeaders (2048 characters in all).
    ''' Result: as for UserHeaders.
    Public Const VOK_PARAM_ADD_HEADER As Integer = 56
    Public Const VOK_ADD_HEADER As Integer = VOK_PARAM_ADD_HEADER
    ''' SmtpPassword. Channel, up to 64 characters. The SMTP AUTH password.
    Public Const VOK_PARAM_SMTP_PASSWORD As Integer = 57
    Public Const VOK_SMTP_PASSWORD As Integer = VOK_PARAM_SMTP_PASSWORD
    ''' UserName. Channel, up to 64 characters. The SMTP AUTH user (AUTH is only tried when it
    ''' is set); vokPop3Connect stores its user here too.
    Public Const VOK_PARAM_USER_NAME As Integer = 58
    Public Const VOK_USER_NAME As Integer = VOK_PARAM_USER_NAME
    ''' AlternateText. Channel. The plain-text alternative of an HTML body. Ignored (result 0)
    ''' while one is stored. Result: its length.
    Public Const VOK_PARAM_ALTERNATE_TEXT As Integer = 59
    Public Const VOK_ALTERNATE_TEXT As Integer = VOK_PARAM_ALTERNATE_TEXT
    ''' TlsCaFile. Channel. A PEM file of trusted roots used instead of the system's store; ""
    ''' returns to the system's store.
    Public Const VOK_PARAM_TLS_CA_FILE As Integer = 60
    Public Const VOK_TLS_CA_FILE As Integer = VOK_PARAM_TLS_CA_FILE
    ''' OAuthToken. Channel, up to 8192 characters (a tracked block). The bearer token of
    ''' XOAUTH2; the user name is the account. Never logged. Result: its length.
    Public Const VOK_PARAM_OAUTH_TOKEN As Integer = 61
    Public Const VOK_OAUTH_TOKEN As Integer = VOK_PARAM_OAUTH_TOKEN
    ''' Charset. Channel, up to 40 characters, default "utf-8" (Windows: the ANSI code page's
    ''' name, "windows-1252", ...). The charset of the texts given to vokSendEmail (body,
    ''' subject, display names, attachment names), declared wherever a part or a header holds
    ''' bytes of 128 or more. "" restores the default. Result: its length; -32 for a character a
    ''' charset name cannot hold (RFC 2978: letters, digits and ! # $ & + - ^ _ ` { } ~ . :).
    Public Const VOK_PARAM_CHARSET As Integer = 62
    Public Const VOK_CHARSET As Integer = VOK_PARAM_CHARSET
    ''' RawCopyDir. Channel, a folder (up to a whole path), default "" = off. vokGetEmailFile
    ''' also writes the message as the server sent it (dot-unstuffed, CR LF kept) to
    ''' <RawCopyDir>/<EmailName>.eml, under a temporary name until the download is complete; an
    ''' existing file is never overwritten (the copy is then named "<EmailName> (2).eml").
    ''' Result: its length.
    Public Const VOK_PARAM_RAW_COPY_DIR As Integer = 63
    Public Const VOK_RAW_COPY_DIR As Integer = VOK_PARAM_RAW_COPY_DIR
    ''' EnvelopeFrom. Channel, up to 128 characters, default "" = the address of FromAddress.
    ''' The reverse path of MAIL FROM (RFC 5321 section 4.1.1.2), apart from the From header:
    ''' "user@host", "<user@host>", or "<>" for the null sender of a notification. Result: its
    ''' length; -32 for a line break, a space outside the brackets or a second "<".
    Public Const VOK_PARAM_ENVELOPE_FROM As Integer = 64
    ''' HeloName. Channel, up to 128 characters, default "" = the domain of the sender's
    ''' address. The name HELO or EHLO gives for this client (RFC 5321 section 4.1.1.1): a host
    ''' name or an address literal such as "[192.0.2.1]". Result: its length; -32 for a space, a
    ''' control character or a character above 126.
    Public Const VOK_PARAM_HELO_NAME As Integer = 65
    ''' driver steps taken since vokAttach
    Public Const VOK_STAT_STEP_COUNT As Integer = 2
    ''' last reply's code (POP3: 100 for "+OK", 500 otherwise)
    Public Const VOK_STAT_REPLY_CODE As Integer = 3
    ''' socket-level code of the last failure, 0 when none
    Public Const VOK_STAT_SOCK_CODE As Integer = 4
    ''' body bytes read (send) or received (download)
    Public Const VOK_STAT_BODY_BYTES_READ As Integer = 10
    ''' attachment bytes read or decoded
    Public Const VOK_STAT_ATTACH_BYTES_READ As Integer = 11
    ''' body + attachment bytes read
    Public Const VOK_STAT_BYTES_READ As Integer = 12
    ''' body bytes sent, with line ends
    Public Const VOK_STAT_BODY_BYTES_SENT As Integer = 13
    ''' attachment bytes sent, with line ends
    Public Const VOK_STAT_ATTACH_BYTES_SENT As Integer = 14
    ''' body + attachment bytes sent
    Public Const VOK_STAT_BYTES_SENT As Integer = 15
    ''' VOK_VERSION: 0x342 for 3.4.2
    Public Const VOK_STAT_VERSION As Integer = 16
    ''' count from the last vokGetEmailCount
    Public Const VOK_STAT_MESSAGE_COUNT As Integer = 17
    ''' size from the last vokGetEmailSize
    Public Const VOK_STAT_MESSAGE_SIZE As Integer = 18
    ''' characters placed by vokGetEmailLines/UID
    Public Const VOK_STAT_BUFFER_LENGTH As Integer = 19
    ''' 1 connected, 0 not, -36 the socket is in error
    Public Const VOK_STAT_CONNECTED As Integer = 20
    ''' attachments saved by the last download
    Public Const VOK_STAT_ATTACH_COUNT As Integer = 22
    ''' 1 when the last VRFY got 250, else 0
    Public Const VOK_STAT_VERIFY_RESULT As Integer = 24
    ''' VOK_BUILD
    Public Const VOK_STAT_BUILD As Integer = 26
    ''' the socket handle (select/poll on it), 0 when none
    Public Const VOK_STAT_SOCKET As Integer = 27
    ''' 1 while the connection is encrypted, else 0
    Public Const VOK_STAT_TLS_ACTIVE As Integer = 30
    ''' 0x0303 TLS 1.2, 0x0304 TLS 1.3, 0 without TLS
    Public Const VOK_STAT_TLS_VERSION As Integer = 31
    ''' 0 nothing (or only the timer), 1 readable, 2 writable
    Public Const VOK_STAT_WAIT_FOR As Integer = 32
    ''' ms until the gate opens or the deadline runs out (0: due now); -1 none
    Public Const VOK_STAT_TIMER_MS As Integer = 33
    ''' the Date: line it would send now; result 0
    Public Const VOK_DEBUG_DATE_LINE As Integer = -12
    ''' last reply line (CR LF kept); result: length without it
    Public Const VOK_DEBUG_LAST_REPLY As Integer = 23
    ''' server's address: IPv4 dotted (size must exceed 16) or IPv6
    Public Const VOK_DEBUG_SERVER_IP As Integer = 25
    ''' local address of the connection: IPv4 (size must exceed 16) or IPv6
    Public Const VOK_DEBUG_LOCAL_IP As Integer = 28
    ''' files saved by the last download
    Public Const VOK_DEBUG_SAVED_NAMES As Integer = 29
    ''' last address the server accepted in RCPT TO
    Public Const VOK_DEBUG_LAST_RECIPIENT As Integer = 30
    ''' the library's own message buffer; -47 when none
    Public Const VOK_DEBUG_MESSAGE_BUFFER As Integer = 40
    ''' "TLSv1.3 TLS_AES_256_GCM_SHA384": protocol and cipher
    Public Const VOK_DEBUG_TLS_SESSION As Integer = 41
    ''' the server certificate's subject
    Public Const VOK_DEBUG_TLS_SUBJECT As Integer = 42
    ''' the server's address as text (IPv4 or IPv6)
    Public Const VOK_DEBUG_SERVER_ADDRESS As Integer = 43
    ''' vokDebug's channel for the memory check
    Public Const VOK_MEMORY_SCAN_CHANNEL As Integer = -2

    ''' vokAttach: makes channels 0 .. channels-1 with their default settings and starts the
    ''' socket layer. channels: 0..VOK_MAX_CHANNELS (0 makes none and leaves the library
    ''' detached). Returns 1; VOK_ALREADY_ATTACHED (-72) when attached already;
    ''' VOK_CHANNEL_RANGE (-73) for a count out of range; VOK_NO_MEMORY (-55); a negated WinSock
    ''' code when the socket layer cannot start. Does not block. Library-wide settings are kept
    ''' from before.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokAttach(ByVal channels As Integer) As Integer
    End Function

    ''' vokRelease: shuts every channel's connection (no QUIT), closes its files and log and
    ''' frees it. Returns 1, also when not attached; 0 when a call on another thread never
    ''' returned (nothing is freed then). Blocks only while calls under way on other threads
    ''' return (they are woken at once). Any thread.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokRelease() As Integer
    End Function

    ''' vokDriver: with AutoCall 0, call it (from a loop or a timer) until it returns 0 or a
    ''' negative code; the operation's own result is then read with vokStatistics
    ''' (VOK_STAT_MESSAGE_COUNT, ...). Returns the next state (> 0), VOK_DRIVER_WAIT (9999) when
    ''' the step waits for the server, 0 when done or idle, or the failure code of the operation
    ''' (any negative code above, and -71/-73). A call does not wait for the server: a step that
    ''' reads a reply finds it there or returns; VOK_STAT_WAIT_FOR and VOK_STAT_TIMER_MS tell
    ''' when the next call can make progress.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokDriver(ByVal channel As Integer) As Integer
    End Function

    ''' vokCommand: sends one command line (CR LF is added) on the open session and reads one
    ''' reply (its line: vokDebug VOK_DEBUG_LAST_REPLY). Returns 0 when done; -47 for a NULL
    ''' command; -56 when no session is open; -49/-63 for a refusal; -1, -8, -52 for a lost,
    ''' silent or broken connection.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokCommand(ByVal channel As Integer, ByVal command As String) As Integer
    End Function

    ''' vokClose: sends QUIT (POP3: deletions take effect), closes the socket and any file a
    ''' failed download left open, and frees the channel's texts of the session. Returns 0 or a
    ''' socket failure; the socket is closed either way. Waits for the QUIT reply at most
    ''' MaxResponseWait, never while holding a lock other threads need.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokClose(ByVal channel As Integer) As Integer
    End Function

    ''' vokAbort: stops the channel's operation at once: the socket is shut and a call waiting
    ''' on it returns -1. Returns 1. Never blocks. Any thread.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokAbort(ByVal channel As Integer) As Integer
    End Function

    ''' vokSmtpConnect: connects to server ("host" or a dotted address; the port is
    ''' VOK_PARAM_SMTP_PORT), reads the greeting, sends HELO or EHLO (with AUTH when
    ''' VOK_PARAM_USER_NAME is set). from: the sender, "<me@example.com>" or "Me
    ''' <me@example.com>"; replyTo: NULL or a Reply-To address. Returns 0 when the session is
    ''' open; -50 no server; -56 bad server name; -38 NULL from; -32 a line break in a text; -46
    ''' the name does not resolve; -36 refused or bad greeting; -49 HELO/EHLO/AUTH refused; -8
    ''' no reply in time; socket codes. Blocks with AutoCall 1.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokSmtpConnect(ByVal channel As Integer, ByVal server As String, ByVal from As String, ByVal replyTo As String) As Integer
    End Function

    ''' vokSendEmail: sends one message on the open session. to, cc, bcc: lists of "<addr>" or
    ''' "Name <addr>" items (cc, bcc may be NULL or ""); subject: text; message: the body text,
    ''' or "@path" to send a file's text; attachments: NULL, "" or a list of paths (each
    ''' "path|shown-name" at will). Returns 0 when the server accepted the message; -58 no SMTP
    ''' session; -44 not connected; -45 no recipient; -37, -39, -41, -43, -53, -54, -32 a
    ''' malformed address; -40 no sender; -35 a file cannot be read; -49 a recipient or the data
    ''' refused (VOK_DEBUG_LAST_RECIPIENT tells the last one accepted); -55; -8; socket codes.
    ''' Blocks with AutoCall 1.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokSendEmail(ByVal channel As Integer, ByVal to As String, ByVal cc As String, ByVal bcc As String, ByVal subject As String, ByVal message As String, ByVal attachments As String) As Integer
    End Function

    ''' vokVerifyFormat: checks one address's form offline ("<a@b.c>" or "Name <a@b.c>", RFC
    ''' 5321 4.1.2). Returns 1 when well formed; -47 NULL or "<>"; -37 empty; -41 no '<'; -43 no
    ''' '>'; -39, -53, -54, -32 the fault found. Needs no vokAttach.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokVerifyFormat(ByVal address As String) As Integer
    End Function

    ''' vokVerifyUser: asks the server about each address of userList with VRFY. Returns
    ''' (AutoCall 1) 1 when the last VRFY got 250, else 0; -58 no SMTP session; -45 empty list;
    ''' -32 a line break; -55; socket codes.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokVerifyUser(ByVal channel As Integer, ByVal userList As String) As Integer
    End Function

    ''' vokPop3Connect: connects (port VOK_PARAM_POP3_PORT), reads the greeting and logs in.
    ''' Returns 0 when logged in; -50 no server; -56 bad name; -61 no user; -62 no password; -57
    ''' APOP asked but no timestamp in the greeting; -46; -36; -63 the login refused; -8; socket
    ''' codes.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokPop3Connect(ByVal channel As Integer, ByVal server As String, ByVal user As String, ByVal password As String) As Integer
    End Function

    ''' vokGetEmailCount: STAT. Returns the number of messages (also VOK_STAT_MESSAGE_COUNT);
    ''' -59 no POP3 session; -63; -8; socket codes.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokGetEmailCount(ByVal channel As Integer) As Integer
    End Function

    ''' vokGetEmailSize: LIST message. Returns its size in bytes (also VOK_STAT_MESSAGE_SIZE);
    ''' -64 message < 1; -59; -63; -8; socket codes.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokGetEmailSize(ByVal channel As Integer, ByVal message As Integer) As Integer
    End Function

    ''' vokDeleteEmail: DELE message (takes effect at vokClose). Returns 0; -64; -59; -63; -8;
    ''' socket codes.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokDeleteEmail(ByVal channel As Integer, ByVal message As Integer) As Integer
    End Function

    ''' vokGetEmailUID: UIDL. buffer: size bytes (size >= VOK_MIN_UID_BUFFER), receives at most
    ''' size - 1 characters and a NUL: the message's unique id, or for message < 1 the whole
    ''' list ("n uid" lines). Returns the text's length; -68 NULL buffer; -69 size below 128;
    ''' -59; -63; -8; socket codes.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokGetEmailUID(ByVal channel As Integer, ByVal message As Integer, ByVal buffer As StringBuilder, ByVal size As Integer) As Integer
    End Function

    ''' vokGetEmailLines: TOP message lines: the header and the first lines of the body into
    ''' buffer (size bytes, at least 128; NUL-terminated), or into the library's own buffer of
    ''' size bytes when buffer is NULL or "*" (read it with VOK_DEBUG_MESSAGE_BUFFER or save it
    ''' with VOK_PARAM_SAVE_BUFFER). Returns the bytes placed; -64 message < 1; -69 a buffer of
    ''' the caller below 128 bytes; -59; -63; -55; -8; socket codes.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokGetEmailLines(ByVal channel As Integer, ByVal message As Integer, ByVal lines As Integer, ByVal buffer As StringBuilder, ByVal size As Integer) As Integer
    End Function

    ''' vokGetEmailFile: RETR message into emailDir/fileName, decoded (MIME, base64,
    ''' quoted-printable), each attachment saved in attachDir (names: VOK_DEBUG_SAVED_NAMES);
    ''' VOK_PARAM_RAW_DOWNLOAD 1 writes it undecoded. Returns 0 when the message is saved; -65
    ''' no file name; -66 no email folder; -70 no attachment folder; -67 a file cannot be
    ''' created; -64; -59; -63; -8; socket codes.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokGetEmailFile(ByVal channel As Integer, ByVal message As Integer, ByVal fileName As String, ByVal emailDir As String, ByVal attachDir As String) As Integer
    End Function

    ''' vokIntegerParam: sets integer parameter index (VOK_PARAM_... above) to value. Returns 1;
    ''' -1 for an unknown index; -71; -73. Library-wide parameters also need a valid channel.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokIntegerParam(ByVal channel As Integer, ByVal index As Integer, ByVal value As Integer) As Integer
    End Function

    ''' vokStringParam: sets string parameter index (VOK_PARAM_... above) to a copy of text.
    ''' Returns what the parameter's row says; -1 for an unknown index; -47 for a NULL text;
    ''' -71; -73.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokStringParam(ByVal channel As Integer, ByVal index As Integer, ByVal text As String) As Integer
    End Function

    ''' vokStatistics: reads one value (VOK_STAT_... above). Returns it; -1 for an unknown
    ''' index; -71; -73. Does not block.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokStatistics(ByVal channel As Integer, ByVal index As Integer) As Integer
    End Function

    ''' vokDebug: copies one text (VOK_DEBUG_... above) into buffer. buffer must hold size + 1
    ''' bytes: at most size characters, then a NUL. A NULL buffer returns 0 before anything
    ''' else; otherwise buffer[0] is set to NUL first. Returns the code's result; -71; -73.
    ''' Channel VOK_MEMORY_SCAN_CHANNEL (-2) checks the library's memory blocks for damage
    ''' instead (reported by a message) and returns 0.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokDebug(ByVal channel As Integer, ByVal code As Integer, ByVal buffer As StringBuilder, ByVal size As Integer) As Integer
    End Function

    ''' vokErrorText: the text of code (any result above) into buffer of size bytes (at most
    ''' size - 1 characters and a NUL); for -49, -63 and -36 the server's last reply follows
    ''' after a space (give 1200 bytes or more). Returns the characters placed, 0 for a code
    ''' without text or a NULL buffer; -71; -73.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokErrorText(ByVal channel As Integer, ByVal code As Integer, ByVal buffer As StringBuilder, ByVal size As Integer) As Integer
    End Function

    ''' vokEncodeBuffer: base64 (RFC 2045 6.8) of length bytes of input as lines of 76
    ''' characters, each ended by CR LF; output needs 4*ceil(length/3) + 2*ceil(length/57)
    ''' bytes. No NUL is written. Returns the characters written.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokEncodeBuffer(ByVal input As String, ByVal output As StringBuilder, ByVal length As Integer) As Integer
    End Function

    ''' vokDecodeBuffer: bytes decoded from length characters of base64 text that may be broken
    ''' into lines by CR LF; output needs 3*(length/4) + 4 bytes. Returns the bytes written.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokDecodeBuffer(ByVal text As String, ByVal output As StringBuilder, ByVal length As Integer) As Integer
    End Function

    ''' vokExtractText: copies the line of text holding search, from the match through its LF,
    ''' into buffer of size bytes. Returns the characters copied; 0 when nothing was found or
    ''' the line does not fit.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokExtractText(ByVal text As String, ByVal search As String, ByVal buffer As StringBuilder, ByVal size As Integer) As Integer
    End Function

    ''' vokExtractLine: copies line number (counted from 1) of text through its LF into buffer
    ''' of size bytes. Returns the characters copied; 0 when there is no such line or it does
    ''' not fit.
    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, CharSet:=CharSet.Ansi, ExactSpelling:=True)>
    Public Function vokExtractLine(ByVal text As String, ByVal number As Integer, ByVal buffer As StringBuilder, ByVal size As Integer) As Integer
    End Function
End Module
