// SPDX-License-Identifier: MIT
// Generated from include/vok32.h by scripts/gen-bindings.py: do not edit.
// VOK32 for C#: P/Invoke declarations of VOK32.dll.
using System.Runtime.InteropServices;
using System.Text;

namespace Vok32
{
    public static class Vok
    {
        public const string Dll = "VOK32.dll";

        /// Library version 3.4.2 (one hex digit per part), build 11.
        public const int VOK_VERSION = 834;
        /// the build number (VOK_STAT_BUILD)
        public const int VOK_BUILD = 11;
        /// the major version: 3 for 3.4.2
        public const int VOK_VERSION_MAJOR = 3;
        /// the minor version
        public const int VOK_VERSION_MINOR = 4;
        /// the patch level
        public const int VOK_VERSION_PATCH = 2;
        /// channels vokAttach can make
        public const int VOK_MAX_CHANNELS = 128;
        /// the least size vokGetEmailUID accepts
        public const int VOK_MIN_UID_BUFFER = 128;
        /// success (also the text of code 0 below)
        public const int VOK_OK = 0;
        /// "Cannot comply"
        public const int VOK_CANNOT_COMPLY = 0;
        /// "Socket has been closed." Also: unknown index, abort.
        public const int VOK_SOCKET_CLOSED = -1;
        /// "WINSOCK is currently blocking."
        public const int VOK_WINSOCK_BLOCKING = -4;
        /// "Bad status flag passed to vokStatus."
        public const int VOK_BAD_STATUS_FLAG = -5;
        /// "Invalid socket."
        public const int VOK_INVALID_SOCKET = -7;
        /// "Socket timed out."
        public const int VOK_SOCKET_TIMEOUT = -8;
        /// "No available sockaddr structures."
        public const int VOK_NO_SOCKADDR = -9;
        /// "No host name."
        public const int VOK_NO_HOST_NAME = -12;
        /// "Cannot create socket."
        public const int VOK_CANNOT_CREATE_SOCKET = -18;
        /// "Response buffer has overflowed."
        public const int VOK_RESPONSE_OVERFLOW = -31;
        /// "Bad character in email address."
        public const int VOK_BAD_ADDRESS_CHAR = -32;
        /// "Cannot access WINSOCK"
        public const int VOK_CANNOT_ACCESS_WINSOCK = -34;
        /// "Cannot open file."
        public const int VOK_CANNOT_OPEN_FILE = -35;
        /// "Error attempting to connect." + greeting
        public const int VOK_CONNECT_ERROR = -36;
        /// "EMPTY email address."
        public const int VOK_EMPTY_ADDRESS = -37;
        /// "FromPtr is NULL."
        public const int VOK_FROM_NULL = -38;
        /// "Missing '@' character in email address."
        public const int VOK_MISSING_AT = -39;
        /// "Missing FROM email address."
        public const int VOK_MISSING_FROM = -40;
        /// "Missing '<' delimiter in email address."
        public const int VOK_MISSING_LT = -41;
        /// "Missing '>' terminating email address."
        public const int VOK_MISSING_GT = -43;
        /// "Not connected to server"
        public const int VOK_NOT_CONNECTED = -44;
        /// "Must have at least one recipient."
        public const int VOK_NO_RECIPIENT = -45;
        /// "Cannot find SMTP/POP3 server."
        public const int VOK_SERVER_NOT_FOUND = -46;
        /// "Unexpected NULL pointer."
        public const int VOK_NULL_POINTER = -47;
        /// "ToPtr is NULL."
        public const int VOK_TO_NULL = -48;
        /// "SMTP returned error." + the 4yz/5yz reply
        public const int VOK_SMTP_ERROR = -49;
        /// "SMTP/POP3 server not specified."
        public const int VOK_SERVER_NOT_SPECIFIED = -50;
        /// "Socket read error."
        public const int VOK_SOCKET_READ_ERROR = -51;
        /// "Socket write error."
        public const int VOK_SOCKET_WRITE_ERROR = -52;
        /// "Too many '@' symbols in email address."
        public const int VOK_TOO_MANY_AT = -53;
        /// "Found unexpected '>' character in email address."
        public const int VOK_UNEXPECTED_GT = -54;
        /// "Cannot allocate memory."
        public const int VOK_NO_MEMORY = -55;
        /// "Illegal chars in server name."
        public const int VOK_BAD_SERVER_NAME = -56;
        /// "APOP timestamp missing."
        public const int VOK_APOP_NO_TIMESTAMP = -57;
        /// "SMTP function ONLY."
        public const int VOK_SMTP_ONLY = -58;
        /// "POP3 function ONLY."
        public const int VOK_POP3_ONLY = -59;
        /// "USER name not specified."
        public const int VOK_NO_USER = -61;
        /// "PASSWORD not specified."
        public const int VOK_NO_PASSWORD = -62;
        /// "POP3 returned error." + the -ERR reply
        public const int VOK_POP3_ERROR = -63;
        /// "No such message number."
        public const int VOK_NO_SUCH_MESSAGE = -64;
        /// "Missing filename."
        public const int VOK_MISSING_FILENAME = -65;
        /// "Missing email path."
        public const int VOK_MISSING_EMAIL_PATH = -66;
        /// "Cannot create file."
        public const int VOK_CANNOT_CREATE_FILE = -67;
        /// "Buffer is NULL."
        public const int VOK_BUFFER_NULL = -68;
        /// "Buffer size < 128."
        public const int VOK_BUFFER_TOO_SMALL = -69;
        /// "Missing path for attachments."
        public const int VOK_MISSING_ATTACH_PATH = -70;
        /// "Must call vokAttach first."
        public const int VOK_NOT_ATTACHED = -71;
        /// "Already attached."
        public const int VOK_ALREADY_ATTACHED = -72;
        /// "Channel out of range."
        public const int VOK_CHANNEL_RANGE = -73;
        /// "TLS handshake failed."
        public const int VOK_TLS_HANDSHAKE_FAILED = -80;
        /// "Server certificate is not trusted." (also: expired)
        public const int VOK_TLS_UNTRUSTED = -81;
        /// "Server name does not match its certificate."
        public const int VOK_TLS_NAME_MISMATCH = -82;
        /// "Server does not offer STARTTLS." (or refused STLS)
        public const int VOK_STARTTLS_REFUSED = -83;
        /// "TLS is not available in this build."
        public const int VOK_TLS_UNAVAILABLE = -84;
        /// "Authentication method not offered by the server."
        public const int VOK_AUTH_NOT_OFFERED = -85;
        /// "Interrupted system call."
        public const int VOK_WSAEINTR = -10004;
        /// "Bad file number."
        public const int VOK_WSAEBADF = -10009;
        /// "Access denied."
        public const int VOK_WSAEACCES = -10013;
        /// "Bad address."
        public const int VOK_WSAEFAULT = -10014;
        /// "Invalid argument."
        public const int VOK_WSAEINVAL = -10022;
        /// "Too many open files."
        public const int VOK_WSAEMFILE = -10024;
        /// "Would block socket in non-blocking mode."
        public const int VOK_WSAEWOULDBLOCK = -10035;
        /// "Blocking call already in progress."
        public const int VOK_WSAEINPROGRESS = -10036;
        /// "Operation already completed."
        public const int VOK_WSAEALREADY = -10037;
        /// "Not a valid socket"
        public const int VOK_WSAENOTSOCK = -10038;
        /// "Destination address required."
        public const int VOK_WSAEDESTADDRREQ = -10039;
        /// "Message too big for buffer."
        public const int VOK_WSAEMSGSIZE = -10040;
        /// "Protocol mismatch."
        public const int VOK_WSAEPROTOTYPE = -10041;
        /// "Protocol option invalid."
        public const int VOK_WSAENOPROTOOPT = -10042;
        /// "Protocol not supported."
        public const int VOK_WSAEPROTONOSUPPORT = -10043;
        /// "Socket type not supported."
        public const int VOK_WSAESOCKTNOSUPPORT = -10044;
        /// "Socket operation not supported."
        public const int VOK_WSAEOPNOTSUPP = -10045;
        /// "Socket address family not supported."
        public const int VOK_WSAEAFNOSUPPORT = -10047;
        /// "Socket address already in use."
        public const int VOK_WSAEADDRINUSE = -10048;
        /// "Socket address not available."
        public const int VOK_WSAEADDRNOTAVAIL = -10049;
        /// "Network error."
        public const int VOK_WSAENETDOWN = -10050;
        /// "Cannot reach network."
        public const int VOK_WSAENETUNREACH = -10051;
        /// "Connection dropped."
        public const int VOK_WSAENETRESET = -10052;
        /// "Connection timed-out or aborted."
        public const int VOK_WSAECONNABORTED = -10053;
        /// "Connection reset by remote host."
        public const int VOK_WSAECONNRESET = -10054;
        /// "Out of buffer space."
        public const int VOK_WSAENOBUFS = -10055;
        /// "Socket already connected."
        public const int VOK_WSAEISCONN = -10056;
        /// "Socket not connected."
        public const int VOK_WSAENOTCONN = -10057;
        /// "Socket functionality shut down."
        public const int VOK_WSAESHUTDOWN = -10058;
        /// "Timed-out attempting to connect."
        public const int VOK_WSAETIMEDOUT = -10060;
        /// "Connection refused by remote host."
        public const int VOK_WSAECONNREFUSED = -10061;
        /// "Host is down"
        public const int VOK_WSAEHOSTDOWN = -10064;
        /// "No route to host"
        public const int VOK_WSAEHOSTUNREACH = -10065;
        /// "Network not yet ready."
        public const int VOK_WSASYSNOTREADY = -10091;
        /// "WINSOCK doesn't support requested version."
        public const int VOK_WSAVERNOTSUPPORTED = -10092;
        /// "Sockets not initialized. Call WSAStartup."
        public const int VOK_WSANOTINITIALISED = -10093;
        /// "Host does not exist."
        public const int VOK_WSAHOST_NOT_FOUND = -11001;
        /// "Host not found. Try again."
        public const int VOK_WSATRY_AGAIN = -11002;
        /// "Non-recoverable error has occurred."
        public const int VOK_WSANO_RECOVERY = -11003;
        /// "No data is available."
        public const int VOK_WSANO_DATA = -11004;
        /// not an error: the step had to wait
        public const int VOK_DRIVER_WAIT = 9999;
        /// MinResponseWait. Library, ms, default 25. Pause after a command (and after starting
        /// the connect) before the driver's next step; a step that reads the server's reply
        /// runs as soon as the whole reply has arrived.
        public const int VOK_PARAM_MIN_RESPONSE_WAIT = 1;
        public const int VOK_MIN_RESPONSE_WAIT = VOK_PARAM_MIN_RESPONSE_WAIT;
        /// MaxResponseWait. Library, ms, default 25000. Time allowed for a server reply; past
        /// it the call fails with VOK_SOCKET_TIMEOUT (-8).
        public const int VOK_PARAM_MAX_RESPONSE_WAIT = 2;
        public const int VOK_MAX_RESPONSE_WAIT = VOK_PARAM_MAX_RESPONSE_WAIT;
        /// ConnectWait. Library, ms, default 60000. Time allowed for the TCP connect.
        public const int VOK_PARAM_CONNECT_WAIT = 3;
        public const int VOK_CONNECT_WAIT = VOK_PARAM_CONNECT_WAIT;
        /// SendLineDelay. Library, ms, default 0. Pause after each line of body, message file
        /// or attachment sent.
        public const int VOK_PARAM_SEND_LINE_DELAY = 5;
        public const int VOK_SEND_LINE_DELAY = VOK_PARAM_SEND_LINE_DELAY;
        /// TransferWait. Library, ms, no default of its own: sets both WriteWait (11) and
        /// ReadWait (12).
        public const int VOK_PARAM_TRANSFER_WAIT = 6;
        public const int VOK_TRANSFER_WAIT = VOK_PARAM_TRANSFER_WAIT;
        /// BodyFormat. Channel, 0..15 (value AND 15), default 0. 0 text/plain; 1 text/plain
        /// quoted-printable; 2 text/html (with AlternateText as multipart/alternative); 3
        /// text/enriched; 4 text/plain iso-8859-1 quoted-printable; 9 the CustomContentType
        /// line (string 54).
        public const int VOK_PARAM_BODY_FORMAT = 8;
        public const int VOK_BODY_FORMAT = VOK_PARAM_BODY_FORMAT;
        /// AutoCall. Channel, 0 or 1 (value AND 1), default 1. 1: each call runs its operation
        /// to the end; 0: calls return 0 after setting up and the program runs the operation
        /// with vokDriver. Setting it clears the channel's pending wait.
        public const int VOK_PARAM_AUTO_CALL = 9;
        public const int VOK_AUTO_CALL = VOK_PARAM_AUTO_CALL;
        /// NumberAttachments. Channel, 0 or non-zero, default 0. Non-zero: saved attachment
        /// names get a running number in front ("2-name.pdf").
        public const int VOK_PARAM_NUMBER_ATTACHMENTS = 10;
        public const int VOK_NUMBER_ATTACHMENTS = VOK_PARAM_NUMBER_ATTACHMENTS;
        /// WriteWait. Library, ms, default 25000. Time allowed for the socket to take each
        /// piece of data sent; bounds every send.
        public const int VOK_PARAM_WRITE_WAIT = 11;
        public const int VOK_WRITE_WAIT = VOK_PARAM_WRITE_WAIT;
        /// ReadWait. Library, ms, default 25000. Time to wait for POP3 data (status and message
        /// lines).
        public const int VOK_PARAM_READ_WAIT = 12;
        public const int VOK_READ_WAIT = VOK_PARAM_READ_WAIT;
        /// PollSleep. Library, ms, default 100. Sleep between two readiness polls while a step
        /// waits.
        public const int VOK_PARAM_POLL_SLEEP = 13;
        public const int VOK_POLL_SLEEP = VOK_PARAM_POLL_SLEEP;
        /// SaveUnnamed. Channel, 0 or non-zero, default 0. Non-zero: a base64 part without a
        /// file name is saved anyway (as "noname").
        public const int VOK_PARAM_SAVE_UNNAMED = 14;
        public const int VOK_SAVE_UNNAMED = VOK_PARAM_SAVE_UNNAMED;
        /// SmtpPort. Channel, 16-bit, default 25. Port of vokSmtpConnect.
        public const int VOK_PARAM_SMTP_PORT = 15;
        public const int VOK_SMTP_PORT = VOK_PARAM_SMTP_PORT;
        /// Pop3Port. Channel, 16-bit, default 110. Port of vokPop3Connect.
        public const int VOK_PARAM_POP3_PORT = 16;
        public const int VOK_POP3_PORT = VOK_PARAM_POP3_PORT;
        /// LineLength. Library, characters, default 78. Plain-text lines break at a space from
        /// LineLength - 18 on and always at LineLength (RFC 5322 2.1.1); quoted-printable lines
        /// at LineLength.
        public const int VOK_PARAM_LINE_LENGTH = 17;
        public const int VOK_LINE_LENGTH = VOK_PARAM_LINE_LENGTH;
        /// BlockingConnect. Channel, 0 or non-zero, default 0. Non-zero: the connect blocks
        /// inside one step; 0: the driver waits for it step by step.
        public const int VOK_PARAM_BLOCKING_CONNECT = 18;
        public const int VOK_BLOCKING_CONNECT = VOK_PARAM_BLOCKING_CONNECT;
        /// Pass8Bit. Library, byte, default 0. 0: plain and HTML bodies holding bytes outside
        /// printable ASCII go out quoted-printable; non-zero: as 8bit (unless they hold a NUL).
        public const int VOK_PARAM_PASS_8BIT = 19;
        public const int VOK_PASS_8BIT = VOK_PARAM_PASS_8BIT;
        /// HideAttachNote. Library, byte, default 0. Non-zero: no "[Attachment saved to ...]"
        /// note in the saved message file.
        public const int VOK_PARAM_HIDE_ATTACH_NOTE = 21;
        public const int VOK_HIDE_ATTACH_NOTE = VOK_PARAM_HIDE_ATTACH_NOTE;
        /// HideToHeader. Library, byte, default 0. Non-zero: no "To:" header line is sent.
        public const int VOK_PARAM_HIDE_TO_HEADER = 22;
        public const int VOK_HIDE_TO_HEADER = VOK_PARAM_HIDE_TO_HEADER;
        /// AddressDelimiter. Library, char, default ','. Separates the addresses of the To, CC,
        /// BCC and VRFY lists.
        public const int VOK_PARAM_ADDRESS_DELIMITER = 23;
        public const int VOK_ADDRESS_DELIMITER = VOK_PARAM_ADDRESS_DELIMITER;
        /// WinsockCleanup. Library, byte, default 1. Non-zero: vokRelease calls WSACleanup
        /// (Windows).
        public const int VOK_PARAM_WINSOCK_CLEANUP = 24;
        public const int VOK_WINSOCK_CLEANUP = VOK_PARAM_WINSOCK_CLEANUP;
        /// AttachDelimiter. Library, char, default ','. Separates the attachment files of
        /// vokSendEmail and the names of VOK_DEBUG_SAVED_NAMES.
        public const int VOK_PARAM_ATTACH_DELIMITER = 25;
        public const int VOK_ATTACH_DELIMITER = VOK_PARAM_ATTACH_DELIMITER;
        /// AttachNameDelimiter. Library, char, default '|'. Separates an attachment's path from
        /// the name shown in the message ("a/b.pdf|report.pdf").
        public const int VOK_PARAM_ATTACH_NAME_DELIMITER = 26;
        public const int VOK_ATTACH_NAME_DELIMITER = VOK_PARAM_ATTACH_NAME_DELIMITER;
        /// InlineImages. Channel, byte, default 1. Non-zero: .gif, .bmp, .tif and .jpg
        /// attachments go inline with a Content-ID; 0: all as attachments.
        public const int VOK_PARAM_INLINE_IMAGES = 27;
        public const int VOK_INLINE_IMAGES = VOK_PARAM_INLINE_IMAGES;
        /// RawDownload. Channel, 16-bit, default 0. 1: vokGetEmailFile writes the message as
        /// received, undecoded; any other value: decoded, attachments saved.
        public const int VOK_PARAM_RAW_DOWNLOAD = 28;
        public const int VOK_RAW_DOWNLOAD = VOK_PARAM_RAW_DOWNLOAD;
        /// EsmtpMode. Channel, byte, default 0. Non-zero: EHLO, and AUTH (CRAM-MD5, LOGIN or
        /// PLAIN, RFC 4954) when a user name is set; 0: HELO.
        public const int VOK_PARAM_ESMTP_MODE = 29;
        public const int VOK_ESMTP_MODE = VOK_PARAM_ESMTP_MODE;
        /// UseApop. Channel, byte, default 0. Non-zero: POP3 login by APOP (RFC 1939 7); 0:
        /// USER and PASS.
        public const int VOK_PARAM_USE_APOP = 30;
        public const int VOK_USE_APOP = VOK_PARAM_USE_APOP;
        /// TlsMode. Channel, default 0. 0 plain TCP; 1 STARTTLS required (SMTP: EHLO, STARTTLS,
        /// handshake, EHLO again, RFC 3207; POP3: STLS after the greeting, RFC 2595), implies
        /// EHLO (the AUTH exchange still follows VOK_PARAM_ESMTP_MODE or
        /// VOK_PARAM_AUTH_METHOD); 2 implicit TLS right after the connect (SMTP port 465, POP3
        /// port 995). TLS 1.2 at least; SNI sent for names.
        public const int VOK_PARAM_TLS_MODE = 31;
        public const int VOK_TLS_MODE = VOK_PARAM_TLS_MODE;
        public const int VOK_TLS_PLAIN = 0;
        public const int VOK_TLS_STARTTLS = 1;
        public const int VOK_TLS_IMPLICIT = 2;
        /// TlsVerify. Channel, default 1. 1: the server certificate must chain to a trusted
        /// root, be within its validity period and match the server name (DNS names in
        /// subjectAltName, IP entries for an address); 0: no check (the log says so in a
        /// warning line).
        public const int VOK_PARAM_TLS_VERIFY = 32;
        public const int VOK_TLS_VERIFY = VOK_PARAM_TLS_VERIFY;
        /// AuthMethod. Channel, default 0. 0 chosen as before (the EHLO reply's AUTH list;
        /// USER/PASS or APOP); 1 PLAIN, 2 LOGIN, 3 CRAM-MD5, 4 XOAUTH2. POP3 uses the SASL AUTH
        /// command (RFC 5034) for 1 and 4; -85 when the server does not offer the method.
        public const int VOK_PARAM_AUTH_METHOD = 33;
        public const int VOK_AUTH_METHOD = VOK_PARAM_AUTH_METHOD;
        public const int VOK_AUTH_DEFAULT = 0;
        public const int VOK_AUTH_PLAIN = 1;
        public const int VOK_AUTH_LOGIN = 2;
        public const int VOK_AUTH_CRAM_MD5 = 3;
        public const int VOK_AUTH_XOAUTH2 = 4;
        /// Pipelining. Channel, 0 or 1, default 0. 1: vokSmtpConnect sends EHLO, and when its
        /// reply lists PIPELINING (RFC 2920) vokSendEmail sends MAIL FROM, every RCPT TO and
        /// DATA in one write and reads their replies in order. A refused recipient fails the
        /// call with -49 and its reply, and LastRecipient is the last one accepted before it,
        /// as one at a time; the session stays open when nothing is left in flight (DATA
        /// refused too, or every recipient refused and the "." line sent after a 354), else the
        /// connection is dropped as without pipelining. 0 (or no PIPELINING in the reply): one
        /// command per reply. Other values: -1.
        public const int VOK_PARAM_PIPELINING = 34;
        public const int VOK_PIPELINING = VOK_PARAM_PIPELINING;
        /// LogDetail. Channel, 0 or 1, default 0. 0: the log (VOK_PARAM_LOG_FILE) shows every
        /// byte sent and received; 1: commands, replies and states as before, but not the
        /// message data (the lines of a message sent after DATA, the lines or blocks of a
        /// message downloaded by RETR or TOP) nor the "P: " lines of data looked at ahead
        /// (shown again as "r: " when taken). Other values: -1.
        public const int VOK_PARAM_LOG_DETAIL = 35;
        public const int VOK_LOG_DETAIL = VOK_PARAM_LOG_DETAIL;
        /// ListAll. Channel, 0 or 1, default 0. 1: the first vokGetEmailSize of a session sends
        /// LIST and the first vokGetEmailUID of one message sends UIDL, both without a message
        /// number (RFC 1939 5), and keep every message's answer (message numbers up to 65536);
        /// later calls are answered from them without a command, vokGetEmailUID in the form
        /// "+OK n uid" CR LF as the server gives it. A message the listing lacks is asked about
        /// on its own as with 0. vokDeleteEmail, vokCommand, a new connect and the end of the
        /// connection discard the listings. 0: one LIST n or UIDL n per call. Other values: -1.
        public const int VOK_PARAM_LIST_ALL = 36;
        public const int VOK_LIST_ALL = VOK_PARAM_LIST_ALL;
        /// RawMessage. Channel, default 0. 1: vokSendEmail's message is a prepared message,
        /// header and body (the text, or the file named after an '@'), and goes out as it is:
        /// nothing is composed (no Message-ID, Date, From or MIME lines of the library's),
        /// lines end in CR LF whatever they ended in, a line that begins with a dot gets one
        /// more, and the data ends with "." alone. The To, Cc and Bcc lists give the envelope's
        /// recipients only; the subject and the attachment list are not used. A file that
        /// cannot be read gives -35. Other values: -1.
        public const int VOK_PARAM_RAW_MESSAGE = 37;
        /// LogFile. Channel. Creates (truncates) the file and makes it the channel's trace,
        /// readable by its owner only (POSIX); passwords and login base64 show as "****".
        /// Result: the file handle (> 0), or -1 when the file cannot be created.
        public const int VOK_PARAM_LOG_FILE = 20;
        public const int VOK_LOG_FILE = VOK_PARAM_LOG_FILE;
        /// SaveBuffer. Channel. Writes the library's own message buffer (filled by
        /// vokGetEmailLines with a NULL buffer) to the named file. Result: the bytes written;
        /// -47 without such a buffer; -67 when the file cannot be made.
        public const int VOK_PARAM_SAVE_BUFFER = 41;
        public const int VOK_SAVE_BUFFER = VOK_PARAM_SAVE_BUFFER;
        /// ReplyTo. Channel, up to 128 characters. The Reply-To address (also set by
        /// vokSmtpConnect).
        public const int VOK_PARAM_REPLY_TO = 50;
        public const int VOK_REPLY_TO = VOK_PARAM_REPLY_TO;
        /// UserHeaders. Channel, up to 2048 characters. Extra header lines sent after the
        /// Subject line, separated by CR LF; "" removes them (result 0). Result: 1 + the
        /// distance from the third-last character to the first CR or LF among the last three
        /// (which ends the text), or to the end.
        public const int VOK_PARAM_USER_HEADERS = 51;
        public const int VOK_USER_HEADERS = VOK_PARAM_USER_HEADERS;
        /// LogText. Channel. Writes the text and CR LF to the channel's log. Result: the log
        /// handle, 0 when no log is open.
        public const int VOK_PARAM_LOG_TEXT = 52;
        public const int VOK_LOG_TEXT = VOK_PARAM_LOG_TEXT;
        /// FromAddress. Channel, up to 128 characters. The sender (also set by vokSmtpConnect).
        public const int VOK_PARAM_FROM_ADDRESS = 53;
        public const int VOK_FROM_ADDRESS = VOK_PARAM_FROM_ADDRESS;
        /// CustomContentType. Library, up to 64 characters. The whole Content-Type line used
        /// with BodyFormat 9.
        public const int VOK_PARAM_CUSTOM_CONTENT_TYPE = 54;
        public const int VOK_CUSTOM_CONTENT_TYPE = VOK_PARAM_CUSTOM_CONTENT_TYPE;
        /// CustomEncoding. Library, up to 128 characters. When not empty, the line sent instead
        /// of "Content-Transfer-Encoding: quoted-printable".
        public const int VOK_PARAM_CUSTOM_ENCODING = 55;
        public const int VOK_CUSTOM_ENCODING = VOK_PARAM_CUSTOM_ENCODING;
        /// AddHeader. Channel. Appends one header line to UserHeaders (2048 characters in all).
        /// Result: as for UserHeaders.
        public const int VOK_PARAM_ADD_HEADER = 56;
        public const int VOK_ADD_HEADER = VOK_PARAM_ADD_HEADER;
        /// SmtpPassword. Channel, up to 64 characters. The SMTP AUTH password.
        public const int VOK_PARAM_SMTP_PASSWORD = 57;
        public const int VOK_SMTP_PASSWORD = VOK_PARAM_SMTP_PASSWORD;
        /// UserName. Channel, up to 64 characters. The SMTP AUTH user (AUTH is only tried when
        /// it is set); vokPop3Connect stores its user here too.
        public const int VOK_PARAM_USER_NAME = 58;
        public const int VOK_USER_NAME = VOK_PARAM_USER_NAME;
        /// AlternateText. Channel. The plain-text alternative of an HTML body. Ignored (result
        /// 0) while one is stored. Result: its length.
        public const int VOK_PARAM_ALTERNATE_TEXT = 59;
        public const int VOK_ALTERNATE_TEXT = VOK_PARAM_ALTERNATE_TEXT;
        /// TlsCaFile. Channel. A PEM file of trusted roots used instead of the system's store;
        /// "" returns to the system's store.
        public const int VOK_PARAM_TLS_CA_FILE = 60;
        public const int VOK_TLS_CA_FILE = VOK_PARAM_TLS_CA_FILE;
        /// OAuthToken. Channel, up to 8192 characters (a tracked block). The bearer token of
        /// XOAUTH2; the user name is the account. Never logged. Result: its length.
        public const int VOK_PARAM_OAUTH_TOKEN = 61;
        public const int VOK_OAUTH_TOKEN = VOK_PARAM_OAUTH_TOKEN;
        /// Charset. Channel, up to 40 characters, default "utf-8" (Windows: the ANSI code
        /// page's name, "windows-1252", ...). The charset of the texts given to vokSendEmail
        /// (body, subject, display names, attachment names), declared wherever a part or a
        /// header holds bytes of 128 or more. "" restores the default. Result: its length; -32
        /// for a character a charset name cannot hold (RFC 2978: letters, digits and ! # $ & +
        /// - ^ _ ` { } ~ . :).
        public const int VOK_PARAM_CHARSET = 62;
        public const int VOK_CHARSET = VOK_PARAM_CHARSET;
        /// RawCopyDir. Channel, a folder (up to a whole path), default "" = off.
        /// vokGetEmailFile also writes the message as the server sent it (dot-unstuffed, CR LF
        /// kept) to <RawCopyDir>/<EmailName>.eml, under a temporary name until the download is
        /// complete; an existing file is never overwritten (the copy is then named "<EmailName>
        /// (2).eml"). Result: its length.
        public const int VOK_PARAM_RAW_COPY_DIR = 63;
        public const int VOK_RAW_COPY_DIR = VOK_PARAM_RAW_COPY_DIR;
        /// EnvelopeFrom. Channel, up to 128 characters, default "" = the address of
        /// FromAddress. The reverse path of MAIL FROM (RFC 5321 section 4.1.1.2), apart from
        /// the From header: "user@host", "<user@host>", or "<>" for the null sender of a
        /// notification. Result: its length; -32 for a line break, a space outside the brackets
        /// or a second "<".
        public const int VOK_PARAM_ENVELOPE_FROM = 64;
        /// HeloName. Channel, up to 128 characters, default "" = the domain of the sender's
        /// address. The name HELO or EHLO gives for this client (RFC 5321 section 4.1.1.1): a
        /// host name or an address literal such as "[192.0.2.1]". Result: its length; -32 for a
        /// space, a control character or a character above 126.
        public const int VOK_PARAM_HELO_NAME = 65;
        /// driver steps taken since vokAttach
        public const int VOK_STAT_STEP_COUNT = 2;
        /// last reply's code (POP3: 100 for "+OK", 500 otherwise)
        public const int VOK_STAT_REPLY_CODE = 3;
        /// socket-level code of the last failure, 0 when none
        public const int VOK_STAT_SOCK_CODE = 4;
        /// body bytes read (send) or received (download)
        public const int VOK_STAT_BODY_BYTES_READ = 10;
        /// attachment bytes read or decoded
        public const int VOK_STAT_ATTACH_BYTES_READ = 11;
        /// body + attachment bytes read
        public const int VOK_STAT_BYTES_READ = 12;
        /// body bytes sent, with line ends
        public const int VOK_STAT_BODY_BYTES_SENT = 13;
        /// attachment bytes sent, with line ends
        public const int VOK_STAT_ATTACH_BYTES_SENT = 14;
        /// body + attachment bytes sent
        public const int VOK_STAT_BYTES_SENT = 15;
        /// VOK_VERSION: 0x342 for 3.4.2
        public const int VOK_STAT_VERSION = 16;
        /// count from the last vokGetEmailCount
        public const int VOK_STAT_MESSAGE_COUNT = 17;
        /// size from the last vokGetEmailSize
        public const int VOK_STAT_MESSAGE_SIZE = 18;
        /// characters placed by vokGetEmailLines/UID
        public const int VOK_STAT_BUFFER_LENGTH = 19;
        /// 1 connected, 0 not, -36 the socket is in error
        public const int VOK_STAT_CONNECTED = 20;
        /// attachments saved by the last download
        public const int VOK_STAT_ATTACH_COUNT = 22;
        /// 1 when the last VRFY got 250, else 0
        public const int VOK_STAT_VERIFY_RESULT = 24;
        /// VOK_BUILD
        public const int VOK_STAT_BUILD = 26;
        /// the socket handle (select/poll on it), 0 when none
        public const int VOK_STAT_SOCKET = 27;
        /// 1 while the connection is encrypted, else 0
        public const int VOK_STAT_TLS_ACTIVE = 30;
        /// 0x0303 TLS 1.2, 0x0304 TLS 1.3, 0 without TLS
        public const int VOK_STAT_TLS_VERSION = 31;
        /// 0 nothing (or only the timer), 1 readable, 2 writable
        public const int VOK_STAT_WAIT_FOR = 32;
        /// ms until the gate opens or the deadline runs out (0: due now); -1 none
        public const int VOK_STAT_TIMER_MS = 33;
        /// the Date: line it would send now; result 0
        public const int VOK_DEBUG_DATE_LINE = -12;
        /// last reply line (CR LF kept); result: length without it
        public const int VOK_DEBUG_LAST_REPLY = 23;
        /// server's address: IPv4 dotted (size must exceed 16) or IPv6
        public const int VOK_DEBUG_SERVER_IP = 25;
        /// local address of the connection: IPv4 (size must exceed 16) or IPv6
        public const int VOK_DEBUG_LOCAL_IP = 28;
        /// files saved by the last download
        public const int VOK_DEBUG_SAVED_NAMES = 29;
        /// last address the server accepted in RCPT TO
        public const int VOK_DEBUG_LAST_RECIPIENT = 30;
        /// the library's own message buffer; -47 when none
        public const int VOK_DEBUG_MESSAGE_BUFFER = 40;
        /// "TLSv1.3 TLS_AES_256_GCM_SHA384": protocol and cipher
        public const int VOK_DEBUG_TLS_SESSION = 41;
        /// the server certificate's subject
        public const int VOK_DEBUG_TLS_SUBJECT = 42;
        /// the server's address as text (IPv4 or IPv6)
        public const int VOK_DEBUG_SERVER_ADDRESS = 43;
        /// vokDebug's channel for the memory check
        public const int VOK_MEMORY_SCAN_CHANNEL = -2;

