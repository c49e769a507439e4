# SPDX-License-Identifier: MIT
"""Generated from include/vok32.h by scripts/gen-bindings.py: do not edit."""

# Every named constant of vok32.h.
VOK_VERSION = 834
VOK_BUILD = 11
VOK_VERSION_MAJOR = 3
VOK_VERSION_MINOR = 4
VOK_VERSION_PATCH = 2
VOK_MAX_CHANNELS = 128
VOK_MIN_UID_BUFFER = 128
VOK_OK = 0
VOK_CANNOT_COMPLY = 0
VOK_SOCKET_CLOSED = -1
VOK_WINSOCK_BLOCKING = -4
VOK_BAD_STATUS_FLAG = -5
VOK_INVALID_SOCKET = -7
VOK_SOCKET_TIMEOUT = -8
VOK_NO_SOCKADDR = -9
VOK_NO_HOST_NAME = -12
VOK_CANNOT_CREATE_SOCKET = -18
VOK_RESPONSE_OVERFLOW = -31
VOK_BAD_ADDRESS_CHAR = -32
VOK_CANNOT_ACCESS_WINSOCK = -34
VOK_CANNOT_OPEN_FILE = -35
VOK_CONNECT_ERROR = -36
VOK_EMPTY_ADDRESS = -37
VOK_FROM_NULL = -38
VOK_MISSING_AT = -39
VOK_MISSING_FROM = -40
VOK_MISSING_LT = -41
VOK_MISSING_GT = -43
VOK_NOT_CONNECTED = -44
VOK_NO_RECIPIENT = -45
VOK_SERVER_NOT_FOUND = -46
VOK_NULL_POINTER = -47
VOK_TO_NULL = -48
VOK_SMTP_ERROR = -49
VOK_SERVER_NOT_SPECIFIED = -50
VOK_SOCKET_READ_ERROR = -51
VOK_SOCKET_WRITE_ERROR = -52
VOK_TOO_MANY_AT = -53
VOK_UNEXPECTED_GT = -54
VOK_NO_MEMORY = -55
VOK_BAD_SERVER_NAME = -56
VOK_APOP_NO_TIMESTAMP = -57
VOK_SMTP_ONLY = -58
VOK_POP3_ONLY = -59
VOK_NO_USER = -61
VOK_NO_PASSWORD = -62
VOK_POP3_ERROR = -63
VOK_NO_SUCH_MESSAGE = -64
VOK_MISSING_FILENAME = -65
VOK_MISSING_EMAIL_PATH = -66
VOK_CANNOT_CREATE_FILE = -67
VOK_BUFFER_NULL = -68
VOK_BUFFER_TOO_SMALL = -69
VOK_MISSING_ATTACH_PATH = -70
VOK_NOT_ATTACHED = -71
VOK_ALREADY_ATTACHED = -72
VOK_CHANNEL_RANGE = -73
VOK_TLS_HANDSHAKE_FAILED = -80
VOK_TLS_UNTRUSTED = -81
VOK_TLS_NAME_MISMATCH = -82
VOK_STARTTLS_REFUSED = -83
VOK_TLS_UNAVAILABLE = -84
VOK_AUTH_NOT_OFFERED = -85
VOK_WSAEINTR = -10004
VOK_WSAEBADF = -10009
VOK_WSAEACCES = -10013
VOK_WSAEFAULT = -10014
VOK_WSAEINVAL = -10022
VOK_WSAEMFILE = -10024
VOK_WSAEWOULDBLOCK = -10035
VOK_WSAEINPROGRESS = -10036
VOK_WSAEALREADY = -10037
VOK_WSAENOTSOCK = -10038
VOK_WSAEDESTADDRREQ = -10039
VOK_WSAEMSGSIZE = -10040
VOK_WSAEPROTOTYPE = -10041
VOK_WSAENOPROTOOPT = -10042
VOK_WSAEPROTONOSUPPORT = -10043
VOK_WSAESOCKTNOSUPPORT = -10044
VOK_WSAEOPNOTSUPP = -10045
VOK_WSAEAFNOSUPPORT = -10047
VOK_WSAEADDRINUSE = -10048
VOK_WSAEADDRNOTAVAIL = -10049
VOK_WSAENETDOWN = -10050
VOK_WSAENETUNREACH = -10051
VOK_WSAENETRESET = -10052
VOK_WSAECONNABORTED = -10053
VOK_WSAECONNRESET = -10054
VOK_WSAENOBUFS = -10055
VOK_WSAEISCONN = -10056
VOK_WSAENOTCONN = -10057
VOK_WSAESHUTDOWN = -10058
VOK_WSAETIMEDOUT = -10060
VOK_WSAECONNREFUSED = -10061
VOK_WSAEHOSTDOWN = -10064
VOK_WSAEHOSTUNREACH = -10065
VOK_WSASYSNOTREADY = -10091
VOK_WSAVERNOTSUPPORTED = -10092
VOK_WSANOTINITIALISED = -10093
VOK_WSAHOST_NOT_FOUND = -11001
VOK_WSATRY_AGAIN = -11002
VOK_WSANO_RECOVERY = -11003
VOK_WSANO_DATA = -11004
VOK_DRIVER_WAIT = 9999
VOK_PARAM_MIN_RESPONSE_WAIT = 1
VOK_MIN_RESPONSE_WAIT = VOK_PARAM_MIN_RESPONSE_WAIT
VOK_PARAM_MAX_RESPONSE_WAIT = 2
VOK_MAX_RESPONSE_WAIT = VOK_PARAM_MAX_RESPONSE_WAIT
VOK_PARAM_CONNECT_WAIT = 3
VOK_CONNECT_WAIT = VOK_PARAM_CONNECT_WAIT
VOK_PARAM_SEND_LINE_DELAY = 5
VOK_SEND_LINE_DELAY = VOK_PARAM_SEND_LINE_DELAY
VOK_PARAM_TRANSFER_WAIT = 6
VOK_TRANSFER_WAIT = VOK_PARAM_TRANSFER_WAIT
VOK_PARAM_BODY_FORMAT = 8
VOK_BODY_FORMAT = VOK_PARAM_BODY_FORMAT
VOK_PARAM_AUTO_CALL = 9
VOK_AUTO_CALL = VOK_PARAM_AUTO_CALL
VOK_PARAM_NUMBER_ATTACHMENTS = 10
VOK_NUMBER_ATTACHMENTS = VOK_PARAM_NUMBER_ATTACHMENTS
VOK_PARAM_WRITE_WAIT = 11
VOK_WRITE_WAIT = VOK_PARAM_WRITE_WAIT
VOK_PARAM_READ_WAIT = 12
VOK_READ_WAIT = VOK_PARAM_READ_WAIT
VOK_PARAM_POLL_SLEEP = 13
VOK_POLL_SLEEP = VOK_PARAM_POLL_SLEEP
VOK_PARAM_SAVE_UNNAMED = 14
VOK_SAVE_UNNAMED = VOK_PARAM_SAVE_UNNAMED
VOK_PARAM_SMTP_PORT = 15
VOK_SMTP_PORT = VOK_PARAM_SMTP_PORT
VOK_PARAM_POP3_PORT = 16
VOK_POP3_PORT = VOK_PARAM_POP3_PORT
VOK_PARAM_LINE_LENGTH = 17
VOK_LINE_LENGTH = VOK_PARAM_LINE_LENGTH
VOK_PARAM_BLOCKING_CONNECT = 18
VOK_BLOCKING_CONNECT = VOK_PARAM_BLOCKING_CONNECT
VOK_PARAM_PASS_8BIT = 19
VOK_PASS_8BIT = VOK_PARAM_PASS_8BIT
VOK_PARAM_HIDE_ATTACH_NOTE = 21
VOK_HIDE_ATTACH_NOTE = VOK_PARAM_HIDE_ATTACH_NOTE
VOK_PARAM_HIDE_TO_HEADER = 22
VOK_HIDE_TO_HEADER = VOK_PARAM_HIDE_TO_HEADER
VOK_PARAM_ADDRESS_DELIMITER = 23
VOK_ADDRESS_DELIMITER = VOK_PARAM_ADDRESS_DELIMITER
VOK_PARAM_WINSOCK_CLEANUP = 24
VOK_WINSOCK_CLEANUP = VOK_PARAM_WINSOCK_CLEANUP
VOK_PARAM_ATTACH_DELIMITER = 25
VOK_ATTACH_DELIMITER = VOK_PARAM_ATTACH_DELIMITER
VOK_PARAM_ATTACH_NAME_DELIMITER = 26
VOK_ATTACH_NAME_DELIMITER = VOK_PARAM_ATTACH_NAME_DELIMITER
VOK_PARAM_INLINE_IMAGES = 27
VOK_INLINE_IMAGES = VOK_PARAM_INLINE_IMAGES
VOK_PARAM_RAW_DOWNLOAD = 28
VOK_RAW_DOWNLOAD = VOK_PARAM_RAW_DOWNLOAD
VOK_PARAM_ESMTP_MODE = 29
VOK_ESMTP_MODE = VOK_PARAM_ESMTP_MODE
VOK_PARAM_USE_APOP = 30
VOK_USE_APOP = VOK_PARAM_USE_APOP
VOK_PARAM_TLS_MODE = 31
VOK_TLS_MODE = VOK_PARAM_TLS_MODE
VOK_TLS_PLAIN = 0
VOK_TLS_STARTTLS = 1
VOK_TLS_IMPLICIT = 2
VOK_PARAM_TLS_VERIFY = 32
VOK_TLS_VERIFY = VOK_PARAM_TLS_VERIFY
VOK_PARAM_AUTH_METHOD = 33
VOK_AUTH_METHOD = VOK_PARAM_AUTH_METHOD
VOK_AUTH_DEFAULT = 0
VOK_AUTH_PLAIN = 1
VOK_AUTH_LOGIN = 2
VOK_AUTH_CRAM_MD5 = 3
VOK_AUTH_XOAUTH2 = 4
VOK_PARAM_PIPELINING = 34
VOK_PIPELINING = VOK_PARAM_PIPELINING
VOK_PARAM_LOG_DETAIL = 35
VOK_LOG_DETAIL = VOK_PARAM_LOG_DETAIL
VOK_PARAM_LIST_ALL = 36
VOK_LIST_ALL = VOK_PARAM_LIST_ALL
VOK_PARAM_RAW_MESSAGE = 37
VOK_PARAM_LOG_FILE = 20
VOK_LOG_FILE = VOK_PARAM_LOG_FILE
VOK_PARAM_SAVE_BUFFER = 41
VOK_SAVE_BUFFER = VOK_PARAM_SAVE_BUFFER
VOK_PARAM_REPLY_TO = 50
VOK_REPLY_TO = VOK_PARAM_REPLY_TO
VOK_PARAM_USER_HEADERS = 51
VOK_USER_HEADERS = VOK_PARAM_USER_HEADERS
VOK_PARAM_LOG_TEXT = 52
VOK_LOG_TEXT = VOK_PARAM_LOG_TEXT
VOK_PARAM_FROM_ADDRESS = 53
VOK_FROM_ADDRESS = VOK_PARAM_FROM_ADDRESS
VOK_PARAM_CUSTOM_CONTENT_TYPE = 54
VOK_CUSTOM_CONTENT_TYPE = VOK_PARAM_CUSTOM_CONTENT_TYPE
VOK_PARAM_CUSTOM_ENCODING = 55
VOK_CUSTOM_ENCODING = VOK_PARAM_CUSTOM_ENCODING
VOK_PARAM_ADD_HEADER = 56
VOK_ADD_HEADER = VOK_PARAM_ADD_HEADER
VOK_PARAM_SMTP_PASSWORD = 57
VOK_SMTP_PASSWORD = VOK_PARAM_SMTP_PASSWORD
VOK_PARAM_USER_NAME = 58
VOK_USER_NAME = VOK_PARAM_USER_NAME
VOK_PARAM_ALTERNATE_TEXT = 59
VOK_ALTERNATE_TEXT = VOK_PARAM_ALTERNATE_TEXT
VOK_PARAM_TLS_CA_FILE = 60
VOK_TLS_CA_FILE = VOK_PARAM_TLS_CA_FILE
VOK_PARAM_OAUTH_TOKEN = 61
VOK_OAUTH_TOKEN = VOK_PARAM_OAUTH_TOKEN
VOK_PARAM_CHARSET = 62
VOK_CHARSET = VOK_PARAM_CHARSET
VOK_PARAM_RAW_COPY_DIR = 63
VOK_RAW_COPY_DIR = VOK_PARAM_RAW_COPY_DIR
VOK_PARAM_ENVELOPE_FROM = 64
VOK_PARAM_HELO_NAME = 65
VOK_STAT_STEP_COUNT = 2
VOK_STAT_REPLY_CODE = 3
VOK_STAT_SOCK_CODE = 4
VOK_STAT_BODY_BYTES_READ = 10
VOK_STAT_ATTACH_BYTES_READ = 11
VOK_STAT_BYTES_READ = 12
VOK_STAT_BODY_BYTES_SENT = 13
VOK_STAT_ATTACH_BYTES_SENT = 14
VOK_STAT_BYTES_SENT = 15
VOK_STAT_VERSION = 16
VOK_STAT_MESSAGE_COUNT = 17
VOK_STAT_MESSAGE_SIZE = 18
VOK_STAT_BUFFER_LENGTH = 19
VOK_STAT_CONNECTED = 20
VOK_STAT_ATTACH_COUNT = 22
VOK_STAT_VERIFY_RESULT = 24
VOK_STAT_BUILD = 26
VOK_STAT_SOCKET = 27
VOK_STAT_TLS_ACTIVE = 30
VOK_STAT_TLS_VERSION = 31
VOK_STAT_WAIT_FOR = 32
VOK_STAT_TIMER_MS = 33
VOK_DEBUG_DATE_LINE = -12
VOK_DEBUG_LAST_REPLY = 23
VOK_DEBUG_SERVER_IP = 25
VOK_DEBUG_LOCAL_IP = 28
VOK_DEBUG_SAVED_NAMES = 29
VOK_DEBUG_LAST_RECIPIENT = 30
VOK_DEBUG_MESSAGE_BUFFER = 40
VOK_DEBUG_TLS_SESSION = 41
VOK_DEBUG_TLS_SUBJECT = 42
VOK_DEBUG_SERVER_ADDRESS = 43
VOK_MEMORY_SCAN_CHANNEL = -2

