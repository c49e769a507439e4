// SPDX-License-Identifier: MIT
// The library session of one vokmail run: attach, log, the driver loop with
// its progress display and wall-clock limit, error texts.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "cli.h"
#include "vok32.h"

namespace vokmail {

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kDefaultTimeoutSeconds = 300;
constexpr int kBarWidth = 30;

// Shows how far a transfer has got: a bar redrawn in place on a terminal,
// a plain line every second or so otherwise.
class Progress {
  public:
    Progress(const char* label, int64_t total, bool enabled)
        : label_(label ? label : ""),
          total_(total),
          enabled_(enabled && total > 0),
          bar_(StderrIsTerminal()),
          start_(Clock::now()) {}

    void Update(int64_t done) {
        if (!enabled_) return;
        auto now = Clock::now();
        auto interval = bar_ ? std::chrono::milliseconds(100) : std::chrono::milliseconds(1000);
        if (shown_ && now - lastShown_ < interval) return;
        if (!shown_ && !bar_ && now - start_ < interval) return;
        Show(done, now);
    }

    void Finish(int64_t done) {
        if (!enabled_ || !shown_) return;
        if (bar_) {
            Show(done, Clock::now());
            std::fputs("\n", stderr);
            std::fflush(stderr);
        }
    }

  private:
    void Show(int64_t done, Clock::time_point now) {
        shown_ = true;
        lastShown_ = now;
        double seconds = std::chrono::duration<double>(now - start_).count();
        double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
        int percent = static_cast<int>(done >= total_ ? 100 : done * 100 / total_);
        if (bar_) {
            int filled = percent * kBarWidth / 100;
            std::string bar(static_cast<size_t>(filled), '#');
            bar.append(static_cast<size_t>(kBarWidth - filled), '.');
            std::fprintf(stderr, "\r%s [%s] %3d%%  %s of %s  %s/s   ", label_.c_str(), bar.c_str(),
                         percent, HumanBytes(static_cast<double>(done)).c_str(),
                         HumanBytes(static_cast<double>(total_)).c_str(), HumanBytes(rate).c_str());
        } else {
            std::fprintf(stderr, "%s: %d%%, %lld of %lld bytes, %s/s\n", label_.c_str(), percent,
                         static_cast<long long>(done), static_cast<long long>(total_),
                         HumanBytes(rate).c_str());
        }
        std::fflush(stderr);
    }