        /// vokAttach: makes channels 0 .. channels-1 with their default settings and starts the
        /// socket layer. channels: 0..VOK_MAX_CHANNELS (0 makes none and leaves the library
        /// detached). Returns 1; VOK_ALREADY_ATTACHED (-72) when attached already;
        /// VOK_CHANNEL_RANGE (-73) for a count out of range; VOK_NO_MEMORY (-55); a negated
        /// WinSock code when the socket layer cannot start. Does not block. Library-wide
        /// settings are kept from before.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokAttach(int channels);

        /// vokRelease: shuts every channel's connection (no QUIT), closes its files and log and
        /// frees it. Returns 1, also when not attached; 0 when a call on another thread never
        /// returned (nothing is freed then). Blocks only while calls under way on other threads
        /// return (they are woken at once). Any thread.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokRelease();

        /// vokDriver: with AutoCall 0, call it (from a loop or a timer) until it returns 0 or a
        /// negative code; the operation's own result is then read with vokStatistics
        /// (VOK_STAT_MESSAGE_COUNT, ...). Returns the next state (> 0), VOK_DRIVER_WAIT (9999)
        /// when the step waits for the server, 0 when done or idle, or the failure code of the
        /// operation (any negative code above, and -71/-73). A call does not wait for the
        /// server: a step that reads a reply finds it there or returns; VOK_STAT_WAIT_FOR and
        /// VOK_STAT_TIMER_MS tell when the next call can make progress.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokDriver(int channel);

