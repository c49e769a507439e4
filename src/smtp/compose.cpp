// Sending a message: the envelope (MAIL FROM, RCPT TO, DATA), the header
// lines, the MIME parts (RFC 2045/2046, multipart/related per RFC 2387 for
// HTML with inline images), the body line by line and each attachment as
// base64, one line per driver step, never assembled in memory.
#include <atomic>
#include <cstdio>

#include "codec/codec.h"
#include "codec/text.h"
#include "engine/engine.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "frame/memory.h"
#include "frame/settings.h"
#include "platform/platform.h"
#include "smtp/bodylines.h"
#include "smtp/smtp.h"
#include "vok32.h"

namespace vok {

namespace {

// Makes every HTML message's Message-ID unique within the library's life;
// the tick count and the channel make it unique across restarts and
// channels.
std::atomic<uint32_t> MessageCounter{0};

// Attachment bytes per base64 line: 57 bytes make 76 characters, the line
// length of RFC 2045 section 6.8, and a whole number of 3-byte groups, so
// the lines join into one valid encoding.
constexpr int kAttachLineBytes = 57;
// Attachment files are read in blocks of this many lines' worth.
constexpr int kAttachBlock = kAttachLineBytes * 35;
static_assert(kAttachBlock <= kLineChars, "the block fits the body reader's buffer");

// Streams one line to the server through CommandLine, in as many sends as
// it takes, so that a line longer than CommandLine goes out whole.
class LineSender {
  public:
    LineSender(Channel* ch, bool stuffDots) : ch_(ch), stuff_(stuffDots) {}

    // Adds at most maxChars characters of text.
    void Put(const char* text, int maxChars = -1) {
        if (!text) return;
        for (int i = 0; text[i] && (maxChars < 0 || i < maxChars); ++i) {
            if (used_ + 2 > kRoom) Flush();
            char c = text[i];
            if (stuff_ && lineStart_ && c == '.') buffer()[used_++] = '.';
            buffer()[used_++] = c;
            lineStart_ = c == '\n' || (c == '\r' && text[i + 1] != '\n');
        }
    }

    // Ends the line with CR LF and sends what is left. Returns the bytes
    // sent, or the first failed send's result.
    int End() {
        if (used_ + 2 > kRoom) Flush();
        buffer()[used_++] = '\r';
        buffer()[used_++] = '\n';
        Flush();
        return result_;
    }

  private:
    static constexpr int kRoom = kLineChars + 2;
    char* buffer() { return ch_->CommandLine; }

    void Flush() {
        if (used_ > 0 && result_ >= 0) {
            int rc = SendData(ch_, buffer(), used_);
            result_ = rc < 0 ? rc : result_ + rc;
        }
        used_ = 0;
    }

    Channel* ch_;
    bool stuff_;
    bool lineStart_ = true;
    int used_ = 0;
    int result_ = 0;
};

// A line of message data: header lines, boundaries and part headers.
int SendDataLine(Channel* ch, const char* a, const char* b = nullptr, const char* c = nullptr) {
    LineSender line(ch, true);
    line.Put(a);
    line.Put(b);
    line.Put(c);
    return line.End();
}

int WriteFailed(Channel* ch, int rc) {
    return DriverError(ch, rc, VOK_SOCKET_WRITE_ERROR);
}

const char* TrackedText(const Channel* ch, int slot) {
    return GetBlock(ch->Chan * kSlotsPerChannel + slot);
}

bool Multipart(const Channel* ch) {
    return ch->AttachList || ch->BodyFormat != 0;
}

// The state after the Subject line (or where it would have been).
int32_t AfterSubject(const Channel* ch) {
    if (ch->CcList) return 228;
    return Multipart(ch) ? 229 : 233;
}

// The name a reader sees for a path: what follows its last '/', '\' or ':'
// (both kinds of path are met whatever system we run on).
const char* BaseName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p) {
        if ((*p == '/' || *p == '\\' || *p == ':') && p[1]) name = p + 1;
    }
    return name;
}

