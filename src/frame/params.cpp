// SPDX-License-Identifier: MIT
// vokIntegerParam and vokStringParam: numbered settings, stored either in
// the library-wide settings or in the channel's record.
#include <cstring>

#include "codec/text.h"
#include "frame/channel.h"
#include "frame/log.h"
#include "frame/memory.h"
#include "frame/settings.h"
#include "platform/platform.h"
#include "vok32.h"

namespace vok {

namespace {

// Cuts a stored header text at the first CR or LF among its last three
// characters. Returns 1 + the distance from the first character looked at to
// that CR or LF (or to the end of the text).
int TrimHeaderEnd(char* text) {
    int len = static_cast<int>(strlen(text));
    int start = len > 3 ? len - 3 : 0;
    for (int i = start; i < len; ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            text[i] = '\0';
            return 1 + (i - start);
        }
    }
    return 1 + (len - start);
}

int StoreUserHeaders(Channel* ch, const char* text) {
    char* block = AllocAndCopy(ch->Chan, kSlotUserHeaders, text);
    if (!block) return 0;
    return TrimHeaderEnd(block);
}

int SetUserHeaders(Channel* ch, const char* text) {
    if (*text == '\0') {
        FreeMemory(ch->Chan, kSlotUserHeaders, kSlotUserHeaders);
        return 0;
    }
    FreeMemory(ch->Chan, kSlotUserHeaders, kSlotUserHeaders);
    return StoreUserHeaders(ch, text);
}

int AddHeaderLine(Channel* ch, const char* text) {
    // The scratch line is free here: the call's trace line is already written.
    char* joined = ch->ScratchLine;
    joined[0] = '\0';
    int id = ch->Chan * kSlotsPerChannel + kSlotUserHeaders;
    if (char* old = GetBlock(id)) {
        CopyText(joined, old, kLineChars);
        AppendText(joined, "\r\n", kLineChars - TextLength(joined));
        FreeMemory(ch->Chan, kSlotUserHeaders, kSlotUserHeaders);
    }
    AppendText(joined, text, kLineChars - TextLength(joined));
    return StoreUserHeaders(ch, joined);
}

int SaveMessageBuffer(Channel* ch, const char* path) {
    int id = ch->Chan * kSlotsPerChannel + kSlotMessageBuffer;
    const char* buffer = GetBlock(id);
    if (!buffer) return VOK_NULL_POINTER;
    plat::FileHandle file = plat::FileCreate(path);
    if (file <= 0) return VOK_CANNOT_CREATE_FILE;
    // The buffer's text, never more than the block holds.
    int32_t size = BlockSize(id);
    int32_t len = 0;
    while (len < size && buffer[len]) ++len;
    int32_t written = len > 0 ? plat::FileWrite(file, buffer, static_cast<uint32_t>(len)) : 0;
    plat::FileClose(file);
    return written;
}

int OpenLog(Channel* ch, const char* path) {
    // A log already open is closed first, so that its handle does not leak.
    if (ch->LogFile > 0) plat::FileClose(ch->LogFile);
    ch->LogFile = 0;
    plat::FileHandle file = plat::FileCreatePrivate(path);
    if (file <= 0) return -1;
    ch->LogFile = file;
    return file;
}

bool IsSecretParam(int index) {
    return index == VOK_PARAM_SMTP_PASSWORD || index == VOK_PARAM_OAUTH_TOKEN;
}

// The reverse path, kept as "<addr>": the address may come bare, in
// brackets, or in brackets after a display name as in FromAddress, and "<>"
// is the null sender (RFC 5321 section 4.5.5). A line break would start a
// command of its own; a space, a bracket or a control character cannot be
// in a path.
int SetEnvelopeFrom(Channel* ch, const char* text) {
    if (FindChar(text, '\r') || FindChar(text, '\n')) return VOK_BAD_ADDRESS_CHAR;
    const char* open = FindChar(text, '<');
    const char* addr = open ? open + 1 : text;
    int n = 0;
    while (addr[n] && addr[n] != '>') {
        unsigned char c = static_cast<unsigned char>(addr[n]);
        if (c <= ' ' || c == 127 || c == '<') return VOK_BAD_ADDRESS_CHAR;
        ++n;
    }
    if ((open != nullptr) != (addr[n] == '>')) return VOK_BAD_ADDRESS_CHAR;
    if (!open && n == 0) {
        ch->EnvelopeFrom[0] = 0;
        return 0;
    }
    if (n > kNameChars - 2) n = kNameChars - 2;
    ch->EnvelopeFrom[0] = '<';
    memcpy(ch->EnvelopeFrom + 1, addr, static_cast<size_t>(n));
    ch->EnvelopeFrom[n + 1] = '>';
    ch->EnvelopeFrom[n + 2] = 0;
    return n + 2;
}

// A domain or an address literal: printable ASCII without spaces.
int SetHeloName(Channel* ch, const char* text) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        if (*p <= ' ' || *p > '~') return VOK_BAD_ADDRESS_CHAR;
    return CopyText(ch->HeloName, text, kNameChars);
}

