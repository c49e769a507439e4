// SPDX-License-Identifier: MIT
// The download's sink: the message file, the attachment files and the raw
// copy. Every file of a download is new: an existing name is never
// overwritten (a second "a.txt" becomes "a (2).txt"), a symbolic link is
// never followed, and a file is written under a temporary name and renamed
// once complete, so a download cut off leaves no truncated file under a
// final name.
#include "pop3/decoder.h"

#include <cstdio>
#include <cstring>

#include "codec/mime.h"
#include "codec/text.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "platform/platform.h"
#include "pop3/pop3.h"
#include "vok32.h"

namespace vok {

namespace {

constexpr int kNameTries = 1000;  // "a (2).txt" .. "a (1000).txt"
constexpr int kTempTries = 10;
// Room a unique name and a temporary name may add to a path: " (1000)"
// and ".9.part".
constexpr int kNameSlack = 16;

// Splits name into stem and extension (from the last '.', unless the name
// starts with it or the extension is long), and forms "stem (k).ext", or
// the name itself for k 1, cutting the stem (never inside a UTF-8
// character) so that the result has at most maxChars characters. 0 when
// nothing usable fits.
int NameVariant(const char* name, int k, int maxChars, char* out) {
    int len = TextLength(name);
    const char* dot = strrchr(name, '.');
    int ext =
        (dot && dot != name && len - (dot - name) <= 20) ? len - static_cast<int>(dot - name) : 0;
    int stem = len - ext;
    char suffix[24] = "";
    if (k > 1) snprintf(suffix, sizeof suffix, " (%d)", k);
    int sl = TextLength(suffix);
    int keep = maxChars - ext - sl;
    if (keep < 1) return 0;
    if (stem > keep) {
        stem = keep;
        while (stem > 1 && (static_cast<unsigned char>(name[stem]) & 0xC0) == 0x80) --stem;
    }
    memcpy(out, name, static_cast<size_t>(stem));
    memcpy(out + stem, suffix, static_cast<size_t>(sl));
    memcpy(out + stem + sl, name + len - ext, static_cast<size_t>(ext));
    out[stem + sl + ext] = '\0';
    return 1;
}

const char* BaseName(const char* path) {
    const char* name = path;
    for (const char* c = path; *c; ++c)
        if (*c == '/' || *c == '\\' || *c == ':') name = c + 1;
    return name;
}

// Creates a new file for `name` in dir: the first free name among name,
// "name (2)", ... goes into finalPath, and the file itself is created new
// under finalPath + ".part" (or ".2.part" ...) in tempPath. The handle, 0
// when no name fits, or -1 when the folder takes no new file.
plat::FileHandle CreateUnique(const char* dir, const char* name, int startK, char* finalPath,
                              char* tempPath) {
    // A folder too long for a path (or cut to its field) is refused, never
    // used cut: a cut path names another folder.
    int dirLen = TextLength(dir);
    int room = kPathChars - dirLen - 1 - kNameSlack;
    if (room < 8) {
        CopyText(finalPath, dir, kPathChars);
        return -1;
    }
    char variant[kPathChars + 2];
    for (int k = startK; k <= kNameTries; ++k) {
        if (!NameVariant(name, k, room, variant)) return 0;
        if (JoinPath(finalPath, kPathChars, dir, "", variant) < 0) return -1;
        if (plat::PathExists(finalPath)) continue;
        for (int t = 1; t <= kTempTries; ++t) {
            char ext[16] = ".part";
            if (t > 1) snprintf(ext, sizeof ext, ".%d.part", t);
            snprintf(tempPath, kPathChars + 2, "%s%s", finalPath, ext);
            plat::FileHandle file = plat::FileCreateNew(tempPath);
            if (file > 0) return file;
            if (!plat::PathExists(tempPath)) return -1;  // not a name clash
        }
    }
    return -1;
}

// Renames a finished file to its final name; when that name was taken in
// the meantime, to the next free one. 0, or -1.
int RenameToFinal(const char* dir, char* finalPath, const char* tempPath) {
    for (int k = 2; k <= kNameTries + 1; ++k) {
        int rc = plat::FileRenameNew(tempPath, finalPath);
        if (rc <= 0) return rc;
        char name[kPathChars + 2];
        CopyText(name, BaseName(finalPath), kPathChars);
        // Drop an earlier " (n)" again before forming the next one.
        char variant[kPathChars + 2];
        int room = kPathChars - TextLength(dir) - 1 - kNameSlack;
        if (!NameVariant(name, k, room, variant)) return -1;
        if (JoinPath(finalPath, kPathChars, dir, "", variant) < 0) return -1;
    }
    return -1;
}

void AddSavedName(Channel* ch, const char* name) {
    int have = TextLength(ch->SavedNames);
    int len = TextLength(name);
    int need = have + (have > 0 ? 1 : 0) + len + 1;
    if (need > kSavedNamesChars) return;
    if (have > 0) ch->SavedNames[have++] = LibrarySettings.AttachDelimiter;
    CopyText(ch->SavedNames + have, name, len);
}

int FlushAttach(Channel* ch) {
    int32_t n = ch->AttachBufferLen;
    ch->AttachBufferLen = 0;
    if (n <= 0 || ch->FileHandle <= 0) return 0;
    return plat::FileWrite(ch->FileHandle, ch->AttachBuffer, static_cast<uint32_t>(n)) == n ? 0
                                                                                            : -1;
}

class ChannelSink final : public MimeSink {
  public:
    explicit ChannelSink(Channel* ch) : ch_(ch) {}

