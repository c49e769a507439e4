// SPDX-License-Identifier: MIT
// The terminal: is there one, and a password prompt without echo. The only
// file of vokmail that calls the operating system directly.
#include <cstdio>
#include <iostream>

#include "cli.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <csignal>
#include <termios.h>
#include <unistd.h>
#endif

namespace vokmail {

#ifdef _WIN32

bool StdoutIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
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

}  // namespace vokmail