// The token lives in the channel's token block, at most 8192 characters;
// an empty text removes it.
int SetOAuthToken(Channel* ch, const char* text) {
    int id = kTokenBlockBase + ch->Chan;
    if (BlockInUse(id) == 1) ReleaseBlock(id);
    int len = 0;
    while (len < kTokenChars && text[len]) ++len;
    if (len == 0) return 0;
    if (AllocateBlock(id, len + 2) < 0) return VOK_NO_MEMORY;
    char* block = GetBlock(id);
    CopyBytes(block, text, len);
    block[len] = '\0';
    return len;
}

// RFC 2978 mime-charset characters, less the two (' and %) that would
// confuse an RFC 2231 value.
int SetCharset(Channel* ch, const char* text) {
    if (!*text) {
        plat::DefaultCharset(ch->Charset, sizeof ch->Charset);
        return TextLength(ch->Charset);
    }
    for (const char* p = text; *p; ++p) {
        const char c = *p;
        const bool alnum =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!alnum && !FindChar("!#$&+-^_`{}~.:", c)) return VOK_BAD_ADDRESS_CHAR;
    }
    return CopyText(ch->Charset, text, kCharsetChars);
}

inline uint8_t LowByte(int value) {
    return static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFF);
}

}  // namespace

}  // namespace vok

using namespace vok;

extern "C" VOK_EXPORT int VOKAPI vokIntegerParam(int channel, int index, int value) {
    CallScope scope;
    Channel* ch = nullptr;
    if (int rc = LookupChannel(channel, &ch)) return rc;
    LogFormat(ch, "*** vokIntegerParam(%d,%d,%d)\r\n", channel, index, value);
    Settings& s = LibrarySettings;
    switch (index) {
        case VOK_PARAM_MIN_RESPONSE_WAIT:
            s.MinResponseWait = value;
            break;
        case VOK_PARAM_MAX_RESPONSE_WAIT:
            s.MaxResponseWait = value;
            break;
        case VOK_PARAM_CONNECT_WAIT:
            s.ConnectWait = value;
            break;
        case VOK_PARAM_SEND_LINE_DELAY:
            s.SendLineDelay = value;
            break;
        case VOK_PARAM_TRANSFER_WAIT:
            s.WriteWait = s.ReadWait = value;
            break;
        case VOK_PARAM_BODY_FORMAT:
            ch->BodyFormat = value & 15;
            break;
        case VOK_PARAM_AUTO_CALL:
            ch->AutoCall = value & 1;
            // Below the engine: its timers are cleared here directly.
            ch->NextTime = 0;
            ch->Deadline = 0;
            break;
        case VOK_PARAM_NUMBER_ATTACHMENTS:
            ch->NumberAttachments = value;
            break;
        case VOK_PARAM_WRITE_WAIT:
            s.WriteWait = value;
            break;
        case VOK_PARAM_READ_WAIT:
            s.ReadWait = value;
            break;
        case VOK_PARAM_POLL_SLEEP:
            s.PollSleep = value;
            break;
        case VOK_PARAM_SAVE_UNNAMED:
            ch->SaveUnnamed = value;
            break;
        case VOK_PARAM_SMTP_PORT:
            ch->SmtpPort = static_cast<uint16_t>(static_cast<uint32_t>(value));
            break;
        case VOK_PARAM_POP3_PORT:
            ch->Pop3Port = static_cast<uint16_t>(static_cast<uint32_t>(value));
            break;
        case VOK_PARAM_LINE_LENGTH:
            s.LineHard = value;
            // No range test, but no overflow either.
            s.LineSoft = value < INT32_MIN + 18 ? INT32_MIN : value - 18;
            break;
        case VOK_PARAM_BLOCKING_CONNECT:
            ch->NonBlockingConnect = value == 0 ? 1 : 0;
            break;
        case VOK_PARAM_PASS_8BIT:
            s.Pass8Bit = LowByte(value);
            break;
        case VOK_PARAM_HIDE_ATTACH_NOTE:
            s.HideAttachNote = LowByte(value);
            break;
        case VOK_PARAM_HIDE_TO_HEADER:
            s.HideToHeader = LowByte(value);
            break;
        case VOK_PARAM_ADDRESS_DELIMITER:
            s.AddressDelimiter = static_cast<char>(LowByte(value));
            break;
        case VOK_PARAM_WINSOCK_CLEANUP:
            s.WinsockCleanup = LowByte(value);
            break;
        case VOK_PARAM_ATTACH_DELIMITER:
            s.AttachDelimiter = static_cast<char>(LowByte(value));
            break;
        case VOK_PARAM_ATTACH_NAME_DELIMITER:
            s.AttachNameDelimiter = static_cast<char>(LowByte(value));
            break;
        case VOK_PARAM_INLINE_IMAGES:
            ch->InlineImages = LowByte(value);
            break;
        case VOK_PARAM_RAW_DOWNLOAD:
            ch->DecoderState =
                static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(value)));
            break;
        case VOK_PARAM_ESMTP_MODE:
            ch->EsmtpMode = LowByte(value);
            break;
        case VOK_PARAM_USE_APOP:
            ch->UseApop = LowByte(value);
            break;
        case VOK_PARAM_TLS_MODE:
            if (value < 0 || value > 2) return -1;
            ch->TlsMode = static_cast<uint8_t>(value);
            break;
        case VOK_PARAM_TLS_VERIFY:
            ch->TlsVerify = value != 0 ? 1 : 0;
            break;
        case VOK_PARAM_AUTH_METHOD:
            if (value < 0 || value > 4) return -1;
            ch->AuthMethod = static_cast<uint8_t>(value);
            break;
        case VOK_PARAM_PIPELINING:
            if (value < 0 || value > 1) return -1;
            ch->Pipelining = static_cast<uint8_t>(value);
            break;
        case VOK_PARAM_LIST_ALL:
            if (value < 0 || value > 1) return -1;
            ch->ListAll = static_cast<uint8_t>(value);
            break;
        case VOK_PARAM_RAW_MESSAGE:
            if (value < 0 || value > 1) return -1;
            ch->RawMessage = static_cast<uint8_t>(value);
            break;
        case VOK_PARAM_LOG_DETAIL:
            if (value < 0 || value > 1) return -1;
            ch->LogDetail = static_cast<uint8_t>(value);
            break;
        default:
            return -1;
    }
    return 1;
}