    std::string label_;
    int64_t total_;
    bool enabled_;
    bool bar_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point lastShown_;
};

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool Starts(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// The server's reply line of the last failure, from the code's text.
std::string LastReply() {
    char reply[200] = "";
    int n = vokDebug(kChannel, VOK_DEBUG_LAST_REPLY, reply, sizeof reply - 1);
    return std::string(reply, n > 0 ? static_cast<size_t>(n) : 0);
}

}  // namespace

Output& Out() {
    static Output output;
    return output;
}

bool ShowNotes() {
    return !Out().quiet && (Out().progress || StderrIsTerminal());
}

void Note(const char* format, ...) {
    if (!ShowNotes()) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fflush(stderr);
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

int ExitStatusFor(int code, Phase phase) {
    const int reply = vokStatistics(kChannel, VOK_STAT_REPLY_CODE);
    switch (code) {
        case VOK_SMTP_ERROR:
            // RFC 5321 section 4.2.1: 4yz is transient; RFC 4954 section 6
            // gives 530, 534, 535 and 538 to authentication.
            if (reply >= 400 && reply < 500) return kExitTempFail;
            if (reply == 530 || reply == 534 || reply == 535 || reply == 538) return kExitNoPerm;
            return phase == Phase::kConnect || phase == Phase::kLogin ? kExitUnavailable
                                                                      : kExitDataErr;
        case VOK_POP3_ERROR: {
            // RFC 3206: [IN-USE] and [SYS/TEMP] ask to try again later.
            std::string line = LastReply();
            if (line.find("[IN-USE]") != std::string::npos ||
                line.find("[SYS/TEMP]") != std::string::npos)
                return kExitTempFail;
            if (phase == Phase::kLogin || phase == Phase::kConnect) return kExitNoPerm;
            return kExitUnavailable;
        }
        case VOK_CONNECT_ERROR: {
            int sock = vokStatistics(kChannel, VOK_STAT_SOCK_CODE);
            if (sock < 0 && sock != code) return ExitStatusFor(sock, phase);
            // A greeting that says no: 421 is transient, 554 is not.
            std::string line = LastReply();
            if (Starts(line.c_str(), "4")) return kExitTempFail;
            return kExitUnavailable;
        }
        case VOK_SERVER_NOT_FOUND:
        case VOK_WSAHOST_NOT_FOUND:
        case VOK_WSANO_DATA:
        case VOK_WSANO_RECOVERY:
        case VOK_BAD_SERVER_NAME:
            return kExitNoHost;
        case VOK_WSATRY_AGAIN:
        case VOK_SOCKET_TIMEOUT:
        case VOK_WSAETIMEDOUT:
        case VOK_WSAECONNABORTED:
        case VOK_WSAECONNRESET:
        case VOK_WSAENETRESET:
        case VOK_SOCKET_CLOSED:
        case VOK_SOCKET_READ_ERROR:
        case VOK_SOCKET_WRITE_ERROR:
        case VOK_WSAENETDOWN:
        case VOK_WSAENOBUFS:
            return kExitTempFail;
        case VOK_WSAECONNREFUSED:
        case VOK_WSAEHOSTUNREACH:
        case VOK_WSAENETUNREACH:
        case VOK_WSAEHOSTDOWN:
        case VOK_STARTTLS_REFUSED:
        case VOK_TLS_UNAVAILABLE:
        case VOK_AUTH_NOT_OFFERED:
        case VOK_TLS_HANDSHAKE_FAILED:
        case VOK_APOP_NO_TIMESTAMP:
        case VOK_NO_SUCH_MESSAGE:
            return kExitUnavailable;
        case VOK_TLS_UNTRUSTED:
        case VOK_TLS_NAME_MISMATCH:
            return kExitNoPerm;
        case VOK_CANNOT_OPEN_FILE:
            return kExitNoInput;
        case VOK_CANNOT_CREATE_FILE:
            return kExitCantCreate;
        case VOK_NO_USER:
        case VOK_NO_PASSWORD:
        case VOK_MISSING_FROM:
        case VOK_NO_RECIPIENT:
            return kExitUsage;
        case VOK_BAD_ADDRESS_CHAR:
        case VOK_EMPTY_ADDRESS:
        case VOK_MISSING_AT:
        case VOK_MISSING_LT:
        case VOK_MISSING_GT:
        case VOK_TOO_MANY_AT:
        case VOK_UNEXPECTED_GT:
            return kExitDataErr;
        default:
            return kExitSoftware;
    }
}

Failure LibraryFailure(const std::string& what, int code, Phase phase) {
    return Failure(DescribeFailure(what, code), ExitStatusFor(code, phase));
}

std::string HumanBytes(double bytes) {
    char text[32];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%.0f B", bytes);
    } else if (bytes < 1024.0 * 1024) {
        std::snprintf(text, sizeof text, "%.1f KiB", bytes / 1024);
    } else {
        std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024.0 * 1024));
    }
    return text;
}

std::string ErrorText(int code) {
    // Room for the longest server reply the library keeps, and its message.
    std::string text(2300, '\0');
    int n = vokErrorText(kChannel, code, &text[0], static_cast<int>(text.size()));
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    // One line per reply line, indented under the first.
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') continue;
        if (text[i] == '\n') {
            if (i + 1 < text.size()) out += "\n    ";
            continue;
        }
        out += text[i];
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '\n')) out.pop_back();
    return out.empty() ? "(no text for this code)" : out;
}

std::string DescribeFailure(const std::string& what, int code) {
    std::string text = what + " failed: " + std::to_string(code) + " " + ErrorText(code);
    int sockCode = vokStatistics(kChannel, VOK_STAT_SOCK_CODE);
    if (sockCode < 0 && sockCode != code)
        text += "\n    socket error " + std::to_string(sockCode) + ": " + ErrorText(sockCode);
    return text;
}

