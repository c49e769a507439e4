/* SPDX-License-Identifier: MIT */
// The per-channel record and the library-wide state.
//
// A channel is one independent mail session slot. Its whole state lives in
// one Channel record, which is tracked block slot 0 of that channel. The
// record is allocated zero-filled, so every field not set by CreateChannel
// starts as 0 or as an empty text.
//
// A text field of N characters has N + 2 bytes: the characters, the
// terminator and one byte more. Fields are only ever filled through the
// bounded copies of codec/text.h.
#pragma once

#include <atomic>
#include <cstdint>

#include "codec/mime.h"
#include "platform/platform.h"
#include "platform/sockets.h"
#include "platform/tls.h"

namespace vok {

constexpr int kMaxChannels = 128;

// Sizes of the fixed text fields, in characters (the buffers are 2 longer).
constexpr int kLineChars = 2048;   // ScratchLine, LogLine, CommandLine, ReplyBuffer, body line
constexpr int kNameChars = 128;    // server, addresses, file names
constexpr int kUserChars = 64;     // user names, passwords
constexpr int kCharsetChars = 40;  // a charset's name (RFC 2978)
constexpr int kTokenChars = 8192;  // an OAuth bearer token
constexpr int kRawCommandChars = 32;
constexpr int kUidChars = 70;        // a unique id (RFC 1939 section 7)
constexpr int kMaxListed = 1 << 16;  // highest message number a listing keeps
constexpr int kRecipientChars = 32;
constexpr int kSavedNamesChars = 1024;
constexpr int kReplyRoom = 1024;  // what one reply may use of ReplyBuffer
constexpr int kRingSize = 1024;
constexpr int kSendBufferSize = 16384;
constexpr int kPathChars = 259;          // a saved attachment's path (Windows' MAX_PATH - 1)
constexpr int kAttachBufferSize = 8192;  // decoded attachment bytes written at once
constexpr int kRetrBufferSize = 65536;   // a RETR response is read in blocks this large

struct Channel {
    int32_t Chan;
    char ScratchLine[kLineChars + 2];  // work space of the protocol code
    char LogLine[kLineChars + 2];      // LogFormat's own, so a log line never clobbers work
    char CommandLine[kLineChars + 2];
    char ReplyBuffer[kLineChars + 2];
    char TextBuffer[kLineChars + 2];  // body reader's block buffer
    char LastReply[kNameChars + 2];
    char Server[kNameChars + 2];
    char FromAddress[kNameChars + 2];
    char ReplyTo[kNameChars + 2];
    char UserName[kUserChars + 2];
    char Pop3Password[kUserChars + 2];

    // File and directory names of the downloader and decoder.
    char MailFile[kNameChars + 2];  // full path of the message file being written
    char EmailDir[kNameChars + 2];
    char AttachDir[kPathChars + 2];
    char AttachPath[kPathChars + 2];  // final path of the current attachment file
    char TempPath[kPathChars + 2];    // what it is written under until complete
    char FailedFile[kPathChars + 2];  // the file a -67 of the last download is about
    char EmailName[kNameChars + 2];   // name of the message file (in EmailDir)
    char SavedNames[kSavedNamesChars + 2];

    char RawCommand[kRawCommandChars + 2];
    char LastRecipient[kRecipientChars + 2];
    char SmtpPassword[kUserChars + 2];
    // Challenge or APOP timestamp (up to a whole reply line) plus password,
    // then the answer line.
    char AuthBuffer[kReplyRoom + kUserChars + 4];

    uint32_t ServerIP;  // host byte order
    plat::SocketHandle Socket;
    uint32_t NextTime;  // no driver step before this tick; 0 = none
    uint32_t Deadline;  // the pending step has timed out after this tick; 0 = none
    int32_t StepCount;

    // Byte counters read by the statistics call.
    int32_t BodyBytesRead;
    int32_t AttachBytesRead;
    int32_t BodyBytesSent;
    int32_t AttachBytesSent;

    uint16_t RemotePort;
    uint16_t SmtpPort;
    uint16_t Pop3Port;
    int32_t ReplyCode;
    plat::FileHandle FileHandle;  // message, attachment or decoded-part file
    int32_t PrevState;
    int32_t ThisState;
    int32_t NextState;
    int32_t ReturnState;
    int32_t SockCode;
    plat::FileHandle LogFile;  // 0 = no log
    int32_t MessageCount;      // from the last STAT
    char Protocol;             // 'S', 'P' or 0