        /// vokCommand: sends one command line (CR LF is added) on the open session and reads
        /// one reply (its line: vokDebug VOK_DEBUG_LAST_REPLY). Returns 0 when done; -47 for a
        /// NULL command; -56 when no session is open; -49/-63 for a refusal; -1, -8, -52 for a
        /// lost, silent or broken connection.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokCommand(int channel, string command);

        /// vokClose: sends QUIT (POP3: deletions take effect), closes the socket and any file a
        /// failed download left open, and frees the channel's texts of the session. Returns 0
        /// or a socket failure; the socket is closed either way. Waits for the QUIT reply at
        /// most MaxResponseWait, never while holding a lock other threads need.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokClose(int channel);

        /// vokAbort: stops the channel's operation at once: the socket is shut and a call
        /// waiting on it returns -1. Returns 1. Never blocks. Any thread.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokAbort(int channel);

        /// vokSmtpConnect: connects to server ("host" or a dotted address; the port is
        /// VOK_PARAM_SMTP_PORT), reads the greeting, sends HELO or EHLO (with AUTH when
        /// VOK_PARAM_USER_NAME is set). from: the sender, "<me@example.com>" or "Me
        /// <me@example.com>"; replyTo: NULL or a Reply-To address. Returns 0 when the session
        /// is open; -50 no server; -56 bad server name; -38 NULL from; -32 a line break in a
        /// text; -46 the name does not resolve; -36 refused or bad greeting; -49 HELO/EHLO/AUTH
        /// refused; -8 no reply in time; socket codes. Blocks with AutoCall 1.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokSmtpConnect(int channel, string server, string from, string replyTo);

