// SPDX-License-Identifier: MIT
// A prepared message sent as it is (RawMessage 1): after DATA's 354 the
// caller's text, or the file named after an '@', goes out line by line and
// nothing is composed around it. Whatever the lines ended in, they end in
// CR LF on the wire (RFC 5321 section 2.3.8); a line that begins with a dot
// gets one more (section 4.5.2); the data ends with the dot line alone.
#include "engine/engine.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "platform/platform.h"
#include "smtp/bodylines.h"
#include "smtp/smtp.h"
#include "vok32.h"

namespace vok::smtp {

namespace {

constexpr int kEnd = -1;
constexpr int kReadFailed = -2;

// The message's next byte: from MessageText at TextPos, or from the file
// through TextBuffer. kEnd at its end, kReadFailed when the file cannot be
// read (its rest would be lost without a word).
int NextByte(Channel* ch) {
    if (ch->TextFromMemory) {
        unsigned char c = static_cast<unsigned char>(ch->MessageText[ch->TextPos]);
        if (!c || ch->TextPos == INT32_MAX) return kEnd;
        ++ch->TextPos;
        return c;
    }
    if (ch->TextPos >= ch->TextLimit) {
        if (ch->TextEnd) return kEnd;
        int32_t got = plat::FileRead(ch->FileHandle, ch->TextBuffer, kLineChars);
        if (got <= 0) {
            ch->TextEnd = 1;
            return got < 0 ? kReadFailed : kEnd;
        }
        ch->TextPos = 0;
        ch->TextLimit = got;
    }
    return static_cast<unsigned char>(ch->TextBuffer[ch->TextPos++]);
}

// Gives back the byte just taken; it is still in its buffer.
void PutBack(Channel* ch) {
    --ch->TextPos;
}

}  // namespace

State FirstDataState(const Channel* ch) {
    return ch->RawMessage ? kStRawOpen : kStMessageId;
}

int OpenRawMessage(Channel* ch, uint32_t now) {
    (void)now;
    ResetTextReader(ch);
    ch->RawMidLine = 0;
    if (!ch->MessageText) ch->MessageText = "";
    ch->TextFromMemory = ch->MessageText[0] != '@';
    if (!ch->TextFromMemory) {
        const char* name = ch->MessageText + 1;
        LogFormat(ch, "Opening message file [%s]\r\n", name);
        plat::FileHandle file = plat::FileOpenRead(name);
        if (file < 1) return DriverError(ch, file, VOK_CANNOT_OPEN_FILE);
        ch->FileHandle = file;
    }
    GoTo(ch, kStRawLine);
    return 0;
}

// One line a step, or a piece of one longer than the line buffer: the
// piece goes out without a line end and the line goes on in the next step.
int SendRawLine(Channel* ch, uint32_t now) {
    char* line = ch->CommandLine;
    int n = 0;
    int c = 0;
    bool ended = false;
    while (n < kLineChars - 1) {
        c = NextByte(ch);
        if (c < 0) break;
        if (c == '\r') {
            int d = NextByte(ch);
            if (d == '\n') {
                ended = true;
                break;
            }
            if (d == kReadFailed) {
                c = d;
                break;
            }
            if (d >= 0) PutBack(ch);
        } else if (c == '\n') {
            ended = true;
            break;
        }
        if (n == 0 && !ch->RawMidLine && c == '.') line[n++] = '.';
        line[n++] = static_cast<char>(c);
    }
    if (c == kReadFailed) return DriverError(ch, 0, VOK_CANNOT_OPEN_FILE);
    bool atEnd = c == kEnd;
    if (n == 0 && !ch->RawMidLine && atEnd) {
        GoTo(ch, kStRawEnd);
        return 0;
    }
    if (ended || atEnd) {
        line[n++] = '\r';
        line[n++] = '\n';
    }
    int rc = SendData(ch, line, n);
    if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
    ch->BodyBytesSent += rc;
    ch->RawMidLine = !(ended || atEnd);
    LinePacing(ch, now);
    GoTo(ch, atEnd ? kStRawEnd : kStRawLine);
    return 0;
}

int EndRawMessage(Channel* ch, uint32_t now) {
    if (ch->FileHandle > 0) plat::FileClose(ch->FileHandle);
    ch->FileHandle = 0;
    ch->HoldSends = 0;  // the final dot pushes out everything held
    ch->DataQuiet = 0;
    int rc = SendWhole(ch, false, ".");
    if (rc < 0) return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
    ReplyWait(ch, now);
    GoTo(ch, kStMessageReply);
    return 0;
}

}  // namespace vok::smtp
