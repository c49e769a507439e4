// SPDX-License-Identifier: MIT
// vokmail list, top and fetch: reading a POP3 mailbox.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
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
        "logging in to the POP3 server", Phase::kLogin);
}

// Everything a mailbox command needs from the command line, checked before
// the library is started.
Login ReadLogin(const ParsedArgs& args) {
    Login login;
    login.server = ParseServer(args);
    if (!args.Has("user") || args.Get("user").empty())
        throw UsageError("--user NAME is needed (or 'user' in the account)");
    login.security = ReadSecurity(args, &login.server, true);
    if (UsesPassword(login.security))
        login.password = GetPassword(args, args.Get("user"), login.server.host);
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
                          std::to_string(count) + (count == 1 ? " message" : " messages"),
                      kExitUnavailable);
    }
    return number;
}

int MessageSize(Session& session, int number) {
    session.Must(vokGetEmailSize(kChannel, number), "asking for the message size");
    return vokStatistics(kChannel, VOK_STAT_MESSAGE_SIZE);
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
                          PlainLines(reply),
                      kExitUnavailable);
    }
}

// Every message's unique id at once (UIDL without an argument): number -> id.
std::map<int, std::string> AllUids(Session& session, int count) {
    std::map<int, std::string> uids;
    if (count <= 0) return uids;
    // "n uid" lines: RFC 1939 section 7 allows ids of 70 characters.
    std::vector<char> buffer(static_cast<size_t>(count) * 84 + 256);
    session.Must(vokGetEmailUID(kChannel, 0, buffer.data(), static_cast<int>(buffer.size())),
                 "listing the unique ids", Phase::kMailbox);
    std::istringstream lines(std::string(buffer.data()));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string first, second;
        if (!(words >> first >> second)) continue;
        if (first == "+OK" || first == ".") continue;
        char* end = nullptr;
        long number = std::strtol(first.c_str(), &end, 10);
        if (*end == '\0' && number > 0 && number <= count) uids[static_cast<int>(number)] = second;
    }
    return uids;
}

struct Headers {
    std::string from, date, subject;
};

// Bytes of a charset that is ASCII below 128 and one byte per character
// above, as UTF-8: ISO 8859-1 maps byte to code point (windows-1252 only
// differs in 128..159, shown as those code points).
void AppendLatin1(std::string& out, unsigned char c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The text as valid UTF-8: a byte that begins no valid sequence is taken as
// ISO 8859-1, the usual charset of unlabelled 8-bit header text.
std::string ValidUtf8(const std::string& text) {
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    size_t n = text.size();
    for (size_t i = 0; i < n;) {
        unsigned char c = p[i];
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool ok = len > 0 && i + len <= n && !(len == 2 && c < 0xC2);
        for (size_t k = 1; ok && k < len; ++k) ok = (p[i + k] & 0xC0) == 0x80;
        if (ok) {
            out.append(text, i, len);
            i += len;
        } else {
            AppendLatin1(out, c);
            ++i;
        }
    }
    return out;
}

// One encoded word's text (RFC 2047 section 4): "B" is base64, "Q" is
// quoted-printable with "_" for a space. False when it is neither.
bool DecodeWordText(char encoding, const std::string& text, std::string* out) {
    if (encoding == 'B' || encoding == 'b') {
        std::string bytes(text.size() + 4, '\0');
        int n = vokDecodeBuffer(text.c_str(), &bytes[0], static_cast<int>(text.size()));
        if (n < 0) return false;
        *out = bytes.substr(0, static_cast<size_t>(n));
        return true;
    }
    if (encoding != 'Q' && encoding != 'q') return false;
    auto hex = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                      : -1;
    };
    out->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_') {
            *out += ' ';
        } else if (text[i] == '=' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
                   hex(text[i + 2]) >= 0) {
            *out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            *out += text[i];
        }
    }
    return true;
}

