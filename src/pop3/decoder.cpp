// The incoming-message decoder: a line-at-a-time MIME walker (RFC 2045,
// 2046, 2047) that writes a readable copy of a downloaded message and saves
// its named parts into files.
#include "pop3/decoder.h"

#include <cstdio>
#include <cstring>

#include "codec/codec.h"
#include "codec/text.h"
#include "engine/engine.h"
#include "engine/transport.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "platform/platform.h"
#include "pop3/pop3.h"

namespace vok {

namespace {

// The name a part gets from its boundary line until its header names it,
// and the name of an unnamed single-part body.
constexpr char kPartName[] = "incoming.mai";
constexpr char kUnnamedName[] = "noname";

// Longest boundary kept: "--" and 126 characters of the value.
constexpr int kBoundaryChars = kNameChars;

bool Starts(const char* line, const char* prefix) {
    return SameText(prefix, line, static_cast<int>(strlen(prefix))) == 1;
}

bool IsBlank(const char* line) {
    return line[0] == '\r' || line[0] == '\n';
}

bool IsSpaceOrTab(char c) {
    return c == ' ' || c == '\t';
}

// The base64 alphabet and its pad (RFC 2045 section 6.8), as a table: the
// body decoder asks this of every character of every attachment line.
struct Base64Set {
    bool In[256] = {};
    constexpr Base64Set() {
        const char* all = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
        for (const char* p = all; *p; ++p) In[static_cast<unsigned char>(*p)] = true;
    }
};
constexpr Base64Set kBase64Set;

bool IsBase64Char(char c) {
    return kBase64Set.In[static_cast<unsigned char>(c)];
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// First place where the whole pattern occurs in text, letter case ignored.
char* FindWhole(char* text, const char* pattern) {
    int plen = static_cast<int>(strlen(pattern));
    for (char* p = text; *p; ++p)
        if (SameText(p, pattern, plen) == 1) return p;
    return nullptr;
}

int WaitMs() {
    return LibrarySettings.ReadWait;
}

// Waits (bounded by ReadWait) for the next bytes of the message and looks at
// up to `wanted` of them without taking them. Returns how many it saw.
int PeekNext(Channel* ch, char* out, int wanted) {
    if (WaitReadable(ch, WaitMs()) <= 0) return 0;
    int r = PeekData(ch, out, wanted);
    return r < 0 ? 0 : r;
}

// A parameter value (RFC 2045 section 5.1): a quoted string, or a token that
// ends at ';', white space or the line end. Copies it into out (outChars
// characters at most, cut beyond). 0 when there is no usable value.
int ParseValue(const char* v, char* out, int outChars) {
    while (IsSpaceOrTab(*v)) ++v;
    const char* start;
    const char* end;
    if (*v == '"') {
        start = v + 1;
        end = strchr(start, '"');
        if (!end) return 0;
    } else {
        start = v;
        end = v;
        while (*end && !strchr(";\r\n \t", *end)) ++end;
        if (*end == '\0') return 0;  // the line's end has not been seen
    }
    int n = static_cast<int>(end - start);
    if (n <= 0) return 0;
    CopyBytes(out, start, n < outChars ? n : outChars);
    return 1;
}

// Header unfolding (RFC 5322 section 2.2.3). When the line ends with `last`
// (or `last` is 0), the next line is read from the connection and appended
// in place of the line end, its leading white space removed. The line's
// trailing white space is normalised to CR LF either way. A blank next line
// (the end of the header) or one that begins with '.' (the end of the
// message, or a body line) is never joined. 1 when a line was joined.
int JoinNextLine(Channel* ch, int32_t* length, char last) {
    char* line = ch->ReplyBuffer;
    int n = *length;
    // A line whose rest is still to come is left as it is.
    if (n < 1 || line[n - 1] != '\n') return 0;
    while (n > 2 && (IsSpaceOrTab(line[n - 1]) || line[n - 1] == '\r' || line[n - 1] == '\n')) --n;
    line[n] = '\r';
    line[n + 1] = '\n';
    line[n + 2] = '\0';
    n += 2;
    *length = n;
    if (n < 3) return 0;
    if (last != '\0' && line[n - 3] != last) return 0;

    int start = n - 2;
    int room = kLineChars + 1 - start;
    if (room < 2) return 0;
    char next = 0;
    if (PeekNext(ch, &next, 1) < 1) return 0;
    if (next == '\r' || next == '\n' || next == '.') return 0;

    int got = ReadLine(ch, line + start, room, WaitMs(), ScaledWait(WaitMs(), 4));
    if (got <= 0) {
        line[start] = '\r';
        line[start + 1] = '\n';
        line[start + 2] = '\0';
        return 0;
    }
    int skip = 0;
    while (skip < got && IsSpaceOrTab(line[start + skip])) ++skip;
    memmove(line + start, line + start + skip, static_cast<size_t>(got - skip) + 1);
    *length = start + got - skip;
    return 1;
}

// --- Attachment files ------------------------------------------------------------

void AddSavedName(Channel* ch, const char* name) {
    int have = TextLength(ch->SavedNames);
    int len = TextLength(name);
    int need = have + (have > 0 ? 1 : 0) + len + 1;
    if (need > kSavedNamesChars) return;
    if (have > 0) ch->SavedNames[have++] = LibrarySettings.AttachDelimiter;
    CopyText(ch->SavedNames + have, name, len);
}

// Decoded attachment bytes go out in blocks rather than one write per line.
int WriteAttachData(Channel* ch, const char* data, int n) {
    if (n > kAttachBufferSize - ch->AttachBufferLen && FlushAttachFile(ch) < 0) return -1;
    if (n >= kAttachBufferSize)
        return plat::FileWrite(ch->FileHandle, data, static_cast<uint32_t>(n)) == n ? 0 : -1;
    memcpy(ch->AttachBuffer + ch->AttachBufferLen, data, static_cast<size_t>(n));
    ch->AttachBufferLen += n;
    return 0;
}

// Closes an open attachment file without noting it: its part was replaced.
void DropAttachFile(Channel* ch) {
    FlushAttachFile(ch);
    if (ch->FileHandle > 0) plat::FileClose(ch->FileHandle);
    ch->FileHandle = 0;
    ch->Base64CarryLen = 0;
}

int CreateAttachFile(Channel* ch) {
    LogFormat(ch, "[AttachDir = '%s']\r\n", ch->AttachDir);
    LogFormat(ch, "[Filename = '%s']\r\n", ch->FileName);
    char prefix[16] = "";
    if (ch->NumberAttachments) snprintf(prefix, sizeof prefix, "%d-", ch->AttachTotal + 1);
    char path[kLineChars + 2];
    int n = JoinPath(path, kLineChars, ch->AttachDir, prefix, ch->FileName);
    DropAttachFile(ch);
    LogFormat(ch, "[Creating '%s']\r\n", path);
    // A path that does not fit is refused rather than cut: a cut path names
    // some other file.
    if (n < 0 || n > kNameChars) {
        LogFormat(ch, "[Cannot open '%s']\r\n", path);
        return 0;
    }
    CopyText(ch->AttachPath, path, kNameChars);
    plat::FileHandle file = plat::FileCreate(ch->AttachPath);
    if (file <= 0) {
        LogFormat(ch, "[Cannot open '%s']\r\n", ch->AttachPath);
        return 0;
    }
    ch->FileHandle = file;
    return 1;
}

// A base64 part without a name of its own is saved too when SaveUnnamed
// asks for it.
void CreateUnnamedFile(Channel* ch) {
    if (ch->MimeEncoding != 2 || ch->FileHandle > 0 || !ch->SaveUnnamed) return;
    if (ch->FileName[0] == '\0') CopyText(ch->FileName, kUnnamedName, kNameChars);
    CreateAttachFile(ch);
}

// --- Header fields ---------------------------------------------------------------

int ParseTransferEncoding(Channel* ch) {
    const char* line = ch->ReplyBuffer;
    if (!Starts(line, "Content-Transfer-Encoding:")) return 0;
    const char* rest = line + 26;
    if (FindText(rest, "base64")) {
        ch->MimeEncoding = 2;
        LogText(ch, "[Encoding is BASE64]\r\n");
    } else if (FindText(rest, "quoted-printable")) {
        ch->MimeEncoding = 3;
        LogText(ch, "[Encoding is QUOTED]\r\n");
    } else if (FindText(rest, "7bit")) {
        ch->MimeEncoding = 1;
        LogText(ch, "[Encoding is 7-bit]\r\n");
    } else {
        return 0;
    }
    return 1;
}

// RFC 2183: the disposition type comes first. A bare "inline" marks the part
// to be shown in the message file; "inline; filename=..." is saved like an
// attachment.
int ParseDisposition(Channel* ch) {
    const char* line = ch->ReplyBuffer;
    if (!Starts(line, "Content-Disposition:")) return 0;
    const char* t = line + 20;
    while (IsSpaceOrTab(*t)) ++t;
    if (SameText("inline", t, 6) == 1) {
        const char* after = t + 6;
        bool wordEnds = *after == '\0' || *after == ';' || strchr(" \t\r\n", *after);
        while (IsSpaceOrTab(*after)) ++after;
        if (wordEnds && *after != ';') {
            ch->InlineFlag = 1;
            LogText(ch, "[inline]\r\n");
        }
    }
    return 1;
}

// The value of name= or filename= into FileName, decoded and stripped of
// any directory part.
int GetAttachName(Channel* ch, int32_t* length) {
    char* line = ch->ReplyBuffer;
    if (!JoinNextLine(ch, length, ';')) {
        char peek[5];
        int r = PeekNext(ch, peek, 5);
        // A continuation line begins with white space (RFC 5322 section 2.2.3).
        if (r >= 1 && IsSpaceOrTab(peek[0]) && (r == 1 || !IsSpaceOrTab(peek[1])))
            JoinNextLine(ch, length, '\0');
    }
    if (*length < 13) return 0;
    if (FindIsoWord(line + 13)) {
        LogText(ch, "[iso-8859]\r\n");
        JoinNextLine(ch, length, '=');
        LogFormat(ch, "[r:%s]\r\n", line);
    }
    const char* p = FindText(line + 13, "name=");
    if (!p) return 0;
    char value[kLineChars + 2];
    if (!ParseValue(p + 5, value, kLineChars)) return 0;
    if (FindIsoWord(value)) DecodeIsoWords(value);
    if (!CleanAttachName(value)) return 0;
    CopyText(ch->FileName, value, kNameChars);
    LogFormat(ch, "[Filename='%s']\r\n", ch->FileName);
    return 1;
}

// Reads the boundary parameter of a multipart Content-Type line (after
// unfolding up to two continuation lines) into out as "--" + value.
int ReadBoundary(Channel* ch, int32_t* length, int from, char* out) {
    JoinNextLine(ch, length, ';');
    JoinNextLine(ch, length, ';');
    if (*length < from) return 0;
    const char* p = FindText(ch->ReplyBuffer + from, "Boundary=");
    if (!p) return 0;
    char value[kLineChars + 2];
    if (!ParseValue(p + 9, value, kLineChars)) return 0;
    out[0] = '-';
    out[1] = '-';
    CopyText(out + 2, value, kBoundaryChars - 2);
    return 1;
}

void LogBoundary(Channel* ch, bool nested, const char* boundary) {
    if (nested)
        LogFormat(ch, "[Alternate MIME boundary defined %d (", TextLength(boundary));
    else
        LogFormat(ch, "[MIME boundary defined %d (", TextLength(boundary));
    LogText(ch, boundary);
    LogText(ch, ")]\r\n");
}

// The top-level multipart boundary.
int ParsePartBoundary(Channel* ch, int32_t* length) {
    if (!Starts(ch->ReplyBuffer, "Content-Type:")) return 0;
    char boundary[kBoundaryChars + 2];
    if (!ReadBoundary(ch, length, 13, boundary)) return 0;
    CopyText(ch->PartBoundary, boundary, kBoundaryChars);
    ch->PartBoundaryLen = TextLength(ch->PartBoundary);
    ch->NestedCount = 0;
    ch->DecoderState = kDecodePreamble;
    DropAttachFile(ch);
    LogBoundary(ch, false, ch->PartBoundary);
    return 1;
}

// A multipart part inside the message: its boundary opens one more level.
int ParseNestedBoundary(Channel* ch, int32_t* length) {
    if (!Starts(ch->ReplyBuffer, "Content-Type: multipart/")) return 0;
    char boundary[kBoundaryChars + 2];
    if (!ReadBoundary(ch, length, 23, boundary)) return 0;
    // Deeper than the levels kept: the innermost one is replaced.
    int level = ch->NestedCount < kNestedLevels ? ch->NestedCount++ : kNestedLevels - 1;
    CopyText(ch->NestedBoundary[level], boundary, kBoundaryChars);
    ch->NestedBoundaryLen[level] = TextLength(ch->NestedBoundary[level]);
    LogBoundary(ch, true, ch->NestedBoundary[level]);
    return 1;
}

// Is the line the delimiter `boundary` (RFC 2046 section 5.1.1): the
// boundary, then "--" for the closing one, or white space and the line end?
// *closing tells which. A boundary cut to its field matches as a prefix.
bool IsDelimiter(const char* line, const char* boundary, int len, bool* closing) {
    if (len <= 2 || SameText(boundary, line, len) != 1) return false;
    const char* after = line + len;
    *closing = after[0] == '-' && after[1] == '-';
    if (len >= kBoundaryChars || *closing) return true;
    return *after == '\0' || strchr(" \t\r\n", *after) != nullptr;
}

int CheckBoundaryLine(Channel* ch) {
    const char* line = ch->ReplyBuffer;
    if (line[0] != '-' || line[1] != '-') return 0;
    bool closing = false;
    int level = ch->NestedCount - 1;
    while (level >= 0 &&
           !IsDelimiter(line, ch->NestedBoundary[level], ch->NestedBoundaryLen[level], &closing))
        --level;
    if (level >= 0) {
        // A new part at this level ends every level inside it; the closing
        // delimiter ends this level too.
        ch->NestedCount = closing ? level : level + 1;
    } else if (ch->PartBoundaryLen > 0 &&
               IsDelimiter(line, ch->PartBoundary, ch->PartBoundaryLen, &closing)) {
        ch->NestedCount = 0;
    } else {
        return 0;
    }
    ch->DecoderState = kDecodePartHeader;
    ch->MimeEncoding = 0;
    ch->InlineFlag = 0;
    ch->Base64CarryLen = 0;
    CopyText(ch->FileName, kPartName, kNameChars);
    LogText(ch, "[Boundary line found]\r\n");
    return 1;
}

// Subject and From lines: ISO-8859-1 encoded words are decoded, after the
// folded rest of the field has been joined when it continues the words.
void DecodeHeaderWords(Channel* ch, int32_t* length) {
    char* line = ch->ReplyBuffer;
    if (!FindIsoWord(line)) return;
    LogText(ch, "[ISO8859]\r\n");
    char next = 0;
    if (PeekNext(ch, &next, 1) >= 1 && IsSpaceOrTab(next)) JoinNextLine(ch, length, '=');
    if (*length > 4) *length = 4 + DecodeIsoWords(line + 4);
}

// --- Body lines ------------------------------------------------------------------

// Base64 of one body line (RFC 2045 section 6.8): characters outside the
// alphabet are skipped, and a group split across lines is carried over to
// the next line, so any line length decodes right.
int DecodeBase64Body(Channel* ch, const char* line, int32_t length, unsigned char* out) {
    char chars[kLineChars + 8];
    int m = 0;
    for (int i = 0; i < ch->Base64CarryLen; ++i) chars[m++] = ch->Base64Carry[i];
    for (int32_t i = 0; i < length && m < kLineChars + 4; ++i) {
        // Copy unconditionally, keep only alphabet characters: no branch per byte.
        chars[m] = line[i];
        m += IsBase64Char(line[i]) ? 1 : 0;
    }
    int whole = m & ~3;
    int n = whole > 0 ? DecodeBase64Line(chars, out, whole) : 0;
    ch->Base64CarryLen = m - whole;
    for (int i = 0; i < ch->Base64CarryLen; ++i) ch->Base64Carry[i] = chars[whole + i];
    return n;
}

int DecodeBodyLine(Channel* ch, int32_t* length) {
    char* line = ch->ReplyBuffer;
    LogFormat(ch, "[InlineFlag=%d MimeEncoding=%d FileHandle=%d]\r\n", ch->InlineFlag,
              ch->MimeEncoding, ch->FileHandle);
    if (!ch->InlineFlag && ch->FileHandle <= 0) return 1;
    AddCount(&ch->AttachBytesRead, *length);
    char* out = ch->ScratchLine;
    int n;
    if (ch->MimeEncoding == 2) {
        n = DecodeBase64Body(ch, line, *length, reinterpret_cast<unsigned char*>(out));
    } else if (ch->MimeEncoding == 3) {
        n = DecodeQuotedLine(line, out);
    } else {
        memcpy(out, line, static_cast<size_t>(*length));
        n = *length;
    }
    if (n > 0 && ch->FileHandle > 0 && WriteAttachData(ch, out, n) < 0) return -1;
    if (n > 0 && ch->InlineFlag && WriteMailData(ch, out, n) != n) return -1;
    LogText(ch, ch->InlineFlag ? "[...decode inline...]\r\n" : "[...decode to file...]\r\n");
    return 0;
}

// --- The states ------------------------------------------------------------------

int TopHeaderLine(Channel* ch, int32_t* length) {
    const char* line = ch->ReplyBuffer;
    if (IsBlank(line)) {
        ch->DecoderState = kDecodePlain;
        LogText(ch, "[Not doing MIME/2]\r\n");
    } else if (Starts(line, "Subject:") || Starts(line, "From")) {
        DecodeHeaderWords(ch, length);
    } else if (Starts(line, "MIME-Version: 1.0")) {
        ch->DecoderState = kDecodeMimeHeader;
        LogText(ch, "[MIME version found]\r\n");
    }
    if (ParsePartBoundary(ch, length)) LogText(ch, "[Assuming MIME]\r\n");
    return 1;
}

int MimeHeaderLine(Channel* ch, int32_t* length) {
    const char* line = ch->ReplyBuffer;
    if (IsBlank(line)) {
        if (ch->MimeEncoding != 0) {
            ch->DecoderState = kDecodeBody;
            LogText(ch, "[MIME w/o boundary]\r\n");
            CreateUnnamedFile(ch);
        } else {
            ch->DecoderState = kDecodePlain;
            LogText(ch, "[Not doing MIME]\r\n");
        }
        return 1;
    }
    if (Starts(line, "Subject:") || Starts(line, "From:")) {
        DecodeHeaderWords(ch, length);
        return 1;
    }
    if (Starts(line, "To:")) return 1;
    if (ParsePartBoundary(ch, length) || ParseTransferEncoding(ch)) return 0;
    if (ParseDisposition(ch)) {
        if (GetAttachName(ch, length)) CreateAttachFile(ch);
    } else if (Starts(line, "Content-Type:") && GetAttachName(ch, length)) {
        CreateAttachFile(ch);
    }
    return 0;
}

int PreambleLine(Channel* ch) {
    CheckBoundaryLine(ch);
    if (!ch->HeaderEndWritten && Starts(ch->ReplyBuffer, "\r\n")) {
        ch->HeaderEndWritten = 1;
        return 1;
    }
    return 0;
}

int PartHeaderLine(Channel* ch, int32_t* length) {
    const char* line = ch->ReplyBuffer;
    LogText(ch, "[Looking for encoding]\r\n");
    if (IsBlank(line)) {
        if (ch->Rfc822Pending) {
            // The enclosed message's own header follows: read it as more
            // part header.
            ch->InlineFlag = 0;
            ch->Rfc822Pending = 0;
            LogText(ch, "[Ignoring blank line]\r\n");
            return 1;
        }
        ch->DecoderState = kDecodeBody;
        if (!ch->InlineFlag) CreateUnnamedFile(ch);
        return 0;
    }
    if (ParseTransferEncoding(ch) || ParseNestedBoundary(ch, length)) return 0;
    if (Starts(line, "Content-Type: message/rfc822")) {
        ch->InlineFlag = 1;
        ch->Rfc822Pending = 1;
        return 0;
    }
    if ((ParseDisposition(ch) || Starts(line, "Content-Type:")) && GetAttachName(ch, length))
        CreateAttachFile(ch);
    return 0;
}

int BodyLine(Channel* ch, int32_t* length) {
    if (CheckBoundaryLine(ch)) {
        if (FlushAttachFile(ch) < 0) return -1;
        CloseAttachFile(ch);
        return 0;
    }
    return DecodeBodyLine(ch, length);
}

}  // namespace

// --- Plain-text pieces -------------------------------------------------------------

int FindIsoWord(const char* text) {
    if (!text) return 0;
    char* t = const_cast<char*>(text);  // FindWhole does not write
    if (FindWhole(t, "=?iso-8859-1?q?")) return 1;
    if (FindWhole(t, "=?iso-8859-1?b?")) return 2;
    return 0;
}

int DecodeIsoWords(char* text) {
    char* p = text;
    for (int words = 0; words < 2;) {
        char* w = FindWhole(p, "=?iso-8859-1?");
        if (!w) break;
        char mode = Upper(w[13]);
        if ((mode != 'Q' && mode != 'B') || w[14] != '?') {
            p = w + 2;
            continue;
        }
        char* encoded = w + 15;
        char* end = strstr(encoded, "?=");
        if (!end) break;
        ++words;
        int len = static_cast<int>(end - encoded);
        char decoded[kLineChars + 8];
        int n = 0;
        if (len > kLineChars) len = kLineChars;
        if (mode == 'B') {
            n = DecodeBase64Line(encoded, reinterpret_cast<unsigned char*>(decoded), len);
        } else {
            // RFC 2047 section 4.2: '_' stands for a space.
            char q[kLineChars + 2];
            for (int i = 0; i < len; ++i) q[i] = encoded[i] == '_' ? ' ' : encoded[i];
            q[len] = '\0';
            n = DecodeQuotedLine(q, decoded);
        }
        // A header line cannot carry NUL bytes.
        int k = 0;
        for (int i = 0; i < n; ++i)
            if (decoded[i] != '\0') decoded[k++] = decoded[i];
        // The decoded text is always shorter than the word it replaces.
        char* after = end + 2;
        memmove(w + k, after, strlen(after) + 1);
        memcpy(w, decoded, static_cast<size_t>(k));
        p = w + k;
    }
    return static_cast<int>(strlen(text));
}

int CleanAttachName(char* name) {
    char* last = name;
    for (char* c = name; *c; ++c)
        if (*c == '/' || *c == '\\' || *c == ':') last = c + 1;
    memmove(name, last, strlen(last) + 1);
    if (name[0] == '\0' || strcmp(name, ".") == 0 || strcmp(name, "..") == 0) return 0;
    return 1;
}

int JoinPath(char* out, int maxChars, const char* dir, const char* prefix, const char* name) {
    int dl = TextLength(dir);
    int pl = TextLength(prefix);
    int nl = TextLength(name);
    bool separator = dl == 0 || !plat::IsPathSeparator(dir[dl - 1]);
    int total = dl + (separator ? 1 : 0) + pl + nl;
    out[0] = '\0';
    if (total > maxChars) return -1;
    int n = CopyText(out, dir, dl);
    if (separator) out[n++] = plat::PathSeparator();
    n += CopyText(out + n, prefix, pl);
    n += CopyText(out + n, name, nl);
    return n;
}

// --- The decoder -------------------------------------------------------------------

int32_t WriteMailData(Channel* ch, const char* data, int32_t length) {
    if (length <= 0) return 0;
    return plat::FileWrite(ch->MailHandle, data, static_cast<uint32_t>(length));
}

void ResetDecoder(Channel* ch) {
    ch->MimeEncoding = 0;
    ch->InlineFlag = 0;
    ch->Rfc822Pending = 0;
    ch->HeaderEndWritten = 0;
    ch->PartBoundaryLen = 0;
    ch->PartBoundary[0] = '\0';
    ch->NestedCount = 0;
    ch->Base64CarryLen = 0;
    ch->AttachBufferLen = 0;
    ch->FileName[0] = '\0';
    ch->AttachCount = 0;
    memset(ch->SavedNames, 0, sizeof ch->SavedNames);
    ch->AtLineStart = 1;
    ch->LastLineWritten = 1;
}

int DecodeMimeLine(Channel* ch, int32_t* length) {
    if (!ch->AtLineStart) {
        // The rest of a line longer than one read: it goes where its
        // beginning went; only body text is decoded further.
        if (ch->DecoderState == kDecodeBody) return DecodeBodyLine(ch, length);
        return ch->LastLineWritten;
    }
    int result = 1;
    switch (ch->DecoderState) {
        case kDecodeHeader:
            result = TopHeaderLine(ch, length);
            break;
        case kDecodeMimeHeader:
            result = MimeHeaderLine(ch, length);
            break;
        case kDecodePreamble:
            result = PreambleLine(ch);
            break;
        case kDecodePartHeader:
            result = PartHeaderLine(ch, length);
            break;
        case kDecodeBody:
            result = BodyLine(ch, length);
            break;
        default:
            result = 1;
            break;
    }
    ch->LastLineWritten = result > 0 ? 1 : 0;
    return result;
}

int FlushAttachFile(Channel* ch) {
    int32_t n = ch->AttachBufferLen;
    ch->AttachBufferLen = 0;
    if (n <= 0 || ch->FileHandle <= 0) return 0;
    return plat::FileWrite(ch->FileHandle, ch->AttachBuffer, static_cast<uint32_t>(n)) == n ? 0
                                                                                            : -1;
}

int CloseAttachFile(Channel* ch) {
    if (ch->FileHandle <= 0) return 0;
    FlushAttachFile(ch);
    plat::FileClose(ch->FileHandle);
    ch->FileHandle = 0;
    ch->Base64CarryLen = 0;
    char note[kNameChars + 40];
    int n =
        snprintf(note, sizeof note, "[Attachment saved to %c%s%c]\r\n", '"', ch->AttachPath, '"');
    if (n > static_cast<int>(sizeof note) - 1) n = static_cast<int>(sizeof note) - 1;
    if (!LibrarySettings.HideAttachNote) WriteMailData(ch, note, n);
    LogWrite(ch, note, n);
    const char* name = ch->AttachPath;
    for (const char* c = ch->AttachPath; *c; ++c)
        if (*c == '/' || *c == '\\' || *c == ':') name = c + 1;
    AddSavedName(ch, name);
    AddCount(&ch->AttachCount, 1);
    AddCount(&ch->AttachTotal, 1);
    return 1;
}

}  // namespace vok
