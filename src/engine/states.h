/* SPDX-License-Identifier: MIT */
// Every state number of the driver. The numbers are fixed: they appear in
// the log's step trace and in vokDriver's results.
#pragma once

#include <cstdint>

namespace vok {

enum State : int32_t {
    kStIdle = 0,  // no operation

    // The connect sequence.
    kStLocalHost1 = 101,  // 101..103: the local host name (only logged)
    kStLocalHost2 = 102,
    kStLocalHost = 103,
    kStResolve = 104,
    kStConnect = 105,
    kStAwaitConnect = 106,
    kTlsStart = 107,      // make the TLS session
    kTlsHandshake = 108,  // repeats until the handshake is done

    // SMTP authentication.
    kStAuthCram = 150,
    kStCramChallenge = 151,
    kStCramAnswer = 152,
    kStCramResult = 153,
    kStAuthLogin = 160,
    kStLoginUser = 162,
    kStLoginPassword = 163,
    kStLoginResult = 164,
    kStAuthPlain = 170,
    kStPlainResult = 171,
    kStStartTls = 180,
    kStStartTlsReply = 181,
    kStAuthXoauth2 = 190,
    kStXoauth2Result = 191,
    kStXoauth2Final = 192,

    // SMTP session and envelope.
    kStSmtpConnect = 200,
    kStGreeting = 201,
    kStHello = 202,
    kStHelloReply = 203,
    kStMailFrom = 204,
    kStMailFromReply = 205,
    kStNextRecipient = 206,
    kStRcptTo = 207,
    kStRcptReply = 208,
    kStData = 209,
    kStDataReply = 210,
    kStBatchRcptReply = 212,  // pipelining (RFC 2920): the batch's RCPT replies in turn
    kStBatchDataReply = 213,  // its DATA reply
    kStEmptyDataReply = 214,  // the reply to "." after a 354 for no recipient

    // The message header.
    kStMessageId = 220,
    kStMailer = 221,
    kStDate = 223,
    kStToHeader = 224,
    kStFromHeader = 225,
    kStReplyToHeader = 226,
    kStSubject = 227,
    kStCcHeader = 228,
    kStMimeVersion = 229,
    kStMultipartType = 230,
    kStSinglePartType = 231,
    kStEndHeader = 233,
    kStFirstBoundary = 234,
    kStBodyType = 235,
    kStBodyEncoding = 236,

    // The body.
    kStBody = 238,
    kStMemoryBody = 240,
    kStMemoryBodyLine = 241,
    kStBodyFile = 244,
    kStFileBodyLine = 245,
    kStRawOpen = 246,  // a prepared message (RawMessage): its source opened
    kStRawLine = 247,  // its lines
    kStRawEnd = 248,   // the dot line after them
    kStEndMessage = 251,
    kStMessageReply = 252,

    // Closing.
    kStQuit = 258,
    kStQuitReply = 259,

    // Attachments.
    kStAttachBoundary = 260,
    kStAttachType = 261,
    kStAttachEncoding = 262,
    kStAttachDisposition = 263,
    kStAttachOpen = 264,
    kStAttachLine = 265,

    // VRFY.
    kStNextVerify = 270,
    kStVrfy = 271,
    kStVrfyReply = 272,

    // Raw commands: SMTP, then POP3.
    kStSmtpRaw = 298,
    kStSmtpRawReply = 299,

    // POP3.
    kPop3Connect = 300,   // version line, then the connect sequence
    kPop3Greeting = 301,  // greeting and its APOP timestamp
    kPop3Apop = 302,
    kPop3User = 303,
    kPop3UserReply = 304,
    kPop3Pass = 305,
    kPop3LoginReply = 306,
    kPop3Stat = 307,
    kPop3StatReply = 308,
    kPop3RawBlock = 309,  // raw download
    kPop3Retr = 310,      // open the message file, send RETR
    kPop3Top = 311,
    kPop3RetrLine = 312,
    kPop3Finish = 313,  // close the download's files
    kPop3TopLine = 314,
    kPop3Dele = 315,
    kPop3DeleReply = 316,
    kPop3List = 317,
    kPop3ListReply = 318,
    kPop3Uidl = 320,
    kPop3UidlLine = 321,
    kPop3Listing = 322,  // LIST or UIDL of the whole mailbox (ListAll)
    kPop3ListingLine = 323,
    kPop3Stls = 330,  // STLS after the greeting (RFC 2595 section 4)
    kPop3StlsReply = 331,
    kPop3Capa = 332,  // CAPA, to see the SASL mechanisms (RFC 2449 section 6.3)
    kPop3CapaLine = 333,
    kPop3Auth = 334,  // AUTH with an initial response (RFC 5034)
    kPop3AuthReply = 335,
    kPop3AuthFinal = 336,