# The text vokErrorText gives for each result code.
ERROR_TEXTS = {
    0: 'Cannot comply',
    -1: 'Socket has been closed.',
    -4: 'WINSOCK is currently blocking.',
    -5: 'Bad status flag passed to vokStatus.',
    -7: 'Invalid socket.',
    -8: 'Socket timed out.',
    -9: 'No available sockaddr structures.',
    -12: 'No host name.',
    -18: 'Cannot create socket.',
    -31: 'Response buffer has overflowed.',
    -32: 'Bad character in email address.',
    -34: 'Cannot access WINSOCK',
    -35: 'Cannot open file.',
    -36: 'Error attempting to connect.',
    -37: 'EMPTY email address.',
    -38: 'FromPtr is NULL.',
    -39: "Missing '@' character in email address.",
    -40: 'Missing FROM email address.',
    -41: "Missing '<' delimiter in email address.",
    -43: "Missing '>' terminating email address.",
    -44: 'Not connected to server',
    -45: 'Must have at least one recipient.',
    -46: 'Cannot find SMTP/POP3 server.',
    -47: 'Unexpected NULL pointer.',
    -48: 'ToPtr is NULL.',
    -49: 'SMTP returned error.',
    -50: 'SMTP/POP3 server not specified.',
    -51: 'Socket read error.',
    -52: 'Socket write error.',
    -53: "Too many '@' symbols in email address.",
    -54: "Found unexpected '>' character in email address.",
    -55: 'Cannot allocate memory.',
    -56: 'Illegal chars in server name.',
    -57: 'APOP timestamp missing.',
    -58: 'SMTP function ONLY.',
    -59: 'POP3 function ONLY.',
    -61: 'USER name not specified.',
    -62: 'PASSWORD not specified.',
    -63: 'POP3 returned error.',
    -64: 'No such message number.',
    -65: 'Missing filename.',
    -66: 'Missing email path.',
    -67: 'Cannot create file.',
    -68: 'Buffer is NULL.',
    -69: 'Buffer size < 128.',
    -70: 'Missing path for attachments.',
    -71: 'Must call vokAttach first.',
    -72: 'Already attached.',
    -73: 'Channel out of range.',
    -80: 'TLS handshake failed.',
    -81: 'Server certificate is not trusted.',
    -82: 'Server name does not match its certificate.',
    -83: 'Server does not offer STARTTLS.',
    -84: 'TLS is not available in this build.',
    -85: 'Authentication method not offered by the server.',
    -10004: 'Interrupted system call.',
    -10009: 'Bad file number.',
    -10013: 'Access denied.',
    -10014: 'Bad address.',
    -10022: 'Invalid argument.',
    -10024: 'Too many open files.',
    -10035: 'Would block socket in non-blocking mode.',
    -10036: 'Blocking call already in progress.',
    -10037: 'Operation already completed.',
    -10038: 'Not a valid socket',
    -10039: 'Destination address required.',
    -10040: 'Message too big for buffer.',
    -10041: 'Protocol mismatch.',
    -10042: 'Protocol option invalid.',
    -10043: 'Protocol not supported.',
    -10044: 'Socket type not supported.',
    -10045: 'Socket operation not supported.',
    -10047: 'Socket address family not supported.',
    -10048: 'Socket address already in use.',
    -10049: 'Socket address not available.',
    -10050: 'Network error.',
    -10051: 'Cannot reach network.',
    -10052: 'Connection dropped.',
    -10053: 'Connection timed-out or aborted.',
    -10054: 'Connection reset by remote host.',
    -10055: 'Out of buffer space.',
    -10056: 'Socket already connected.',
    -10057: 'Socket not connected.',
    -10058: 'Socket functionality shut down.',
    -10060: 'Timed-out attempting to connect.',
    -10061: 'Connection refused by remote host.',
    -10064: 'Host is down',
    -10065: 'No route to host',
    -10091: 'Network not yet ready.',
    -10092: "WINSOCK doesn't support requested version.",
    -10093: 'Sockets not initialized. Call WSAStartup.',
    -11001: 'Host does not exist.',
    -11002: 'Host not found. Try again.',
    -11003: 'Non-recoverable error has occurred.',
    -11004: 'No data is available.',
}

