/* SPDX-License-Identifier: MIT */
// The MIME walker of downloaded messages (RFC 2045, 2046, 2047, 2231), apart
// from any socket or file: it is handed the message one line (or one piece
// of a long line) at a time and tells a sink what it finds: readable message
// text, and the begin, decoded bytes and end of every part to be saved.
// It holds no more than one header field and fixed carries, so memory stays
// flat whatever the size of the message.
#pragma once

#include <cstdint>

namespace vok {

constexpr int kMimeDepth = 64;       // nested multiparts followed; deeper ones stay text
constexpr int kBoundaryChars = 200;  // longest boundary kept (RFC 2046 allows 70)
constexpr int kFieldChars = 8192;    // one header field with its folds
constexpr int kMimeNameChars = 255;  // a decoded file name, in bytes (UTF-8)

// Transfer encodings (RFC 2045 section 6.1) as the decoder tells them apart.
enum MimeEncoding : int32_t { kEncNone = 0, kEncIdentity = 1, kEncBase64 = 2, kEncQuoted = 3 };

// The delimiters of the multiparts now open, outermost first, without the
// leading "--".
struct BoundaryStack {
    int32_t Depth;
    int32_t Len[kMimeDepth];
    char Text[kMimeDepth][kBoundaryChars + 1];
};

// What the header of the message, of a part, or of an enclosed message says.
struct MimeHeader {
    int32_t Encoding;
    uint8_t Multipart;
    uint8_t Rfc822;
    uint8_t Inline;  // Content-Disposition: inline
    int32_t BoundaryLen;
    char Boundary[kBoundaryChars + 1];
    char FileName[kMimeNameChars + 1];  // filename= of the disposition, decoded
    char TypeName[kMimeNameChars + 1];  // name= of the content type, decoded
};

// Where the decoder's findings go. Results below 0 stop the decoder with
// that result.
class MimeSink {
  public:
    // Readable text of the message file.
    virtual int Text(const char* data, int n) = 0;
    // A part to be saved under `name` (UTF-8, as the message gave it): 0
    // when it is being saved, 1 when it is not (its body is then text).
    virtual int PartBegin(const char* name) = 0;
    virtual int PartData(const char* data, int n) = 0;
    // complete: the part's end was seen (a delimiter or the message's end),
    // not a cut-off download.
    virtual int PartEnd(bool complete) = 0;
    // Encoded body bytes taken in for a saved or inline part.
    virtual void Encoded(int) {}
    // A note for the diagnostic log.
    virtual void Note(const char*) {}

  protected:
    ~MimeSink() = default;
};

struct MimeDecoder {
    uint8_t SaveUnnamed;  // an unnamed base64 part is saved too
    int32_t State;
    int32_t TopMode;      // which top-level header fields reach the message text
    uint8_t AtLineStart;  // the next piece starts a line
    uint8_t FieldOpen;
    uint8_t FieldWrite;  // what becomes of the field: 0 nothing, 1 as it comes, 2 decoded
    int32_t FieldLen;
    char Field[kFieldChars + 2];
    MimeHeader Head;
    BoundaryStack Stack;
    int32_t Mode;      // what a body line becomes
    int32_t Encoding;  // of the body being read
    int32_t EolLen;    // line end held back: it belongs to a delimiter that may follow
    char Eol[2];
    uint8_t CrHeld;    // a piece ended in CR: the LF may follow in the next one
    int32_t CarryLen;  // base64 characters or a quoted-printable escape split by a piece
    char Carry[72];
    int32_t Failed;
};

// Starts a message.
void MimeStart(MimeDecoder* d, bool saveUnnamed);

// Takes the next piece of the message: a whole line with its line end, or
// part of a line longer than one read (NUL bytes are ordinary bytes). 0, or
// the negative result of the sink that failed.
int MimeLine(MimeDecoder* d, MimeSink* sink, const char* data, int n);

// The end of the message (complete), or the download was cut off. Ends an
// open part accordingly. 0 or a sink's negative result.
int MimeFinish(MimeDecoder* d, MimeSink* sink, bool complete);

// Parses one unfolded header field ("Name: value", NUL-terminated) into h
// when it is a content field. 1 for a MIME-Version field, else 0.
int ParseMimeField(const char* field, MimeHeader* h);

// Decodes the RFC 2047 encoded words in text (NUL-terminated) to UTF-8;
// blanks between adjacent encoded words go. A bounded copy into out (at
// most outSize - 1 bytes and a NUL). Returns the length.
int DecodeEncodedWords(const char* text, char* out, int outSize);

}  // namespace vok
