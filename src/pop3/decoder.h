// The incoming-message decoder. A download hands it every line of the
// message as it arrives; it follows the MIME structure (RFC 2045, 2046) one
// line at a time, writes a readable copy of the message into the message
// file and saves every named part into a file of its own in the attachment
// folder. It never holds more than the current line.
#pragma once

#include <cstdint>

namespace vok {

struct Channel;

// Values of Channel::DecoderState.
enum DecoderStates : int32_t {
    kDecodePlain = 0,       // not MIME: every line passes unchanged
    kDecodeRaw = 1,         // raw download: the decoder is not called
    kDecodeHeader = 2,      // top-level header, no "MIME-Version: 1.0" yet
    kDecodeMimeHeader = 3,  // top-level header after "MIME-Version: 1.0"
    kDecodePreamble = 4,    // boundary known, waiting for its first line
    kDecodePartHeader = 5,  // header of a part
    kDecodeBody = 6,        // body of a part or of a single-part message
};

// Clears the decoder's per-message state before a download starts.
// DecoderState, AttachDir and AttachTotal are left to the caller.
void ResetDecoder(Channel* ch);

// Decodes the line in ReplyBuffer, *length bytes long (the line may hold NUL
// bytes). The decoder may rewrite the line (unfolded or decoded header
// lines) and then updates *length. Returns 1 when the caller is to write the
// line, as it now stands, into the message file; 0 when the decoder has
// dealt with it; -1 when writing the decoded text into the message file or
// an attachment file failed (the download cannot be complete).
int DecodeMimeLine(Channel* ch, int32_t* length);

// Writes downloaded text into the message file (MailHandle). Every byte is
// written: the status line of the download never gets here. The result of
// the file write: the bytes written, or -1.
int32_t WriteMailData(Channel* ch, const char* data, int32_t length);

// Writes out the decoded attachment bytes still held in AttachBuffer.
// 0, or -1 when the write failed.
int FlushAttachFile(Channel* ch);

// Closes the attachment file being written, if any, and notes it: the
// "[Attachment saved to ...]" line goes into the message file (unless
// HideAttachNote) and the log, its name into SavedNames, and the counters
// go up. 1 when a file was closed, else 0.
int CloseAttachFile(Channel* ch);

// --- Pieces that work on plain text ------------------------------------------

// 1 when text holds an ISO-8859-1 Q-encoded word (RFC 2047), else 2 when it
// holds a B-encoded one, else 0. Letter case is ignored.
int FindIsoWord(const char* text);

// Decodes, in place, the first two ISO-8859-1 encoded words of a
// NUL-terminated text; the text around them is kept. Each word is decoded
// by its own encoding letter. Returns the new length of the text.
int DecodeIsoWords(char* text);

// Drops any directory part of an attachment name in place (everything up
// to the last '/', '\' or ':'), so that a name from a message can never
// reach outside the attachment folder. Returns 0 when nothing usable
// remains (empty, "." or ".."), else 1.
int CleanAttachName(char* name);

// Joins dir, a separator when dir does not already end with one, and the
// name (after an optional prefix) into out, which holds at most maxChars
// characters and a NUL. Returns the length, or -1 when the whole path does
// not fit (out then holds nothing usable).
int JoinPath(char* out, int maxChars, const char* dir, const char* prefix, const char* name);

}  // namespace vok