        /// vokSendEmail: sends one message on the open session. to, cc, bcc: lists of "<addr>"
        /// or "Name <addr>" items (cc, bcc may be NULL or ""); subject: text; message: the body
        /// text, or "@path" to send a file's text; attachments: NULL, "" or a list of paths
        /// (each "path|shown-name" at will). Returns 0 when the server accepted the message;
        /// -58 no SMTP session; -44 not connected; -45 no recipient; -37, -39, -41, -43, -53,
        /// -54, -32 a malformed address; -40 no sender; -35 a file cannot be read; -49 a
        /// recipient or the data refused (VOK_DEBUG_LAST_RECIPIENT tells the last one
        /// accepted); -55; -8; socket codes. Blocks with AutoCall 1.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokSendEmail(int channel, string to, string cc, string bcc, string subject, string message, string attachments);

        /// vokVerifyFormat: checks one address's form offline ("<a@b.c>" or "Name <a@b.c>", RFC
        /// 5321 4.1.2). Returns 1 when well formed; -47 NULL or "<>"; -37 empty; -41 no '<';
        /// -43 no '>'; -39, -53, -54, -32 the fault found. Needs no vokAttach.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokVerifyFormat(string address);

        /// vokVerifyUser: asks the server about each address of userList with VRFY. Returns
        /// (AutoCall 1) 1 when the last VRFY got 250, else 0; -58 no SMTP session; -45 empty
        /// list; -32 a line break; -55; socket codes.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokVerifyUser(int channel, string userList);

