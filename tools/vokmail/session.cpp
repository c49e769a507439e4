// SPDX-License-Identifier: MIT
// The library session of one vokmail run: attach, log, the driver loop with
// its progress display and wall-clock limit, error texts.
#include <cstdio>
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
          bar_(StdoutIsTerminal()),
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
            std::fputs("\n", stdout);
            std::fflush(stdout);
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
            std::printf("\r%s [%s] %3d%%  %s of %s  %s/s   ", label_.c_str(), bar.c_str(), percent,
                        HumanBytes(static_cast<double>(done)).c_str(),
                        HumanBytes(static_cast<double>(total_)).c_str(), HumanBytes(rate).c_str());
        } else {
            std::printf("%s: %d%%, %lld of %lld bytes, %s/s\n", label_.c_str(), percent,
                        static_cast<long long>(done), static_cast<long long>(total_),
                        HumanBytes(rate).c_str());
        }
        std::fflush(stdout);
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

}  // namespace

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
    quiet_ = args.Has("quiet");
    timeoutSeconds_ = args.Has("timeout")
                          ? ParseNumber(args.Get("timeout"), 1, 24L * 3600, "--timeout")
                          : kDefaultTimeoutSeconds;
    deadline_ = start_ + std::chrono::seconds(timeoutSeconds_);
    int rc = vokAttach(1);
    if (rc != 1) throw Failure("cannot start the mail library: " + std::to_string(rc));
    attached_ = true;
    // The operations return at once and are driven here.
    vokIntegerParam(kChannel, VOK_AUTO_CALL, 0);
    if (args.Has("log")) {
        std::string log = args.Get("log");
        if (vokStringParam(kChannel, VOK_LOG_FILE, log.c_str()) < 0)
            throw Failure("cannot create the log file '" + log + "'");
    }
}

Session::~Session() {
    if (!attached_) return;
    Close();
    vokRelease();
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
            progress.Finish(rc == 0 ? totalBytes : vokStatistics(kChannel, VOK_STAT_BYTES_READ));
            if (rc < 0) open_ = false;  // the library has closed the connection
            return rc;
        }
        progress.Update(vokStatistics(kChannel, VOK_STAT_BYTES_READ));
        if (Clock::now() > deadline_) {
            vokAbort(kChannel);
            open_ = false;
            progress.Finish(vokStatistics(kChannel, VOK_STAT_BYTES_READ));
            throw Failure("gave up after " + std::to_string(timeoutSeconds_) +
                          " s (raise the limit with --timeout)");
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

void Session::Must(int startResult, const char* what, const char* label, int64_t totalBytes) {
    int rc = Run(startResult, label, totalBytes);
    if (rc < 0) throw Failure(DescribeFailure(what, rc));
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
