// SPDX-License-Identifier: MIT
// Sending a message: the envelope (MAIL FROM, RCPT TO, DATA), the header
// lines, the MIME parts (RFC 2045/2046; multipart/related per RFC 2387 for
// HTML with inline images; an HTML body with its plain-text alternative as
// multipart/alternative), the body line by line and each attachment as
// base64, one line per driver step, never assembled in memory.
#include <atomic>
#include <cstdio>

#include "codec/codec.h"
#include "codec/date.h"
#include "codec/text.h"
#include "engine/engine.h"
#include "engine/reply.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "frame/memory.h"
#include "frame/settings.h"
#include "platform/platform.h"
#include "smtp/bodylines.h"
#include "smtp/header_text.h"
#include "smtp/smtp.h"
#include "vok32.h"

namespace vok {

namespace {

// Makes every message's Message-ID unique within the library's life;
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

// Layout flags of an HTML message with its plain-text alternative (RFC 2046
// section 5.1.4): the alternative and the HTML in multipart/alternative,
// the HTML with its inline images in multipart/related, all that inside
// multipart/mixed when there are attachments besides.
constexpr uint8_t kLayoutAlternative = 1;
constexpr uint8_t kLayoutRelated = 2;
constexpr uint8_t kLayoutMixed = 4;

bool Multipart(const Channel* ch) {
    return ch->AttachList || ch->BodyFormat != 0;
}

// A message of one text part that still needs the MIME header lines: a
// plain body that declares its charset.
bool SinglePart(const Channel* ch) {
    return !Multipart(ch) && ch->BodyCharset;
}

// The state after the Subject line (or where it would have been).
State AfterSubject(const Channel* ch) {
    if (ch->CcList) return kStCcHeader;
    return Multipart(ch) || SinglePart(ch) ? kStMimeVersion : kStEndHeader;
}

// The boundary of a nested multipart: the message's own with a letter in
// front, so that neither delimiter begins the other. out needs 32 bytes.
void NestedBoundary(char letter, char* out) {
    out[0] = letter;
    CopyText(out + 1, Boundary, 29);
}

// The boundary of the multipart/alternative: the message's own when it is
// the top level.
void AlternativeBoundary(const Channel* ch, char* out) {
    if (ch->Layout & kLayoutMixed) {
        NestedBoundary('A', out);
    } else {
        CopyText(out, Boundary, 30);
    }
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
    if (SameText(ext, ".gif", 4)) return "Content-Type: Image/GIF;";
    if (SameText(ext, ".bmp", 4)) return "Content-Type: Image/BMP;";
    if (SameText(ext, ".tif", 4)) return "Content-Type: Image/TIFF;";
    if (SameText(ext, ".jpg", 4)) return "Content-Type: Image/JPEG;";
    return nullptr;
}

// The Content-Type line of any other attachment, by the extension of its
// shown name; application/octet-stream for what the table does not know.
const char* AttachmentType(const char* name) {
    static const struct {
        const char* ext;
        const char* line;
    } kTypes[] = {
        {"pdf", "Content-Type: application/pdf;"},
        {"png", "Content-Type: image/png;"},
        {"jpg", "Content-Type: image/jpeg;"},
        {"jpeg", "Content-Type: image/jpeg;"},
        {"gif", "Content-Type: image/gif;"},
        {"bmp", "Content-Type: image/bmp;"},
        {"tif", "Content-Type: image/tiff;"},
        {"tiff", "Content-Type: image/tiff;"},
        {"webp", "Content-Type: image/webp;"},
        {"svg", "Content-Type: image/svg+xml;"},
        {"ico", "Content-Type: image/vnd.microsoft.icon;"},
        {"txt", "Content-Type: text/plain;"},
        {"log", "Content-Type: text/plain;"},
        {"csv", "Content-Type: text/csv;"},
        {"htm", "Content-Type: text/html;"},
        {"html", "Content-Type: text/html;"},
        {"css", "Content-Type: text/css;"},
        {"xml", "Content-Type: application/xml;"},
        {"json", "Content-Type: application/json;"},
        {"ics", "Content-Type: text/calendar;"},
        {"vcf", "Content-Type: text/vcard;"},
        {"eml", "Content-Type: message/rfc822;"},
        {"rtf", "Content-Type: application/rtf;"},
        {"zip", "Content-Type: application/zip;"},
        {"gz", "Content-Type: application/gzip;"},
        {"tgz", "Content-Type: application/gzip;"},
        {"tar", "Content-Type: application/x-tar;"},
        {"7z", "Content-Type: application/x-7z-compressed;"},
        {"doc", "Content-Type: application/msword;"},
        {"docx",
         "Content-Type: "
         "application/vnd.openxmlformats-officedocument.wordprocessingml.document;"},
        {"xls", "Content-Type: application/vnd.ms-excel;"},
        {"xlsx",
         "Content-Type: application/vnd.openxmlformats-officedocument.spreadsheetml.sheet;"},
        {"ppt", "Content-Type: application/vnd.ms-powerpoint;"},
        {"pptx",
         "Content-Type: "
         "application/vnd.openxmlformats-officedocument.presentationml.presentation;"},
        {"odt", "Content-Type: application/vnd.oasis.opendocument.text;"},
        {"ods", "Content-Type: application/vnd.oasis.opendocument.spreadsheet;"},
        {"mp3", "Content-Type: audio/mpeg;"},
        {"wav", "Content-Type: audio/wav;"},
        {"ogg", "Content-Type: audio/ogg;"},
        {"mp4", "Content-Type: video/mp4;"},
        {"mpeg", "Content-Type: video/mpeg;"},
        {"mov", "Content-Type: video/quicktime;"},
        {"avi", "Content-Type: video/x-msvideo;"},
    };
    const char* dot = nullptr;
    for (const char* p = name; *p; ++p) {
        if (*p == '.') dot = p;
    }
    if (dot && dot != name) {
        const int len = TextLength(dot + 1);
        for (const auto& t : kTypes) {
            if (TextLength(t.ext) == len && SameText(dot + 1, t.ext, len)) return t.line;
        }
    }
    return "Content-Type: application/octet-stream;";
}

// Whether the item (its delimiter already cut) goes out as an inline image.
bool IsInlineImage(const Channel* ch, const char* item) {
    return ch->InlineImages && ImageType(ShownName(item));
}

// Puts back the delimiters the walk cut out of the attachment list.
void RestoreAttachCuts(Channel* ch) {
    if (ch->AttachCut) *ch->AttachCut = LibrarySettings.AttachDelimiter;
    if (ch->NameCut) *ch->NameCut = LibrarySettings.AttachNameDelimiter;
    ch->AttachCut = ch->NameCut = nullptr;
}

// Cuts the next item of the current pass off the list at AttachRest and
// makes it AttachList. False when the pass has no item left.
bool NextAttachItem(Channel* ch) {
    RestoreAttachCuts(ch);
    const char delimiter = LibrarySettings.AttachDelimiter;
    while (ch->AttachRest && *ch->AttachRest) {
        char* item = ch->AttachRest;
        char* cut = FindChar(item, delimiter);
        ch->AttachRest = cut ? cut + 1 : item + TextLength(item);
        if (cut) *cut = '\0';
        const bool image = ch->AttachPass != 0 && IsInlineImage(ch, item);
        if (ch->AttachPass == 0 || (ch->AttachPass == 1) == image) {
            ch->AttachCut = cut;
            ch->AttachList = item;
            return true;
        }
        if (cut) *cut = delimiter;
    }
    return false;
}

// True when the caller's extra header lines hold a Message-ID of their own.
bool HasMessageId(const char* headers) {
    if (!headers) return false;
    for (const char* p = headers; *p;) {
        if (SameText(p, "Message-ID:", 11)) return true;
        while (*p && *p != '\n') ++p;
        if (*p) ++p;
    }
    return false;
}

int SendAddressField(Channel* ch, const char* name, const char* list, char delimiter) {
    HeaderWriter field(ch, name);
    field.AddressList(list, delimiter, ch->Charset);
    return field.End();
}

// Quoted-printable (RFC 2045 section 6.7) of at most maxChars characters of
// a text in memory, its CR LF pairs kept as line ends, in lines of at most
// 76 characters.
int SendQuotedText(Channel* ch, const char* text, int maxChars) {
    LineSender line(ch, true);
    int column = 0;
    const int n = text ? TextLength(text) : 0;
    const int end = n < maxChars ? n : maxChars;
    for (int i = 0; i < end; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r' && i + 1 < end && text[i + 1] == '\n') continue;
        if (c == '\n') {
            line.Put("\r\n");
            column = 0;
            continue;
        }
        // Blanks that end a line would be lost on the way (rule 3).
        const bool lineEnd = i + 1 >= end || text[i + 1] == '\r' || text[i + 1] == '\n';
        char piece[4] = {static_cast<char>(c), '\0', '\0', '\0'};
        if ((c < 33 || c > 126 || c == '=') && !((c == ' ' || c == '\t') && !lineEnd)) {
            piece[0] = '=';
            piece[1] = kHexUpper[c >> 4];
            piece[2] = kHexUpper[c & 15];
        }
        const int len = TextLength(piece);
        if (column + len > 75) {
            line.Put("=\r\n");
            column = 0;
        }
        line.Put(piece);
        column += len;
    }
    return line.End();
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

State AfterBody(const Channel* ch) {
    return ch->AttachList ? kStAttachBoundary : kStEndMessage;
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
    const bool sending = IsMessageState(ch->NextState);
    const bool verifying = IsVerifyState(ch->NextState);
    if (!sending && !verifying) return;
    if (sending) CloseMessageFile(ch);
    GoTo(ch, kStIdle);
}

namespace smtp {

// --- The envelope (RFC 5321 section 3.3) ---------------------------------------

int SendMailFrom(Channel* ch, uint32_t now) {
    if (!ch->FromAddress[0]) return DriverError(ch, 0, VOK_MISSING_FROM);
    const char* open = FindChar(ch->FromAddress, '<');
    if (!open) return DriverError(ch, 0, VOK_MISSING_LT);
    // The sender may have been set as a parameter since the connect.
    if (HasLineBreak(open)) return DriverError(ch, 0, VOK_BAD_ADDRESS_CHAR);
    // A reverse path of its own (bounces, list mail) replaces the From
    // header's address in the envelope only.
    const char* path = ch->EnvelopeFrom[0] ? ch->EnvelopeFrom : open;
    ch->Pipelined = 0;
    if (UsePipelining(ch)) return SendEnvelope(ch, now, path);
    int rc = SendWhole(ch, false, "MAIL FROM:", path);
    if (rc < 0) return WriteFailed(ch, rc);
    ReplyWait(ch, now);
    GoTo(ch, kStMailFromReply);
    return 0;
}

int ReadMailFromReply(Channel* ch, uint32_t now) {
    (void)now;
    int r = AwaitSmtpReply(ch);
    if (r <= 0) return r;
    ch->ListCursor = ch->ToList;
    ch->CcDone = ch->CcList ? 0 : 1;
    ch->BccDone = ch->BccList ? 0 : 1;
    // A batch's RCPT replies come next (its DATA reply when it had none).
    if (!ch->Pipelined)
        GoTo(ch, kStNextRecipient);
    else
        GoTo(ch, ch->PipelineLeft > 0 ? kStBatchRcptReply : kStBatchDataReply);
    return 0;
}

// Only the part from the item's '<' up to the next delimiter goes out: a
// display name before it is skipped.
int NextRecipient(Channel* ch, uint32_t now) {
    char* open = ch->ListCursor ? FindInItem(ch->ListCursor, '<') : nullptr;
    if (!open) return DriverError(ch, 0, VOK_EMPTY_ADDRESS);
    ch->CurrentAddress = open;
    char* cut = const_cast<char*>(ListItemEnd(open, LibrarySettings.AddressDelimiter));
    if (*cut) {
        *cut = '\0';
        ch->ListCut = cut;
        ch->ListCursor = cut + 1;
    } else {
        ch->ListCut = nullptr;
        ch->ListCursor = open + TextLength(open);
    }
    ch->NeedWritable = 1;
    AnswerDeadline(ch, now);
    GoTo(ch, kStRcptTo);
    return 0;
}

int SendRcptTo(Channel* ch, uint32_t now) {
    int rc = SendWhole(ch, false, "RCPT TO:", ch->CurrentAddress);
    if (rc < 0) return WriteFailed(ch, rc);
    AnswerDeadline(ch, now);
    GoTo(ch, kStRcptReply);
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
    GoTo(ch, kStNextRecipient);
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
    // No pause before DATA: the last RCPT reply is in, and nothing in RFC
    // 5321 asks a client to wait between commands.
    (void)now;
    OpenGate(ch);
    GoTo(ch, kStData);
    return 0;
}

int SendDataCommand(Channel* ch, uint32_t now) {
    int rc = SendWhole(ch, false, "DATA");
    if (rc < 0) return WriteFailed(ch, rc);
    ReplyWait(ch, now);
    GoTo(ch, kStDataReply);
    return 0;
}

int ReadDataReply(Channel* ch, uint32_t now) {
    (void)now;
    int r = AwaitSmtpReply(ch);
    if (r <= 0) return r;
    ch->HoldSends = 1;  // the message data follows line by line
    ch->DataQuiet = 1;
    GoTo(ch, FirstDataState(ch));
    return 0;
}

// --- The header (RFC 5322) --------------------------------------------------------

// Every message needs an id of its own (RFC 5322 section 3.6.4): some
// receivers refuse mail without one, and those that drop duplicates lose
// every message after the first. An id among the caller's own header lines
// stands instead.
int SendMessageId(Channel* ch, uint32_t now) {
    GoTo(ch, kStMailer);
    if (HasMessageId(TrackedText(ch, kSlotUserHeaders))) return 0;
    // The domain of the address itself: a display name may hold an '@'.
    char domain[kNameChars + 2];
    const char* open = FindChar(ch->FromAddress, '<');
    SenderDomain(open ? open : ch->FromAddress, domain, sizeof domain);
    char line[kNameChars + 96];
    snprintf(line, sizeof line, "Message-ID: <message-root.%u.%d.%u@%s>",
             static_cast<unsigned>(now), ch->Chan, static_cast<unsigned>(++MessageCounter), domain);
    int rc = SendDataLine(ch, line);
    if (rc < 0) return WriteFailed(ch, rc);
    GoTo(ch, kStMailer);
    return 0;
}

int SendMailer(Channel* ch, uint32_t now) {
    (void)now;
    int rc = SendDataLine(ch, "X-Mailer: Quorwick Mailvane Version 3.4");
    if (rc < 0) return WriteFailed(ch, rc);
    GoTo(ch, kStDate);
    return 0;
}

int SendDate(Channel* ch, uint32_t now) {
    (void)now;
    char date[64];
    FormatDateLine(date);
    int rc = SendDataLine(ch, date);
    if (rc < 0) return WriteFailed(ch, rc);
    GoTo(ch, kStToHeader);
    return 0;
}

// Header lines are folded, never cut: a cut line would silently drop
// recipients from what the reader sees.
int SendToHeader(Channel* ch, uint32_t now) {
    if (!LibrarySettings.HideToHeader) {
        int rc = SendAddressField(ch, "To: ", ch->ToList, LibrarySettings.AddressDelimiter);
        if (rc < 0) return WriteFailed(ch, rc);
        // The server answers nothing before the end of the data, so the
        // next header line does not wait; the deadline stays.
        AnswerDeadline(ch, now);
    }
    GoTo(ch, kStFromHeader);
    return 0;
}

int SendFromHeader(Channel* ch, uint32_t now) {
    (void)now;
    if (ch->FromAddress[0]) {
        int rc = SendAddressField(ch, "From: ", ch->FromAddress, '\0');
        if (rc < 0) return WriteFailed(ch, rc);
    }
    if (ch->ReplyTo[0]) {
        GoTo(ch, kStReplyToHeader);
    } else {
        GoTo(ch, ch->SubjectText ? kStSubject : AfterSubject(ch));
    }
    return 0;
}

int SendReplyToHeader(Channel* ch, uint32_t now) {
    (void)now;
    int rc = SendAddressField(ch, "Reply-To: ", ch->ReplyTo, LibrarySettings.AddressDelimiter);
    if (rc < 0) return WriteFailed(ch, rc);
    GoTo(ch, ch->SubjectText ? kStSubject : AfterSubject(ch));
    return 0;
}

// The extra header lines follow the subject; they may be several lines
// joined by CR LF, each of which is stuffed like any line of data.
int SendSubject(Channel* ch, uint32_t now) {
    (void)now;
    HeaderWriter subject(ch, "Subject: ");
    subject.Unstructured(ch->SubjectText, ch->Charset);
    int rc = subject.End();
    if (rc < 0) return WriteFailed(ch, rc);
    const char* extra = TrackedText(ch, kSlotUserHeaders);
    // An empty line here would end the header early.
    if (extra && *extra) {
        rc = SendDataLine(ch, extra);
        if (rc < 0) return WriteFailed(ch, rc);
    }
    GoTo(ch, AfterSubject(ch));
    return 0;
}

int SendCcHeader(Channel* ch, uint32_t now) {
    (void)now;
    int rc = SendAddressField(ch, "CC: ", ch->CcList, LibrarySettings.AddressDelimiter);
    if (rc < 0) return WriteFailed(ch, rc);
    GoTo(ch, Multipart(ch) || SinglePart(ch) ? kStMimeVersion : kStEndHeader);
    return 0;
}

int SendMimeVersion(Channel* ch, uint32_t now) {
    (void)now;
    int rc = SendDataLine(ch, "MIME-Version: 1.0");
    if (rc < 0) return WriteFailed(ch, rc);
    GoTo(ch, Multipart(ch) ? kStMultipartType : kStSinglePartType);
    return 0;
}

int SendMultipartType(Channel* ch, uint32_t now) {
    (void)now;
    const char* type = ch->BodyFormat == 2 ? "Content-Type: multipart/related; boundary=\""
                                           : "Content-Type: multipart/mixed; boundary=\"";
    if (ch->Layout) {
        type = (ch->Layout & kLayoutMixed) ? "Content-Type: multipart/mixed; boundary=\""
                                           : "Content-Type: multipart/alternative; boundary=\"";
    }
    int rc = SendDataLine(ch, type, Boundary, "\"");
    if (rc < 0) return WriteFailed(ch, rc);
    GoTo(ch, kStEndHeader);
    return 0;
}

// A plain body of one part that holds what 7-bit text cannot: its charset
// and its encoding in the message's own header (RFC 2045 sections 5, 6).
int SendSinglePartType(Channel* ch, uint32_t now) {
    (void)now;
    int rc =
        SendWhole(ch, true, "Content-Type: text/plain; charset=", ch->Charset,
                  "\r\nContent-Transfer-Encoding: ", ch->Body8Bit ? "8bit" : "quoted-printable");
    if (rc < 0) return WriteFailed(ch, rc);
    GoTo(ch, kStEndHeader);
    return 0;
}

int EndHeader(Channel* ch, uint32_t now) {
    (void)now;
    int rc = SendData(ch, "\r\n", 2);
    if (rc < 0) return WriteFailed(ch, rc);
    GoTo(ch, Multipart(ch) ? kStFirstBoundary : kStBody);
    return 0;
}

// --- The MIME parts before the body ------------------------------------------------

int SendFirstBoundary(Channel* ch, uint32_t now) {
    (void)now;
    int rc = SendDataLine(ch, "--", Boundary);
    if (rc < 0) return WriteFailed(ch, rc);
    if (ch->Layout & kLayoutMixed) {
        GoTo(ch, kStAlternativeStart);
    } else {
        GoTo(ch, TrackedText(ch, kSlotAlternateText) ? kStAlternateHeader : kStBodyType);
    }
    return 0;
}

// The multipart/alternative as the first part of multipart/mixed.
int SendAlternativeStart(Channel* ch, uint32_t now) {
    (void)now;
    char inner[32];
    NestedBoundary('A', inner);
    int rc = SendWhole(ch, true, "Content-Type: multipart/alternative; boundary=\"", inner,
                       "\"\r\n\r\n--", inner);
    if (rc < 0) return WriteFailed(ch, rc);
    ch->AltOpen = 1;
    GoTo(ch, kStAlternateHeader);
    return 0;
}

int SendAlternateHeader(Channel* ch, uint32_t now) {
    (void)now;
    int rc = ch->AltQuoted ? SendWhole(ch, true, "Content-Type: text/plain; charset=", ch->Charset,
                                       "\r\nContent-Transfer-Encoding: quoted-printable\r\n")
                           : SendDataLine(ch, "Content-Type: text/plain\r\n");
    if (rc < 0) return WriteFailed(ch, rc);
    GoTo(ch, kStAlternateText);
    return 0;
}

// The alternative text goes out as it is, at most its first 2048
// characters; only a '.' that begins one of its lines is doubled.
int SendAlternateText(Channel* ch, uint32_t now) {
    (void)now;
    int rc;
    if (ch->AltQuoted) {
        rc = SendQuotedText(ch, TrackedText(ch, kSlotAlternateText), kLineChars);
    } else {
        LineSender line(ch, true);
        line.Put(TrackedText(ch, kSlotAlternateText), kLineChars);
        rc = line.End();
    }
    if (rc < 0) return WriteFailed(ch, rc);
    GoTo(ch, kStAlternateBoundary);
    return 0;
}

// Opens the HTML part; in multipart/related first when images go with it.
int SendAlternateBoundary(Channel* ch, uint32_t now) {
    (void)now;
    char outer[32];
    AlternativeBoundary(ch, outer);
    int rc;
    if (ch->Layout & kLayoutRelated) {
        char inner[32];
        NestedBoundary('R', inner);
        LineSender line(ch, true);
        line.Put("--");
        line.Put(outer);
        line.Put("\r\nContent-Type: multipart/related; boundary=\"");
        line.Put(inner);
        line.Put("\"\r\n\r\n--");
        line.Put(inner);
        rc = line.End();
    } else {
        rc = SendDataLine(ch, "--", outer);
    }
    if (rc < 0) return WriteFailed(ch, rc);
    GoTo(ch, kStBodyType);
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
    // Text of bytes outside US-ASCII says which charset they belong to
    // (RFC 2045 section 5.1, RFC 2046 section 4.1.2).
    const char* charset = ch->BodyCharset ? "; charset=" : nullptr;
    const bool encoded =
        ch->BodyQuoted || ch->Body8Bit || (ch->BodyFormat != 0 && ch->BodyFormat != 2);
    int rc = SendWhole(ch, true, type, charset, charset ? ch->Charset : nullptr,
                       encoded ? nullptr : "\r\n");
    if (rc < 0) return WriteFailed(ch, rc);
    GoTo(ch, encoded ? kStBodyEncoding : kStBody);
    return 0;
}

int SendBodyEncoding(Channel* ch, uint32_t now) {
    (void)now;
    const char* encoding = LibrarySettings.UseCustomEncoding
                               ? LibrarySettings.CustomEncoding
                               : "Content-Transfer-Encoding: quoted-printable";
    // A plain or HTML body that the library chose to encode says what it did.
    if (ch->Body8Bit) encoding = "Content-Transfer-Encoding: 8bit";
    if (ch->BodyQuoted) encoding = "Content-Transfer-Encoding: quoted-printable";
    int rc = SendDataLine(ch, encoding, "\r\n");
    if (rc < 0) return WriteFailed(ch, rc);
    GoTo(ch, kStBody);
    return 0;
}

// --- The body ----------------------------------------------------------------------

int StartBody(Channel* ch, uint32_t now) {
    (void)now;
    ResetTextReader(ch);
    GoTo(ch, ch->MessageText && ch->MessageText[0] == '@' ? kStBodyFile : kStMemoryBody);
    return 0;
}

int StartMemoryBody(Channel* ch, uint32_t now) {
    (void)now;
    if (!ch->MessageText) ch->MessageText = "";
    ch->Lookahead = 0;
    ch->TextFromMemory = 1;
    GoTo(ch, kStMemoryBodyLine);
    return 0;
}

int SendMemoryBodyLine(Channel* ch, uint32_t now) {
    int r = SendBodyLine(ch);
    if (r < 0) return r;
    if (r == 0) {
        GoTo(ch, AfterBody(ch));
        return 0;
    }
    LinePacing(ch, now);
    GoTo(ch, kStMemoryBodyLine);
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
    GoTo(ch, kStFileBodyLine);
    return 0;
}

// A server reading a file-sourced body gets MaxResponseWait per line.
int SendFileBodyLine(Channel* ch, uint32_t now) {
    int r = SendBodyLine(ch);
    if (r < 0) return r;
    if (r == 0) {
        CloseMessageFile(ch);
        GoTo(ch, AfterBody(ch));
        return 0;
    }
    FileLinePacing(ch, now);
    GoTo(ch, kStFileBodyLine);
    return 0;
}

// --- Attachments --------------------------------------------------------------------

// Picks the next attachment of the pass and opens its part. When a pass has
// none left, the multiparts it filled are closed: the images' related part
// (and the alternative) before the attachments of multipart/mixed follow.
int SendAttachBoundary(Channel* ch, uint32_t now) {
    (void)now;
    LineSender line(ch, true);
    bool closed = false;
    for (;;) {
        if (ch->AttachPass == 2 && ch->AltOpen) {
            char inner[32];
            AlternativeBoundary(ch, inner);
            line.Put(closed ? "\r\n--" : "\r\n\r\n--");
            line.Put(inner);
            line.Put("--");
            ch->AltOpen = 0;
            closed = true;
        }
        if (NextAttachItem(ch)) break;
        if (ch->AttachPass != 1) {
            GoTo(ch, kStEndMessage);
            if (!closed) return 0;
            int rc = line.End();
            return rc < 0 ? WriteFailed(ch, rc) : 0;
        }
        char inner[32];
        NestedBoundary('R', inner);
        line.Put("\r\n\r\n--");
        line.Put(inner);
        line.Put("--");
        closed = true;
        if (!(ch->Layout & kLayoutMixed)) {
            GoTo(ch, kStEndMessage);
            int rc = line.End();
            return rc < 0 ? WriteFailed(ch, rc) : 0;
        }
        // The other attachments: the list from its start once more.
        ch->AttachPass = 2;
        ch->AttachRest = ch->AttachStart;
    }
    char outer[32];
    if (ch->AttachPass == 1) {
        NestedBoundary('R', outer);
    } else {
        CopyText(outer, Boundary, 30);
    }
    line.Put(closed ? "\r\n--" : "\r\n\r\n--");
    line.Put(outer);
    int rc = line.End();
    if (rc < 0) return WriteFailed(ch, rc);
    GoTo(ch, kStAttachType);
    return 0;
}

// Sends the part's Content-Type, by the extension of the item's shown name;
// an inline image also gets its Content-ID in the same send.
int SendAttachType(Channel* ch, uint32_t now) {
    (void)now;
    const char* shown = ShownName(ch->AttachList);
    const char* image = ch->InlineImages ? ImageType(shown) : nullptr;
    int rc;
    if (image) {
        ch->ImagePart = 1;
        ++ch->ContentIdCount;
        char contentId[48];
        snprintf(contentId, sizeof contentId, "\r\nContent-ID: <message-root.%d>",
                 ch->ContentIdCount);
        rc = SendNameField(ch, image, "name", shown, ch->Charset, contentId);
    } else {
        ch->ImagePart = 0;
        rc = SendNameField(ch, AttachmentType(shown), "name", shown, ch->Charset, nullptr);
    }
    if (rc < 0) return WriteFailed(ch, rc);
    GoTo(ch, kStAttachEncoding);
    return 0;
}

int SendAttachEncoding(Channel* ch, uint32_t now) {
    (void)now;
    int rc = SendDataLine(ch, "Content-Transfer-Encoding: base64");
    if (rc < 0) return WriteFailed(ch, rc);
    GoTo(ch, kStAttachDisposition);
    return 0;
}

int SendAttachDisposition(Channel* ch, uint32_t) {
    const char* disposition =
        ch->ImagePart ? "Content-Disposition: inline;" : "Content-Disposition: attachment;";
    int rc =
        SendNameField(ch, disposition, "filename", ShownName(ch->AttachList), ch->Charset, "\r\n");
    if (rc < 0) return WriteFailed(ch, rc);
    OpenGate(ch);
    GoTo(ch, kStAttachOpen);
    return 0;
}

int OpenAttachment(Channel* ch, uint32_t now) {
    (void)now;
    char* path = ch->AttachList;
    // The shown name has gone out; the item is now just the path.
    if (char* named = FindChar(path, LibrarySettings.AttachNameDelimiter)) {
        *named = '\0';
        ch->NameCut = named;
    }
    LogFormat(ch, "Opening attachment [%s]\r\n", path);
    plat::FileHandle file = plat::FileOpenRead(path);
    if (file < 1) return DriverError(ch, 0, VOK_CANNOT_OPEN_FILE);
    ch->FileHandle = file;
    ch->TextPos = ch->TextLimit = 0;
    ch->TextEnd = 0;
    ch->NeedWritable = 1;
    GoTo(ch, kStAttachLine);
    return 0;
}

// One base64 line of at most 57 file bytes per step.
int SendAttachLine(Channel* ch, uint32_t now) {
    FillAttachBuffer(ch);
    int n = ch->TextLimit - ch->TextPos;
    if (n > kAttachLineBytes) n = kAttachLineBytes;
    if (n <= 0) {
        CloseMessageFile(ch);
        const bool more = ch->AttachPass != 0 || (ch->AttachRest && *ch->AttachRest);
        GoTo(ch, more ? kStAttachBoundary : kStEndMessage);
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
    GoTo(ch, kStAttachLine);
    return 0;
}

// --- The end of the data (RFC 5321 section 4.1.1.4) -----------------------------------

int EndMessage(Channel* ch, uint32_t now) {
    if (Multipart(ch)) {
        int rc = SendDataLine(ch, "--", Boundary, "--\r\n");
        if (rc < 0) return WriteFailed(ch, rc);
    }
    ch->HoldSends = 0;  // the final dot pushes out everything held
    ch->DataQuiet = 0;
    int rc = SendWhole(ch, false, "\r\n.");
    if (rc < 0) return WriteFailed(ch, rc);
    ReplyWait(ch, now);
    GoTo(ch, kStMessageReply);
    return 0;
}

// The server may take a while to file the message; the driver waits for
// its reply on the socket.
int ReadMessageReply(Channel* ch, uint32_t) {
    int r = AwaitSmtpReply(ch);
    if (r <= 0) return r;
    GoTo(ch, kStIdle);
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

// What a body holds beside printable US-ASCII and line ends.
struct BodyBytes {
    bool high = false;     // 128 and above
    bool control = false;  // control characters (tab included) and DEL
    bool nul = false;
};

void ScanBytes(const char* data, int n, BodyBytes* found) {
    for (int i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (c >= 128) {
            found->high = true;
        } else if (c == 0) {
            found->nul = true;
        } else if ((c < 32 && c != '\r' && c != '\n') || c == 127) {
            found->control = true;
        }
    }
}

// True when the first kLineChars characters of text (the part of an
// alternative text that goes out) hold a line over 998 characters, which
// RFC 5322 section 2.1.1 forbids: such a text goes out quoted-printable.
bool HasLongLine(const char* text) {
    int run = 0;
    for (int i = 0; text && text[i] && i < kLineChars; ++i) {
        run = (text[i] == '\r' || text[i] == '\n') ? 0 : run + 1;
        if (run > 998) return true;
    }
    return false;
}

// Reads the body once before the message starts, in the body reader's
// buffer: its header must say how it is encoded. A file that cannot be
// read is left for the body's own open to report.
BodyBytes ScanBody(Channel* ch, const char* body) {
    BodyBytes found;
    if (body[0] != '@') {
        ScanBytes(body, TextLength(body), &found);
        return found;
    }
    plat::FileHandle file = plat::FileOpenRead(body + 1);
    if (file < 1) return found;
    for (;;) {
        int32_t got = plat::FileRead(file, ch->TextBuffer, kLineChars);
        if (got <= 0) break;
        ScanBytes(ch->TextBuffer, got, &found);
    }
    plat::FileClose(file);
    return found;
}

// Fixes how the body, the alternative text and the attachments go out.
// Nothing the caller wrote is replaced: a plain or HTML body that holds
// bytes 7-bit text may not carry goes out quoted-printable, or as 8bit
// when Pass8Bit allows it and it holds no NUL (RFC 2045 section 2.8), and
// says in which charset its bytes are.
void PlanMessage(Channel* ch) {
    ch->BodyQuoted = ch->BodyCharset = ch->Body8Bit = ch->AltQuoted = 0;
    ch->Layout = ch->AltOpen = 0;
    ch->AttachPass = 0;
    ch->AttachStart = ch->AttachRest = ch->AttachList;
    ch->AttachCut = ch->NameCut = nullptr;

    const BodyBytes body = ScanBody(ch, ch->MessageText);
    const int format = ch->BodyFormat;
    if (format == 0 || format == 2) {
        const bool pass8 = LibrarySettings.Pass8Bit != 0;
        if (body.nul || (!pass8 && (body.high || body.control))) {
            ch->BodyQuoted = ch->BodyCharset = 1;
        } else if (pass8 && body.high) {
            ch->Body8Bit = ch->BodyCharset = 1;
        }
    } else if (format != 4 && format != 9) {
        ch->BodyCharset = body.high ? 1 : 0;
    }
    const char* alternative = TrackedText(ch, kSlotAlternateText);
    ch->AltQuoted = HasHighBytes(alternative, kLineChars) || HasLongLine(alternative) ? 1 : 0;

    if (format != 2 || !alternative) return;
    ch->Layout = kLayoutAlternative;
    // Which attachments are inline images, which are not.
    for (char* item = ch->AttachList; item && *item;) {
        char* cut = FindChar(item, LibrarySettings.AttachDelimiter);
        if (cut) *cut = '\0';
        ch->Layout |= IsInlineImage(ch, item) ? kLayoutRelated : kLayoutMixed;
        if (!cut) break;
        *cut = LibrarySettings.AttachDelimiter;
        item = cut + 1;
    }
    if (ch->AttachList) ch->AttachPass = (ch->Layout & kLayoutRelated) ? 1 : 2;
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
    // A line break in a header's text would end its line and start a header
    // line of the caller's making (RFC 5322 section 2.2).
    if ((subject && HasLineBreak(subject)) || (attachments && HasLineBreak(attachments)) ||
        HasLineBreak(ch->FromAddress) || HasLineBreak(ch->ReplyTo)) {
        return VOK_BAD_ADDRESS_CHAR;
    }
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
    PlanMessage(ch);

    if (ch->AutoCall) LogText(ch, "*** Sending...\r\n");
    return StartOperation(ch, kStMailFrom, true);
}