Session::Session(const ParsedArgs& args) : start_(Clock::now()) {
    quiet_ = !ShowNotes();
    timeoutSeconds_ = args.Has("timeout")
                          ? ParseNumber(args.Get("timeout"), 1, 24L * 3600, "--timeout")
                          : kDefaultTimeoutSeconds;
    deadline_ = start_ + std::chrono::seconds(timeoutSeconds_);
    int rc = vokAttach(1);
    if (rc != 1) throw Failure("cannot start the mail library: " + std::to_string(rc));
    attached_ = true;
    // The operations return at once and are driven here.
    vokIntegerParam(kChannel, VOK_AUTO_CALL, 0);
    // -v and --log -: the library's trace (passwords masked) on stderr. The
    // library creates and truncates its log file, which would clobber a
    // stderr appended to a file: it writes a private temporary file instead,
    // copied to stderr as it grows.
    std::string log = args.Get("log");
    if (log == "-" || (log.empty() && Out().verbose)) {
        traceDir_ = MakePrivateTempDir();
        log = (std::filesystem::path(traceDir_) / "trace.log").string();
        tracePath_ = log;
    }
    if (!log.empty() && vokStringParam(kChannel, VOK_LOG_FILE, log.c_str()) < 0)
        throw Failure("cannot create the log file '" + log + "'", kExitCantCreate);
}

Session::~Session() {
    if (!attached_) return;
    Close();
    vokRelease();
    PumpTrace();
    std::error_code ec;
    if (!traceDir_.empty()) std::filesystem::remove_all(traceDir_, ec);
}

void Session::PumpTrace() {
    if (tracePath_.empty()) return;
    std::ifstream in(tracePath_, std::ios::binary);
    if (!in.seekg(static_cast<std::streamoff>(traceOffset_))) return;
    char chunk[4096];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        size_t n = static_cast<size_t>(in.gcount());
        std::fwrite(chunk, 1, n, stderr);
        traceOffset_ += n;
    }
    std::fflush(stderr);
}

double Session::Elapsed() const {
    return std::chrono::duration<double>(Clock::now() - start_).count();
}

int Session::Run(int startResult, const char* label, int64_t totalBytes) {
    if (startResult < 0) return startResult;
    open_ = true;
    Progress progress(label, totalBytes, !quiet_);
    int previous = -1;
    int64_t previousBytes = -1;
    int idle = 0;
    for (;;) {
        int rc = vokDriver(kChannel);
        int64_t bytes = static_cast<int64_t>(vokStatistics(kChannel, VOK_STAT_BYTES_READ)) +
                        vokStatistics(kChannel, VOK_STAT_BYTES_SENT);
        if (rc <= 0) {
            PumpTrace();
            progress.Finish(rc == 0 ? totalBytes : vokStatistics(kChannel, VOK_STAT_BYTES_READ));
            if (rc < 0) open_ = false;  // the library has closed the connection
            return rc;
        }
        progress.Update(vokStatistics(kChannel, VOK_STAT_BYTES_READ));
        PumpTrace();
        if (Clock::now() > deadline_) {
            vokAbort(kChannel);
            open_ = false;
            progress.Finish(vokStatistics(kChannel, VOK_STAT_BYTES_READ));
            throw Failure("gave up after " + std::to_string(timeoutSeconds_) +
                              " s (raise the limit with --timeout)",
                          kExitTempFail);
        }
        // Give the processor away while the library waits: for its time gate,
        // or for a reply that has not come (the same state again with no
        // bytes moved). A step that moved data runs the next one at once.
        if (rc == VOK_DRIVER_WAIT) {
            Pause(2);
        } else if (rc == previous && bytes == previousBytes) {
            // Most replies come within a few milliseconds; a slow one need
            // not cost a thousand wake-ups a second.
            Pause(idle < 16 ? 1 : 5);
            ++idle;
        } else {
            idle = 0;
        }
        previous = rc;
        previousBytes = bytes;
    }
}

void Session::Must(int startResult, const char* what, Phase phase, const char* label,
                   int64_t totalBytes) {
    int rc = Run(startResult, label, totalBytes);
    if (rc < 0) throw LibraryFailure(what, rc, phase);
}

int Session::Close() {
    if (!open_) return 0;
    open_ = false;
    // The polite close runs to its end by itself and frees the session.
    vokIntegerParam(kChannel, VOK_AUTO_CALL, 1);
    int rc = vokClose(kChannel);
    vokIntegerParam(kChannel, VOK_AUTO_CALL, 0);
    return rc;
}

}  // namespace vokmail