// A header's text for people: encoded words (RFC 2047) in UTF-8, US-ASCII
// or ISO 8859-1/windows-1252 decoded, the blanks between two adjacent
// encoded words dropped (section 6.2); words of other charsets stay as
// written. The result is valid UTF-8.
std::string DecodeHeaderText(const std::string& value) {
    std::string out;
    size_t pos = 0;
    bool afterWord = false;  // the text so far ends with a decoded word
    while (pos < value.size()) {
        size_t start = value.find("=?", pos);
        if (start == std::string::npos) break;
        size_t q1 = value.find('?', start + 2);
        size_t q2 = q1 == std::string::npos ? q1 : value.find('?', q1 + 1);
        size_t end = q2 == std::string::npos ? q2 : value.find("?=", q2 + 1);
        if (end == std::string::npos) break;
        std::string charset = value.substr(start + 2, q1 - start - 2);
        charset = charset.substr(0, charset.find('*'));  // RFC 2231 language
        for (char& c : charset) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::string decoded;
        bool known = q2 == q1 + 2 &&
                     (charset == "utf-8" || charset == "us-ascii" || charset == "iso-8859-1" ||
                      charset == "windows-1252" || charset == "latin1");
        if (!known ||
            !DecodeWordText(value[q1 + 1], value.substr(q2 + 1, end - q2 - 1), &decoded)) {
            out.append(value, pos, end + 2 - pos);
            pos = end + 2;
            afterWord = false;
            continue;
        }
        std::string between = value.substr(pos, start - pos);
        bool onlyBlanks = between.find_first_not_of(" \t") == std::string::npos;
        if (!(afterWord && onlyBlanks)) out += between;
        if (charset == "utf-8" || charset == "us-ascii") {
            out += decoded;
        } else {
            std::string utf8;
            for (unsigned char c : decoded) AppendLatin1(utf8, c);
            out += utf8;
        }
        pos = end + 2;
        afterWord = true;
    }
    out.append(value, pos, std::string::npos);
    return ValidUtf8(out);
}

// From, Date and Subject of a message, read with TOP n 0 (RFC 1939
// section 7); folded lines are unfolded, encoded words decoded.
Headers ReadHeaders(Session& session, int number) {
    constexpr int kLimit = 64 * 1024;
    session.Must(vokGetEmailLines(kChannel, number, 0, nullptr, kLimit), "reading the header",
                 Phase::kMailbox);
    std::vector<char> text(static_cast<size_t>(kLimit) + 3);
    int n =
        vokDebug(kChannel, VOK_DEBUG_MESSAGE_BUFFER, text.data(), static_cast<int>(text.size()));
    Headers headers;
    if (n <= 0) return headers;
    std::istringstream lines(SecondLineOn(std::string(text.data(), static_cast<size_t>(n))));
    std::string* last = nullptr;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) break;
        if (line[0] == ' ' || line[0] == '\t') {
            if (last) *last += " " + line.substr(line.find_first_not_of(" \t"));
            continue;
        }
        last = nullptr;
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon);
        for (char& c : name)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        std::string value = line.substr(colon + 1);
        size_t start = value.find_first_not_of(" \t");
        value = start == std::string::npos ? "" : value.substr(start);
        if (name == "from") last = &headers.from;
        if (name == "date") last = &headers.date;
        if (name == "subject") last = &headers.subject;
        if (last) *last = value;
    }
    for (std::string* text : {&headers.from, &headers.date, &headers.subject})
        *text = DecodeHeaderText(*text);
    return headers;
}

std::string Cut(const std::string& text, size_t width) {
    return text.size() <= width ? text : text.substr(0, width - 1) + "~";
}

}  // namespace

