/* SPDX-License-Identifier: MIT */
// vokmail: the command-line mail client built on the public VOK32 interface.
// Pieces shared by the subcommands: exit codes, the option parser, address
// lists, the library session with its driver loop, and error reporting.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace vokmail {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;   // the library, the network, a file or a server said no
constexpr int kExitUsage = 2;     // the command line is wrong
constexpr int kExitRejected = 3;  // verify: at least one address failed its check

// Every subcommand works on one channel.
constexpr int kChannel = 0;

// A wrong command line. Reported as "vokmail: <text>" with exit status 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Anything else that stops a command. Reported as "vokmail: <text>" with
// exit status 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// --- Options -----------------------------------------------------------------

struct OptionSpec {
    std::string name;     // without the leading "--"
    std::string metavar;  // empty for a flag that takes no value
    bool repeatable = false;
};

class ParsedArgs {
  public:
    bool Has(const std::string& name) const { return values_.count(name) != 0; }
    // The (last) value of an option, or fallback when it was not given.
    std::string Get(const std::string& name, const std::string& fallback = "") const;
    // Every value of a repeatable option, in command-line order.
    std::vector<std::string> All(const std::string& name) const;

    std::vector<std::string> positional;

  private:
    friend ParsedArgs ParseArgs(const std::vector<std::string>& args,
                                const std::vector<OptionSpec>& specs);
    std::map<std::string, std::vector<std::string>> values_;
};

// Parses "--name value", "--name=value", flags and positional arguments; "--"
// ends the options. Throws UsageError for an unknown option, a missing value,
// a value given to a flag, or a second value of a non-repeatable option.
ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs);

// A whole decimal number in [low, high]; what names it in the error.
long ParseNumber(const std::string& text, long low, long high, const std::string& what);

// --server "host" or "host:port", and --port, which wins over a port in the
// name. Throws UsageError when --server is missing or a port is not a number.
struct ServerAddress {
    std::string host;
    int port = 0;  // 0 = the library's default
};
ServerAddress ParseServer(const ParsedArgs& args);

// --- Addresses -----------------------------------------------------------------

// Splits "a@x, Bob <b@y>" at the commas that stand outside double quotes and
// angle brackets, trimming blanks; empty items are dropped.
std::vector<std::string> SplitAddressList(const std::string& text);

// A bare address gets the angle brackets the library expects: "a@x" becomes
// "<a@x>"; "Bob <b@y>" stays as it is.
std::string BracketAddress(const std::string& item);

// Joins every value of a repeatable address option (each a single address
// or a comma list) into one library list. Throws UsageError for an item the
// library would split or misread.
std::string AddressList(const std::vector<std::string>& values, const std::string& option);

// --- Terminal (terminal.cpp, the one file with system calls) ----------------

bool StdoutIsTerminal();
bool StdinIsTerminal();
// Prompts on stderr and reads one line from the terminal with echo off.
// False when there is no terminal to ask or the input ended.
bool ReadSecret(const std::string& prompt, std::string* secret);

// The password for a login: --password, else $VOKMAIL_PASSWORD, else a
// prompt without echo. Throws UsageError when none of these gives one.
std::string GetPassword(const ParsedArgs& args, const std::string& account);

// --- The library session ---------------------------------------------------------

// Attaches one channel for the life of the object and applies the options
// every network command shares: --log, --timeout, --quiet. Operations run
// with AutoCall off and are driven here, bounded by the wall-clock limit.
class Session {
  public:
    explicit Session(const ParsedArgs& args);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Drives the operation that an export has just set up, given that
    // export's own result. Returns 0 or the negative failure code; throws
    // Failure when the time limit runs out. With totalBytes > 0 a progress
    // display follows statistic 12 (bytes of body and attachments read when
    // sending, of message data when downloading).
    int Run(int startResult, const char* label, int64_t totalBytes = 0);

    // Like Run, but a failure becomes a Failure exception that reports the
    // code with its text (what names the operation).
    void Must(int startResult, const char* what, const char* label = nullptr,
              int64_t totalBytes = 0);

    // Ends the session politely (QUIT) when one is open; after a failure the
    // library has already dropped the connection. Returns vokClose's result,
    // 0 when there was nothing to close.
    int Close();

    bool quiet() const { return quiet_; }
    double Elapsed() const;

  private:
    bool attached_ = false;
    bool quiet_ = false;
    bool open_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point deadline_;
    long timeoutSeconds_ = 0;
};

// The text of a code as vokErrorText gives it (a server's reply included for
// the codes that carry one), on one line per reply line, without the final
// line end. Needs an attached channel.
std::string ErrorText(int code);

// "what failed: -49 SMTP returned error. 550 ..." plus the socket-level code
// of the last failure when it has one.
std::string DescribeFailure(const std::string& what, int code);

// Byte counts for people: "812 B", "12.4 KiB", "3.1 MiB".
std::string HumanBytes(double bytes);

// --- Secure connections (security.cpp) -------------------------------------------

// 127.0.0.0/8, ::1 or localhost.
bool IsLoopback(const std::string& host);

struct Security {
    std::string mode;              // auto, starttls, implicit, none
    int tlsMode = 0;               // VOK_TLS_MODE for the first attempt
    bool clearOnLoopback = false;  // auto to a loopback server: clear when it lacks STARTTLS
    bool insecure = false;
    std::string caFile;
    int authMethod = 0;
    std::string token;  // XOAUTH2 bearer token
};

// Reads --tls, --ca-file, --insecure, --auth, --oauth2-token-env for a server
// (whose port --tls implicit may fill in) and prints the warnings they call
// for. Throws UsageError for a wrong combination.
Security ReadSecurity(const ParsedArgs& args, ServerAddress* server, bool pop3);
// False for XOAUTH2, whose login needs no password.
bool UsesPassword(const Security& s);
// The library settings of the channel.
void ApplySecurity(const Security& s);
// Runs the connect that start() begins; on a loopback server in --tls auto
// that does not offer STARTTLS (STLS), connects again in clear. Throws
// Failure when the connect fails.
void ConnectSecurely(Session& session, Security& s, const std::function<int()>& start,
                     const char* what);

// --- Subcommands ---------------------------------------------------------------

int RunSend(const ParsedArgs& args);
int RunList(const ParsedArgs& args);
int RunTop(const ParsedArgs& args);
int RunFetch(const ParsedArgs& args);
int RunVerify(const ParsedArgs& args);

}  // namespace vokmail
