// SPDX-License-Identifier: MIT
// POP3 driver states (RFC 1939): login with USER/PASS or APOP, the mailbox
// commands, and the line loops of RETR, TOP and UIDL.
#include <cstdio>
#include <cstring>

#include "codec/codec.h"
#include "codec/text.h"
#include "engine/engine.h"
#include "engine/reply.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "platform/platform.h"
#include "pop3/decoder.h"
#include "pop3/pop3.h"
#include "vok32.h"

namespace vok {

namespace {

int32_t ReadWaitMs() {
    return LibrarySettings.ReadWait;
}

// Each piece of a response that comes puts the deadline off again.
void ExtendDeadline(Channel* ch, uint32_t now) {
    AnswerDeadline(ch, now);
}

// Sends the command standing in CommandLine. A failed send ends the call
// with failCode (the socket-level result as SockCode).
int SendCommand(Channel* ch, int failCode) {
    int rc = SendLine(ch, ch->CommandLine);
    return rc < 0 ? DriverError(ch, rc, failCode) : 0;
}

// The reply of STAT, LIST and DELE. "-ERR" is the mailbox's refusal: the
// call fails with -63 and the session goes on. A line that is no status at
// all means the two sides are out of step, and the connection is closed.
// 1 when "+OK" came, 0 while nothing has, else the call's negative result.
int AwaitMailboxReply(Channel* ch) {
    if (!ReplyReady(ch, kPop3Reply)) return 0;
    int rc = ReadPop3Reply(ch);
    if (rc == VOK_POP3_ERROR && memcmp(ch->ReplyBuffer, "-ERR", 4) == 0)
        return CommandRefused(ch, rc);
    return rc < 0 ? DriverError(ch, 0, rc) : 1;
}

// "+OK" followed by a number, as STAT and LIST answer (RFC 1939 section 5):
// the number's place in the line, or null when the reply has none.
const char* ScanListing(const char* reply, int skip) {
    const char* p = reply;
    for (int i = 0; i < skip; ++i) {
        p = FindChar(p, ' ');
        if (!p) return nullptr;
        while (*p == ' ') ++p;
    }
    return (*p >= '0' && *p <= '9') ? p : nullptr;
}

// Reads the next piece of a multi-line response (RFC 1939 section 3) into
// ReplyBuffer. Returns its length, 0 when nothing came, or a negative code.
// *end is set when the piece is the terminating "." line. A line that
// begins with '.' and is not the terminator was byte-stuffed by the server:
// its first '.' is dropped. Only a piece that starts a data line (not the
// status line, not the rest of a long line) is looked at.
int ReadResponseLine(Channel* ch, int32_t nextWait, bool* end) {
    *end = false;
    bool dataLineStart = ch->AtLineStart && !ch->StatusPending;
    int n = ReadLine(ch, ch->ReplyBuffer, kReplyRoom, ReadWaitMs(), nextWait);
    if (n <= 0) return n;
    char* line = ch->ReplyBuffer;
    if (dataLineStart && line[0] == '.') {
        if (n == 1 || line[1] == '\r' || line[1] == '\n') {
            *end = true;
            return n;
        }
        memmove(line, line + 1, static_cast<size_t>(n));  // the NUL moves too
        --n;
    }
    return n;
}

bool EndsLine(const char* line, int32_t n) {
    return n > 0 && line[n - 1] == '\n';
}

// Copies bytes of a TOP or UIDL response into the caller's buffer while it
// has room.
void CopyToUserBuffer(Channel* ch, const char* data, int n) {
    if (!ch->UserBuffer) return;
    for (int i = 0; i < n && ch->UserBufferLen < ch->UserBufferSize; ++i)
        ch->UserBuffer[ch->UserBufferLen++] = data[i];
}

void TerminateUserBuffer(Channel* ch) {
    if (ch->UserBuffer && ch->UserBufferLen >= 0 && ch->UserBufferLen < ch->UserBufferSize)
        ch->UserBuffer[ch->UserBufferLen] = '\0';
}

// The UIDL buffer keeps one byte beyond UserBufferSize for its NUL, so a
// list that fills it is still terminated.
void TerminateUidBuffer(Channel* ch) {
    if (ch->UserBuffer && ch->UserBufferLen >= 0 && ch->UserBufferLen <= ch->UserBufferSize)
        ch->UserBuffer[ch->UserBufferLen] = '\0';
}

// What state 313 does: the download's files are closed. complete: the
// response's "." line came. 0, or -67 when a file was not written whole.
int FinishDownload(Channel* ch, bool complete) {
    ch->DataQuiet = 0;
    int rc = EndDownload(ch, complete);
    if (ch->MailHandle > 0) plat::FileClose(ch->MailHandle);
    ch->MailHandle = 0;
    TerminateUserBuffer(ch);
    return rc;
}

// A response cut off before its "." line: what arrived stays in the files,
// and the call fails instead of passing the rest of the message off as
// received.
int EndCutOff(Channel* ch, int code) {
    FinishDownload(ch, false);
    return DriverError(ch, 0, code);
}

// --- Login -------------------------------------------------------------------------

int StartSession(Channel* ch, uint32_t) {
    LogVersionLine(ch);
    ch->ReturnState = kPop3Greeting;
    GoTo(ch, kStLocalHost1);
    return 0;
}

// RFC 1939 section 7: the APOP timestamp is the greeting's text from '<'
// through '>'.
void TakeApopTimestamp(Channel* ch) {
    ch->AuthBuffer[0] = '\0';
    const char* open = FindChar(ch->ReplyBuffer, '<');
    if (!open) return;
    const char* close = FindChar(open, '>');
    if (!close) return;
    int n = static_cast<int>(close - open) + 1;
    if (n > static_cast<int>(sizeof ch->AuthBuffer) - kUserChars - 1) return;
    CopyBytes(ch->AuthBuffer, open, n);
}

int ReadGreeting(Channel* ch, uint32_t now) {
    int rc = AwaitPop3Reply(ch);
    if (rc <= 0) return rc;
    TakeApopTimestamp(ch);
    AnswerDeadline(ch, now);  // the login goes out at once
    GoTo(ch, Pop3LoginState(ch));
    if (ch->TlsMode == 1 && !ch->Tls) {
        // Login only once the connection is encrypted.
        ch->ReturnState = ch->NextState;
        GoTo(ch, kPop3Stls);
    }
    return 0;
}

int SendApop(Channel* ch, uint32_t now) {
    if (ch->AuthBuffer[0] == '\0') return DriverError(ch, 0, VOK_APOP_NO_TIMESTAMP);
    AppendText(ch->AuthBuffer, ch->Pop3Password, kUserChars);
    BuildApopResponse(ch);
    snprintf(ch->CommandLine, kLineChars, "APOP %s", ch->AuthBuffer);
    if (int rc = SendCommand(ch, VOK_SOCKET_READ_ERROR)) return rc;
    LongReplyWait(ch, now, 1);
    GoTo(ch, kPop3LoginReply);
    return 0;
}

int SendUser(Channel* ch, uint32_t now) {
    snprintf(ch->CommandLine, kLineChars, "USER %s", ch->UserName);
    if (int rc = SendCommand(ch, VOK_SOCKET_READ_ERROR)) return rc;
    ReplyWait(ch, now);
    GoTo(ch, kPop3UserReply);
    return 0;
}

// The login replies may take a while (servers delay failed logins); the
// driver waits for them on the socket, never inside the step.
int AwaitLoginReply(Channel* ch) {
    return AwaitPop3Reply(ch);
}

int ReadUserReply(Channel* ch, uint32_t) {
    int rc = AwaitLoginReply(ch);
    if (rc <= 0) return rc;
    ch->NeedWritable = 1;
    GoTo(ch, kPop3Pass);
    return 0;
}

int SendPass(Channel* ch, uint32_t now) {
    snprintf(ch->CommandLine, kLineChars, "PASS %s", ch->Pop3Password);
    if (int rc = SendSecretLine(ch, ch->CommandLine, 5); rc < 0)
        return DriverError(ch, rc, VOK_SOCKET_READ_ERROR);
    LongReplyWait(ch, now, 1);
    GoTo(ch, kPop3LoginReply);
    return 0;
}

int ReadLoginReply(Channel* ch, uint32_t) {
    int rc = AwaitLoginReply(ch);
    if (rc <= 0) return rc;
    GoTo(ch, kStIdle);
    return 0;
}

// --- STAT, LIST, DELE --------------------------------------------------------------

int SendStat(Channel* ch, uint32_t now) {
    CopyText(ch->CommandLine, "STAT", kLineChars);
    if (int rc = SendCommand(ch, VOK_SOCKET_READ_ERROR)) return rc;
    ReplyWait(ch, now);
    ch->MessageCount = 0;
    GoTo(ch, kPop3StatReply);
    return 0;
}

int ReadStatReply(Channel* ch, uint32_t) {
    int rc = AwaitMailboxReply(ch);
    if (rc <= 0) return rc;
    // "+OK nn mm": the count follows "+OK ".
    const char* count = ScanListing(ch->ReplyBuffer, 1);
    if (!count) return DriverError(ch, 0, VOK_POP3_ERROR);
    ch->MessageCount = ParseDecimal(count);
    GoTo(ch, kStIdle);
    return 0;
}

int SendList(Channel* ch, uint32_t now) {
    snprintf(ch->CommandLine, kLineChars, "LIST %d", ch->MessageNumber);
    if (int rc = SendCommand(ch, VOK_SOCKET_READ_ERROR)) return rc;
    ReplyWait(ch, now);
    ch->MessageSize = 0;
    GoTo(ch, kPop3ListReply);
    return 0;
}

int ReadListReply(Channel* ch, uint32_t) {
    int rc = AwaitMailboxReply(ch);
    if (rc <= 0) return rc;
    // "+OK msg size": the size follows the message number.
    const char* size = ScanListing(ch->ReplyBuffer, 2);
    if (!size) return DriverError(ch, 0, VOK_POP3_ERROR);
    ch->MessageSize = ParseDecimal(size);
    GoTo(ch, kStIdle);
    return 0;
}

int SendDele(Channel* ch, uint32_t now) {
    snprintf(ch->CommandLine, kLineChars, "DELE %d", ch->MessageNumber);
    if (int rc = SendCommand(ch, VOK_SOCKET_READ_ERROR)) return rc;
    ReplyWait(ch, now);
    GoTo(ch, kPop3DeleReply);
    return 0;
}

int ReadDeleReply(Channel* ch, uint32_t) {
    int rc = AwaitMailboxReply(ch);
    if (rc <= 0) return rc;
    GoTo(ch, kStIdle);
    return 0;
}

// --- RETR ------------------------------------------------------------------------

int OpenMessageFile(Channel* ch, uint32_t now) {
    // Files an interrupted download left open are finished first.
    FinishOpenFiles(ch);
    char path[kLineChars + 2];
    int len = JoinPath(path, kLineChars, ch->EmailDir, "", ch->EmailName);
    LogFormat(ch, "Saving email to '%s'\r\n", path);
    // A path longer than its field is refused, never cut to another name.
    CopyText(ch->FailedFile, path, kPathChars);
    if (len < 0 || len > kNameChars) return DriverError(ch, 0, VOK_CANNOT_CREATE_FILE);
    CopyText(ch->MailFile, path, kNameChars);
    plat::FileHandle file = plat::FileCreate(ch->MailFile);
    if (file <= 0) {
        ch->MailHandle = 0;
        return DriverError(ch, 0, VOK_CANNOT_CREATE_FILE);
    }
    ch->MailHandle = file;
    ch->FailedFile[0] = '\0';
    if (ch->DecoderState != kDecodeRaw && StartDownload(ch) < 0)
        return EndCutOff(ch, VOK_CANNOT_CREATE_FILE);
    snprintf(ch->CommandLine, kLineChars, "RETR %d", ch->MessageNumber);
    if (int rc = SendLine(ch, ch->CommandLine); rc < 0) {
        FinishDownload(ch, false);
        return DriverError(ch, rc, VOK_SOCKET_READ_ERROR);
    }
    ExtendDeadline(ch, now);
    ch->StatusPending = 1;
    ch->AtLineStart = 1;
    ch->RetrHeld = 0;
    memset(ch->RawTail, 0, sizeof ch->RawTail);
    if (ch->DecoderState == kDecodeRaw) {
        QuietWait(ch, now);
        GoTo(ch, kPop3RawBlock);
        ch->DataQuiet = 1;  // status line and message come as one stream
    } else {
        CommandGap(ch, now);
        GoTo(ch, kPop3RetrLine);
    }
    return 0;
}

// Keeps the last five bytes of a raw download to tell whether the message's
// "." line has come.
void KeepRawTail(Channel* ch, const char* data, int n) {
    constexpr int kTail = 5;
    if (n >= kTail) {
        memcpy(ch->RawTail, data + n - kTail, kTail);
        return;
    }
    memmove(ch->RawTail, ch->RawTail + n, static_cast<size_t>(kTail - n));
    memcpy(ch->RawTail + kTail - n, data, static_cast<size_t>(n));
}

int ReadRawBlock(Channel* ch, uint32_t now) {
    if (!DataArrived(ch)) {
        // The gate opened without data: silence for ReadWait, and the
        // message is taken as complete.
        ExtendDeadline(ch, now);
        GoTo(ch, kPop3Finish);
        return 0;
    }
    char* block = ch->ReplyBuffer;
    int n = ReadData(ch, block, kLineChars);
    if (n < 0) {
        LogText(ch, "[EOF1]\r\n");
        if (memcmp(ch->RawTail, "\r\n.\r\n", 5) == 0) {
            GoTo(ch, kPop3Finish);
            return 0;
        }
        return EndCutOff(ch, VOK_SOCKET_CLOSED);
    }
    if (n == 0) return 0;
    AddCount(&ch->BodyBytesRead, n);
    int32_t written = plat::FileWrite(ch->MailHandle, block, static_cast<uint32_t>(n));
    if (written != n) return EndCutOff(ch, written < 0 ? written : VOK_SOCKET_CLOSED);
    AddCount(&ch->BodyBytesSent, written);
    KeepRawTail(ch, block, n);
    QuietWait(ch, now);
    return 0;
}

// The status line of RETR or TOP. A refusal ends the call at once with -63
// (the server sends no "." after "-ERR").
int TakeStatusLine(Channel* ch, int n, bool toBuffer) {
    ch->StatusPending = 0;
    const char* line = ch->ReplyBuffer;
    CopyText(ch->LastReply, line, kNameChars);
    ch->ReplyCode = line[0] == '+' ? 100 : 500;
    AddCount(&ch->BodyBytesRead, n);
    if (toBuffer) CopyToUserBuffer(ch, line, n);
    if (ch->ReplyCode == 100) {
        ch->DataQuiet = 1;  // the message's lines follow
        return 0;
    }
    if (!toBuffer) WriteMailData(ch, line, n);
    return EndCutOff(ch, VOK_POP3_ERROR);
}

// The status line of RETR, read like every reply line.
int ReadRetrStatus(Channel* ch, uint32_t now) {
    if (!ReplyReady(ch, kPop3Reply)) return 0;  // the deadline bounds the wait
    bool end = false;
    int n = ReadResponseLine(ch, ScaledWait(ReadWaitMs(), 4), &end);
    if (n < 0) return EndCutOff(ch, n);
    if (n == 0) return 0;
    ch->AtLineStart = EndsLine(ch->ReplyBuffer, n);
    if (int rc = TakeStatusLine(ch, n, false)) return rc;
    ExtendDeadline(ch, now);
    return 0;
}

// After its status line, a RETR response is read in blocks and cut into
// lines here, so that one receive brings many lines and a large message is
// not held back by a driver step per line. The "." line ends it and a line
// that begins with '.' loses that dot (RFC 1939 section 3); a line longer
// than one reply is passed on in pieces, as ReadLine would.
int ReadRetrBlock(Channel* ch, uint32_t now) {
    char* buf = ch->RetrBuffer;
    int held = ch->RetrHeld;
    // Nothing yet: the deadline bounds the wait.
    int got = ReadArrived(ch, buf + held, kRetrBufferSize - held);
    if (got < 0) {
        // What arrived of a last line still goes to the files.
        ch->RetrHeld = 0;
        if (held > 0) DownloadPiece(ch, buf, held);
        return EndCutOff(ch, VOK_SOCKET_CLOSED);
    }
    if (got == 0) return 0;
    held += got;
    int at = 0;
    while (at < held) {
        const char* lf =
            static_cast<const char*>(memchr(buf + at, '\n', static_cast<size_t>(held - at)));
        int len = lf ? static_cast<int>(lf - (buf + at)) + 1 : held - at;
        if (!lf && len < kReplyRoom - 1) break;  // the rest of the line is still to come
        if (!lf) len = kReplyRoom - 1;
        char* line = buf + at;
        at += len;
        if (ch->AtLineStart && line[0] == '.') {
            if (len == 1 || line[1] == '\r' || line[1] == '\n') {
                ch->RetrHeld = 0;
                GoTo(ch, kPop3Finish);
                return 0;
            }
            ++line;
            --len;
        }
        ch->AtLineStart = EndsLine(line, len);
        if (int rc = DownloadPiece(ch, line, len); rc < 0) return EndCutOff(ch, rc);
    }
    memmove(buf, buf + at, static_cast<size_t>(held - at));
    ch->RetrHeld = held - at;
    ExtendDeadline(ch, now);
    return 0;
}

int ReadRetrLines(Channel* ch, uint32_t now) {
    return ch->StatusPending ? ReadRetrStatus(ch, now) : ReadRetrBlock(ch, now);
}

int FinishFiles(Channel* ch, uint32_t) {
    // An attachment that could not be written whole fails the download.
    if (int rc = FinishDownload(ch, true); rc < 0) return DriverError(ch, 0, rc);
    GoTo(ch, kStIdle);
    return 0;
}

// --- TOP -----------------------------------------------------------------------

int SendTop(Channel* ch, uint32_t now) {
    LogText(ch, "[Saving to buffer]\r\n");
    snprintf(ch->CommandLine, kLineChars, "TOP %d %d", ch->MessageNumber, ch->LineCount);
    if (int rc = SendCommand(ch, VOK_SOCKET_READ_ERROR)) return rc;
    ReplyWait(ch, now);
    ch->StatusPending = 1;
    ch->AtLineStart = 1;
    GoTo(ch, kPop3TopLine);
    return 0;
}

int ReadTopLine(Channel* ch, uint32_t now) {
    if (!ReplyReady(ch, kPop3Reply)) return 0;  // a whole line, or the deadline
    bool end = false;
    int n = ReadResponseLine(ch, ReadWaitMs(), &end);
    if (n == VOK_SOCKET_CLOSED) return EndCutOff(ch, VOK_SOCKET_CLOSED);
    if (n < 0) return DriverError(ch, 0, n);
    if (n == 0) return 0;
    const char* line = ch->ReplyBuffer;
    if (ch->StatusPending) {
        ch->AtLineStart = EndsLine(line, n);
        if (int rc = TakeStatusLine(ch, n, true)) return rc;
        ExtendDeadline(ch, now);
        return 0;
    }
    if (end) {
        GoTo(ch, kPop3Finish);
        return 0;
    }
    ch->AtLineStart = EndsLine(line, n);
    AddCount(&ch->BodyBytesRead, n);
    CopyToUserBuffer(ch, line, n);
    ExtendDeadline(ch, now);
    return 0;
}

// --- UIDL ----------------------------------------------------------------------

int SendUidl(Channel* ch, uint32_t now) {
    // Message number 0 or below asks for the whole list.
    if (ch->MessageNumber < 1)
        CopyText(ch->CommandLine, "UIDL", kLineChars);
    else
        snprintf(ch->CommandLine, kLineChars, "UIDL %d", ch->MessageNumber);
    if (int rc = SendCommand(ch, VOK_SOCKET_WRITE_ERROR)) return rc;
    ReplyWait(ch, now);
    ch->StatusPending = 1;
    ch->AtLineStart = 1;
    GoTo(ch, kPop3UidlLine);
    return 0;
}

int ReadUidlLine(Channel* ch, uint32_t now) {
    if (!ReplyReady(ch, kPop3Reply)) return 0;  // a whole line, or the deadline
    bool status = ch->StatusPending != 0;
    bool end = false;
    int n = ReadResponseLine(ch, ScaledWait(ReadWaitMs(), 4), &end);
    if (n == VOK_SOCKET_CLOSED) {
        TerminateUidBuffer(ch);
        return DriverError(ch, 0, VOK_SOCKET_CLOSED);
    }
    if (n < 0) return DriverError(ch, 0, n);
    if (n == 0) return 0;
    const char* line = ch->ReplyBuffer;
    if (end) {
        TerminateUidBuffer(ch);
        GoTo(ch, kStIdle);
        return 0;
    }
    bool lineDone = EndsLine(line, n);
    // A status line that is neither "+OK" nor "-ERR" leaves the two sides
    // out of step.
    if (status && memcmp(line, "+OK", 3) != 0 && memcmp(line, "-ERR", 4) != 0)
        return DriverError(ch, 0, VOK_POP3_ERROR);
    if (status && lineDone) {
        ch->StatusPending = 0;
        CopyText(ch->LastReply, line, kNameChars);
        ch->ReplyCode = line[0] == '+' ? 100 : 500;
    }
    ch->AtLineStart = lineDone;
    CopyToUserBuffer(ch, line, n);
    TerminateUidBuffer(ch);
    // One message: its reply line is all. A list ends with ".", or at once
    // when the server refused it.
    if (lineDone && (ch->MessageNumber >= 1 || (status && line[0] != '+'))) {
        GoTo(ch, kStIdle);
        return 0;
    }
    ExtendDeadline(ch, now);
    return 0;
}

// --- The whole mailbox's sizes or unique ids (ListAll) ---------------------------

int32_t GrownSlots(int32_t slots, int n) {
    int64_t want = slots < 64 ? 64 : static_cast<int64_t>(slots) * 2;
    if (want < n + 1) want = n + 1;
    return static_cast<int32_t>(want > kMaxListed + 1 ? kMaxListed + 1 : want);
}

// Room for message n in the listing being read; false when it cannot be kept.
bool MakeRoom(Channel* ch, int n) {
    if (n < 1 || n > kMaxListed) return false;
    bool uids = ch->ListWant == 'U';
    int32_t slots = uids ? ch->ListUidSlots : ch->ListSizeSlots;
    if (n < slots) return true;
    int32_t grown = GrownSlots(slots, n);
    size_t entry = uids ? kUidChars + 1 : sizeof(int32_t);
    void* block = plat::AllocZeroed(entry * static_cast<size_t>(grown));
    if (!block) return false;
    if (uids) {
        if (ch->ListUids) memcpy(block, ch->ListUids, entry * static_cast<size_t>(slots));
        plat::FreeZeroed(ch->ListUids);
        ch->ListUids = static_cast<char*>(block);
        ch->ListUidSlots = grown;
    } else {
        auto* sizes = static_cast<int32_t*>(block);
        if (ch->ListSizes) memcpy(sizes, ch->ListSizes, entry * static_cast<size_t>(slots));
        for (int32_t i = slots; i < grown; ++i) sizes[i] = -1;
        plat::FreeZeroed(ch->ListSizes);
        ch->ListSizes = sizes;
        ch->ListSizeSlots = grown;
    }
    return true;
}

// "n size" or "n uid" (RFC 1939 section 5 and 7); a line that is neither is
// passed over.
void KeepListingLine(Channel* ch, const char* line) {
    int64_t n = 0;
    const char* p = line;
    while (*p >= '0' && *p <= '9' && n <= kMaxListed) n = n * 10 + (*p++ - '0');
    if (p == line || *p != ' ' || !MakeRoom(ch, static_cast<int>(n))) return;
    while (*p == ' ') ++p;
    if (ch->ListWant == 'U') {
        char* uid = ch->ListUids + static_cast<size_t>(n) * (kUidChars + 1);
        int k = 0;
        while (k < kUidChars && p[k] > 0x20 && p[k] < 0x7F) uid[k] = p[k], ++k;
        uid[k] = '\0';
    } else if (*p >= '0' && *p <= '9') {
        ch->ListSizes[n] = ParseDecimal(p);
    }
}

// The listing is complete (or was refused): the call's question is answered
// from it, or by the one-message command when the listing lacks the message.
void AnswerFromListing(Channel* ch) {
    // A refused or empty listing still counts as fetched.
    MakeRoom(ch, 1);
    int n = ch->MessageNumber;
    if (ch->ListWant == 'U') {
        const char* uid = nullptr;
        if (ListedUid(ch, n, &uid)) {
            AnswerUidFromListing(ch, n, uid);
            GoTo(ch, kStIdle);
        } else {
            GoTo(ch, kPop3Uidl);
        }
        return;
    }
    int32_t size = 0;
    if (ListedSize(ch, n, &size)) {
        ch->MessageSize = size;
        GoTo(ch, kStIdle);
    } else {
        GoTo(ch, kPop3List);
    }
}

int SendListing(Channel* ch, uint32_t now) {
    CopyText(ch->CommandLine, ch->ListWant == 'U' ? "UIDL" : "LIST", kLineChars);
    if (int rc = SendCommand(ch, VOK_SOCKET_WRITE_ERROR)) return rc;
    ReplyWait(ch, now);
    ch->StatusPending = 1;
    ch->AtLineStart = 1;
    GoTo(ch, kPop3ListingLine);
    return 0;
}

int ReadListingLine(Channel* ch, uint32_t now) {
    if (!ReplyReady(ch, kPop3Reply)) return 0;  // a whole line, or the deadline
    bool status = ch->StatusPending != 0;
    bool lineStart = ch->AtLineStart != 0;
    bool end = false;
    int n = ReadResponseLine(ch, ScaledWait(ReadWaitMs(), 4), &end);
    if (n < 0) return DriverError(ch, 0, n);
    if (n == 0) return 0;
    if (end) {
        AnswerFromListing(ch);
        return 0;
    }
    const char* line = ch->ReplyBuffer;
    bool lineDone = EndsLine(line, n);
    ch->AtLineStart = lineDone;
    if (status) {
        // As for UIDL: a status that is neither leaves the sides out of step.
        if (memcmp(line, "+OK", 3) != 0 && memcmp(line, "-ERR", 4) != 0)
            return DriverError(ch, 0, VOK_POP3_ERROR);
        ch->StatusPending = 0;
        CopyText(ch->LastReply, line, kNameChars);
        ch->ReplyCode = line[0] == '+' ? 100 : 500;
        if (line[0] != '+') {
            AnswerFromListing(ch);  // refused: no "." follows
            return 0;
        }
    } else if (lineStart) {
        KeepListingLine(ch, line);
    }
    ExtendDeadline(ch, now);
    return 0;
}

}  // namespace

bool ListedSize(const Channel* ch, int n, int32_t* size) {
    if (!ch->ListSizes || n < 1 || n >= ch->ListSizeSlots || ch->ListSizes[n] < 0) return false;
    *size = ch->ListSizes[n];
    return true;
}

bool ListedUid(const Channel* ch, int n, const char** uid) {
    if (!ch->ListUids || n < 1 || n >= ch->ListUidSlots) return false;
    const char* entry = ch->ListUids + static_cast<size_t>(n) * (kUidChars + 1);
    if (!entry[0]) return false;
    *uid = entry;
    return true;
}

void AnswerUidFromListing(Channel* ch, int n, const char* uid) {
    char line[kUidChars + 32];
    int len = snprintf(line, sizeof line, "+OK %d %s\r\n", n, uid);
    ch->UserBufferLen = 0;
    CopyToUserBuffer(ch, line, len);
    TerminateUidBuffer(ch);
}

namespace {

const StateEntry kPop3Entries[] = {
    {kPop3Connect, StartSession},
    {kPop3Greeting, ReadGreeting},
    {kPop3Apop, SendApop},
    {kPop3User, SendUser},
    {kPop3UserReply, ReadUserReply},
    {kPop3Pass, SendPass},
    {kPop3LoginReply, ReadLoginReply},
    {kPop3Stat, SendStat},
    {kPop3StatReply, ReadStatReply},
    {kPop3RawBlock, ReadRawBlock},
    {kPop3Retr, OpenMessageFile},
    {kPop3Top, SendTop},
    {kPop3RetrLine, ReadRetrLines},
    {kPop3Finish, FinishFiles},
    {kPop3TopLine, ReadTopLine},
    {kPop3Dele, SendDele},
    {kPop3DeleReply, ReadDeleReply},
    {kPop3List, SendList},
    {kPop3ListReply, ReadListReply},
    {kPop3Uidl, SendUidl},
    {kPop3UidlLine, ReadUidlLine},
    {kPop3Listing, SendListing},
    {kPop3ListingLine, ReadListingLine},
    {kPop3Stls, SendStls},
    {kPop3StlsReply, ReadStlsReply},
    {kPop3Capa, SendCapa},
    {kPop3CapaLine, ReadCapaLine},
    {kPop3Auth, SendSaslAuth},
    {kPop3AuthReply, ReadSaslReply},
    {kPop3AuthFinal, ReadSaslFinal},
};

}  // namespace

const StateTable kPop3States = {kPop3Entries,
                                static_cast<int>(sizeof kPop3Entries / sizeof kPop3Entries[0])};

void FinishOpenFiles(Channel* ch) {
    // A download still open was cut off: what arrived is written out, and
    // nothing of it counts as saved.
    EndDownload(ch, false);
    if (ch->FileHandle > 0) {
        // A file the sending side was reading.
        plat::FileClose(ch->FileHandle);
        ch->FileHandle = 0;
    }
    if (ch->MailHandle > 0) plat::FileClose(ch->MailHandle);
    ch->MailHandle = 0;
}

}  // namespace vok