# The table each name belongs to: int, str, stat, debug, result or other.
KINDS = {
    'VOK_VERSION': 'other',
    'VOK_BUILD': 'other',
    'VOK_VERSION_MAJOR': 'other',
    'VOK_VERSION_MINOR': 'other',
    'VOK_VERSION_PATCH': 'other',
    'VOK_MAX_CHANNELS': 'other',
    'VOK_MIN_UID_BUFFER': 'other',
    'VOK_OK': 'other',
    'VOK_CANNOT_COMPLY': 'result',
    'VOK_SOCKET_CLOSED': 'result',
    'VOK_WINSOCK_BLOCKING': 'result',
    'VOK_BAD_STATUS_FLAG': 'result',
    'VOK_INVALID_SOCKET': 'result',
    'VOK_SOCKET_TIMEOUT': 'result',
    'VOK_NO_SOCKADDR': 'result',
    'VOK_NO_HOST_NAME': 'result',
    'VOK_CANNOT_CREATE_SOCKET': 'result',
    'VOK_RESPONSE_OVERFLOW': 'result',
    'VOK_BAD_ADDRESS_CHAR': 'result',
    'VOK_CANNOT_ACCESS_WINSOCK': 'result',
    'VOK_CANNOT_OPEN_FILE': 'result',
    'VOK_CONNECT_ERROR': 'result',
    'VOK_EMPTY_ADDRESS': 'result',
    'VOK_FROM_NULL': 'result',
    'VOK_MISSING_AT': 'result',
    'VOK_MISSING_FROM': 'result',
    'VOK_MISSING_LT': 'result',
    'VOK_MISSING_GT': 'result',
    'VOK_NOT_CONNECTED': 'result',
    'VOK_NO_RECIPIENT': 'result',
    'VOK_SERVER_NOT_FOUND': 'result',
    'VOK_NULL_POINTER': 'result',
    'VOK_TO_NULL': 'result',
    'VOK_SMTP_ERROR': 'result',
    'VOK_SERVER_NOT_SPECIFIED': 'result',
    'VOK_SOCKET_READ_ERROR': 'result',
    'VOK_SOCKET_WRITE_ERROR': 'result',
    'VOK_TOO_MANY_AT': 'result',
    'VOK_UNEXPECTED_GT': 'result',
    'VOK_NO_MEMORY': 'result',
    'VOK_BAD_SERVER_NAME': 'result',
    'VOK_APOP_NO_TIMESTAMP': 'result',
    'VOK_SMTP_ONLY': 'result',
    'VOK_POP3_ONLY': 'result',
    'VOK_NO_USER': 'result',
    'VOK_NO_PASSWORD': 'result',
    'VOK_POP3_ERROR': 'result',
    'VOK_NO_SUCH_MESSAGE': 'result',
    'VOK_MISSING_FILENAME': 'result',
    'VOK_MISSING_EMAIL_PATH': 'result',
    'VOK_CANNOT_CREATE_FILE': 'result',
    'VOK_BUFFER_NULL': 'result',
    'VOK_BUFFER_TOO_SMALL': 'result',
    'VOK_MISSING_ATTACH_PATH': 'result',
    'VOK_NOT_ATTACHED': 'result',
    'VOK_ALREADY_ATTACHED': 'result',
    'VOK_CHANNEL_RANGE': 'result',
    'VOK_TLS_HANDSHAKE_FAILED': 'result',
    'VOK_TLS_UNTRUSTED': 'result',
    'VOK_TLS_NAME_MISMATCH': 'result',
    'VOK_STARTTLS_REFUSED': 'result',
    'VOK_TLS_UNAVAILABLE': 'result',
    'VOK_AUTH_NOT_OFFERED': 'result',
    'VOK_WSAEINTR': 'result',
    'VOK_WSAEBADF': 'result',
    'VOK_WSAEACCES': 'result',
    'VOK_WSAEFAULT': 'result',
    'VOK_WSAEINVAL': 'result',
    'VOK_WSAEMFILE': 'result',
    'VOK_WSAEWOULDBLOCK': 'result',
    'VOK_WSAEINPROGRESS': 'result',
    'VOK_WSAEALREADY': 'result',
    'VOK_WSAENOTSOCK': 'result',
    'VOK_WSAEDESTADDRREQ': 'result',
    'VOK_WSAEMSGSIZE': 'result',
    'VOK_WSAEPROTOTYPE': 'result',
    'VOK_WSAENOPROTOOPT': 'result',
    'VOK_WSAEPROTONOSUPPORT': 'result',
    'VOK_WSAESOCKTNOSUPPORT': 'result',
    'VOK_WSAEOPNOTSUPP': 'result',
    'VOK_WSAEAFNOSUPPORT': 'result',
    'VOK_WSAEADDRINUSE': 'result',
    'VOK_WSAEADDRNOTAVAIL': 'result',
    'VOK_WSAENETDOWN': 'result',
    'VOK_WSAENETUNREACH': 'result',
    'VOK_WSAENETRESET': 'result',
    'VOK_WSAECONNABORTED': 'result',
    'VOK_WSAECONNRESET': 'result',
    'VOK_WSAENOBUFS': 'result',
    'VOK_WSAEISCONN': 'result',
    'VOK_WSAENOTCONN': 'result',
    'VOK_WSAESHUTDOWN': 'result',
    'VOK_WSAETIMEDOUT': 'result',
    'VOK_WSAECONNREFUSED': 'result',
    'VOK_WSAEHOSTDOWN': 'result',
    'VOK_WSAEHOSTUNREACH': 'result',
    'VOK_WSASYSNOTREADY': 'result',
    'VOK_WSAVERNOTSUPPORTED': 'result',
    'VOK_WSANOTINITIALISED': 'result',
    'VOK_WSAHOST_NOT_FOUND': 'result',
    'VOK_WSATRY_AGAIN': 'result',
    'VOK_WSANO_RECOVERY': 'result',
    'VOK_WSANO_DATA': 'result',
    'VOK_DRIVER_WAIT': 'other',
    'VOK_PARAM_MIN_RESPONSE_WAIT': 'int',
    'VOK_MIN_RESPONSE_WAIT': 'other',
    'VOK_PARAM_MAX_RESPONSE_WAIT': 'int',
    'VOK_MAX_RESPONSE_WAIT': 'other',
    'VOK_PARAM_CONNECT_WAIT': 'int',
    'VOK_CONNECT_WAIT': 'other',
    'VOK_PARAM_SEND_LINE_DELAY': 'int',
    'VOK_SEND_LINE_DELAY': 'other',
    'VOK_PARAM_TRANSFER_WAIT': 'int',
    'VOK_TRANSFER_WAIT': 'other',
    'VOK_PARAM_BODY_FORMAT': 'int',
    'VOK_BODY_FORMAT': 'other',
    'VOK_PARAM_AUTO_CALL': 'int',
    'VOK_AUTO_CALL': 'other',
    'VOK_PARAM_NUMBER_ATTACHMENTS': 'int',
    'VOK_NUMBER_ATTACHMENTS': 'other',
    'VOK_PARAM_WRITE_WAIT': 'int',
    'VOK_WRITE_WAIT': 'other',
    'VOK_PARAM_READ_WAIT': 'int',
    'VOK_READ_WAIT': 'other',
    'VOK_PARAM_POLL_SLEEP': 'int',
    'VOK_POLL_SLEEP': 'other',
    'VOK_PARAM_SAVE_UNNAMED': 'int',
    'VOK_SAVE_UNNAMED': 'other',
    'VOK_PARAM_SMTP_PORT': 'int',
    'VOK_SMTP_PORT': 'other',
    'VOK_PARAM_POP3_PORT': 'int',
    'VOK_POP3_PORT': 'other',
    'VOK_PARAM_LINE_LENGTH': 'int',
    'VOK_LINE_LENGTH': 'other',
    'VOK_PARAM_BLOCKING_CONNECT': 'int',
    'VOK_BLOCKING_CONNECT': 'other',
    'VOK_PARAM_PASS_8BIT': 'int',
    'VOK_PASS_8BIT': 'other',
    'VOK_PARAM_HIDE_ATTACH_NOTE': 'int',
    'VOK_HIDE_ATTACH_NOTE': 'other',
    'VOK_PARAM_HIDE_TO_HEADER': 'int',
    'VOK_HIDE_TO_HEADER': 'other',
    'VOK_PARAM_ADDRESS_DELIMITER': 'int',
    'VOK_ADDRESS_DELIMITER': 'other',
    'VOK_PARAM_WINSOCK_CLEANUP': 'int',
    'VOK_WINSOCK_CLEANUP': 'other',
    'VOK_PARAM_ATTACH_DELIMITER': 'int',
    'VOK_ATTACH_DELIMITER': 'other',
    'VOK_PARAM_ATTACH_NAME_DELIMITER': 'int',
    'VOK_ATTACH_NAME_DELIMITER': 'other',
    'VOK_PARAM_INLINE_IMAGES': 'int',
    'VOK_INLINE_IMAGES': 'other',
    'VOK_PARAM_RAW_DOWNLOAD': 'int',
    'VOK_RAW_DOWNLOAD': 'other',
    'VOK_PARAM_ESMTP_MODE': 'int',
    'VOK_ESMTP_MODE': 'other',
    'VOK_PARAM_USE_APOP': 'int',
    'VOK_USE_APOP': 'other',
    'VOK_PARAM_TLS_MODE': 'int',
    'VOK_TLS_MODE': 'other',
    'VOK_TLS_PLAIN': 'other',
    'VOK_TLS_STARTTLS': 'other',
    'VOK_TLS_IMPLICIT': 'other',
    'VOK_PARAM_TLS_VERIFY': 'int',
    'VOK_TLS_VERIFY': 'other',
    'VOK_PARAM_AUTH_METHOD': 'int',
    'VOK_AUTH_METHOD': 'other',
    'VOK_AUTH_DEFAULT': 'other',
    'VOK_AUTH_PLAIN': 'other',
    'VOK_AUTH_LOGIN': 'other',
    'VOK_AUTH_CRAM_MD5': 'other',
    'VOK_AUTH_XOAUTH2': 'other',
    'VOK_PARAM_PIPELINING': 'int',
    'VOK_PIPELINING': 'other',
    'VOK_PARAM_LOG_DETAIL': 'int',
    'VOK_LOG_DETAIL': 'other',
    'VOK_PARAM_LIST_ALL': 'int',
    'VOK_LIST_ALL': 'other',
    'VOK_PARAM_RAW_MESSAGE': 'int',
    'VOK_PARAM_LOG_FILE': 'str',
    'VOK_LOG_FILE': 'other',
    'VOK_PARAM_SAVE_BUFFER': 'str',
    'VOK_SAVE_BUFFER': 'other',
    'VOK_PARAM_REPLY_TO': 'str',
    'VOK_REPLY_TO': 'other',
    'VOK_PARAM_USER_HEADERS': 'str',
    'VOK_USER_HEADERS': 'other',
    'VOK_PARAM_LOG_TEXT': 'str',
    'VOK_LOG_TEXT': 'other',
    'VOK_PARAM_FROM_ADDRESS': 'str',
    'VOK_FROM_ADDRESS': 'other',
    'VOK_PARAM_CUSTOM_CONTENT_TYPE': 'str',
    'VOK_CUSTOM_CONTENT_TYPE': 'other',
    'VOK_PARAM_CUSTOM_ENCODING': 'str',
    'VOK_CUSTOM_ENCODING': 'other',
    'VOK_PARAM_ADD_HEADER': 'str',
    'VOK_ADD_HEADER': 'other',
    'VOK_PARAM_SMTP_PASSWORD': 'str',
    'VOK_SMTP_PASSWORD': 'other',
    'VOK_PARAM_USER_NAME': 'str',
    'VOK_USER_NAME': 'other',
    'VOK_PARAM_ALTERNATE_TEXT': 'str',
    'VOK_ALTERNATE_TEXT': 'other',
    'VOK_PARAM_TLS_CA_FILE': 'str',
    'VOK_TLS_CA_FILE': 'other',
    'VOK_PARAM_OAUTH_TOKEN': 'str',
    'VOK_OAUTH_TOKEN': 'other',
    'VOK_PARAM_CHARSET': 'str',
    'VOK_CHARSET': 'other',
    'VOK_PARAM_RAW_COPY_DIR': 'str',
    'VOK_RAW_COPY_DIR': 'other',
    'VOK_PARAM_ENVELOPE_FROM': 'str',
    'VOK_PARAM_HELO_NAME': 'str',
    'VOK_STAT_STEP_COUNT': 'stat',
    'VOK_STAT_REPLY_CODE': 'stat',
    'VOK_STAT_SOCK_CODE': 'stat',
    'VOK_STAT_BODY_BYTES_READ': 'stat',
    'VOK_STAT_ATTACH_BYTES_READ': 'stat',
    'VOK_STAT_BYTES_READ': 'stat',
    'VOK_STAT_BODY_BYTES_SENT': 'stat',
    'VOK_STAT_ATTACH_BYTES_SENT': 'stat',
    'VOK_STAT_BYTES_SENT': 'stat',
    'VOK_STAT_VERSION': 'stat',
    'VOK_STAT_MESSAGE_COUNT': 'stat',
    'VOK_STAT_MESSAGE_SIZE': 'stat',
    'VOK_STAT_BUFFER_LENGTH': 'stat',
    'VOK_STAT_CONNECTED': 'stat',
    'VOK_STAT_ATTACH_COUNT': 'stat',
    'VOK_STAT_VERIFY_RESULT': 'stat',
    'VOK_STAT_BUILD': 'stat',
    'VOK_STAT_SOCKET': 'stat',
    'VOK_STAT_TLS_ACTIVE': 'stat',
    'VOK_STAT_TLS_VERSION': 'stat',
    'VOK_STAT_WAIT_FOR': 'stat',
    'VOK_STAT_TIMER_MS': 'stat',
    'VOK_DEBUG_DATE_LINE': 'debug',
    'VOK_DEBUG_LAST_REPLY': 'debug',
    'VOK_DEBUG_SERVER_IP': 'debug',
    'VOK_DEBUG_LOCAL_IP': 'debug',
    'VOK_DEBUG_SAVED_NAMES': 'debug',
    'VOK_DEBUG_LAST_RECIPIENT': 'debug',
    'VOK_DEBUG_MESSAGE_BUFFER': 'debug',
    'VOK_DEBUG_TLS_SESSION': 'debug',
    'VOK_DEBUG_TLS_SUBJECT': 'debug',
    'VOK_DEBUG_SERVER_ADDRESS': 'debug',
    'VOK_MEMORY_SCAN_CHANNEL': 'other',
}

