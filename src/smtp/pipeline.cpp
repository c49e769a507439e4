// SPDX-License-Identifier: MIT
// Command pipelining (RFC 2920): MAIL FROM, every RCPT TO and DATA go out
// in one write, and their replies are read in the order the commands went.
// The outcome is what the commands one at a time give: the first refused
// recipient fails the call with its reply, and the last recipient accepted
// before it is LastRecipient. What is still in flight after a refusal is
// read, so that the session stays in step (section 3.1).
#include <cstring>

#include "codec/text.h"
#include "engine/engine.h"
#include "engine/reply.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "smtp/smtp.h"
#include "vok32.h"

namespace vok {

namespace {

// The commands gathered into one write; a batch longer than the buffer
// goes out in as many writes as it takes, still without waiting for replies.
class Batch {
  public:
    explicit Batch(Channel* ch) : ch_(ch) {}
    void Put(const char* text, size_t n) {
        while (n > 0 && rc_ >= 0) {
            if (used_ == sizeof buffer_) Flush();
            size_t take = sizeof buffer_ - used_;
            if (take > n) take = n;
            memcpy(buffer_ + used_, text, take);
            used_ += take;
            text += take;
            n -= take;
        }
    }
    void Put(const char* text) { Put(text, strlen(text)); }
    int Flush() {
        if (used_ > 0 && rc_ >= 0) {
            int rc = SendData(ch_, buffer_, static_cast<int>(used_));
            if (rc < 0) rc_ = rc;
        }
        used_ = 0;
        return rc_;
    }