    // POP3 and decoder.
    int32_t MessageNumber;
    int32_t MessageSize;          // from the last LIST
    int32_t LineCount;            // body lines asked for by TOP (never negative)
    plat::FileHandle MailHandle;  // the saved-mail file of a download
    char* UserBuffer;             // caller's buffer of vokGetEmailLines / vokGetEmailUID
    int32_t UserBufferSize;
    int32_t UserBufferLen;
    int32_t DecoderState;  // RawDownload is stored here
    int32_t AttachCount;   // attachments saved since the last connect or download
    int32_t AttachTotal;   // attachments saved since vokAttach (NumberAttachments)

    // Incoming decoder (src/pop3/decoder.cpp, src/codec/mime.cpp).
    uint8_t AtLineStart;      // the next piece read starts a line (not a long line's rest)
    uint8_t StatusPending;    // the status line of RETR / TOP has not been read yet
    uint8_t Downloading;      // a vokGetEmailFile download has its files open
    char RawTail[8];          // last bytes of a raw download, to see its "." line
    int32_t AttachBufferLen;  // decoded bytes waiting to be written to FileHandle
    char AttachBuffer[kAttachBufferSize];
    MimeDecoder Mime;
    int32_t RetrHeld;  // bytes of a line not yet whole at the start of RetrBuffer
    char RetrBuffer[kRetrBufferSize + 2];
    char RawCopyDir[kPathChars + 2];  // RawCopyDir: where the message goes as received
    plat::FileHandle RawHandle;
    char RawPath[kPathChars + 2];
    char RawTemp[kPathChars + 2];
    int32_t VerifyResult;

    uint8_t NeedWritable;
    uint8_t HoldSends;
    uint32_t TrafficBytes;  // bytes handed to and taken from the transport (wraps)  // more message
                            // data follows: let the system fill segments
    int32_t AutoCall;
    int32_t NumberAttachments;
    int32_t BodyFormat;
    char NextChar;
    uint8_t InlineImages;
    int32_t SaveUnnamed;
    int32_t NonBlockingConnect;
    uint32_t ModeSwitchArg;
    uint8_t EsmtpMode;
    uint8_t UseApop;

    // Body reader of outgoing messages.
    uint8_t RawMidLine;      // a prepared message's line goes on in the next step
    uint8_t TextFromMemory;  // body from MessageText (1) or from FileHandle (0)
    uint8_t TextEnd;         // the source is exhausted
    int16_t
        LogSecretFrom;  // the next line sent is logged up to character N - 1, then "****"; 0 = all
    int16_t Lookahead;  // byte read ahead by the quoted-printable builder, plus 1; 0 = none
    const char* MessageText;  // read position in the body text held in memory
    int32_t TextPos;          // next byte of TextBuffer to hand out
    int32_t TextLimit;        // valid bytes in TextBuffer

    // Outgoing message and the recipient / VRFY walk. The lists point into
    // the channel's tracked copies (slots 1 to 6); null means "none". The
    // walk cuts an item off its list by writing a NUL over the delimiter at
    // ListCut, and puts it back once the item has gone out.
    char* ToList;  // also the list of vokVerifyUser
    char* CcList;
    char* BccList;
    char* SubjectText;
    char* AttachList;      // while attachments go out: the current item
    char* AttachRest;      // the items after the current one ("" when none)
    char* ListCursor;      // where the next address begins
    char* ListCut;         // delimiter replaced by a NUL, or null
    char* CurrentAddress;  // the item now sent in RCPT TO or VRFY
    uint8_t CcDone;        // the CC list has been walked (or there is none)
    uint8_t BccDone;
    uint8_t ImagePart;       // the current attachment goes out as an inline image
    int32_t ContentIdCount;  // inline images so far in this message
    char* AttachStart;       // the whole attachment list, walked again by a second pass
    char* AttachCut;         // delimiter behind the current item replaced by a NUL, or null
    char* NameCut;           // name delimiter of the current item replaced by a NUL, or null
    uint8_t AttachPass;      // 0 every item, 1 the inline images only, 2 the others only

    // The message's layout, fixed by vokSendEmail from what it is given.
    uint8_t Layout;                   // kLayout* flags of compose.cpp; 0 for the one-level layout
    uint8_t AltOpen;                  // the multipart/alternative inside multipart/mixed is open
    uint8_t BodyQuoted;               // the body goes out quoted-printable whatever its format
    uint8_t BodyCharset;              // the body part declares Charset
    uint8_t Body8Bit;                 // the body part is 8bit (Pass8Bit)
    uint8_t AltQuoted;                // the alternative text goes out quoted-printable in Charset
    char Charset[kCharsetChars + 2];  // the caller's texts are in this charset

    // Receive buffering.
    char RecvBuffer[kRingSize];
    int32_t RingRead;
    int32_t RingWrite;
    uint8_t RingStarved;  // the waiting state found the ring's bytes not enough yet
    char RingBuffer[kRingSize];

