// SPDX-License-Identifier: MIT
// vokmail list, top and fetch: reading a POP3 mailbox.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli.h"
#include "vok32.h"

namespace vokmail {

namespace {

namespace fs = std::filesystem;

// The library keeps file names and directories in fields of 128 characters.
constexpr size_t kPathLimit = 128;

// Logs in; the session is then ready for mailbox calls.
struct Login {
    ServerAddress server;
    std::string password;
    Security security;
};

void OpenMailbox(Session& session, const ParsedArgs& args, Login& login) {
    const ServerAddress& server = login.server;
    if (server.port) vokIntegerParam(kChannel, VOK_POP3_PORT, server.port);
    vokIntegerParam(kChannel, VOK_USE_APOP, args.Has("apop") ? 1 : 0);
    ApplySecurity(login.security);
    std::string user = args.Get("user");
    ConnectSecurely(
        session, login.security,
        [&] {
            return vokPop3Connect(kChannel, server.host.c_str(), user.c_str(),
                                  login.password.c_str());
        },
        "logging in to the POP3 server");
}

// Everything a mailbox command needs from the command line, checked before
// the library is started.
Login ReadLogin(const ParsedArgs& args) {
    Login login;
    login.server = ParseServer(args);
    if (!args.Has("user")) throw UsageError("--user NAME is needed");
    login.security = ReadSecurity(args, &login.server, true);
    if (UsesPassword(login.security))
        login.password = GetPassword(args, args.Get("user") + " at " + login.server.host);
    return login;
}

int MessageCount(Session& session) {
    session.Must(vokGetEmailCount(kChannel), "counting the messages");
    return vokStatistics(kChannel, VOK_STAT_MESSAGE_COUNT);
}

// A message number from the command line, checked against the mailbox: the
// server answers a TOP or RETR of a missing message with no end line, which
// the library would only notice when its reply time runs out.
int CheckedNumber(const std::string& text, int count) {
    int number = static_cast<int>(ParseNumber(text, 1, 0x7fffffff, "the message number"));
    if (number > count) {
        throw Failure("there is no message " + std::to_string(number) + ": the mailbox holds " +
                      std::to_string(count) + (count == 1 ? " message" : " messages"));
    }
    return number;
}

int MessageSize(Session& session, int number) {
    session.Must(vokGetEmailSize(kChannel, number), "asking for the message size");
    return vokStatistics(kChannel, VOK_STAT_MESSAGE_SIZE);
}

// The unique id of one message: the third word of "+OK n id".
std::string MessageUid(Session& session, int number) {
    char reply[512] = "";
    session.Must(vokGetEmailUID(kChannel, number, reply, sizeof reply), "asking for the unique id");
    std::string line(reply);
    if (line.compare(0, 3, "+OK") != 0) return "-";
    std::vector<std::string> words;
    size_t pos = 0;
    while (words.size() < 3 && pos < line.size()) {
        size_t begin = line.find_first_not_of(" \t\r\n", pos);
        if (begin == std::string::npos) break;
        size_t end = line.find_first_of(" \t\r\n", begin);
        if (end == std::string::npos) end = line.size();
        words.push_back(line.substr(begin, end - begin));
        pos = end;
    }
    return words.size() == 3 ? words[2] : "-";
}

// Text from the server for the terminal: line ends as the system has them.
std::string PlainLines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r') out += c;
    return out;
}

std::string SecondLineOn(const std::string& text) {
    if (text.compare(0, 3, "+OK") != 0) return text;
    size_t end = text.find('\n');
    return end == std::string::npos ? "" : text.substr(end + 1);
}

void DeleteMessage(Session& session, int number) {
    session.Must(vokDeleteEmail(kChannel, number), "deleting the message");
    // DELE answered "-ERR" is no failure to the library; the reply tells.
    if (vokStatistics(kChannel, VOK_STAT_REPLY_CODE) != 100) {
        char reply[200] = "";
        vokDebug(kChannel, VOK_DEBUG_LAST_REPLY, reply, sizeof reply);
        throw Failure("the server did not delete message " + std::to_string(number) + ": " +
                      PlainLines(reply));
    }
}

}  // namespace

int RunList(const ParsedArgs& args) {
    if (!args.positional.empty()) throw UsageError("list takes no arguments");
    Login login = ReadLogin(args);
    Session session(args);
    OpenMailbox(session, args, login);
    int count = MessageCount(session);
    long long totalBytes = 0;
    std::printf("%6s %10s  %s\n", "#", "size", "unique id");
    for (int number = 1; number <= count; ++number) {
        int size = MessageSize(session, number);
        std::string uid = MessageUid(session, number);
        totalBytes += size;
        std::printf("%6d %10d  %s\n", number, size, uid.c_str());
    }
    std::printf("%d message%s, %lld bytes\n", count, count == 1 ? "" : "s", totalBytes);
    session.Close();
    return kExitOk;
}