        /// vokPop3Connect: connects (port VOK_PARAM_POP3_PORT), reads the greeting and logs in.
        /// Returns 0 when logged in; -50 no server; -56 bad name; -61 no user; -62 no password;
        /// -57 APOP asked but no timestamp in the greeting; -46; -36; -63 the login refused;
        /// -8; socket codes.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokPop3Connect(int channel, string server, string user, string password);

        /// vokGetEmailCount: STAT. Returns the number of messages (also
        /// VOK_STAT_MESSAGE_COUNT); -59 no POP3 session; -63; -8; socket codes.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokGetEmailCount(int channel);

        /// vokGetEmailSize: LIST message. Returns its size in bytes (also
        /// VOK_STAT_MESSAGE_SIZE); -64 message < 1; -59; -63; -8; socket codes.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokGetEmailSize(int channel, int message);

        /// vokDeleteEmail: DELE message (takes effect at vokClose). Returns 0; -64; -59; -63;
        /// -8; socket codes.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokDeleteEmail(int channel, int message);

        /// vokGetEmailUID: UIDL. buffer: size bytes (size >= VOK_MIN_UID_BUFFER), receives at
        /// most size - 1 characters and a NUL: the message's unique id, or for message < 1 the
        /// whole list ("n uid" lines). Returns the text's length; -68 NULL buffer; -69 size
        /// below 128; -59; -63; -8; socket codes.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokGetEmailUID(int channel, int message, StringBuilder buffer, int size);