extern "C" VOK_EXPORT int VOKAPI vokStringParam(int channel, int index, const char* text) {
    CallScope scope;
    Channel* ch = nullptr;
    if (int rc = LookupChannel(channel, &ch)) return rc;
    if (!text) return VOK_NULL_POINTER;
    // A password or a token never reaches the log.
    LogFormat(ch, "*** vokStringParam(%d,%d,%s)\r\n", channel, index,
              IsSecretParam(index) ? "****" : text);
    Settings& s = LibrarySettings;
    switch (index) {
        case VOK_PARAM_LOG_FILE:
            return OpenLog(ch, text);
        case VOK_PARAM_SAVE_BUFFER:
            return SaveMessageBuffer(ch, text);
        case VOK_PARAM_REPLY_TO:
            return CopyText(ch->ReplyTo, text, kNameChars);
        case VOK_PARAM_USER_HEADERS:
            return SetUserHeaders(ch, text);
        case VOK_PARAM_LOG_TEXT:
            if (ch->LogFile <= 0) return 0;
            LogText(ch, text);
            LogWrite(ch, "\r\n", 2);
            return ch->LogFile;
        case VOK_PARAM_FROM_ADDRESS:
            return CopyText(ch->FromAddress, text, kNameChars);
        case VOK_PARAM_CUSTOM_CONTENT_TYPE:
            return CopyText(s.CustomContentType, text, 64);
        case VOK_PARAM_CUSTOM_ENCODING: {
            int n = CopyText(s.CustomEncoding, text, 128);
            s.UseCustomEncoding = n > 0 ? 1 : 0;
            return n;
        }
        case VOK_PARAM_ADD_HEADER:
            return AddHeaderLine(ch, text);
        case VOK_PARAM_SMTP_PASSWORD:
            return CopyText(ch->SmtpPassword, text, kUserChars);
        case VOK_PARAM_USER_NAME:
            return CopyText(ch->UserName, text, kUserChars);
        case VOK_PARAM_ALTERNATE_TEXT: {
            int id = ch->Chan * kSlotsPerChannel + kSlotAlternateText;
            if (BlockInUse(id) == 1) return 0;  // the first text stays
            return AllocAndCopy(ch->Chan, kSlotAlternateText, text) ? TextLength(text) : 0;
        }
        case VOK_PARAM_CHARSET:
            return SetCharset(ch, text);
        case VOK_PARAM_RAW_COPY_DIR:
            return CopyText(ch->RawCopyDir, text, kPathChars + 1);
        case VOK_PARAM_ENVELOPE_FROM:
            return SetEnvelopeFrom(ch, text);
        case VOK_PARAM_HELO_NAME:
            return SetHeloName(ch, text);
        case VOK_PARAM_TLS_CA_FILE:
            return CopyText(ch->TlsCaFile, text, kNameChars);
        case VOK_PARAM_OAUTH_TOKEN:
            return SetOAuthToken(ch, text);
        default:
            return -1;
    }
}