int RunList(const ParsedArgs& args) {
    if (!args.positional.empty()) throw UsageError("list takes no arguments");
    Login login = ReadLogin(args);
    Session session(args);
    OpenMailbox(session, args, login);
    int count = MessageCount(session);
    std::map<int, std::string> uids = AllUids(session, count);
    long long totalBytes = 0;
    const bool json = Out().json;
    if (!json)
        std::printf("%5s %9s  %-16s  %-28s  %-31s  %s\n", "#", "size", "unique id", "from", "date",
                    "subject");
    for (int number = 1; number <= count; ++number) {
        int size = MessageSize(session, number);
        std::string uid = uids.count(number) ? uids[number] : "-";
        Headers headers = ReadHeaders(session, number);
        totalBytes += size;
        if (json) {
            std::printf(
                "{\"number\":%d,\"size\":%d,\"uid\":%s,\"from\":%s,\"date\":%s,"
                "\"subject\":%s}\n",
                number, size, JsonString(uid).c_str(), JsonString(headers.from).c_str(),
                JsonString(headers.date).c_str(), JsonString(headers.subject).c_str());
        } else {
            std::printf("%5d %9s  %-16s  %-28s  %-31s  %s\n", number, HumanBytes(size).c_str(),
                        uid.c_str(), Cut(headers.from, 28).c_str(), Cut(headers.date, 31).c_str(),
                        headers.subject.c_str());
        }
    }
    if (!json)
        std::printf("%d message%s, %s\n", count, count == 1 ? "" : "s",
                    HumanBytes(static_cast<double>(totalBytes)).c_str());
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
    session.Must(vokGetEmailLines(kChannel, number, lines, nullptr, limit), "reading the message",
                 Phase::kMailbox);
    int have = vokStatistics(kChannel, VOK_STAT_BUFFER_LENGTH);
    std::vector<char> text(static_cast<size_t>(limit) + 3);
    int n =
        vokDebug(kChannel, VOK_DEBUG_MESSAGE_BUFFER, text.data(), static_cast<int>(text.size()));
    if (n < 0) throw LibraryFailure("reading the library buffer", n, Phase::kMailbox);
    std::string lines_text(text.data(), static_cast<size_t>(n));
    std::fputs(PlainLines(SecondLineOn(lines_text)).c_str(), stdout);
    if (have >= limit)
        std::fprintf(stderr, "vokmail: cut at %d bytes (raise with --max-bytes)\n", limit);
    session.Close();
    return kExitOk;
}

namespace {

// The unique ids fetched before from one mailbox, one per line, in a state
// file replaced whole (temporary file, fsync, rename) after each message.
class SeenIds {
  public:
    SeenIds(const ParsedArgs& args, const Login& login) {
        std::string key = AccountName() + "-" + args.Get("user") + "@" + login.server.host + "-" +
                          std::to_string(login.server.port);
        for (char& c : key)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '@' &&
                c != '_')
                c = '_';
        dir_ = StateDirectory();
        path_ = dir_ + "/seen-" + key;
        std::ifstream in(path_, std::ios::binary);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) ids_.insert(line);
        }
    }
    bool Has(const std::string& uid) const { return ids_.count(uid) != 0; }
    void Add(const std::string& uid) {
        if (!ids_.insert(uid).second) return;
        std::error_code ec;
        fs::create_directories(dir_, ec);
        std::string data;
        for (const std::string& id : ids_) data += id + "\n";
        WriteFileAtomically(path_, data);
    }

  private:
    std::string dir_;
    std::string path_;
    std::set<std::string> ids_;
};

// A Maildir name of its own (the Maildir convention:
// time.Pprocess_Rrandom_Nserial.host).
std::string MaildirName(int serial) {
    static std::mt19937_64 random(std::random_device{}());
    char name[200];
    std::snprintf(name, sizeof name, "%lld.P%ld_R%llx_N%d.%s",
                  static_cast<long long>(std::time(nullptr)), ProcessId(),
                  static_cast<unsigned long long>(random() & 0xffffffffffffULL), serial,
                  HostName().c_str());
    return name;
}

void MakeDirectory(const std::string& d) {
    std::error_code ec;
    fs::create_directories(d, ec);
    if (!fs::is_directory(d, ec))
        throw Failure("cannot make the directory '" + d + "'", kExitCantCreate);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> items;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        if (end > pos) items.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return items;
}

// The numbers of the messages with the given unique ids.
std::vector<int> NumbersOfUids(const std::vector<std::string>& wanted,
                               const std::map<int, std::string>& uids) {
    std::vector<int> numbers;
    for (const std::string& uid : wanted) {
        int found = 0;
        for (const auto& [number, id] : uids)
            if (id == uid) found = number;
        if (!found) throw Failure("no message has the unique id '" + uid + "'", kExitUnavailable);
        numbers.push_back(found);
    }
    return numbers;
}

}  // namespace

