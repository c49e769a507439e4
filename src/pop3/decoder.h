/* SPDX-License-Identifier: MIT */
// The download side of the incoming-message decoder: the MIME walker of
// codec/mime.h fed with the lines of a RETR response, and the one sink that
// writes what it finds: the readable message file, one file per saved part
// in the attachment folder, and the raw copy of the message.
#pragma once

#include <cstdint>

namespace vok {

struct Channel;

// Values of Channel::DecoderState.
enum DecoderStates : int32_t {
    kDecodeRaw = 1,     // raw download: blocks as received, no line handling
    kDecodeHeader = 2,  // a download that decodes (the start state)
};

// A download begins: the message file (MailHandle) is open. Opens the raw
// copy when RawCopyDir asks for one. 0, or -67 when it cannot be created.
int StartDownload(Channel* ch);

// One piece of the message as the server sent it, dot-unstuffed: a line
// with its line end, or part of a line longer than one read. 0, or a
// negative result that fails the download (-67: a file could not be
// created or written).
int DownloadPiece(Channel* ch, const char* data, int32_t n);

// The download ends: complete when the "." line came, else cut off (an
// error, a time-out, vokClose). The files are closed; a part cut off stays
// under its temporary name and is not counted. 0, or -67 when a file could
// not be written whole. Does nothing when no download is open.
int EndDownload(Channel* ch, bool complete);

// Writes downloaded text into the message file (MailHandle). The result of
// the file write: the bytes written, or -1.
int32_t WriteMailData(Channel* ch, const char* data, int32_t length);

// Makes a part's name (UTF-8, as the message gave it) a plain file name in
// place: control characters become '_', any directory part is dropped
// (everything up to the last '/', '\' or ':'), so that no name from a
// message reaches outside the attachment folder. 0 when nothing usable
// remains (empty, "." or ".."), else 1.
int CleanAttachName(char* name);

// Joins dir, a separator when dir does not already end with one, and the
// name (after an optional prefix) into out, which holds at most maxChars
// characters and a NUL. Returns the length, or -1 when the whole path does
// not fit (out then holds nothing usable).
int JoinPath(char* out, int maxChars, const char* dir, const char* prefix, const char* name);

}  // namespace vok