// The shown name of an attachment item: the text after the
// AttachNameDelimiter when it has one, else the base name of its path.
const char* ShownName(const char* item) {
    const char* named = FindChar(item, LibrarySettings.AttachNameDelimiter);
    return named ? named + 1 : BaseName(item);
}

// The content type of an inline image, by the last four characters of its
// name; null when it is not one.
const char* ImageType(const char* name) {
    int len = TextLength(name);
    if (len <= 4) return nullptr;
    const char* ext = name + len - 4;
    if (SameText(ext, ".gif", 4)) return "Content-Type: Image/GIF; name=\"";
    if (SameText(ext, ".bmp", 4)) return "Content-Type: Image/BMP; name=\"";
    if (SameText(ext, ".tif", 4)) return "Content-Type: Image/TIFF; name=\"";
    if (SameText(ext, ".jpg", 4)) return "Content-Type: Image/JPEG; name=\"";
    return nullptr;
}

// Sends the next body line, built by the body reader into CommandLine.
// 1 when a line went out, 0 at the end of the body, else the error exit's
// result.
int SendBodyLine(Channel* ch) {
    if (ReadTextLine(ch, ch->CommandLine) < 0) return 0;
    int rc = SendLine(ch, ch->CommandLine);
    if (rc < 0) return WriteFailed(ch, rc);
    ch->BodyBytesSent += rc;
    return 1;
}

int32_t AfterBody(const Channel* ch) {
    return ch->AttachList ? 260 : 251;
}

// Fills the attachment buffer (the body reader's, free once the body has
// gone out) so that it holds a whole line's worth, unless the file ends
// first. A read error counts as the end of the file.
void FillAttachBuffer(Channel* ch) {
    int rest = ch->TextLimit - ch->TextPos;
    if (rest >= kAttachLineBytes || ch->TextEnd) return;
    for (int i = 0; i < rest; ++i) ch->TextBuffer[i] = ch->TextBuffer[ch->TextPos + i];
    ch->TextPos = 0;
    ch->TextLimit = rest;
    while (ch->TextLimit < kAttachLineBytes) {
        int32_t got = plat::FileRead(ch->FileHandle, ch->TextBuffer + ch->TextLimit,
                                     static_cast<uint32_t>(kAttachBlock - ch->TextLimit));
        if (got <= 0) {
            ch->TextEnd = 1;
            break;
        }
        ch->TextLimit += got;
    }
}

void CloseMessageFile(Channel* ch) {
    if (ch->FileHandle > 0) plat::FileClose(ch->FileHandle);
    ch->FileHandle = 0;
}

}  // namespace

int SendWhole(Channel* ch, bool stuffDots, const char* a, const char* b, const char* c,
              const char* d) {
    LineSender line(ch, stuffDots);
    line.Put(a);
    line.Put(b);
    line.Put(c);
    line.Put(d);
    return line.End();
}

void AbandonMessage(Channel* ch) {
    const int32_t s = ch->NextState;
    const bool sending = (s >= 204 && s <= 265 && s != 258 && s != 259) || (s >= 400 && s <= 402);
    const bool verifying = s >= 270 && s <= 272;
    if (!sending && !verifying) return;
    if (sending) CloseMessageFile(ch);
    ch->NextState = 0;
}