int RunFetch(const ParsedArgs& args) {
    const bool byNew = args.Has("new");
    const bool byUid = args.Has("uid");
    if (args.positional.size() > 1) throw UsageError("fetch takes one message number, or 'all'");
    if (args.positional.empty() && !byNew && !byUid)
        throw UsageError("fetch needs a message number, 'all', --new or --uid UID");
    if (!args.positional.empty() && byUid)
        throw UsageError("give the messages by number or by --uid, not both");
    if (!args.Has("dir") && !args.Has("maildir"))
        throw UsageError("--dir DIRECTORY or --maildir DIRECTORY is needed");
    bool all = args.positional.empty() ? !byUid : args.positional[0] == "all";
    if (args.Has("name") && (all || byUid))
        throw UsageError("--name names one message; not with 'all', --new or --uid");
    if (!args.positional.empty() && !all)
        ParseNumber(args.positional[0], 1, 0x7fffffff, "the message number");
    const std::string maildir = args.Get("maildir");
    // The Maildir gets the library's copy of the message as received. With
    // neither --dir nor --attach-dir, the decoded text and attachments the
    // library writes as well go to a scratch folder in its tmp, removed after.
    const bool rawOnly = !args.Has("dir") && !args.Has("attach-dir");
    std::string dir = args.Get("dir", args.Get("attach-dir"));
    std::string attachDir = args.Get("attach-dir", dir);
    if (!maildir.empty()) {
        if (rawOnly) dir = attachDir = maildir + "/tmp/.decoded-" + std::to_string(ProcessId());
        if (maildir.size() + 60 >= kPathLimit)
            throw UsageError("the Maildir's name must be shorter than 68 characters");
    }
    if (dir.size() >= kPathLimit || attachDir.size() >= kPathLimit)
        throw UsageError("directory names must be shorter than 128 characters");
    Login login = ReadLogin(args);

    if (!maildir.empty())
        for (const char* sub : {"/tmp", "/new", "/cur"}) MakeDirectory(maildir + sub);
    for (const std::string& d : {dir, attachDir}) MakeDirectory(d);
    if (!maildir.empty() && !fs::exists(maildir + "/tmp"))
        throw Failure("cannot make the Maildir '" + maildir + "'", kExitCantCreate);

    Session session(args);
    OpenMailbox(session, args, login);
    int count = MessageCount(session);
    std::map<int, std::string> uids = AllUids(session, count);
    std::vector<int> numbers;
    if (byUid) {
        numbers = NumbersOfUids(args.All("uid"), uids);
    } else if (all) {
        for (int number = 1; number <= count; ++number) numbers.push_back(number);
    } else {
        numbers.push_back(CheckedNumber(args.positional[0], count));
    }
    std::unique_ptr<SeenIds> seen;
    if (byNew) {
        seen = std::make_unique<SeenIds>(args, login);
        std::vector<int> fresh;
        for (int number : numbers)
            if (!uids.count(number) || !seen->Has(uids[number])) fresh.push_back(number);
        numbers = fresh;
    }
    if (numbers.empty()) Note(byNew ? "No new messages.\n" : "The mailbox is empty.\n");
    // Saved names come back joined by this character; a line end is the one
    // character no file name taken from a message can hold.
    vokIntegerParam(kChannel, VOK_ATTACH_DELIMITER, '\n');
    if (!maildir.empty()) vokStringParam(kChannel, VOK_RAW_COPY_DIR, (maildir + "/tmp").c_str());
    struct Scratch {
        std::string path;
        ~Scratch() {
            std::error_code ec;
            if (!path.empty()) fs::remove_all(path, ec);
        }
    } scratch{rawOnly ? dir : ""};
    int deleted = 0;
    int serial = 0;
    for (int number : numbers) {
        std::string unique = maildir.empty() ? "" : MaildirName(++serial);
        std::string name =
            rawOnly ? unique : args.Get("name", "message-" + std::to_string(number) + ".txt");
        if ((fs::path(dir) / name).string().size() + 8 >= kPathLimit)
            throw UsageError("the path of the saved message must be shorter than 120 characters");
        int size = MessageSize(session, number);
        session.Must(
            vokGetEmailFile(kChannel, number, name.c_str(), dir.c_str(), attachDir.c_str()),
            "downloading the message", Phase::kMailbox, "fetching", size);
        std::string names(1100, '\0');
        int n =
            vokDebug(kChannel, VOK_DEBUG_SAVED_NAMES, &names[0], static_cast<int>(names.size()));
        names.resize(n > 0 ? static_cast<size_t>(n) : 0);
        std::vector<std::string> attachments;
        if (!rawOnly)
            for (const std::string& item : SplitLines(names))
                attachments.push_back((fs::path(attachDir) / item).string());
        std::string saved = (fs::path(dir) / name).string();
        // Everything on disk before anything depends on it: the Maildir's
        // rename, the state of --new, and DELE.
        bool safe = true;
        for (const std::string& file : attachments) safe = SyncFile(file) && safe;
        std::string delivered;
        if (!maildir.empty()) {
            std::string raw = (fs::path(maildir) / "tmp" / (name + ".eml")).string();
            delivered = (fs::path(maildir) / "new" / unique).string();
            safe = SyncFile(raw) && safe;
            std::error_code ec;
            fs::rename(raw, delivered, ec);
            if (ec) throw Failure("cannot deliver into '" + maildir + "/new'", kExitCantCreate);
            safe = SyncDirectory((fs::path(maildir) / "new").string()) && safe;
        }
        if (!rawOnly) safe = SyncFile(saved) && safe;
        if (!safe)
            throw Failure("message " + std::to_string(number) +
                              " or one of its attachments could not be written to disk; "
                              "nothing deleted",
                          kExitCantCreate);
        std::string uid = uids.count(number) ? uids[number] : "";
        if (seen && !uid.empty()) seen->Add(uid);
        bool deleting = args.Has("delete");
        if (deleting) {
            DeleteMessage(session, number);
            ++deleted;
        }
        if (Out().json) {
            std::string list;
            for (const std::string& file : attachments)
                list += (list.empty() ? "" : ",") + JsonString(file);
            std::printf(
                "{\"number\":%d,\"uid\":%s,\"size\":%d,\"file\":%s,\"maildir\":%s,"
                "\"attachments\":[%s],\"deleted\":%s}\n",
                number, JsonString(uid).c_str(), size, rawOnly ? "null" : JsonString(saved).c_str(),
                delivered.empty() ? "null" : JsonString(delivered).c_str(), list.c_str(),
                deleting ? "true" : "false");
            std::fflush(stdout);
        }
        Note("Message %d (%s) saved to %s\n", number, HumanBytes(size).c_str(),
             (delivered.empty() ? saved : delivered).c_str());
        for (const std::string& file : attachments)
            Note("  attachment saved to %s\n", file.c_str());
        if (deleting) Note("  marked for deletion\n");
    }
    // The server removes what DELE marked only when the session ends well.
    int rc = session.Close();
    if (deleted) {
        if (rc < 0)
            throw LibraryFailure("ending the session; nothing was deleted", rc, Phase::kOther);
        Note("Deleted %d message%s.\n", deleted, deleted == 1 ? "" : "s");
    }
    return kExitOk;
}

int RunDelete(const ParsedArgs& args) {
    if (args.positional.empty() == !args.Has("uid"))
        throw UsageError("delete takes message numbers or --uid UID");
    for (const std::string& number : args.positional)
        ParseNumber(number, 1, 0x7fffffff, "the message number");
    Login login = ReadLogin(args);
    Session session(args);
    OpenMailbox(session, args, login);
    int count = MessageCount(session);
    std::vector<int> numbers;
    if (args.Has("uid")) {
        numbers = NumbersOfUids(args.All("uid"), AllUids(session, count));
    } else {
        for (const std::string& number : args.positional)
            numbers.push_back(CheckedNumber(number, count));
    }
    for (int number : numbers) DeleteMessage(session, number);
    int rc = session.Close();
    if (rc < 0) throw LibraryFailure("ending the session; nothing was deleted", rc, Phase::kOther);
    Note("Deleted %d message%s.\n", static_cast<int>(numbers.size()),
         numbers.size() == 1 ? "" : "s");
    return kExitOk;
}

}  // namespace vokmail
