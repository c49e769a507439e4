// SPDX-License-Identifier: MIT
// The MIME walker: header fields gathered and unfolded (RFC 5322 section
// 2.2.3), content fields parsed (RFC 2045 section 5.1, RFC 2183, RFC 2231),
// multipart delimiters followed on one stack (RFC 2046 section 5.1.1), and
// bodies decoded as they stream (RFC 2045 sections 6.7 and 6.8).
#include "codec/mime.h"

#include <cstdio>
#include <cstring>

namespace vok {

namespace {

enum States : int32_t {
    kTopHeader = 0,  // the message's own header
    kPartHeader,     // header of a part, or of the message a part encloses
    kBody,           // body lines
    kSkip,           // preamble or epilogue of a multipart: dropped
};

enum Modes : int32_t {
    kText = 0,  // lines into the message text (quoted-printable decoded)
    kInline,    // decoded into the message text
    kFile,      // decoded into the sink's part
};

// Which top-level header fields the message text gets: all of them until
// MIME-Version, then only Subject, To and From, and none once the multipart
// boundary is known.
enum TopModes : int32_t { kTopAll = 2, kTopSome = 3, kTopNone = 4 };

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool SameWord(const char* a, int n, const char* word) {
    for (int i = 0; i < n; ++i)
        if (word[i] == '\0' || Lower(a[i]) != word[i]) return false;
    return word[n] == '\0';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The base64 alphabet (RFC 2045 section 6.8); 64 for everything else.
struct Base64Table {
    unsigned char Value[256] = {};
    constexpr Base64Table() {
        for (int i = 0; i < 256; ++i) Value[i] = 64;
        const char* all = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; all[i]; ++i)
            Value[static_cast<unsigned char>(all[i])] = static_cast<unsigned char>(i);
    }
};
constexpr Base64Table kBase64;

// Base64 text in any layout: characters outside the alphabet are skipped,
// a group not yet whole waits in carry. With `last`, a group of two or three
// characters (no '=' padding) gives its one or two bytes.
int Base64Stream(char* carry, int32_t* carryLen, const char* in, int n, bool last,
                 unsigned char* out) {
    int k = *carryLen;
    unsigned char v[4];
    for (int i = 0; i < k; ++i) v[i] = kBase64.Value[static_cast<unsigned char>(carry[i])];
    int o = 0;
    const unsigned char* u = reinterpret_cast<const unsigned char*>(in);
    for (int i = 0; i < n; ++i) {
        if (k == 0) {
            // Whole groups of alphabet characters, the common case, at once.
            while (i + 4 <= n) {
                unsigned a = kBase64.Value[u[i]], b = kBase64.Value[u[i + 1]];
                unsigned c = kBase64.Value[u[i + 2]], e = kBase64.Value[u[i + 3]];
                if ((a | b | c | e) & 64) break;
                out[o++] = static_cast<unsigned char>(a << 2 | b >> 4);
                out[o++] = static_cast<unsigned char>(b << 4 | c >> 2);
                out[o++] = static_cast<unsigned char>(c << 6 | e);
                i += 4;
            }
            if (i >= n) break;
        }
        unsigned char x = kBase64.Value[u[i]];
        if (x == 64) continue;
        carry[k] = in[i];
        v[k++] = x;
        if (k == 4) {
            out[o++] = static_cast<unsigned char>(v[0] << 2 | v[1] >> 4);
            out[o++] = static_cast<unsigned char>(v[1] << 4 | v[2] >> 2);
            out[o++] = static_cast<unsigned char>(v[2] << 6 | v[3]);
            k = 0;
        }
    }
    if (last) {
        if (k >= 2) out[o++] = static_cast<unsigned char>(v[0] << 2 | v[1] >> 4);
        if (k == 3) out[o++] = static_cast<unsigned char>(v[1] << 4 | v[2] >> 2);
        k = 0;
    }
    *carryLen = k;
    return o;
}

// Quoted-printable (RFC 2045 section 6.7) of line text that may come in
// pieces. `lineEnds`: the text is the rest of its line (the line end itself
// is not in it). "=XX" in either letter case is the byte; '=' with only
// blanks after it at the line's end is a soft line break (*soft set); any
// other '=' stays as written. An escape cut by the end of a piece waits in
// carry. out needs room for carry + n bytes.
int QuotedStream(char* carry, int32_t* carryLen, const char* in, int n, bool lineEnds, char* out,
                 bool* soft) {
    *soft = false;
    char buf[72 + 1024];
    int o = 0;
    int at = 0;
    while (at < n || *carryLen > 0) {
        // Work on carry + the next slice of the input.
        int m = *carryLen;
        memcpy(buf, carry, static_cast<size_t>(m));
        int take = n - at < 1024 ? n - at : 1024;
        memcpy(buf + m, in + at, static_cast<size_t>(take));
        at += take;
        m += take;
        *carryLen = 0;
        bool final = lineEnds && at == n;
        int i = 0;
        while (i < m) {
            char c = buf[i];
            if (c != '=') {
                out[o++] = c;
                ++i;
                continue;
            }
            int j = i + 1;
            if (j < m && HexValue(buf[j]) >= 0) {
                if (j + 1 < m) {
                    if (HexValue(buf[j + 1]) >= 0) {
                        out[o++] = static_cast<char>(HexValue(buf[j]) << 4 | HexValue(buf[j + 1]));
                        i = j + 2;
                    } else {
                        out[o++] = '=';
                        i = j;
                    }
                    continue;
                }
                if (!final) break;  // "=X" at a piece's end: wait
                out[o++] = '=';
                i = j;
                continue;
            }
            int k = j;
            while (k < m && IsBlank(buf[k])) ++k;
            if (k == m) {
                if (final) {
                    *soft = true;
                    i = m;
                    break;
                }
                if (m - i <= 64) break;  // '=' and blanks at a piece's end: wait
            }
            out[o++] = '=';
            i = j;
        }
        if (i < m) {
            *carryLen = m - i;
            memcpy(carry, buf + i, static_cast<size_t>(m - i));
            if (at == n) break;
        }
    }
    return o;
}

// --- Character sets ------------------------------------------------------------

// windows-1252 0x80..0x9F as Unicode code points (0 where undefined).
const uint16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

int PutUtf8(uint32_t cp, char* out, int k, int room) {
    char b[4];
    int n;
    if (cp < 0x80) {
        b[0] = static_cast<char>(cp);
        n = 1;
    } else if (cp < 0x800) {
        b[0] = static_cast<char>(0xC0 | cp >> 6);
        b[1] = static_cast<char>(0x80 | (cp & 0x3F));
        n = 2;
    } else {
        b[0] = static_cast<char>(0xE0 | cp >> 12);
        b[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        b[2] = static_cast<char>(0x80 | (cp & 0x3F));
        n = 3;
    }
    if (k + n > room) return k;
    memcpy(out + k, b, static_cast<size_t>(n));
    return k + n;
}

bool ValidUtf8(const unsigned char* s, int n) {
    for (int i = 0; i < n;) {
        unsigned char c = s[i];
        int more = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (more < 0 || i + more >= n + (more == 0 ? 1 : 0)) return false;
        for (int j = 1; j <= more; ++j)
            if ((s[i + j] & 0xC0) != 0x80) return false;
        i += more + 1;
    }
    return true;
}

// Appends UTF-8 text, each ill-formed sequence (its longest start that could
// have been valid) replaced by U+FFFD, as Unicode recommends.
int AppendUtf8(const unsigned char* s, int n, char* out, int k, int room) {
    for (int i = 0; i < n;) {
        unsigned char c = s[i];
        int more = c < 0x80                   ? 0
                   : (c >= 0xC2 && c <= 0xDF) ? 1
                   : (c >> 4) == 14           ? 2
                   : (c >= 0xF0 && c <= 0xF4) ? 3
                                              : -1;
        int good = 1;
        for (int j = 1; more > 0 && j <= more; ++j, ++good) {
            if (i + j >= n) break;
            unsigned char lo = 0x80, hi = 0xBF;
            if (j == 1 && c == 0xE0) lo = 0xA0;
            if (j == 1 && c == 0xED) hi = 0x9F;
            if (j == 1 && c == 0xF0) lo = 0x90;
            if (j == 1 && c == 0xF4) hi = 0x8F;
            if (s[i + j] < lo || s[i + j] > hi) break;
        }
        if (more >= 0 && good == more + 1) {
            if (k + good > room) return k;
            memcpy(out + k, s + i, static_cast<size_t>(good));
            k += good;
        } else {
            k = PutUtf8(0xFFFD, out, k, room);
        }
        i += more < 0 ? 1 : good;
    }
    return k;
}

// Appends bytes of the named character set to out as UTF-8. UTF-8 and ASCII
// pass; ISO-8859-1, -15 and windows-1252 are converted; text of any other
// set passes when it is valid UTF-8, else it is read as ISO-8859-1.
int AppendCharset(const char* charset, int csLen, const unsigned char* s, int n, char* out, int k,
                  int room) {
    char cs[32];
    int c = 0;
    for (int i = 0; i < csLen && c < 31 && charset[i] != '*'; ++i) cs[c++] = Lower(charset[i]);
    cs[c] = '\0';
    bool latin1 = !strcmp(cs, "iso-8859-1") || !strcmp(cs, "latin1") || !strcmp(cs, "latin-1") ||
                  !strcmp(cs, "iso8859-1") || !strcmp(cs, "l1");
    bool cp1252 = !strcmp(cs, "windows-1252") || !strcmp(cs, "cp1252");
    bool utf8 = !strcmp(cs, "utf-8") || !strcmp(cs, "utf8");
    if (utf8) return AppendUtf8(s, n, out, k, room);
    bool latin9 = !strcmp(cs, "iso-8859-15") || !strcmp(cs, "latin-9") || !strcmp(cs, "iso8859-15");
    if (!latin1 && !cp1252 && !latin9 && ValidUtf8(s, n)) {
        int m = n < room - k ? n : room - k;
        memcpy(out + k, s, static_cast<size_t>(m));
        return k + m;
    }
    for (int i = 0; i < n; ++i) {
        uint32_t cp = s[i];
        if (cp1252 && cp >= 0x80 && cp < 0xA0 && kCp1252High[cp - 0x80])
            cp = kCp1252High[cp - 0x80];
        if (latin9) {
            switch (cp) {
                case 0xA4:
                    cp = 0x20AC;
                    break;
                case 0xA6:
                    cp = 0x160;
                    break;
                case 0xA8:
                    cp = 0x161;
                    break;
                case 0xB4:
                    cp = 0x17D;
                    break;
                case 0xB8:
                    cp = 0x17E;
                    break;
                case 0xBC:
                    cp = 0x152;
                    break;
                case 0xBD:
                    cp = 0x153;
                    break;
                case 0xBE:
                    cp = 0x178;
                    break;
                default:
                    break;
            }
        }
        k = PutUtf8(cp, out, k, room);
    }
    return k;
}

// One encoded word "=?charset?E?text?=" at text (RFC 2047 section 2).
// Decoded into out from k; returns the characters used, 0 when it is no
// encoded word.
int DecodeOneWord(const char* text, char* out, int* k, int room) {
    if (text[0] != '=' || text[1] != '?') return 0;
    const char* cs = text + 2;
    const char* q1 = strchr(cs, '?');
    if (!q1 || q1 == cs || q1 - cs > 60) return 0;
    char enc = Lower(q1[1]);
    if ((enc != 'q' && enc != 'b') || q1[2] != '?') return 0;
    const char* body = q1 + 3;
    const char* end = strstr(body, "?=");
    if (!end) return 0;
    for (const char* p = body; p < end; ++p)
        if (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') return 0;
    int len = static_cast<int>(end - body);
    unsigned char bytes[kFieldChars];
    int n = 0;
    if (enc == 'b') {
        char carry[4];
        int32_t cl = 0;
        n = Base64Stream(carry, &cl, body, len < kFieldChars ? len : kFieldChars - 4, true, bytes);
    } else {
        for (int i = 0; i < len && n < kFieldChars; ++i) {
            char c = body[i];
            if (c == '_') {
                bytes[n++] = ' ';
            } else if (c == '=' && i + 2 < len && HexValue(body[i + 1]) >= 0 &&
                       HexValue(body[i + 2]) >= 0) {
                bytes[n++] =
                    static_cast<unsigned char>(HexValue(body[i + 1]) << 4 | HexValue(body[i + 2]));
                i += 2;
            } else {
                bytes[n++] = static_cast<unsigned char>(c);
            }
        }
    }
    *k = AppendCharset(cs, static_cast<int>(q1 - cs), bytes, n, out, *k, room);
    return static_cast<int>(end + 2 - text);
}

// --- Header fields ---------------------------------------------------------------

// Skips blanks and comments (RFC 5322 section 3.2.2; comments nest and hold
// quoted-pairs).
const char* SkipCfws(const char* p) {
    for (;;) {
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
        if (*p != '(') return p;
        int depth = 0;
        while (*p) {
            if (*p == '\\' && p[1]) {
                p += 2;
                continue;
            }
            if (*p == '(') ++depth;
            if (*p == ')' && --depth == 0) {
                ++p;
                break;
            }
            ++p;
        }
    }
}

bool IsTokenChar(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u > 0x20 && u != 0x7F && !strchr("()<>@,;:\\\"/[]?=", c);
}

// A parameter value: a quoted string (quoted-pairs undone) or a token, which
// real mailers fill with '=', '/' and other specials: it runs to ';', a
// blank, '"' or the end.
const char* TakeValue(const char* p, char* out, int room, int* len) {
    int n = 0;
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') {
            if (*p == '\\' && p[1]) ++p;
            if (n < room) out[n++] = *p;
            ++p;
        }
        if (*p == '"') ++p;
    } else {
        while (*p && *p != ';' && !IsBlank(*p) && *p != '"' && *p != '\r' && *p != '\n') {
            if (n < room) out[n++] = *p;
            ++p;
        }
    }
    *len = n;
    return p;
}

// RFC 2231 sections of the parameters the decoder wants.
enum ParamIds { kParamBoundary = 0, kParamName, kParamFileName, kParamCount };
constexpr int kMaxSections = 48;
constexpr int kPoolChars = kFieldChars;

struct Section {
    int8_t Param;
    int16_t Index;  // -1: the plain form
    bool Extended;
    int32_t At;
    int32_t Len;
};

struct Params {
    Section List[kMaxSections];
    int Count = 0;
    char Pool[kPoolChars];
    int Used = 0;
};

int ParamId(const char* name, int n) {
    if (SameWord(name, n, "boundary")) return kParamBoundary;
    if (SameWord(name, n, "name")) return kParamName;
    if (SameWord(name, n, "filename")) return kParamFileName;
    return -1;
}

void AddSection(Params* ps, const char* attr, int attrLen, const char* value, int len) {
    int star = 0;
    while (star < attrLen && attr[star] != '*') ++star;
    int id = ParamId(attr, star);
    if (id < 0 || ps->Count >= kMaxSections) return;
    Section s{};
    s.Param = static_cast<int8_t>(id);
    s.Index = -1;
    if (star < attrLen) {
        const char* r = attr + star + 1;
        int rn = attrLen - star - 1;
        if (rn == 0) {
            s.Index = 0;
            s.Extended = true;
        } else {
            int idx = 0;
            int i = 0;
            while (i < rn && r[i] >= '0' && r[i] <= '9' && idx < 1000)
                idx = idx * 10 + (r[i++] - '0');
            if (i == 0) return;
            if (i < rn) {
                if (r[i] != '*' || i + 1 != rn) return;
                s.Extended = true;
            }
            s.Index = static_cast<int16_t>(idx);
        }
    }
    if (len > kPoolChars - ps->Used) len = kPoolChars - ps->Used;
    s.At = ps->Used;
    s.Len = len;
    memcpy(ps->Pool + ps->Used, value, static_cast<size_t>(len));
    ps->Used += len;
    ps->List[ps->Count++] = s;
}

// Puts a parameter together (RFC 2231 sections 3 and 4: sections in order,
// extended ones %-decoded, the charset of the first one applying) into out
// as UTF-8; a plain value has its encoded words decoded (RFC 2047 words in
// quoted names are common). 0 when the parameter is absent.
int JoinParam(const Params& ps, int id, char* out, int room) {
    char raw[kPoolChars + 1];
    int rn = 0;
    const char* charset = "";
    int csLen = 0;
    bool anyExtended = false;
    bool found = false;
    for (int index = 0; index < 1000; ++index) {
        const Section* s = nullptr;
        for (int i = 0; i < ps.Count && !s; ++i)
            if (ps.List[i].Param == id && ps.List[i].Index == index) s = &ps.List[i];
        if (!s) break;
        found = true;
        const char* v = ps.Pool + s->At;
        int n = s->Len;
        if (s->Extended) {
            anyExtended = true;
            if (index == 0) {
                // charset'language'
                const char* q1 = static_cast<const char*>(memchr(v, '\'', static_cast<size_t>(n)));
                const char* q2 = q1 ? static_cast<const char*>(
                                          memchr(q1 + 1, '\'', static_cast<size_t>(v + n - q1 - 1)))
                                    : nullptr;
                if (q2) {
                    charset = v;
                    csLen = static_cast<int>(q1 - v);
                    n -= static_cast<int>(q2 + 1 - v);
                    v = q2 + 1;
                }
            }
            for (int i = 0; i < n && rn < kPoolChars; ++i) {
                if (v[i] == '%' && i + 2 < n && HexValue(v[i + 1]) >= 0 &&
                    HexValue(v[i + 2]) >= 0) {
                    raw[rn++] = static_cast<char>(HexValue(v[i + 1]) << 4 | HexValue(v[i + 2]));
                    i += 2;
                } else {
                    raw[rn++] = v[i];
                }
            }
        } else {
            int m = n < kPoolChars - rn ? n : kPoolChars - rn;
            memcpy(raw + rn, v, static_cast<size_t>(m));
            rn += m;
        }
    }
    if (found && anyExtended) {
        int k =
            AppendCharset(charset, csLen, reinterpret_cast<unsigned char*>(raw), rn, out, 0, room);
        out[k] = '\0';
        return 1;
    }
    if (!found) {
        const Section* plain = nullptr;
        for (int i = 0; i < ps.Count && !plain; ++i)
            if (ps.List[i].Param == id && ps.List[i].Index == -1) plain = &ps.List[i];
        if (!plain) return 0;
        memcpy(raw, ps.Pool + plain->At, static_cast<size_t>(plain->Len));
        rn = plain->Len;
    }
    raw[rn] = '\0';
    DecodeEncodedWords(raw, out, room + 1);
    return 1;
}

// White space around a name is no part of it.
void TrimBlanks(char* text) {
    auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    int n = static_cast<int>(strlen(text));
    while (n > 0 && space(text[n - 1])) --n;
    int start = 0;
    while (start < n && space(text[start])) ++start;
    memmove(text, text + start, static_cast<size_t>(n - start));
    text[n - start] = '\0';
}

// type/subtype ; attribute = value ; ... (RFC 2045 section 5.1)
const char* ParseParams(const char* p, Params* ps) {
    while (*p) {
        p = SkipCfws(p);
        if (*p == ';') {
            ++p;
            continue;
        }
        const char* attr = p;
        while (IsTokenChar(*p) || *p == '*') ++p;
        int attrLen = static_cast<int>(p - attr);
        p = SkipCfws(p);
        if (attrLen == 0 || *p != '=') {
            // Not a parameter: on to the next ';' outside a quoted string.
            bool quoted = false;
            while (*p && (quoted || *p != ';')) {
                if (*p == '\\' && quoted && p[1])
                    ++p;
                else if (*p == '"')
                    quoted = !quoted;
                ++p;
            }
            continue;
        }
        p = SkipCfws(p + 1);
        char value[kFieldChars];
        int len = 0;
        p = TakeValue(p, value, kFieldChars, &len);
        AddSection(ps, attr, attrLen, value, len);
    }
    return p;
}

// The first token (a type, a disposition, an encoding), lower-cased.
const char* TakeToken(const char* p, char* out, int room) {
    p = SkipCfws(p);
    int n = 0;
    while (IsTokenChar(*p) || *p == '/') {
        if (n < room - 1) out[n++] = Lower(*p);
        ++p;
    }
    out[n] = '\0';
    return p;
}

// --- The walker -------------------------------------------------------------------

void ResetHead(MimeHeader* h) {
    memset(h, 0, sizeof *h);
}

int Emit(MimeDecoder* d, MimeSink* s, const char* data, int n) {
    if (n <= 0) return 0;
    int rc = d->Mode == kFile ? s->PartData(data, n) : s->Text(data, n);
    return rc < 0 ? rc : 0;
}

// Body text of a decoded part (or quoted-printable text), the line end not
// included; lineEnds when the text ends its line. *soft: a quoted-printable
// soft line break ended the line.
int Content(MimeDecoder* d, MimeSink* s, const char* data, int n, bool lineEnds, bool* soft) {
    *soft = false;
    int at = 0;
    do {
        int take = n - at < 1024 ? n - at : 1024;
        bool last = at + take == n;
        char out[72 + 1024 + 8];
        int o;
        if (d->Encoding == kEncBase64) {
            o = Base64Stream(d->Carry, &d->CarryLen, data + at, take, false,
                             reinterpret_cast<unsigned char*>(out));
        } else if (d->Encoding == kEncQuoted) {
            o = QuotedStream(d->Carry, &d->CarryLen, data + at, take, lineEnds && last, out, soft);
        } else {
            memcpy(out, data + at, static_cast<size_t>(take));
            o = take;
        }
        if (int rc = Emit(d, s, out, o)) return rc;
        at += take;
    } while (at < n);
    return 0;
}

// The body being read ends: at a delimiter, which takes the line end held
// back, or at the message's end, where that line end is content.
int EndBody(MimeDecoder* d, MimeSink* s, bool complete, bool atDelimiter) {
    int rc = 0;
    if (d->State == kBody) {
        char out[80];
        int o = 0;
        if (d->Encoding == kEncBase64) {
            o = Base64Stream(d->Carry, &d->CarryLen, "", 0, true,
                             reinterpret_cast<unsigned char*>(out));
        } else if (d->CarryLen > 0) {
            memcpy(out, d->Carry, static_cast<size_t>(d->CarryLen));
            o = d->CarryLen;
        }
        if (d->CrHeld) out[o++] = '\r';
        if (!atDelimiter && d->EolLen > 0) {
            memcpy(out + o, d->Eol, static_cast<size_t>(d->EolLen));
            o += d->EolLen;
        }
        rc = Emit(d, s, out, o);
        if (d->Mode == kFile) {
            int end = s->PartEnd(complete);
            if (rc == 0 && end < 0) rc = end;
        }
    }
    d->CarryLen = 0;
    d->EolLen = 0;
    d->CrHeld = 0;
    d->Mode = kText;
    d->Encoding = kEncNone;
    return rc;
}

// The header of an entity is complete: its body begins.
int BeginBody(MimeDecoder* d, MimeSink* s) {
    MimeHeader& h = d->Head;
    if (h.Multipart && h.BoundaryLen > 0 && d->Stack.Depth < kMimeDepth) {
        int level = d->Stack.Depth++;
        memcpy(d->Stack.Text[level], h.Boundary, static_cast<size_t>(h.BoundaryLen) + 1);
        d->Stack.Len[level] = h.BoundaryLen;
        char note[kBoundaryChars + 64];
        snprintf(note, sizeof note, "[%s boundary defined %d (--%s)]\r\n",
                 level == 0 ? "MIME" : "Alternate MIME", h.BoundaryLen + 2, h.Boundary);
        s->Note(note);
        d->State = kSkip;
        return 0;
    }
    d->State = kBody;
    d->Encoding = h.Multipart ? kEncNone : h.Encoding;
    if (d->Encoding == kEncBase64) s->Note("[Encoding is BASE64]\r\n");
    if (d->Encoding == kEncQuoted) s->Note("[Encoding is QUOTED]\r\n");
    if (d->Encoding == kEncIdentity) s->Note("[Encoding is 7-bit]\r\n");
    d->Mode = kText;
    d->CarryLen = 0;
    d->EolLen = 0;
    d->CrHeld = 0;
    const char* name = h.FileName[0] ? h.FileName : h.TypeName;
    if (!name[0] && !h.Inline && h.Encoding == kEncBase64 && d->SaveUnnamed)
        name = d->Stack.Depth > 0 ? "incoming.mai" : "noname";
    if (name[0] && !h.Multipart) {
        int rc = s->PartBegin(name);
        if (rc < 0) return rc;
        if (rc == 0) d->Mode = kFile;
    }
    if (d->Mode == kText && h.Inline && d->Encoding != kEncNone) d->Mode = kInline;
    if (d->Mode == kText && d->Encoding == kEncBase64 && !h.Inline) d->Encoding = kEncNone;
    return 0;
}

// A gathered header field is complete.
int FinishField(MimeDecoder* d, MimeSink* s) {
    if (!d->FieldOpen) return 0;
    d->FieldOpen = 0;
    // Unfolded: the line ends go, the blanks after them stay; NUL bytes are
    // no part of a field's text.
    char field[kFieldChars + 2];
    int n = 0;
    for (int i = 0; i < d->FieldLen; ++i) {
        char c = d->Field[i];
        if (c == '\r' || c == '\n') continue;
        field[n++] = c == '\0' ? ' ' : c;
    }
    field[n] = '\0';
    bool top = d->State == kTopHeader;
    bool mimeVersion = ParseMimeField(field, &d->Head) == 1;
    if (top && mimeVersion && d->TopMode == kTopAll) {
        d->TopMode = kTopSome;
        s->Note("[MIME version found]\r\n");
    }
    if (top && d->Head.Multipart && d->Head.BoundaryLen > 0) d->TopMode = kTopNone;
    if (d->FieldWrite == 2) {
        // Subject and From: encoded words decoded, on one line.
        const char* colon = strchr(field, ':');
        if (!colon || !strstr(colon, "=?")) {
            int rc = s->Text(d->Field, d->FieldLen);
            return rc < 0 ? rc : 0;
        }
        char out[kFieldChars + 2];
        int k = static_cast<int>(colon + 1 - field);
        memcpy(out, field, static_cast<size_t>(k));
        k += DecodeEncodedWords(colon + 1, out + k, kFieldChars - k);
        // Decoded text never starts a line of its own.
        for (int i = 0; i < k; ++i)
            if (out[i] == '\r' || out[i] == '\n' || out[i] == '\0') out[i] = ' ';
        out[k++] = '\r';
        out[k++] = '\n';
        int rc = s->Text(out, k);
        return rc < 0 ? rc : 0;
    }
    return 0;
}

int WriteField(MimeDecoder* d, MimeSink* s, const char* data, int n) {
    if (d->FieldWrite != 1) return 0;
    int rc = s->Text(data, n);
    return rc < 0 ? rc : 0;
}

void GatherField(MimeDecoder* d, const char* data, int n) {
    int room = kFieldChars - d->FieldLen;
    int m = n < room ? n : room;
    if (m > 0) memcpy(d->Field + d->FieldLen, data, static_cast<size_t>(m));
    d->FieldLen += m > 0 ? m : 0;
}

int HeaderPiece(MimeDecoder* d, MimeSink* s, const char* data, int n, bool start) {
    if (start &&
        (n == 0 || data[0] == '\n' || (data[0] == '\r' && n >= 2 && data[1] == '\n' && n == 2))) {
        // The blank line that ends the header.
        if (int rc = FinishField(d, s)) return rc;
        if (d->State == kTopHeader) {
            if (int rc = s->Text(data, n); rc < 0) return rc;
            if (!d->Head.Multipart)
                s->Note(d->TopMode == kTopAll          ? "[Not doing MIME/2]\r\n"
                        : d->Head.Encoding == kEncNone ? "[Not doing MIME]\r\n"
                                                       : "[MIME w/o boundary]\r\n");
        } else if (d->Head.Rfc822 && !d->Head.Multipart) {
            s->Note("[Ignoring blank line]\r\n");
            if (int rc = s->Text(data, n); rc < 0) return rc;
        }
        if (d->Head.Rfc822 && !d->Head.Multipart) {
            // The enclosed message's own header follows, read like more part
            // header (RFC 2046 section 5.2.1).
            ResetHead(&d->Head);
            d->State = kPartHeader;
            return 0;
        }
        return BeginBody(d, s);
    }
    if (!start || (IsBlank(data[0]) && d->FieldOpen)) {
        GatherField(d, data, n);
        return WriteField(d, s, data, n);
    }
    if (int rc = FinishField(d, s)) return rc;
    d->FieldOpen = 1;
    d->FieldLen = 0;
    d->FieldWrite = 0;
    if (d->State == kTopHeader) {
        int nameLen = 0;
        while (nameLen < n && data[nameLen] != ':' && !IsBlank(data[nameLen])) ++nameLen;
        bool subjectOrFrom = SameWord(data, nameLen, "subject") || SameWord(data, nameLen, "from");
        if (d->TopMode == kTopAll) d->FieldWrite = subjectOrFrom ? 2 : 1;
        if (d->TopMode == kTopSome)
            d->FieldWrite = subjectOrFrom ? 2 : SameWord(data, nameLen, "to") ? 1 : 0;
    }
    GatherField(d, data, n);
    return WriteField(d, s, data, n);
}

// Is the line a delimiter of an open multipart (RFC 2046 section 5.1.1):
// "--", the boundary exactly, "--" for the closing one, then only blanks?
// The level it closes or opens a part of, innermost first; -1 for none.
int MatchDelimiter(const BoundaryStack& st, const char* line, int n, bool* closing) {
    int m = n;
    if (m > 0 && line[m - 1] == '\n') --m;
    if (m > 0 && line[m - 1] == '\r') --m;
    if (m < 3 || line[0] != '-' || line[1] != '-') return -1;
    for (int level = st.Depth - 1; level >= 0; --level) {
        int len = st.Len[level];
        if (m < 2 + len || memcmp(line + 2, st.Text[level], static_cast<size_t>(len)) != 0)
            continue;
        int i = 2 + len;
        *closing = i + 1 < m && line[i] == '-' && line[i + 1] == '-';
        if (*closing) i += 2;
        while (i < m && IsBlank(line[i])) ++i;
        if (i == m) return level;
    }
    return -1;
}

// A delimiter line ends the part being read, whether in its header or its
// body. 1 when the line was one (*rc the outcome), else 0.
int Delimiter(MimeDecoder* d, MimeSink* s, const char* data, int n, int* rc) {
    {
        bool closing = false;
        int level = MatchDelimiter(d->Stack, data, n, &closing);
        if (level >= 0) {
            *rc = 0;
            if (d->State == kPartHeader) *rc = FinishField(d, s);
            int end = EndBody(d, s, true, true);
            if (*rc == 0) *rc = end;
            // A delimiter ends every part inside its own level; the closing
            // one ends its level too (what follows is its epilogue).
            d->Stack.Depth = closing ? level : level + 1;
            d->State = closing ? kSkip : kPartHeader;
            d->FieldOpen = 0;
            ResetHead(&d->Head);
            s->Note("[Boundary line found]\r\n");
            return 1;
        }
    }
    return 0;
}

int BodyPiece(MimeDecoder* d, MimeSink* s, const char* data, int n, bool ends) {
    if (d->State == kSkip) return 0;
    int eol = 0;
    if (ends) eol = (n >= 2 && data[n - 2] == '\r') ? 2 : 1;
    if (d->Mode != kText) s->Encoded(n);
    if (d->Mode == kText && d->Encoding != kEncQuoted) {
        int rc = s->Text(data, n);
        return rc < 0 ? rc : 0;
    }
    if (d->Encoding == kEncBase64) {
        bool soft;
        return Content(d, s, data, n, false, &soft);
    }
    // The line end held back from the line before is part of the content.
    if (d->EolLen > 0) {
        int held = d->EolLen;
        d->EolLen = 0;
        if (int rc = Emit(d, s, d->Eol, held)) return rc;
    }
    bool soft = false;
    const char* eolText = data + n - eol;
    int eolLen = eol;
    int length = n - eol;
    if (d->CrHeld) {
        // A CR that ended the piece before: with this LF it is the line end
        // (a CR LF cut between two pieces), else it was content.
        d->CrHeld = 0;
        if (ends && n == 1) {
            eolText = "\r\n";
            eolLen = 2;
        } else if (int rc = Content(d, s, "\r", 1, false, &soft)) {
            return rc;
        }
    }
    if (!ends && length > 0 && data[length - 1] == '\r') {
        --length;
        d->CrHeld = 1;
    }
    if (int rc = Content(d, s, data, length, ends, &soft)) return rc;
    if (!ends || soft) return 0;
    if (d->Mode == kFile) {
        // The CR LF before a delimiter belongs to the delimiter (RFC 2046
        // section 5.1.1): held until the next line shows it is content.
        memcpy(d->Eol, eolText, static_cast<size_t>(eolLen));
        d->EolLen = eolLen;
        return 0;
    }
    return Emit(d, s, eolText, eolLen);
}

}  // namespace

void MimeStart(MimeDecoder* d, bool saveUnnamed) {
    d->SaveUnnamed = saveUnnamed ? 1 : 0;
    d->State = kTopHeader;
    d->TopMode = kTopAll;
    d->AtLineStart = 1;
    d->FieldOpen = 0;
    d->FieldWrite = 0;
    d->FieldLen = 0;
    ResetHead(&d->Head);
    d->Stack.Depth = 0;
    d->Mode = kText;
    d->Encoding = kEncNone;
    d->EolLen = 0;
    d->CrHeld = 0;
    d->CarryLen = 0;
    d->Failed = 0;
}

int MimeLine(MimeDecoder* d, MimeSink* sink, const char* data, int n) {
    if (d->Failed) return d->Failed;
    if (n <= 0) return 0;
    bool start = d->AtLineStart != 0;
    bool ends = data[n - 1] == '\n';
    d->AtLineStart = ends ? 1 : 0;
    int rc = 0;
    if (start && ends && d->Stack.Depth > 0 && d->State != kTopHeader && n >= 3 && data[0] == '-' &&
        data[1] == '-' && Delimiter(d, sink, data, n, &rc)) {
    } else if (d->State == kTopHeader || d->State == kPartHeader) {
        rc = HeaderPiece(d, sink, data, n, start);
    } else {
        rc = BodyPiece(d, sink, data, n, ends);
    }
    if (rc < 0) d->Failed = rc;
    return rc;
}

int MimeFinish(MimeDecoder* d, MimeSink* sink, bool complete) {
    int rc = 0;
    if (d->State == kTopHeader || d->State == kPartHeader) rc = FinishField(d, sink);
    int end = EndBody(d, sink, complete && !d->Failed, false);
    d->State = kSkip;
    d->Stack.Depth = 0;
    if (rc == 0) rc = end;
    return d->Failed ? d->Failed : rc;
}

int ParseMimeField(const char* field, MimeHeader* h) {
    const char* colon = strchr(field, ':');
    if (!colon) return 0;
    int nameLen = static_cast<int>(colon - field);
    while (nameLen > 0 && IsBlank(field[nameLen - 1])) --nameLen;
    const char* value = colon + 1;
    char token[64];
    if (SameWord(field, nameLen, "mime-version")) return 1;
    if (SameWord(field, nameLen, "content-transfer-encoding")) {
        TakeToken(value, token, sizeof token);
        if (!strcmp(token, "base64"))
            h->Encoding = kEncBase64;
        else if (!strcmp(token, "quoted-printable"))
            h->Encoding = kEncQuoted;
        else if (!strcmp(token, "7bit") || !strcmp(token, "8bit") || !strcmp(token, "binary"))
            h->Encoding = kEncIdentity;
        else
            h->Encoding = kEncNone;
        return 0;
    }
    bool type = SameWord(field, nameLen, "content-type");
    bool disposition = SameWord(field, nameLen, "content-disposition");
    if (!type && !disposition) return 0;
    const char* p = TakeToken(value, token, sizeof token);
    static thread_local Params ps;
    ps.Count = 0;
    ps.Used = 0;
    ParseParams(p, &ps);
    if (type) {
        h->Multipart = strncmp(token, "multipart/", 10) == 0;
        h->Rfc822 = strcmp(token, "message/rfc822") == 0;
        h->BoundaryLen = 0;
        h->Boundary[0] = '\0';
        char b[kFieldChars + 2];
        if (JoinParam(ps, kParamBoundary, b, kFieldChars)) {
            int len = static_cast<int>(strlen(b));
            if (len > 0 && len <= kBoundaryChars) {
                memcpy(h->Boundary, b, static_cast<size_t>(len) + 1);
                h->BoundaryLen = len;
            }
        }
        JoinParam(ps, kParamName, h->TypeName, kMimeNameChars);
        TrimBlanks(h->TypeName);
    } else {
        h->Inline = strcmp(token, "inline") == 0;
        JoinParam(ps, kParamFileName, h->FileName, kMimeNameChars);
        TrimBlanks(h->FileName);
    }
    return 0;
}

int DecodeEncodedWords(const char* text, char* out, int outSize) {
    if (outSize <= 0) return 0;
    int room = outSize - 1;
    int k = 0;
    bool afterWord = false;
    const char* p = text;
    while (*p && k < room) {
        if (p[0] == '=' && p[1] == '?') {
            int used = DecodeOneWord(p, out, &k, room);
            if (used > 0) {
                p += used;
                afterWord = true;
                continue;
            }
        }
        if (afterWord && IsBlank(*p)) {
            // Blanks between two encoded words are dropped (RFC 2047
            // section 6.2); before other text they stay.
            const char* q = p;
            while (IsBlank(*q)) ++q;
            int k2 = k;
            if (q[0] == '=' && q[1] == '?' && DecodeOneWord(q, out, &k2, room) > 0) {
                p = q;
                continue;
            }
        }
        afterWord = false;
        out[k++] = *p++;
    }
    out[k] = '\0';
    return k;
}

}  // namespace vok