namespace smtp {

// --- The envelope (RFC 5321 section 3.3) ---------------------------------------

int SendMailFrom(Channel* ch, uint32_t now) {
    if (!ch->FromAddress[0]) return DriverError(ch, 0, VOK_MISSING_FROM);
    const char* open = FindChar(ch->FromAddress, '<');
    if (!open) return DriverError(ch, 0, VOK_MISSING_LT);
    // The sender may have been set as a parameter since the connect.
    if (HasLineBreak(open)) return DriverError(ch, 0, VOK_BAD_ADDRESS_CHAR);
    int rc = SendWhole(ch, false, "MAIL FROM:", open);
    if (rc < 0) return WriteFailed(ch, rc);
    ReplyWait(ch, now);
    ch->NextState = 205;
    return 0;
}

int ReadMailFromReply(Channel* ch, uint32_t now) {
    (void)now;
    int r = AwaitSmtpReply(ch);
    if (r <= 0) return r;
    ch->ListCursor = ch->ToList;
    ch->CcDone = ch->CcList ? 0 : 1;
    ch->BccDone = ch->BccList ? 0 : 1;
    ch->NextState = 206;
    return 0;
}

// Only the part from the item's '<' up to the next delimiter goes out: a
// display name before it is skipped.
int NextRecipient(Channel* ch, uint32_t now) {
    char* open = ch->ListCursor ? FindInItem(ch->ListCursor, '<') : nullptr;
    if (!open) return DriverError(ch, 0, VOK_EMPTY_ADDRESS);
    ch->CurrentAddress = open;
    char* cut = FindChar(open, LibrarySettings.AddressDelimiter);
    if (cut) {
        *cut = '\0';
        ch->ListCut = cut;
        ch->ListCursor = cut + 1;
    } else {
        ch->ListCut = nullptr;
        ch->ListCursor = open + TextLength(open);
    }
    ch->NeedWritable = 1;
    ch->Deadline = TickAfter(now, LibrarySettings.MaxResponseWait);
    ch->NextState = 207;
    return 0;
}

int SendRcptTo(Channel* ch, uint32_t now) {
    int rc = SendWhole(ch, false, "RCPT TO:", ch->CurrentAddress);
    if (rc < 0) return WriteFailed(ch, rc);
    ch->Deadline = TickAfter(now, LibrarySettings.MaxResponseWait);
    ch->NextState = 208;
    return 0;
}

// 250 or 251 expected; the reply reader fails the call on anything else.
int ReadRcptReply(Channel* ch, uint32_t now) {
    int r = AwaitSmtpReply(ch);
    if (r <= 0) return r;
    CopyText(ch->LastRecipient, ch->CurrentAddress, kRecipientChars);
    // The list is whole again for the header lines.
    if (ch->ListCut) *ch->ListCut = LibrarySettings.AddressDelimiter;
    ch->ListCut = nullptr;
    ch->NextState = 206;
    if (*ch->ListCursor) return 0;
    if (!ch->CcDone) {
        ch->CcDone = 1;
        ch->ListCursor = ch->CcList;
        return 0;
    }
    if (!ch->BccDone) {
        ch->BccDone = 1;
        ch->ListCursor = ch->BccList;
        return 0;
    }
    ch->NextTime = TickAfter(now, LibrarySettings.MinResponseWait);
    ch->NextState = 209;
    return 0;
}

int SendDataCommand(Channel* ch, uint32_t now) {
    int rc = SendWhole(ch, false, "DATA");
    if (rc < 0) return WriteFailed(ch, rc);
    ReplyWait(ch, now);
    ch->NextState = 210;
    return 0;
}

int ReadDataReply(Channel* ch, uint32_t now) {
    (void)now;
    int r = AwaitSmtpReply(ch);
    if (r <= 0) return r;
    ch->HoldSends = 1;  // the message data follows line by line
    ch->NextState = ch->BodyFormat == 2 ? 220 : 221;
    return 0;
}

// --- The header (RFC 5322) --------------------------------------------------------

// Every HTML message refers to its parts as message-root.N; the message
// itself needs an id of its own (RFC 5322 section 3.6.4), or receivers that
// drop duplicates lose every message after the first.
int SendMessageId(Channel* ch, uint32_t now) {
    char domain[kNameChars + 2];
    SenderDomain(ch->FromAddress, domain, sizeof domain);
    char line[kNameChars + 96];
    snprintf(line, sizeof line, "Message-ID: <message-root.%u.%d.%u@%s>",
             static_cast<unsigned>(now), ch->Chan, static_cast<unsigned>(++MessageCounter), domain);
    int rc = SendDataLine(ch, line);
    if (rc < 0) return WriteFailed(ch, rc);
    ch->NextState = 221;
    return 0;
}

int SendMailer(Channel* ch, uint32_t now) {
    (void)now;
    int rc = SendDataLine(ch, "X-Mailer: Quorwick Mailvane Version 3.4");
    if (rc < 0) return WriteFailed(ch, rc);
    ch->NextState = 223;
    return 0;
}

int SendDate(Channel* ch, uint32_t now) {
    (void)now;
    char date[64];
    FormatDateLine(date);
    int rc = SendDataLine(ch, date);
    if (rc < 0) return WriteFailed(ch, rc);
    ch->NextState = 224;
    return 0;
}

// Header lines go out whole, however long the lists: a cut line would
// silently drop recipients from what the reader sees.
int SendToHeader(Channel* ch, uint32_t now) {
    if (!LibrarySettings.HideToHeader) {
        int rc = SendDataLine(ch, "To: ", ch->ToList);
        if (rc < 0) return WriteFailed(ch, rc);
        ReplyWait(ch, now);
    }
    ch->NextState = 225;
    return 0;
}

int SendFromHeader(Channel* ch, uint32_t now) {
    (void)now;
    if (ch->FromAddress[0]) {
        int rc = SendDataLine(ch, "From: ", ch->FromAddress);
        if (rc < 0) return WriteFailed(ch, rc);
    }
    if (ch->ReplyTo[0]) {
        ch->NextState = 226;
    } else {
        ch->NextState = ch->SubjectText ? 227 : AfterSubject(ch);
    }
    return 0;
}

int SendReplyToHeader(Channel* ch, uint32_t now) {
    (void)now;
    int rc = SendDataLine(ch, "Reply-To: ", ch->ReplyTo);
    if (rc < 0) return WriteFailed(ch, rc);
    ch->NextState = ch->SubjectText ? 227 : AfterSubject(ch);
    return 0;
}

// The extra header lines follow the subject; they may be several lines
// joined by CR LF, each of which is stuffed like any line of data.
int SendSubject(Channel* ch, uint32_t now) {
    (void)now;
    int rc = SendDataLine(ch, "Subject: ", ch->SubjectText);
    if (rc < 0) return WriteFailed(ch, rc);
    const char* extra = TrackedText(ch, kSlotUserHeaders);
    // An empty line here would end the header early.
    if (extra && *extra) {
        rc = SendDataLine(ch, extra);
        if (rc < 0) return WriteFailed(ch, rc);
    }
    ch->NextState = AfterSubject(ch);
    return 0;
}

int SendCcHeader(Channel* ch, uint32_t now) {
    (void)now;
    int rc = SendDataLine(ch, "CC: ", ch->CcList);
    if (rc < 0) return WriteFailed(ch, rc);
    ch->NextState = Multipart(ch) ? 229 : 233;
    return 0;
}

int SendMimeVersion(Channel* ch, uint32_t now) {
    (void)now;
    int rc = SendDataLine(ch, "MIME-Version: 1.0");
    if (rc < 0) return WriteFailed(ch, rc);
    ch->NextState = 230;
    return 0;
}

int SendMultipartType(Channel* ch, uint32_t now) {
    (void)now;
    const char* type = ch->BodyFormat == 2 ? "Content-Type: multipart/related; boundary=\""
                                           : "Content-Type: multipart/mixed; boundary=\"";
    int rc = SendDataLine(ch, type, Boundary, "\"");
    if (rc < 0) return WriteFailed(ch, rc);
    ch->NextState = 233;
    return 0;
}

int EndHeader(Channel* ch, uint32_t now) {
    (void)now;
    int rc = SendData(ch, "\r\n", 2);
    if (rc < 0) return WriteFailed(ch, rc);
    ch->NextState = Multipart(ch) ? 234 : 238;
    return 0;
}

// --- The MIME parts before the body ------------------------------------------------

int SendFirstBoundary(Channel* ch, uint32_t now) {
    (void)now;
    int rc = SendDataLine(ch, "--", Boundary);
    if (rc < 0) return WriteFailed(ch, rc);
    ch->NextState = TrackedText(ch, kSlotAlternateText) ? 400 : 235;
    return 0;
}

int SendAlternateHeader(Channel* ch, uint32_t now) {
    (void)now;
    int rc = SendDataLine(ch, "Content-Type: text/plain\r\n");
    if (rc < 0) return WriteFailed(ch, rc);
    ch->NextState = 401;
    return 0;
}

// The alternative text goes out as it is, at most its first 2048
// characters; only a '.' that begins one of its lines is doubled.
int SendAlternateText(Channel* ch, uint32_t now) {
    (void)now;
    LineSender line(ch, true);
    line.Put(TrackedText(ch, kSlotAlternateText), kLineChars);
    int rc = line.End();
    if (rc < 0) return WriteFailed(ch, rc);
    ch->NextState = 402;
    return 0;
}

int SendAlternateBoundary(Channel* ch, uint32_t now) {
    (void)now;
    int rc = SendDataLine(ch, "--", Boundary);
    if (rc < 0) return WriteFailed(ch, rc);
    ch->NextState = 235;
    return 0;
}

// The body part's header. The body reader quoted-printable encodes every
// format but plain text and HTML, so every other format is labelled so.
int SendBodyType(Channel* ch, uint32_t now) {
    (void)now;
    const char* type = "Content-Type: text/plain";
    switch (ch->BodyFormat) {
        case 2:
            type = "Content-Type: text/html";
            break;
        case 3:
            type = "Content-Type: text/enriched";
            break;
        case 4:
            type = "Content-Type: text/plain; charset=iso-8859-1";
            break;
        case 9:
            type = LibrarySettings.CustomContentType;
            break;
        default:
            break;
    }
    const bool quoted = ch->BodyFormat != 0 && ch->BodyFormat != 2;
    int rc = SendDataLine(ch, type, quoted ? nullptr : "\r\n");
    if (rc < 0) return WriteFailed(ch, rc);
    ch->NextState = quoted ? 236 : 238;
    return 0;
}

int SendBodyEncoding(Channel* ch, uint32_t now) {
    (void)now;
    const char* encoding = LibrarySettings.UseCustomEncoding
                               ? LibrarySettings.CustomEncoding
                               : "Content-Transfer-Encoding: quoted-printable";
    int rc = SendDataLine(ch, encoding, "\r\n");
    if (rc < 0) return WriteFailed(ch, rc);
    ch->NextState = 238;
    return 0;
}

// --- The body ----------------------------------------------------------------------

int StartBody(Channel* ch, uint32_t now) {
    (void)now;
    ResetTextReader(ch);
    ch->NextState = ch->MessageText && ch->MessageText[0] == '@' ? 244 : 240;
    return 0;
}

int StartMemoryBody(Channel* ch, uint32_t now) {
    (void)now;
    if (!ch->MessageText) ch->MessageText = "";
    ch->Lookahead = 0;
    ch->TextFromMemory = 1;
    ch->NextState = 241;
    return 0;
}

int SendMemoryBodyLine(Channel* ch, uint32_t now) {
    int r = SendBodyLine(ch);
    if (r < 0) return r;
    if (r == 0) {
        ch->NextState = AfterBody(ch);
        return 0;
    }
    LinePacing(ch, now);
    ch->NextState = 241;
    return 0;
}

int OpenBodyFile(Channel* ch, uint32_t now) {
    (void)now;
    ch->TextFromMemory = 0;
    const char* name = ch->MessageText + 1;
    LogFormat(ch, "Opening message file [%s]\r\n", name);
    plat::FileHandle file = plat::FileOpenRead(name);
    if (file < 1) return DriverError(ch, file, VOK_CANNOT_OPEN_FILE);
    ch->FileHandle = file;
    ch->NextState = 245;
    return 0;
}

// A server reading a file-sourced body gets MaxResponseWait per line.
int SendFileBodyLine(Channel* ch, uint32_t now) {
    int r = SendBodyLine(ch);
    if (r < 0) return r;
    if (r == 0) {
        CloseMessageFile(ch);
        ch->NextState = AfterBody(ch);
        return 0;
    }
    ch->NextTime = TickAfter(now, LibrarySettings.SendLineDelay);
    ch->Deadline = TickAfter(now, LibrarySettings.MaxResponseWait);
    ch->NeedWritable = 1;
    ch->NextState = 245;
    return 0;
}

// --- Attachments --------------------------------------------------------------------

int SendAttachBoundary(Channel* ch, uint32_t now) {
    (void)now;
    int rc = SendDataLine(ch, "\r\n\r\n--", Boundary);
    if (rc < 0) return WriteFailed(ch, rc);
    ch->NextState = 261;
    return 0;
}

// Splits the next item off the list and sends the part's Content-Type; an
// inline image also gets its Content-ID in the same send.
int SendAttachType(Channel* ch, uint32_t now) {
    (void)now;
    char* item = ch->AttachList;
    char* cut = FindChar(item, LibrarySettings.AttachDelimiter);
    if (cut) {
        *cut = '\0';
        ch->AttachRest = cut + 1;
    } else {
        ch->AttachRest = item + TextLength(item);
    }
    const char* shown = ShownName(item);
    const char* image = ch->InlineImages ? ImageType(shown) : nullptr;
    int rc;
    if (image) {
        ch->ImagePart = 1;
        ++ch->ContentIdCount;
        char contentId[48];
        snprintf(contentId, sizeof contentId, "\"\r\nContent-ID: <message-root.%d>",
                 ch->ContentIdCount);
        rc = SendDataLine(ch, image, shown, contentId);
    } else {
        ch->ImagePart = 0;
        rc = SendDataLine(ch, "Content-Type: application/octet-stream; name=\"", shown, "\"");
    }
    if (rc < 0) return WriteFailed(ch, rc);
    ch->NextState = 262;
    return 0;
}

int SendAttachEncoding(Channel* ch, uint32_t now) {
    (void)now;
    int rc = SendDataLine(ch, "Content-Transfer-Encoding: base64");
    if (rc < 0) return WriteFailed(ch, rc);
    ch->NextState = 263;
    return 0;
}

int SendAttachDisposition(Channel* ch, uint32_t now) {
    const char* disposition = ch->ImagePart ? "Content-Disposition: inline; filename=\""
                                            : "Content-Disposition: attachment; filename=\"";
    int rc = SendDataLine(ch, disposition, ShownName(ch->AttachList), "\"\r\n");
    if (rc < 0) return WriteFailed(ch, rc);
    ch->NextTime = now;
    ch->NextState = 264;
    return 0;
}

int OpenAttachment(Channel* ch, uint32_t now) {
    (void)now;
    char* path = ch->AttachList;
    // The shown name has gone out; the item is now just the path.
    if (char* named = FindChar(path, LibrarySettings.AttachNameDelimiter)) *named = '\0';
    LogFormat(ch, "Opening attachment [%s]\r\n", path);
    plat::FileHandle file = plat::FileOpenRead(path);
    if (file < 1) return DriverError(ch, 0, VOK_CANNOT_OPEN_FILE);
    ch->FileHandle = file;
    ch->TextPos = ch->TextLimit = 0;
    ch->TextEnd = 0;
    ch->NeedWritable = 1;
    ch->NextState = 265;
    return 0;
}

// One base64 line of at most 57 file bytes per step.
int SendAttachLine(Channel* ch, uint32_t now) {
    FillAttachBuffer(ch);
    int n = ch->TextLimit - ch->TextPos;
    if (n > kAttachLineBytes) n = kAttachLineBytes;
    if (n <= 0) {
        CloseMessageFile(ch);
        if (ch->AttachRest && *ch->AttachRest) {
            ch->AttachList = ch->AttachRest;
            ch->NextState = 260;
        } else {
            ch->NextState = 251;
        }
        return 0;
    }
    ch->AttachBytesRead += n;
    const auto* bytes = reinterpret_cast<const unsigned char*>(ch->TextBuffer + ch->TextPos);
    ch->TextPos += n;
    int len = EncodeBase64Line(bytes, ch->CommandLine, n) + 2;
    ch->AttachBytesSent += len;
    int rc = SendData(ch, ch->CommandLine, len);
    if (rc < 0) return WriteFailed(ch, rc);
    LinePacing(ch, now);
    ch->NextState = 265;
    return 0;
}

// --- The end of the data (RFC 5321 section 4.1.1.4) -----------------------------------

int EndMessage(Channel* ch, uint32_t now) {
    if (Multipart(ch)) {
        int rc = SendDataLine(ch, "--", Boundary, "--\r\n");
        if (rc < 0) return WriteFailed(ch, rc);
    }
    ch->HoldSends = 0;  // the final dot pushes out everything held
    int rc = SendWhole(ch, false, "\r\n.");
    if (rc < 0) return WriteFailed(ch, rc);
    ReplyWait(ch, now);
    ch->NextState = 252;
    return 0;
}

// The server may take a moment to file the message; the step itself waits
// up to 100 ms for it before leaving the rest of the wait to the driver.
int ReadMessageReply(Channel* ch, uint32_t now) {
    (void)now;
    if (!WaitReadable(ch, 100)) return 0;
    int r = AwaitSmtpReply(ch);
    if (r <= 0) return r;
    ch->NextState = 0;
    return 0;
}

}  // namespace smtp
}  // namespace vok