    int Text(const char* data, int n) override {
        AddCount(&ch_->BodyBytesRead, n);
        return WriteMailData(ch_, data, n) == n ? 0 : VOK_CANNOT_CREATE_FILE;
    }

    int PartBegin(const char* name) override {
        char clean[kMimeNameChars + 2];
        CopyText(clean, name, kMimeNameChars);
        LogFormat(ch_, "[Filename='%s']\r\n", clean);
        if (!CleanAttachName(clean)) return 1;
        char local[kPathChars + 2];
        plat::LocalFileName(clean, local, kPathChars);
        if (!CleanAttachName(local)) return 1;
        char named[kPathChars + 24];
        if (ch_->NumberAttachments)
            snprintf(named, sizeof named, "%d-%s", ch_->AttachTotal + 1, local);
        else
            CopyText(named, local, kPathChars);
        LogFormat(ch_, "[AttachDir = '%s']\r\n", ch_->AttachDir);
        plat::FileHandle file =
            CreateUnique(ch_->AttachDir, named, 1, ch_->AttachPath, ch_->TempPath);
        if (file <= 0) {
            LogFormat(ch_, "[Cannot open '%s']\r\n", ch_->AttachPath);
            CopyText(ch_->FailedFile, ch_->AttachPath[0] ? ch_->AttachPath : named, kPathChars);
            ch_->AttachPath[0] = '\0';
            return VOK_CANNOT_CREATE_FILE;
        }
        LogFormat(ch_, "[Creating '%s']\r\n", ch_->AttachPath);
        ch_->FileHandle = file;
        ch_->AttachBufferLen = 0;
        return 0;
    }

    int PartData(const char* data, int n) override {
        if (n > kAttachBufferSize - ch_->AttachBufferLen && FlushAttach(ch_) < 0) return Failed();
        if (n >= kAttachBufferSize) {
            if (plat::FileWrite(ch_->FileHandle, data, static_cast<uint32_t>(n)) != n)
                return Failed();
            return 0;
        }
        memcpy(ch_->AttachBuffer + ch_->AttachBufferLen, data, static_cast<size_t>(n));
        ch_->AttachBufferLen += n;
        return 0;
    }

    int PartEnd(bool complete) override {
        if (ch_->FileHandle <= 0) return 0;
        int flushed = FlushAttach(ch_);
        plat::FileClose(ch_->FileHandle);
        ch_->FileHandle = 0;
        if (flushed < 0) return Failed();
        if (!complete) {
            // What arrived stays, under the temporary name only.
            LogFormat(ch_, "[Attachment cut off, kept as '%s']\r\n", ch_->TempPath);
            return 0;
        }
        if (RenameToFinal(ch_->AttachDir, ch_->AttachPath, ch_->TempPath) != 0) return Failed();
        char note[kPathChars + 40];
        int n = snprintf(note, sizeof note, "[Attachment saved to %c%s%c]\r\n", '"',
                         ch_->AttachPath, '"');
        if (n > static_cast<int>(sizeof note) - 1) n = static_cast<int>(sizeof note) - 1;
        if (!LibrarySettings.HideAttachNote && WriteMailData(ch_, note, n) != n)
            return VOK_CANNOT_CREATE_FILE;
        LogWrite(ch_, note, n);
        AddSavedName(ch_, BaseName(ch_->AttachPath));
        AddCount(&ch_->AttachCount, 1);
        AddCount(&ch_->AttachTotal, 1);
        return 0;
    }