  private:
    Channel* ch_;
    char buffer_[8192];
    size_t used_ = 0;
    int rc_ = 0;
};

void StartWalk(Channel* ch) {
    ch->ListCursor = ch->ToList;
    ch->CcDone = ch->CcList ? 0 : 1;
    ch->BccDone = ch->BccList ? 0 : 1;
}

// The next recipient of the walk To, CC, BCC, taken as states 206 and 208
// take them (the item from its '<' to the delimiter): 1 with [*open, *end),
// 0 when the walk is over, -1 for an item without '<'.
int NextInWalk(Channel* ch, const char** open, const char** end) {
    if (!ch->ListCursor) return 0;
    const char* lt = FindInItem(ch->ListCursor, '<');
    if (!lt) return -1;
    const char* cut = ListItemEnd(lt, LibrarySettings.AddressDelimiter);
    *open = lt;
    *end = cut;
    ch->ListCursor = const_cast<char*>(*cut ? cut + 1 : cut);
    if (!*ch->ListCursor) {
        if (!ch->CcDone) {
            ch->CcDone = 1;
            ch->ListCursor = ch->CcList;
        } else if (!ch->BccDone) {
            ch->BccDone = 1;
            ch->ListCursor = ch->BccList;
        } else {
            ch->ListCursor = nullptr;
        }
    }
    return 1;
}

// The first refusal is what the call reports, whatever came after it.
void KeepRefusal(Channel* ch) {
    if (ch->RefusedCode != 0) return;
    ch->RefusedCode = ch->ReplyCode;
    CopyText(ch->RefusedReply, ch->LastReply, kNameChars);
}

int EndRefused(Channel* ch, bool inStep) {
    ch->ReplyCode = ch->RefusedCode;
    CopyText(ch->LastReply, ch->RefusedReply, kNameChars);
    // In step, the session goes on (the next message, or QUIT); else the
    // connection is dropped, as the refusal one command at a time does.
    return inStep ? CommandRefused(ch, VOK_SMTP_ERROR) : DriverError(ch, 0, VOK_SMTP_ERROR);
}

// The reader stops at a refusal's first line. A refusal may have more
// (RFC 5321 section 4.2.1: "550-..." lines up to "550 ..."), and with
// replies in flight behind it they would pass for the next command's: they
// are taken here, up to the line that ends the reply.
int SkipRestOfReply(Channel* ch) {
    if (ch->ReplyBuffer[3] != '-') return 0;
    char line[kLineChars + 2];
    bool atStart = true;
    bool lastLine = false;
    for (int pieces = 0; pieces < 100000; ++pieces) {
        int32_t wait = LibrarySettings.MaxResponseWait;
        int n = ReadLine(ch, line, sizeof line, wait, wait);
        if (n < 0) return VOK_SOCKET_CLOSED;
        if (n == 0) return VOK_SOCKET_TIMEOUT;
        if (atStart && (n < 4 || line[3] != '-')) lastLine = true;
        atStart = line[n - 1] == '\n';  // else the line goes on in the next piece
        if (lastLine && atStart) return 0;
    }
    return VOK_RESPONSE_OVERFLOW;
}

// One reply of the batch: 1 accepted, 0 nothing yet, 2 refused (4yz, 5yz);
// anything else has gone through the error exit (negative).
int BatchReply(Channel* ch) {
    if (!ReplyReady(ch, kSmtpReply)) return 0;
    int rc = ReadSmtpReply(ch);
    if (rc == VOK_SMTP_ERROR && ch->ReplyCode >= 400) {
        rc = SkipRestOfReply(ch);
        return rc < 0 ? DriverError(ch, 0, rc) : 2;
    }
    return rc < 0 ? DriverError(ch, 0, rc) : 1;
}

}  // namespace

namespace smtp {

bool UsePipelining(const Channel* ch) {
    return ch->Pipelining && ch->ServerPipelines;
}

int SendEnvelope(Channel* ch, uint32_t now, const char* from) {
    // Every item is checked before anything goes out: a batch is not cut
    // short half way.
    StartWalk(ch);
    const char* open = nullptr;
    const char* end = nullptr;
    int count = 0;
    for (int rc; (rc = NextInWalk(ch, &open, &end)) != 0; ++count)
        if (rc < 0) return DriverError(ch, 0, VOK_EMPTY_ADDRESS);
    Batch batch(ch);
    batch.Put("MAIL FROM:");
    batch.Put(from);
    batch.Put("\r\n");
    StartWalk(ch);
    while (NextInWalk(ch, &open, &end) == 1) {
        batch.Put("RCPT TO:");
        batch.Put(open, static_cast<size_t>(end - open));
        batch.Put("\r\n");
    }
    batch.Put("DATA\r\n");
    if (int rc = batch.Flush(); rc < 0) return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
    ch->Pipelined = 1;
    ch->PipelineLeft = count;
    ch->PipelineAccepted = 0;
    ch->RefusedCode = 0;
    ReplyWait(ch, now);
    GoTo(ch, kStMailFromReply);
    return 0;
}

int ReadPipelinedRcpt(Channel* ch, uint32_t now) {
    int r = BatchReply(ch);
    if (r <= 0) return r;
    const char* open = nullptr;
    const char* end = nullptr;
    NextInWalk(ch, &open, &end);
    if (r == 2) {
        KeepRefusal(ch);
    } else {
        ++ch->PipelineAccepted;
        if (ch->RefusedCode == 0) {
            int n = static_cast<int>(end - open);
            CopyBytes(ch->LastRecipient, open, n < kRecipientChars ? n : kRecipientChars);
        }
    }
    InFlightReplyWait(ch, now);  // the next reply is already on its way
    GoTo(ch, --ch->PipelineLeft > 0 ? kStBatchRcptReply : kStBatchDataReply);
    return 0;
}

int ReadPipelinedData(Channel* ch, uint32_t now) {
    int r = BatchReply(ch);
    if (r <= 0) return r;
    ch->Pipelined = 0;
    if (ch->RefusedCode == 0) {
        if (r == 2) return DriverError(ch, 0, VOK_SMTP_ERROR);
        ch->HoldSends = 1;  // 354: the message data follows as after DATA alone
        ch->DataQuiet = 1;
        GoTo(ch, FirstDataState(ch));
        return 0;
    }
    // A recipient was refused. DATA refused too: nothing is in flight.
    if (r == 2 || ch->ReplyCode != 354) return EndRefused(ch, true);
    // DATA accepted although every recipient was refused: the "." line ends
    // the empty transaction, which the server then refuses (section 3.1).
    // With some recipients accepted it would deliver an empty message: the
    // connection is dropped instead, which abandons the transaction
    // (RFC 5321 section 3.8).
    if (ch->PipelineAccepted > 0) return EndRefused(ch, false);
    if (int rc = SendWhole(ch, false, "."); rc < 0)
        return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
    ReplyWait(ch, now);
    GoTo(ch, kStEmptyDataReply);
    return 0;
}

int ReadEmptyDataReply(Channel* ch, uint32_t) {
    int r = BatchReply(ch);
    if (r <= 0) return r;
    return EndRefused(ch, true);
}

}  // namespace smtp
}  // namespace vok