        /// vokGetEmailLines: TOP message lines: the header and the first lines of the body into
        /// buffer (size bytes, at least 128; NUL-terminated), or into the library's own buffer
        /// of size bytes when buffer is NULL or "*" (read it with VOK_DEBUG_MESSAGE_BUFFER or
        /// save it with VOK_PARAM_SAVE_BUFFER). Returns the bytes placed; -64 message < 1; -69
        /// a buffer of the caller below 128 bytes; -59; -63; -55; -8; socket codes.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokGetEmailLines(int channel, int message, int lines, StringBuilder buffer, int size);

        /// vokGetEmailFile: RETR message into emailDir/fileName, decoded (MIME, base64,
        /// quoted-printable), each attachment saved in attachDir (names:
        /// VOK_DEBUG_SAVED_NAMES); VOK_PARAM_RAW_DOWNLOAD 1 writes it undecoded. Returns 0 when
        /// the message is saved; -65 no file name; -66 no email folder; -70 no attachment
        /// folder; -67 a file cannot be created; -64; -59; -63; -8; socket codes.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokGetEmailFile(int channel, int message, string fileName, string emailDir, string attachDir);

        /// vokIntegerParam: sets integer parameter index (VOK_PARAM_... above) to value.
        /// Returns 1; -1 for an unknown index; -71; -73. Library-wide parameters also need a
        /// valid channel.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokIntegerParam(int channel, int index, int value);