int RunTop(const ParsedArgs& args) {
    if (args.positional.size() != 1) throw UsageError("top takes one message number");
    int lines = args.Has("lines")
                    ? static_cast<int>(ParseNumber(args.Get("lines"), 0, 1000000, "--lines"))
                    : 0;
    int limit = args.Has("max-bytes")
                    ? static_cast<int>(
                          ParseNumber(args.Get("max-bytes"), 128, 16 * 1024 * 1024, "--max-bytes"))
                    : 256 * 1024;
    ParseNumber(args.positional[0], 1, 0x7fffffff, "the message number");
    Login login = ReadLogin(args);
    Session session(args);
    OpenMailbox(session, args, login);
    int number = CheckedNumber(args.positional[0], MessageCount(session));
    // A null buffer makes the library keep the lines in a buffer of its own.
    session.Must(vokGetEmailLines(kChannel, number, lines, nullptr, limit), "reading the message");
    int have = vokStatistics(kChannel, VOK_STAT_BUFFER_LENGTH);
    std::vector<char> text(static_cast<size_t>(limit) + 3);
    int n =
        vokDebug(kChannel, VOK_DEBUG_MESSAGE_BUFFER, text.data(), static_cast<int>(text.size()));
    if (n < 0) throw Failure(DescribeFailure("reading the library buffer", n));
    std::string lines_text(text.data(), static_cast<size_t>(n));
    std::fputs(PlainLines(SecondLineOn(lines_text)).c_str(), stdout);
    if (have >= limit)
        std::fprintf(stderr, "vokmail: cut at %d bytes (raise with --max-bytes)\n", limit);
    session.Close();
    return kExitOk;
}

int RunFetch(const ParsedArgs& args) {
    if (args.positional.size() != 1) throw UsageError("fetch takes one message number, or 'all'");
    if (!args.Has("dir")) throw UsageError("--dir DIRECTORY is needed");
    bool all = args.positional[0] == "all";
    if (all && args.Has("name")) throw UsageError("--name names one message; not with 'all'");
    if (!all) ParseNumber(args.positional[0], 1, 0x7fffffff, "the message number");
    std::string dir = args.Get("dir");
    std::string attachDir = args.Get("attach-dir", dir);
    if (dir.size() >= kPathLimit || attachDir.size() >= kPathLimit)
        throw UsageError("directory names must be shorter than 128 characters");
    Login login = ReadLogin(args);

    std::error_code ec;
    for (const std::string& d : {dir, attachDir}) {
        fs::create_directories(d, ec);
        if (!fs::is_directory(d, ec)) throw Failure("cannot make the directory '" + d + "'");
    }

    Session session(args);
    OpenMailbox(session, args, login);
    int count = MessageCount(session);
    std::vector<int> numbers;
    if (all) {
        for (int number = 1; number <= count; ++number) numbers.push_back(number);
    } else {
        numbers.push_back(CheckedNumber(args.positional[0], count));
    }
    if (numbers.empty() && !session.quiet()) std::printf("The mailbox is empty.\n");
    // Saved names come back joined by this character; a line end is the one
    // character no file name taken from a message can hold.
    vokIntegerParam(kChannel, VOK_ATTACH_DELIMITER, '\n');
    for (int number : numbers) {
        std::string name = args.Get("name", "message-" + std::to_string(number) + ".txt");
        if ((fs::path(dir) / name).string().size() >= kPathLimit)
            throw UsageError("the path of the saved message must be shorter than 128 characters");
        int size = MessageSize(session, number);
        session.Must(
            vokGetEmailFile(kChannel, number, name.c_str(), dir.c_str(), attachDir.c_str()),
            "downloading the message", "fetching", size);
        std::string names(1100, '\0');
        int n =
            vokDebug(kChannel, VOK_DEBUG_SAVED_NAMES, &names[0], static_cast<int>(names.size()));
        names.resize(n > 0 ? static_cast<size_t>(n) : 0);
        std::printf("Message %d (%d bytes) saved to %s\n", number, size,
                    (fs::path(dir) / name).string().c_str());
        size_t pos = 0;
        while (pos < names.size()) {
            size_t end = names.find('\n', pos);
            if (end == std::string::npos) end = names.size();
            std::printf("  attachment saved to %s\n",
                        (fs::path(attachDir) / names.substr(pos, end - pos)).string().c_str());
            pos = end + 1;
        }
        if (args.Has("delete")) {
            DeleteMessage(session, number);
            std::printf("  marked for deletion\n");
        }
    }
    // The server removes what DELE marked only when the session ends well.
    int rc = session.Close();
    if (args.Has("delete") && !numbers.empty()) {
        if (rc < 0) throw Failure(DescribeFailure("ending the session; nothing was deleted", rc));
        if (!session.quiet())
            std::printf("Deleted %zu message%s.\n", numbers.size(), numbers.size() == 1 ? "" : "s");
    }
    return kExitOk;
}

}  // namespace vokmail