    void Encoded(int n) override { AddCount(&ch_->AttachBytesRead, n); }

    void Note(const char* text) override { LogText(ch_, text); }

  private:
    int Failed() {
        LogFormat(ch_, "[Cannot write '%s']\r\n", ch_->TempPath);
        CopyText(ch_->FailedFile, ch_->TempPath, kPathChars);
        return VOK_CANNOT_CREATE_FILE;
    }

    Channel* ch_;
};

// The raw copy: "<RawCopyDir>/<EmailName>.eml", new, under a temporary name
// until the message is complete.
int OpenRawCopy(Channel* ch) {
    ch->RawHandle = 0;
    if (ch->RawCopyDir[0] == '\0') return 0;
    char name[kNameChars + 8];
    snprintf(name, sizeof name, "%s.eml", ch->EmailName);
    if (!CleanAttachName(name)) return VOK_CANNOT_CREATE_FILE;
    plat::FileHandle file = CreateUnique(ch->RawCopyDir, name, 1, ch->RawPath, ch->RawTemp);
    if (file <= 0) {
        LogFormat(ch, "[Cannot open '%s']\r\n", ch->RawPath);
        CopyText(ch->FailedFile, ch->RawPath[0] ? ch->RawPath : name, kPathChars);
        return VOK_CANNOT_CREATE_FILE;
    }
    ch->RawHandle = file;
    return 0;
}

int CloseRawCopy(Channel* ch, bool complete) {
    if (ch->RawHandle <= 0) return 0;
    plat::FileClose(ch->RawHandle);
    ch->RawHandle = 0;
    if (!complete) return 0;
    if (RenameToFinal(ch->RawCopyDir, ch->RawPath, ch->RawTemp) == 0) return 0;
    CopyText(ch->FailedFile, ch->RawTemp, kPathChars);
    return VOK_CANNOT_CREATE_FILE;
}

}  // namespace

int CleanAttachName(char* name) {
    for (char* c = name; *c; ++c) {
        unsigned char u = static_cast<unsigned char>(*c);
        if (u < 0x20 || u == 0x7F) *c = '_';
    }
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

int32_t WriteMailData(Channel* ch, const char* data, int32_t length) {
    if (length <= 0) return 0;
    return plat::FileWrite(ch->MailHandle, data, static_cast<uint32_t>(length));
}

int StartDownload(Channel* ch) {
    MimeStart(&ch->Mime, ch->SaveUnnamed != 0);
    ch->FileHandle = 0;
    ch->AttachBufferLen = 0;
    ch->AttachPath[0] = '\0';
    ch->Downloading = 1;
    return OpenRawCopy(ch);
}

int DownloadPiece(Channel* ch, const char* data, int32_t n) {
    if (ch->RawHandle > 0 && n > 0 &&
        plat::FileWrite(ch->RawHandle, data, static_cast<uint32_t>(n)) != n)
        return VOK_CANNOT_CREATE_FILE;
    ChannelSink sink(ch);
    return MimeLine(&ch->Mime, &sink, data, n);
}

int EndDownload(Channel* ch, bool complete) {
    if (!ch->Downloading) return 0;
    ch->Downloading = 0;
    LogText(ch, "[CLOSE]\r\n");
    ChannelSink sink(ch);
    int rc = MimeFinish(&ch->Mime, &sink, complete);
    int raw = CloseRawCopy(ch, complete && rc == 0);
    if (ch->MailHandle > 0) plat::FileClose(ch->MailHandle);
    ch->MailHandle = 0;
    return rc < 0 ? rc : raw;
}

}  // namespace vok
