// SPDX-License-Identifier: MIT
// The terminal (is there one, a password prompt without echo) and the few
// file and process calls the standard library lacks: fsync, a shell command's
// output, the process id. The only file of vokmail that calls the operating
// system directly.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>

#include "cli.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace vokmail {

#ifdef _WIN32

bool StdoutIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
}
bool StderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}
bool StdinIsTerminal() {
    return _isatty(_fileno(stdin)) != 0;
}

bool ReadSecret(const std::string& prompt, std::string* secret) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) return false;
    SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    std::fputs(prompt.c_str(), stderr);
    std::fflush(stderr);
    bool ok = static_cast<bool>(std::getline(std::cin, *secret));
    SetConsoleMode(input, mode);
    std::fputs("\n", stderr);
    if (!secret->empty() && secret->back() == '\r') secret->pop_back();
    return ok;
}

#else

namespace {

// The terminal settings to put back when Ctrl-C ends the prompt.
struct termios SavedTerminal;
volatile sig_atomic_t EchoOff = 0;

extern "C" void RestoreAndRaise(int signal) {
    if (EchoOff) tcsetattr(STDIN_FILENO, TCSAFLUSH, &SavedTerminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

bool StdoutIsTerminal() {
    return isatty(STDOUT_FILENO) != 0;
}
bool StderrIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}
bool StdinIsTerminal() {
    return isatty(STDIN_FILENO) != 0;
}

bool ReadSecret(const std::string& prompt, std::string* secret) {
    if (tcgetattr(STDIN_FILENO, &SavedTerminal) != 0) return false;
    struct termios quiet = SavedTerminal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    auto oldInt = std::signal(SIGINT, RestoreAndRaise);
    auto oldTerm = std::signal(SIGTERM, RestoreAndRaise);
    // Echo goes off before the prompt shows, so that nothing typed after it
    // is echoed or thrown away.
    EchoOff = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    std::fputs(prompt.c_str(), stderr);
    std::fflush(stderr);
    bool ok = static_cast<bool>(std::getline(std::cin, *secret));
    if (EchoOff) tcsetattr(STDIN_FILENO, TCSAFLUSH, &SavedTerminal);
    EchoOff = 0;
    std::signal(SIGINT, oldInt);
    std::signal(SIGTERM, oldTerm);
    return ok;
}

#endif

#ifdef _WIN32

bool SyncFile(const std::string& path) {
    int fd = _open(path.c_str(), _O_RDWR | _O_BINARY);
    if (fd < 0) return false;
    bool ok = _commit(fd) == 0;
    return _close(fd) == 0 && ok;
}
bool SyncDirectory(const std::string&) {
    return true;  // NTFS makes a rename durable with the file's metadata
}
long ProcessId() {
    return static_cast<long>(_getpid());
}
std::string HostName() {
    char name[256] = "";
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size)) return "localhost";
    return name;
}
bool OpenToOthers(const std::string&) {
    return false;  // ACLs, not mode bits: the profile folder is private
}
static FILE* OpenPipe(const std::string& command) {
    return _popen(command.c_str(), "rb");
}
static int ClosePipe(FILE* pipe) {
    return _pclose(pipe);
}

#else

bool SyncFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    bool ok = fsync(fd) == 0;
    return close(fd) == 0 && ok;
}
bool SyncDirectory(const std::string& path) {
    int fd = open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}
long ProcessId() {
    return static_cast<long>(getpid());
}
std::string HostName() {
    char name[256] = "";
    if (gethostname(name, sizeof name - 1) != 0 || !name[0]) return "localhost";
    std::string host = name;
    // Maildir names may hold neither '/' nor ':' (the flag separator).
    for (char& c : host)
        if (c == '/' || c == ':') c = '_';
    return host;
}
bool OpenToOthers(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    return (st.st_mode & 077) != 0;
}
static FILE* OpenPipe(const std::string& command) {
    return popen(command.c_str(), "r");
}
static int ClosePipe(FILE* pipe) {
    return pclose(pipe);
}

#endif

std::string RunPasswordCommand(const std::string& command) {
    std::fflush(nullptr);
    FILE* pipe = OpenPipe(command);
    if (!pipe) throw Failure("cannot run the password command", kExitUnavailable);
    std::string out;
    char chunk[512];
    size_t n;
    // Only the first line matters; a runaway command is cut at 64 KiB.
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0 && out.size() < 65536)
        out.append(chunk, n);
    int status = ClosePipe(pipe);
    if (status != 0) throw Failure("the password command failed", kExitUnavailable);
    size_t end = out.find_first_of("\r\n");
    if (end != std::string::npos) out.resize(end);
    return out;
}

std::string ReadStdin() {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    std::ostringstream all;
    all << std::cin.rdbuf();
    return all.str();
}

void WriteFileAtomically(const std::string& path, const std::string& data) {
    std::string temp = path + ".tmp." + std::to_string(ProcessId());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << data;
        out.flush();
        if (!out) throw Failure("cannot write '" + temp + "'", kExitCantCreate);
    }
    if (!SyncFile(temp)) throw Failure("cannot flush '" + temp + "' to disk", kExitCantCreate);
#ifdef _WIN32
    // rename() there will not replace a file; MoveFileEx will, at once.
    bool moved = MoveFileExA(temp.c_str(), path.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    bool moved = std::rename(temp.c_str(), path.c_str()) == 0;
#endif
    if (!moved) {
        std::remove(temp.c_str());
        throw Failure("cannot replace '" + path + "'", kExitCantCreate);
    }
    size_t slash = path.find_last_of("/\\");
    SyncDirectory(slash == std::string::npos ? "." : path.substr(0, slash));
}

std::string MakePrivateTempDir() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec) base = ".";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[48];
        std::snprintf(name, sizeof name, "vokmail-%ld-%08x", ProcessId(),
                      static_cast<unsigned>(random()));
        fs::path dir = base / name;
        // create_directory makes it new or reports that the name is taken.
        if (fs::create_directory(dir, ec)) {
            fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace, ec);
            return dir.string();
        }
    }
    throw Failure("cannot create a temporary directory in '" + base.string() + "'",
                  kExitCantCreate);
}

}  // namespace vokmail