    // Message data held back while HoldSends is set, sent in large blocks.
    int32_t SendUsed;
    char SendBuffer[kSendBufferSize];

    // Secure connections (engine/tls_transport.cpp). While Tls is set every
    // byte of the connection goes through the session; decrypted bytes the
    // readiness check took from it wait in TlsStage.
    uint8_t TlsMode;    // 0 plain, 1 STARTTLS / STLS required, 2 implicit
    uint8_t TlsVerify;  // check the server certificate (default 1)
    uint8_t AuthMethod;
    uint8_t TlsEnded;   // the session saw its end (close_notify, cut off or failure)
    uint8_t CapaStage;  // POP3 CAPA: 0 status line next, 1 in the list, 2 the mechanism seen
    plat::TlsSession* Tls;
    uint32_t TlsDeadline;  // the handshake has failed after this tick
    int32_t TlsVersion;    // wire number of the protocol, 0 without TLS
    int32_t TlsStageRead;
    int32_t TlsStageLen;
    char TlsStage[kRingSize];
    char TlsCaFile[kNameChars + 2];
    char EnvelopeFrom[kNameChars + 2];  // "<addr>" for MAIL FROM, "" = FromAddress's
    char HeloName[kNameChars + 2];      // HELO/EHLO name, "" = the sender's domain
    char TlsReason[kNameChars + 2];     // backend's or server's reason of the last TLS failure
    char TlsSession[kNameChars + 2];    // "TLSv1.3 TLS_AES_256_GCM_SHA384"
    char TlsSubject[kNameChars * 2 + 2];

    // The server's addresses (engine/connect.cpp), tried in turn until one
    // connects; ServerIP is the current one when it is IPv4.
    plat::NetAddress ServerAddrs[plat::kMaxServerAddresses];
    int32_t ServerAddrCount;
    int32_t ServerAddrIndex;
    uint32_t ConnectLimit;     // all attempts end by this tick
    uint32_t AttemptLimit;     // the current attempt gives way to the next address after this tick
    plat::HostLookup* Lookup;  // the server's name being looked up, or null

    // LogDetail: 0 logs everything; 1 leaves out message data (the lines
    // of a message sent, the blocks of one downloaded) while DataQuiet is set.
    uint8_t LogDetail;
    uint8_t DataQuiet;         // message data is crossing the connection now
    uint8_t Pipelining;        // send MAIL, RCPT and DATA at once when the server allows (RFC 2920)
    uint8_t ServerPipelines;   // the last EHLO reply listed PIPELINING
    uint8_t RawMessage;        // vokSendEmail's message is a prepared one
    uint8_t Pipelined;         // the envelope went out as one batch
    int32_t PipelineLeft;      // RCPT replies of the batch still to read
    int32_t PipelineAccepted;  // recipients of the batch accepted so far
    int32_t RefusedCode;       // the batch's first refusal, 0 when none
    char RefusedReply[kNameChars + 2];

    // ListAll: the first size or unique id asked for in a session fetches
    // every message's with one LIST or UIDL (RFC 1939 section 5); later
    // questions are answered from here. Indexed by message number; a
    // message not listed has size -1 and an empty id. Null: not fetched.
    uint8_t ListAll;
    char ListWant;       // 'L' or 'U': the listing being read
    int32_t* ListSizes;  // ListSizeSlots entries
    char* ListUids;      // ListUidSlots entries of kUidChars + 1 bytes
    int32_t ListSizeSlots;
    int32_t ListUidSlots;
};

// One entry of the channel table.
struct ChannelEntry {
    Channel* Record;
    plat::SocketHandle Socket;
    plat::SockAddrIn RemoteAddr;
};

// Library-wide state.
extern std::atomic<uint16_t> ChannelCount;  // 0 = not attached
extern ChannelEntry ChannelTable[kMaxChannels];
extern char Boundary[28];

// The lookup every channel-bound export makes first: -71 when the library is
// not attached, -73 when the channel number is out of range; else 0 and
// *out is the channel's record.
int LookupChannel(int channel, Channel** out);

// Every export that works on a channel holds a CallScope for the whole
// call, made before its lookup. vokRelease refuses new lookups (-71), wakes
// the calls under way and frees nothing until every scope has ended, so no
// call ever touches a record that is gone.
class CallScope {
  public:
    CallScope();
    ~CallScope();
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;
};

// True once vokRelease has begun: a call that is waiting returns.
bool ReleaseUnderWay();

// Makes a channel's record with its defaults. 1, or -55.
int CreateChannel(int chan);

// Forgets the mailbox listings (ListSizes, ListUids): the mailbox may have
// changed (DELE, a raw command such as RSET) or the session has ended.
void DropListing(Channel* ch);

}  // namespace vok
