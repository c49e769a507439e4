// SPDX-License-Identifier: MIT
// vokmail send: one message over SMTP, with an optional HTML body and plain
// alternative, attachments and AUTH.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>

#include "cli.h"
#include "vok32.h"

namespace vokmail {

namespace {

namespace fs = std::filesystem;

// Size of a file the library is to read, checked before any connection is
// made so that a typing error costs no server round trip.
int64_t InputFileSize(const std::string& path, const std::string& what) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        throw Failure(what + " '" + path + "' is not a readable file", kExitNoInput);
    std::ifstream probe(path, std::ios::binary);
    if (!probe) throw Failure(what + " '" + path + "' cannot be opened", kExitNoInput);
    auto size = fs::file_size(path, ec);
    return ec ? 0 : static_cast<int64_t>(size);
}

std::string ReadWholeFile(const std::string& path, const std::string& what) {
    InputFileSize(path, what);
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// A character to separate the attachment list with that none of the items
// holds; the comma unless a path has one.
char PickDelimiter(const std::vector<std::string>& items) {
    for (char candidate : {',', ';', '\t', '\x1f'}) {
        bool used = false;
        for (const std::string& item : items)
            used = used || item.find(candidate) != std::string::npos;
        if (!used) return candidate;
    }
    throw UsageError("the attachment names use every list separator vokmail knows");
}

// The library sends the alternative text as it is: its lines must already
// end in CR LF on the wire.
std::string CrLfLines(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    while (out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0)
        out.resize(out.size() - 2);
    return out;
}

struct Attachments {
    std::string list;
    char delimiter = ',';
    int64_t bytes = 0;
    int count = 0;
};

// --attach "path" or "path|shown-name": the library's own item syntax.
Attachments CollectAttachments(const std::vector<std::string>& values) {
    Attachments result;
    for (const std::string& value : values) {
        std::string path = value.substr(0, value.find('|'));
        if (path.empty()) throw UsageError("--attach '" + value + "' names no file");
        if (value.find('|') != std::string::npos && value.substr(value.find('|') + 1).empty())
            throw UsageError("--attach '" + value + "': no name after the '|'");
        result.bytes += InputFileSize(path, "attachment");
        ++result.count;
    }
    result.delimiter = PickDelimiter(values);
    for (const std::string& value : values) {
        if (!result.list.empty()) result.list += result.delimiter;
        result.list += value;
    }
    return result;
}

int CountItems(const std::string& list) {
    if (list.empty()) return 0;
    int n = 1;
    for (char c : list) n += c == ',';
    return n;
}

void SetParam(int index, int value) {
    vokIntegerParam(kChannel, index, value);
}

void SetText(int index, const std::string& text, const char* what) {
    if (vokStringParam(kChannel, index, text.c_str()) < 0)
        throw Failure(std::string("the library refused the ") + what);
}

const char* OrNull(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

// A readable path that is no regular file: a device or a pipe.
bool IsStream(const std::string& path) {
    std::error_code ec;
    auto status = fs::status(path, ec);
    return !ec && (fs::is_character_file(status) || fs::is_fifo(status)) &&
           std::ifstream(path, std::ios::binary).good();
}

// Whether a line of text is longer than a plain body's lines may be.
bool HasLongLine(const std::string& text) {
    constexpr size_t kPlainLineChars = 60;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        size_t length = end - start;
        if (length > 0 && text[end - 1] == '\r') --length;
        if (length > kPlainLineChars) return true;
        start = end + 1;
    }
    return false;
}

// A temporary file removed when the object goes.
struct TempFile {
    std::string dir, path;
    void Write(const std::string& data) {
        dir = MakePrivateTempDir();
        path = (fs::path(dir) / "body.txt").string();
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << data;
        if (!out.flush()) throw Failure("cannot write '" + path + "'", kExitCantCreate);
    }
    ~TempFile() {
        std::error_code ec;
        if (!dir.empty()) fs::remove_all(dir, ec);
    }
};

// "Name: value" with a name of printable ASCII (RFC 5322 section 2.2) and
// no line break anywhere, which would start a header line of its own.
std::string CheckHeader(const std::string& header) {
    if (header.find_first_of("\r\n") != std::string::npos)
        throw UsageError("--header '" + header + "': no line breaks");
    size_t colon = header.find(':');
    if (colon == std::string::npos || colon == 0)
        throw UsageError("--header '" + header + "': expected 'Name: value'");
    for (size_t i = 0; i < colon; ++i) {
        unsigned char c = static_cast<unsigned char>(header[i]);
        if (c <= 32 || c >= 127)
            throw UsageError("--header '" + header + "': a bad character in the name");
    }
    return header;
}

// A domain or address literal for EHLO (RFC 5321 section 4.1.1.1).
std::string CheckHelo(const std::string& name) {
    if (name.empty() || name.size() > 255 ||
        name.find_first_not_of(
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-[]:") !=
            std::string::npos)
        throw UsageError("--helo '" + name + "' is no host name");
    return name;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// A prepared message (--raw, sendmail): the library sends it as it is, so
// only the fields that choose the envelope are read here. The text keeps
// everything but an mbox separator line and the Bcc field, whose
// recipients must not see one another (RFC 5322 section 3.6.3).
struct RawMessage {
    std::string from, replyTo, subject, text;
    std::vector<std::string> to, cc, bcc;
};

RawMessage ReadRawMessage(const std::string& path) {
    std::string input = path == "-" ? ReadStdin() : ReadWholeFile(path, "message file");
    RawMessage raw;
    // The header ends at the first empty line (RFC 5322 section 2.1); a
    // field goes on over the lines that begin with white space.
    size_t pos = 0;
    std::vector<std::string> fields;
    bool dropping = false;
    while (pos < input.size()) {
        size_t end = input.find('\n', pos);
        size_t next = end == std::string::npos ? input.size() : end + 1;
        std::string line = input.substr(pos, next - pos);
        std::string bare = line;
        while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r')) bare.pop_back();
        if (bare.empty()) break;
        pos = next;
        if ((bare[0] == ' ' || bare[0] == '\t') && !fields.empty()) {
            fields.back() += " " + bare.substr(bare.find_first_not_of(" \t"));  // unfold
            if (!dropping) raw.text += line;
            continue;
        }
        if (fields.empty() && raw.text.empty() && bare.compare(0, 5, "From ") == 0) continue;
        if (bare.find(':') == std::string::npos)
            throw Failure("the message's header line '" + bare + "' has no ':'", kExitDataErr);
        fields.push_back(bare);
        dropping = Lower(bare.substr(0, bare.find(':'))) == "bcc";
        if (!dropping) raw.text += line;
    }
    raw.text += input.substr(pos);
    for (const std::string& field : fields) {
        size_t colon = field.find(':');
        std::string name = Lower(field.substr(0, colon));
        name.erase(name.find_last_not_of(" \t") + 1);
        std::string value = field.substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        if (name == "from") raw.from = value;
        if (name == "reply-to") raw.replyTo = value;
        if (name == "subject") raw.subject = value;
        if (name == "to") raw.to.push_back(value);
        if (name == "cc") raw.cc.push_back(value);
        if (name == "bcc") raw.bcc.push_back(value);
    }
    return raw;
}

// --inline FILE[|NAME]: images the HTML body shows, which the library sends
// with a Content-ID when their name ends in .gif, .jpg, .bmp or .tif.
std::vector<std::string> InlineImages(const ParsedArgs& args) {
    std::vector<std::string> items = args.All("inline");
    if (!items.empty() && !args.Has("html")) throw UsageError("--inline goes with --html");
    for (const std::string& item : items) {
        std::string name = Lower(item.substr(item.find('|') + 1));
        bool image = false;
        for (const char* ext : {".gif", ".jpg", ".bmp", ".tif"})
            image = image || (name.size() > 4 && name.compare(name.size() - 4, 4, ext) == 0);
        if (!image)
            throw UsageError("--inline '" + item +
                             "': the library sends inline only .gif, .jpg, .bmp and .tif images");
    }
    return items;
}

// A list of "<a>,Name <b>" as a header's value.
std::string ListForHeader(const std::string& list) {
    std::string out;
    for (char c : list) out += c == ',' ? std::string(", ") : std::string(1, c);
    return out;
}

// The envelope of a dry run goes to stderr: stdout holds the message alone,
// for a reader of messages to take as it is.
void PrintEnvelope(const std::string& envelope, std::initializer_list<const std::string*> lists) {
    std::string out = "MAIL FROM:" + envelope.substr(envelope.find('<')) + "\n";
    for (const std::string* list : lists)
        for (const std::string& item : SplitAddressList(*list))
            out += "RCPT TO:" + item.substr(item.find('<')) + "\n";
    std::fputs(out.c_str(), stderr);
}

void PrintDryRun(const std::string& envelope, const std::string& from, const std::string& to,
                 const std::string& cc, const std::string& bcc, bool hideTo,
                 const std::string& replyTo, const std::string& subject,
                 const std::vector<std::string>& headers, const std::string& body,
                 const std::string& html, const std::vector<std::string>& attachments,
                 size_t inlineCount) {
    PrintEnvelope(envelope, {&to, &cc, &bcc});
    std::string out;
    char date[96] = "";
    // The Date line the library would write now (it needs a channel).
    if (vokAttach(1) == 1) {
        vokDebug(kChannel, VOK_DEBUG_DATE_LINE, date, sizeof date - 1);
        vokRelease();
    }
    if (*date) out += std::string(date) + "\n";
    if (!hideTo) out += "To: " + ListForHeader(to) + "\n";
    out += "From: " + from + "\n";
    if (!replyTo.empty()) out += "Reply-To: " + replyTo + "\n";
    out += "Subject: " + subject + "\n";
    for (const std::string& header : headers) out += header + "\n";
    if (!cc.empty()) out += "CC: " + ListForHeader(cc) + "\n";
    out += "\n";
    if (!html.empty()) {
        out += "[HTML body from " + html + "]\n";
    } else {
        out += body;
        if (!body.empty() && body.back() != '\n') out += "\n";
    }
    for (size_t i = 0; i < attachments.size(); ++i) {
        const std::string& item = attachments[i];
        std::string path = item.substr(0, item.find('|'));
        std::string name = item.find('|') == std::string::npos ? fs::path(path).filename().string()
                                                               : item.substr(item.find('|') + 1);
        std::error_code ec;
        auto size = fs::file_size(path, ec);
        out += (i < inlineCount ? "[inline image cid:message-root." + std::to_string(i + 1) + " "
                                : std::string("[attachment ")) +
               name + ": " + path + ", " + HumanBytes(ec ? 0.0 : static_cast<double>(size)) + "]\n";
    }
    std::fputs(out.c_str(), stdout);
}

}  // namespace

int RunSend(const ParsedArgs& args) {
    // A prepared message (--raw, sendmail) gives the header fields that the
    // command line leaves out.
    RawMessage raw;
    if (args.Has("raw")) {
        if (args.Has("body") || args.Has("body-file") || args.Has("html") || args.Has("attach") ||
            args.Has("subject"))
            throw UsageError(
                "--raw brings its own body and subject; no --body, --html, "
                "--attach or --subject with it");
        raw = ReadRawMessage(args.Get("raw"));
    } else if (args.Has("read-recipients")) {
        throw UsageError("-t reads the recipients of a --raw message");
    }
    const bool readRecipients = args.Has("read-recipients");

    // The sender: --from, else the message's own From line, else the
    // account's, else the envelope sender.
    std::string fromText = args.Get("from", raw.from);
    if (fromText.empty()) fromText = AccountValue("from");
    if (fromText.empty()) fromText = args.Get("envelope-from");
    if (fromText.empty()) throw UsageError("--from ADDRESS is needed (or 'from' in the account)");
    std::string from = AddressList({fromText}, "from");
    if (from.find(',') != std::string::npos) throw UsageError("--from takes one address");
    std::string envelope = from;
    if (args.Has("envelope-from")) {
        envelope = AddressList({args.Get("envelope-from")}, "envelope-from");
        if (envelope.find(',') != std::string::npos)
            throw UsageError("--envelope-from takes one address");
    }
    std::string replyText = args.Get("reply-to", raw.replyTo);
    std::string replyTo = replyText.empty() ? "" : AddressList({replyText}, "reply-to");
    std::vector<std::string> toValues = args.All("to");
    std::vector<std::string> ccValues = args.All("cc");
    std::vector<std::string> bccValues = args.All("bcc");
    if (readRecipients) {
        toValues.insert(toValues.end(), raw.to.begin(), raw.to.end());
        ccValues.insert(ccValues.end(), raw.cc.begin(), raw.cc.end());
        bccValues.insert(bccValues.end(), raw.bcc.begin(), raw.bcc.end());
    }
    std::string to = AddressList(toValues, "to");
    std::string cc = AddressList(ccValues, "cc");
    std::string bcc = AddressList(bccValues, "bcc");
    if (to.empty() && cc.empty() && bcc.empty())
        throw UsageError(readRecipients ? "the message names no recipient"
                                        : "at least one --to, --cc or --bcc address is needed");

    int bodies = args.Has("body") + args.Has("body-file") + args.Has("html");
    if (bodies > 1) throw UsageError("give the body once: --body, --body-file or --html");
    if (args.Has("alt-text") && !args.Has("html")) throw UsageError("--alt-text goes with --html");
    if (args.Has("esmtp") && args.Has("no-esmtp"))
        throw UsageError("--esmtp and --no-esmtp contradict each other");
    if (args.Has("user") && args.Has("no-esmtp"))
        throw UsageError("logging in with --user needs ESMTP; drop --no-esmtp");
    if (args.Has("user") && args.Get("user").empty()) throw UsageError("--user is empty");

    std::vector<std::string> headers;
    for (const std::string& header : args.All("header")) headers.push_back(CheckHeader(header));
    if (args.Has("priority")) {
        std::string level = args.Get("priority");
        if (level == "high") {
            headers.push_back("X-Priority: 1 (Highest)");
            headers.push_back("Importance: high");
        } else if (level == "low") {
            headers.push_back("X-Priority: 5 (Lowest)");
            headers.push_back("Importance: low");
        } else if (level != "normal") {
            throw UsageError("--priority takes high, normal or low");
        }
    }
    bool hideTo = false;
    if (args.Has("raw")) {
        // The message goes out as it is: every recipient is given in the To
        // list, which then serves the envelope only; extra header lines go
        // before the message's own.
        for (const std::string* list : {&cc, &bcc})
            if (!list->empty()) to += (to.empty() ? "" : ",") + *list;
        cc.clear();
        bcc.clear();
        std::string extra;
        for (const std::string& header : headers) extra += header + "\r\n";
        raw.text.insert(0, extra);
        headers.clear();
    } else if (to.empty()) {
        // Bcc only: the library needs a To list, so the hidden recipients go
        // there and the To line is left out; RFC 5322 section 3.6.3 shows the
        // group syntax that says so in its place.
        if (!bcc.empty()) {
            to = bcc;
            bcc.clear();
            hideTo = true;
            headers.push_back("To: undisclosed-recipients:;");
        } else {
            // Cc only: the same, with the Cc line written here.
            to = cc;
            headers.push_back("To: undisclosed-recipients:;");
            headers.push_back("Cc: " + ListForHeader(cc));
            cc.clear();
            hideTo = true;
        }
    }
    size_t headerChars = 0;
    for (const std::string& header : headers) headerChars += header.size() + 2;
    if (headerChars > 2048) throw UsageError("the extra header lines exceed 2048 characters");

    // The body: text, "@file" (the library reads the file), or an HTML file.
    // Text read from stdin goes to the library as text unless it begins
    // with '@', which would name a file: then through a temporary file.
    std::string message;
    int64_t bodyBytes = 0;
    int bodyFormat = 0;
    TempFile temp;
    std::string bodyText;
    bool haveText = false;
    if (args.Has("html")) {
        std::string path = args.Get("html");
        bodyBytes = InputFileSize(path, "HTML file");
        message = "@" + path;
        bodyFormat = 2;
    } else if (args.Has("raw")) {
        // Through a file: the library reads a message in memory only up to
        // its first NUL byte.
        bodyBytes = static_cast<int64_t>(raw.text.size());
        if (!args.Has("dry-run")) {
            temp.Write(raw.text);
            message = "@" + temp.path;
        }
    } else if (args.Has("body") || args.Has("body-file")) {
        std::string value = args.Has("body") ? args.Get("body") : "@" + args.Get("body-file");
        if (value == "-" || value == "@-") {
            bodyText = ReadStdin();
            haveText = true;
        } else if (!value.empty() && value[0] == '@' && IsStream(value.substr(1))) {
            // /dev/stdin, a pipe, a shell's <(...): read here, once.
            std::ifstream in(value.substr(1), std::ios::binary);
            std::ostringstream all;
            all << in.rdbuf();
            bodyText = all.str();
            haveText = true;
        } else if (!value.empty() && value[0] == '@') {
            bodyBytes = InputFileSize(value.substr(1), "body file");
            message = value;
            if (args.Has("dry-run")) {
                bodyText = ReadWholeFile(value.substr(1), "body file");
                haveText = true;
            }
        } else {
            bodyText = value;
            haveText = true;
        }
    }
    if (haveText) {
        if (bodyText.find('\0') != std::string::npos)
            throw Failure("the body holds a NUL byte", kExitDataErr);
        bodyBytes = static_cast<int64_t>(bodyText.size());
        if (message.empty()) message = bodyText;
        if (!bodyText.empty() && bodyText[0] == '@' && !args.Has("dry-run")) {
            temp.Write(bodyText);
            message = "@" + temp.path;
        }
    }
    // The library breaks a plain body's lines from 60 characters on, for
    // good: a long URL would arrive cut in two. Quoted-printable keeps every
    // line whole however long it is, its soft line breaks (RFC 2045 section
    // 6.7) vanishing when the reader decodes; the library sends that format
    // as the one part of a multipart message, so only where it is needed.
    if (bodyFormat == 0 && !message.empty() && !args.Has("raw")) {
        std::string text = haveText ? bodyText : ReadWholeFile(message.substr(1), "body file");
        if (HasLongLine(text)) bodyFormat = 1;
    }

    std::string altText;
    if (args.Has("alt-text")) {
        altText = args.Get("alt-text");
        if (!altText.empty() && altText[0] == '@')
            altText = ReadWholeFile(altText.substr(1), "alternative text file");
        if (altText.empty()) throw UsageError("--alt-text is empty");
        altText = CrLfLines(altText);
        // The library sends at most 2048 characters of it.
        if (altText.size() > 2048) throw UsageError("--alt-text is longer than 2048 characters");
    }
    // Inline images go first: the library numbers the Content-IDs of the
    // image parts in list order, so that the HTML can name them.
    std::vector<std::string> parts = InlineImages(args);
    const size_t inlineCount = parts.size();
    for (const std::string& item : args.All("attach")) parts.push_back(item);
    Attachments attachments = CollectAttachments(parts);
    std::string subject = args.Get("subject", raw.subject);

    if (args.Has("dry-run") && args.Has("raw")) {
        PrintEnvelope(envelope, {&to});
        std::fputs(raw.text.c_str(), stdout);
        return kExitOk;
    }
    if (args.Has("dry-run")) {
        PrintDryRun(envelope, from, to, cc, bcc, hideTo, replyTo, subject, headers, bodyText,
                    args.Has("html") ? args.Get("html") : "", parts, inlineCount);
        return kExitOk;
    }

    ServerAddress server = ParseServer(args);
    Security security = ReadSecurity(args, &server, false);
    std::string password;
    if (args.Has("user") && UsesPassword(security))
        password = GetPassword(args, args.Get("user"), server.host);

    Session session(args);
    if (server.port) SetParam(VOK_SMTP_PORT, server.port);
    // EHLO unless asked otherwise: its reply shows whether STARTTLS is
    // offered (the library logs in only when there is a user name).
    bool esmtp = !args.Has("no-esmtp");
    SetParam(VOK_ESMTP_MODE, esmtp ? 1 : 0);
    ApplySecurity(security);
    if (args.Has("user")) {
        SetText(VOK_USER_NAME, args.Get("user"), "user name");
        SetText(VOK_SMTP_PASSWORD, password, "password");
    }
    SetParam(VOK_BODY_FORMAT, bodyFormat);
    SetParam(VOK_ATTACH_DELIMITER, attachments.delimiter);
    SetParam(VOK_HIDE_TO_HEADER, hideTo ? 1 : 0);
    if (args.Has("raw")) SetParam(VOK_PARAM_RAW_MESSAGE, 1);
    for (const std::string& header : headers) SetText(VOK_ADD_HEADER, header, "header line");
    if (!altText.empty()) SetText(VOK_ALTERNATE_TEXT, altText, "alternative text");

    if (args.Has("helo")) SetText(VOK_PARAM_HELO_NAME, CheckHelo(args.Get("helo")), "HELO name");
    if (envelope != from) SetText(VOK_PARAM_ENVELOPE_FROM, envelope, "envelope sender");
    ConnectSecurely(
        session, security,
        [&] {
            return vokSmtpConnect(kChannel, server.host.c_str(), from.c_str(), OrNull(replyTo));
        },
        "connecting to the SMTP server");
    int64_t total = bodyBytes + attachments.bytes;
    // The library writes the extra header lines after the Subject line, and
    // only when there is one: then a blank Subject goes out.
    if (!headers.empty() && subject.empty()) subject = " ";
    const char* subjectText = OrNull(subject);
    session.Must(vokSendEmail(kChannel, to.c_str(), OrNull(cc), OrNull(bcc), subjectText,
                              OrNull(message), OrNull(attachments.list)),
                 "sending the message", Phase::kSend, "sending", total);
    double seconds = session.Elapsed();
    int64_t wire = vokStatistics(kChannel, VOK_STAT_BYTES_SENT);
    session.Close();
    int recipients = CountItems(to) + CountItems(cc) + CountItems(bcc);
    Note(
        "Message accepted for %d recipient%s: %s of body and attachments, %d attachment%s, %s on "
        "the wire in %.1f s\n",
        recipients, recipients == 1 ? "" : "s", HumanBytes(static_cast<double>(total)).c_str(),
        attachments.count, attachments.count == 1 ? "" : "s",
        HumanBytes(static_cast<double>(wire)).c_str(), seconds);
    return kExitOk;
}

}  // namespace vokmail