    kStPop3Raw = 398,
    kStPop3RawReply = 399,

    // The alternative text part.
    kStAlternateHeader = 400,
    kStAlternateText = 401,
    kStAlternateBoundary = 402,
    kStAlternativeStart = 403,

    kStLimit = 404,  // every state number is below this
};

// The states of a message being sent (envelope, header, body, attachments,
// the end of the data).
constexpr bool IsMessageState(int32_t s) {
    return (s >= kStMailFrom && s <= kStAttachLine && s != kStQuit && s != kStQuitReply) ||
           (s >= kStAlternateHeader && s <= kStAlternativeStart);
}

// The states of a VRFY walk.
constexpr bool IsVerifyState(int32_t s) {
    return s >= kStNextVerify && s <= kStVrfyReply;
}

// The connect states that wait for the socket to become writable.
constexpr bool IsConnectWait(int32_t s) {
    return s == kStAwaitConnect;
}

// What a state waits for before it has anything to do.
enum Await : int32_t { kAwaitNothing = 0, kAwaitReadable = 1, kAwaitWritable = 2 };

// The states that read the server's answer wait for the socket to turn
// readable; the connect waits for it to turn writable. Every other state
// acts on its own (it sends, or works on files) once its time has come.
constexpr Await StateAwaits(int32_t s) {
    switch (s) {
        case kStAwaitConnect:
            return kAwaitWritable;
        case kTlsHandshake:
        case kStCramChallenge:
        case kStCramResult:
        case kStLoginUser:
        case kStLoginPassword:
        case kStLoginResult:
        case kStPlainResult:
        case kStStartTlsReply:
        case kStXoauth2Result:
        case kStXoauth2Final:
        case kStGreeting:
        case kStHelloReply:
        case kStMailFromReply:
        case kStRcptReply:
        case kStDataReply:
        case kStBatchRcptReply:
        case kStBatchDataReply:
        case kStEmptyDataReply:
        case kStMessageReply:
        case kStQuitReply:
        case kStVrfyReply:
        case kStSmtpRawReply:
        case kPop3Greeting:
        case kPop3UserReply:
        case kPop3LoginReply:
        case kPop3StatReply:
        case kPop3RawBlock:
        case kPop3RetrLine:
        case kPop3TopLine:
        case kPop3DeleReply:
        case kPop3ListReply:
        case kPop3UidlLine:
        case kPop3ListingLine:
        case kPop3StlsReply:
        case kPop3CapaLine:
        case kPop3AuthReply:
        case kPop3AuthFinal:
        case kStPop3RawReply:
            return kAwaitReadable;
        default:
            return kAwaitNothing;
    }
}

// The states that repeat once per line: message data going out, a
// multi-line response coming in.
constexpr bool IsLineLoop(int32_t s) {
    switch (s) {
        case kStMemoryBodyLine:
        case kStFileBodyLine:
        case kStRawLine:
        case kStAttachLine:
        case kPop3RawBlock:
        case kPop3RetrLine:
        case kPop3TopLine:
        case kPop3UidlLine:
        case kPop3ListingLine:
        case kPop3CapaLine:
            return true;
        default:
            return false;
    }
}

// Raw command states of an SMTP channel (POP3's are 398 and 399).
constexpr bool IsSmtpRawState(int32_t s) {
    return s == kStSmtpRaw || s == kStSmtpRawReply;
}

}  // namespace vok