# Each exported function's arguments: int, in (a text) or out (a buffer).
FUNCTIONS = {
    'vokAttach': ('int',),
    'vokRelease': (),
    'vokDriver': ('int',),
    'vokCommand': ('int', 'in'),
    'vokClose': ('int',),
    'vokAbort': ('int',),
    'vokSmtpConnect': ('int', 'in', 'in', 'in'),
    'vokSendEmail': ('int', 'in', 'in', 'in', 'in', 'in', 'in'),
    'vokVerifyFormat': ('in',),
    'vokVerifyUser': ('int', 'in'),
    'vokPop3Connect': ('int', 'in', 'in', 'in'),
    'vokGetEmailCount': ('int',),
    'vokGetEmailSize': ('int', 'int'),
    'vokDeleteEmail': ('int', 'int'),
    'vokGetEmailUID': ('int', 'int', 'out', 'int'),
    'vokGetEmailLines': ('int', 'int', 'int', 'out', 'int'),
    'vokGetEmailFile': ('int', 'int', 'in', 'in', 'in'),
    'vokIntegerParam': ('int', 'int', 'int'),
    'vokStringParam': ('int', 'int', 'in'),
    'vokStatistics': ('int', 'int'),
    'vokDebug': ('int', 'int', 'out', 'int'),
    'vokErrorText': ('int', 'int', 'out', 'int'),
    'vokEncodeBuffer': ('in', 'out', 'int'),
    'vokDecodeBuffer': ('in', 'out', 'int'),
    'vokExtractText': ('in', 'in', 'out', 'int'),
    'vokExtractLine': ('in', 'int', 'out', 'int'),
}
