// SPDX-License-Identifier: MIT
// vokmail send: one message over SMTP, with an optional HTML body and plain
// alternative, attachments and AUTH.
#include <cstdio>
#include <filesystem>
#include <fstream>
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
        throw Failure(what + " '" + path + "' is not a readable file");
    std::ifstream probe(path, std::ios::binary);
    if (!probe) throw Failure(what + " '" + path + "' cannot be opened");
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

}  // namespace

int RunSend(const ParsedArgs& args) {
    ServerAddress server = ParseServer(args);
    if (!args.Has("from")) throw UsageError("--from ADDRESS is needed");
    std::string from = AddressList({args.Get("from")}, "from");
    if (from.find(',') != std::string::npos) throw UsageError("--from takes one address");
    std::string replyTo =
        args.Has("reply-to") ? AddressList({args.Get("reply-to")}, "reply-to") : "";
    std::string to = AddressList(args.All("to"), "to");
    std::string cc = AddressList(args.All("cc"), "cc");
    std::string bcc = AddressList(args.All("bcc"), "bcc");
    if (to.empty()) throw UsageError("at least one --to address is needed");

    if (args.Has("body") && args.Has("html"))
        throw UsageError("give the body either as --body or as --html, not both");
    if (args.Has("alt-text") && !args.Has("html")) throw UsageError("--alt-text goes with --html");
    if (args.Has("esmtp") && args.Has("no-esmtp"))
        throw UsageError("--esmtp and --no-esmtp contradict each other");
    if (args.Has("user") && args.Has("no-esmtp"))
        throw UsageError("logging in with --user needs ESMTP; drop --no-esmtp");

    // The body: text, "@file" (the library reads the file), or an HTML file.
    std::string message;
    int64_t bodyBytes = 0;
    int bodyFormat = 0;
    if (args.Has("html")) {
        std::string path = args.Get("html");
        bodyBytes = InputFileSize(path, "HTML file");
        message = "@" + path;
        bodyFormat = 2;
    } else if (args.Has("body")) {
        message = args.Get("body");
        if (!message.empty() && message[0] == '@') {
            bodyBytes = InputFileSize(message.substr(1), "body file");
        } else {
            bodyBytes = static_cast<int64_t>(message.size());
        }
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
    Attachments attachments = CollectAttachments(args.All("attach"));
    Security security = ReadSecurity(args, &server, false);
    std::string password;
    if (args.Has("user") && UsesPassword(security))
        password = GetPassword(args, args.Get("user") + " at " + server.host);

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
    if (!altText.empty()) SetText(VOK_ALTERNATE_TEXT, altText, "alternative text");

    ConnectSecurely(
        session, security,
        [&] {
            return vokSmtpConnect(kChannel, server.host.c_str(), from.c_str(), OrNull(replyTo));
        },
        "connecting to the SMTP server");
    int64_t total = bodyBytes + attachments.bytes;
    std::string subject = args.Get("subject");
    session.Must(vokSendEmail(kChannel, to.c_str(), OrNull(cc), OrNull(bcc), OrNull(subject),
                              OrNull(message), OrNull(attachments.list)),
                 "sending the message", "sending", total);
    double seconds = session.Elapsed();
    int64_t wire = vokStatistics(kChannel, VOK_STAT_BYTES_SENT);
    session.Close();
    if (!session.quiet()) {
        int recipients = CountItems(to) + CountItems(cc) + CountItems(bcc);
        std::printf(
            "Message accepted for %d recipient%s: %s of body and attachments, %d "
            "attachment%s, %s on the wire in %.1f s\n",
            recipients, recipients == 1 ? "" : "s", HumanBytes(static_cast<double>(total)).c_str(),
            attachments.count, attachments.count == 1 ? "" : "s",
            HumanBytes(static_cast<double>(wire)).c_str(), seconds);
    }
    return kExitOk;
}

}  // namespace vokmail