using namespace vok;

namespace {

// Copies an optional argument into its slot; an empty text counts as none.
// Returns false when the copy cannot be made.
bool CopyOptional(Channel* ch, int slot, const char* text, char** field) {
    *field = nullptr;
    if (!text || !*text) return true;
    *field = AllocAndCopy(ch->Chan, slot, text);
    return *field != nullptr;
}

// A recipient list must have a '<' and a '>' in its first item, and no line
// break anywhere (it would end the RCPT TO command early).
int CheckList(Channel* ch, const char* list) {
    if (int rc = CheckAddressForm(ch, list, true)) return rc;
    return HasLineBreak(list) ? VOK_BAD_ADDRESS_CHAR : 0;
}

}  // namespace

extern "C" VOK_EXPORT int VOKAPI vokSendEmail(int channel, const char* to, const char* cc,
                                              const char* bcc, const char* subject,
                                              const char* message, const char* attachments) {
    CallScope scope;
    Channel* ch = nullptr;
    if (int rc = LookupChannel(channel, &ch)) return rc;
    if (ch->Protocol != 'S') return VOK_SMTP_ONLY;
    LogCall(ch, "vokSendEmail");
    // A session ended by an error has no socket left to poll.
    if (ch->Socket == plat::kNoSocket || WaitWritable(ch, 0) != 1) return VOK_NOT_CONNECTED;
    AbandonMessage(ch);

    ch->BodyBytesRead = ch->AttachBytesRead = 0;
    ch->BodyBytesSent = ch->AttachBytesSent = 0;
    ch->ContentIdCount = 0;
    // Nothing may point into the copies that are about to be replaced.
    ch->ToList = ch->CcList = ch->BccList = ch->SubjectText = nullptr;
    ch->AttachList = ch->AttachRest = nullptr;
    ch->ListCursor = ch->ListCut = ch->CurrentAddress = nullptr;
    ch->MessageText = "";

    if (!to || !*to) return VOK_NO_RECIPIENT;
    if (int rc = CheckList(ch, to)) return rc;
    ch->ToList = AllocAndCopy(ch->Chan, kSlotTo, to);
    if (!ch->ToList) return VOK_NO_MEMORY;
    if (cc && *cc) {
        if (int rc = CheckList(ch, cc)) return rc;
    }
    if (!CopyOptional(ch, kSlotCc, cc, &ch->CcList)) return VOK_NO_MEMORY;
    if (bcc && *bcc) {
        if (int rc = CheckList(ch, bcc)) return rc;
    }
    if (!CopyOptional(ch, kSlotBcc, bcc, &ch->BccList)) return VOK_NO_MEMORY;
    char* body = nullptr;
    if (!CopyOptional(ch, kSlotSubject, subject, &ch->SubjectText) ||
        !CopyOptional(ch, kSlotMessage, message, &body) ||
        !CopyOptional(ch, kSlotAttachments, attachments, &ch->AttachList)) {
        return VOK_NO_MEMORY;
    }
    ch->MessageText = body ? body : "";

    if (ch->AutoCall) LogText(ch, "*** Sending...\r\n");
    return StartOperation(ch, 204, true);
}