        /// vokStringParam: sets string parameter index (VOK_PARAM_... above) to a copy of text.
        /// Returns what the parameter's row says; -1 for an unknown index; -47 for a NULL text;
        /// -71; -73.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokStringParam(int channel, int index, string text);

        /// vokStatistics: reads one value (VOK_STAT_... above). Returns it; -1 for an unknown
        /// index; -71; -73. Does not block.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokStatistics(int channel, int index);

        /// vokDebug: copies one text (VOK_DEBUG_... above) into buffer. buffer must hold size +
        /// 1 bytes: at most size characters, then a NUL. A NULL buffer returns 0 before
        /// anything else; otherwise buffer[0] is set to NUL first. Returns the code's result;
        /// -71; -73. Channel VOK_MEMORY_SCAN_CHANNEL (-2) checks the library's memory blocks
        /// for damage instead (reported by a message) and returns 0.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokDebug(int channel, int code, StringBuilder buffer, int size);

        /// vokErrorText: the text of code (any result above) into buffer of size bytes (at most
        /// size - 1 characters and a NUL); for -49, -63 and -36 the server's last reply follows
        /// after a space (give 1200 bytes or more). Returns the characters placed, 0 for a code
        /// without text or a NULL buffer; -71; -73.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokErrorText(int channel, int code, StringBuilder buffer, int size);

        /// vokEncodeBuffer: base64 (RFC 2045 6.8) of length bytes of input as lines of 76
        /// characters, each ended by CR LF; output needs 4*ceil(length/3) + 2*ceil(length/57)
        /// bytes. No NUL is written. Returns the characters written.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokEncodeBuffer(string input, StringBuilder output, int length);

        /// vokDecodeBuffer: bytes decoded from length characters of base64 text that may be
        /// broken into lines by CR LF; output needs 3*(length/4) + 4 bytes. Returns the bytes
        /// written.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokDecodeBuffer(string text, StringBuilder output, int length);

        /// vokExtractText: copies the line of text holding search, from the match through its
        /// LF, into buffer of size bytes. Returns the characters copied; 0 when nothing was
        /// found or the line does not fit.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokExtractText(string text, string search, StringBuilder buffer, int size);

        /// vokExtractLine: copies line number (counted from 1) of text through its LF into
        /// buffer of size bytes. Returns the characters copied; 0 when there is no such line or
        /// it does not fit.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int vokExtractLine(string text, int number, StringBuilder buffer, int size);
    }
}
