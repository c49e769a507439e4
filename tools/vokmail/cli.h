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

// Exit statuses: the numbers of the BSD sysexits.h, which mail programs
// share, defined here because Windows has no such header.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 64;        // EX_USAGE: the command line is wrong
constexpr int kExitDataErr = 65;      // EX_DATAERR: a recipient or the message refused
constexpr int kExitNoInput = 66;      // EX_NOINPUT: an input file is missing or unreadable
constexpr int kExitNoUser = 67;       // EX_NOUSER: verify: the server does not know an address
constexpr int kExitNoHost = 68;       // EX_NOHOST: the server's name does not resolve
constexpr int kExitUnavailable = 69;  // EX_UNAVAILABLE: refused, TLS not offered, ...
constexpr int kExitSoftware = 70;     // EX_SOFTWARE: an internal error
constexpr int kExitCantCreate = 73;   // EX_CANTCREAT: an output file cannot be made
constexpr int kExitTempFail = 75;     // EX_TEMPFAIL: timeout, 4xx reply; try again later
constexpr int kExitNoPerm = 77;       // EX_NOPERM: login or certificate refused
constexpr int kExitConfig = 78;       // EX_CONFIG: the configuration file is wrong

// Every subcommand works on one channel.
constexpr int kChannel = 0;

// A wrong command line. Reported as "vokmail: <text>" with exit status 64.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Anything else that stops a command. Reported as "vokmail: <text>" with
// its exit status.
struct Failure : std::runtime_error {
    explicit Failure(const std::string& text, int status = kExitSoftware)
        : std::runtime_error(text), exitStatus(status) {}
    int exitStatus;
};

// Where in a session a library code came from: the same reply means a
// refused login while connecting and a refused message while sending.
enum class Phase { kConnect, kLogin, kSend, kMailbox, kOther };

// The exit status for a library result code (with the last reply's code
// for -49 and -63), as the phase it happened in reads it.
int ExitStatusFor(int code, Phase phase);

// --- Output ------------------------------------------------------------------

// What the user asked to see: --quiet shows nothing but errors; notes
// (progress, per-message lines, summaries) go to stderr, and only when it is
// a terminal unless --progress.
struct Output {
    bool quiet = false;
    bool progress = false;
    bool verbose = false;
    bool json = false;
};
Output& Out();
// True when notes are to be shown.
bool ShowNotes();
// A note on stderr when ShowNotes().
void Note(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// JSON string literal of text (bytes above 127 pass as they are).
std::string JsonString(const std::string& text);

// --- Options -----------------------------------------------------------------

struct OptionDef {
    std::string name;     // without the leading "--"
    std::string metavar;  // empty for a flag that takes no value
    bool repeatable = false;
    char shortName = 0;  // "-v" for verbose, ...
};

class ParsedArgs {
  public:
    bool Has(const std::string& name) const { return values_.count(name) != 0; }
    // Sets name to value unless the command line gave it (account settings).
    void SetDefault(const std::string& name, const std::string& value) {
        if (!Has(name)) values_[name].push_back(value);
    }
    // The (last) value of an option, or fallback when it was not given.
    std::string Get(const std::string& name, const std::string& fallback = "") const;
    // Every value of a repeatable option, in command-line order.
    std::vector<std::string> All(const std::string& name) const;

    std::vector<std::string> positional;

  private:
    friend ParsedArgs ParseArgs(const std::vector<std::string>& args,
                                const std::vector<OptionDef>& defs);
    std::map<std::string, std::vector<std::string>> values_;
};

// Parses "--name value", "--name=value", flags and positional arguments; "--"
// ends the options. Throws UsageError for an unknown option, a missing value,
// a value given to a flag, or a second value of a non-repeatable option.
ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<OptionDef>& defs);

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
bool StderrIsTerminal();
bool StdinIsTerminal();
// Prompts on stderr and reads one line from the terminal with echo off.
// False when there is no terminal to ask or the input ended.
bool ReadSecret(const std::string& prompt, std::string* secret);

// Runs command through the shell and returns the first line of its output
// (without the line end). Throws Failure when it cannot run or exits non-zero.
std::string RunPasswordCommand(const std::string& command);
// All of standard input, as bytes.
std::string ReadStdin();
// Writes data to path through a temporary file beside it, flushed to disk
// (fsync) before the rename, and the directory after it. Throws Failure.
void WriteFileAtomically(const std::string& path, const std::string& data);
// Flushes a file that is already written to the disk. False on failure.
bool SyncFile(const std::string& path);
// Flushes a directory's entries (after a rename into it). False on failure.
bool SyncDirectory(const std::string& path);
// This process's id and the host's name, for Maildir's unique names.
long ProcessId();
std::string HostName();
// A new directory under the temporary directory, readable by this user
// only: never one that was there before, which another user could have made
// (or linked) to catch the files written into it. Throws Failure.
std::string MakePrivateTempDir();
// True when the file can be read or written by its group or by others.
bool OpenToOthers(const std::string& path);

// The password for a login: --password, else --password-command, else
// $VOKMAIL_PASSWORD, else the account's password or password_command, else
// ~/.netrc, else a prompt without echo. Throws UsageError when none of these
// gives one.
std::string GetPassword(const ParsedArgs& args, const std::string& user, const std::string& host);

// --- Accounts (config.cpp) --------------------------------------------------

// The settings of one [account NAME] section, and where they came from.
struct Account {
    std::string name;
    std::string file;
    std::map<std::string, std::string> values;
};
// Reads --config FILE (or $XDG_CONFIG_HOME/vokmail/config, else
// ~/.config/vokmail/config when it exists) and fills the options the command
// line left out from --account NAME (else the account "default" when the
// file has one). The account's password stays out of args: PasswordFromAccount.
void ApplyAccount(ParsedArgs& args, const std::vector<OptionDef>& defs);
// The password the account gives (password, else password_command), or "".
std::string PasswordFromAccount();
// The password ~/.netrc ($NETRC) gives for host and user, or "".
std::string PasswordFromNetrc(const std::string& host, const std::string& user);
// The name of the account in use ("" when none), for the state of fetch --new.
std::string AccountName();
// One setting of the account in use ("from", ...), "" when it has none.
std::string AccountValue(const std::string& key);
// The directory for state: $XDG_STATE_HOME/vokmail, else ~/.local/state/vokmail.
std::string StateDirectory();

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
    void Must(int startResult, const char* what, Phase phase = Phase::kOther,
              const char* label = nullptr, int64_t totalBytes = 0);

    // Ends the session politely (QUIT) when one is open; after a failure the
    // library has already dropped the connection. Returns vokClose's result,
    // 0 when there was nothing to close.
    int Close();

    bool quiet() const { return quiet_; }
    double Elapsed() const;

  private:
    // Copies what the library's trace has grown by to stderr (-v, --log -).
    void PumpTrace();

    std::string traceDir_, tracePath_;
    size_t traceOffset_ = 0;
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
// DescribeFailure as a Failure with the exit status of the code.
Failure LibraryFailure(const std::string& what, int code, Phase phase);

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
                     const char* what, Phase phase = Phase::kConnect);

// --- Subcommands ---------------------------------------------------------------

int RunSend(const ParsedArgs& args);
int RunList(const ParsedArgs& args);
int RunTop(const ParsedArgs& args);
int RunFetch(const ParsedArgs& args);
int RunVerify(const ParsedArgs& args);
int RunDelete(const ParsedArgs& args);

}  // namespace vokmail
