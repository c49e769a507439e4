// SPDX-License-Identifier: MIT
// vokmail: send mail over SMTP and read a POP3 mailbox from the command line.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli.h"
#include "vok32.h"

namespace vokmail {

namespace {

const std::vector<OptionDef> kSessionOptions = {
    {"log", "FILE"},  {"timeout", "SECONDS"},      {"quiet", "", false, 'q'}, {"help", ""},
    {"progress", ""}, {"verbose", "", false, 'v'}, {"config", "FILE"},        {"account", "NAME"}};

const std::vector<OptionDef> kSecurityOptions = {{"tls", "MODE"},
                                                 {"ca-file", "FILE"},
                                                 {"insecure", ""},
                                                 {"auth", "METHOD"},
                                                 {"oauth2-token-env", "VARIABLE"}};

const std::vector<OptionDef> kMailboxOptions = {{"server", "HOST[:PORT]"},
                                                {"port", "PORT"},
                                                {"user", "NAME"},
                                                {"password", "PASSWORD"},
                                                {"password-command", "COMMAND"},
                                                {"apop", ""},
                                                {"tls", "MODE"},
                                                {"ca-file", "FILE"},
                                                {"insecure", ""},
                                                {"auth", "METHOD"},
                                                {"oauth2-token-env", "VARIABLE"}};

struct Command {
    const char* name;
    int (*run)(const ParsedArgs&);
    std::vector<OptionDef> options;
    const char* help;
};

std::vector<OptionDef> Join(std::vector<OptionDef> a, const std::vector<OptionDef>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const char kCommonHelp[] =
    "\n"
    "Common options:\n"
    "  --account NAME      the settings of [account NAME] in the configuration\n"
    "                      file (default: the account named 'default', if any)\n"
    "  --config FILE       the configuration file (default\n"
    "                      $XDG_CONFIG_HOME/vokmail/config, ~/.config/vokmail/config)\n"
    "  --log FILE          write the library's trace of the session (all traffic,\n"
    "                      passwords masked) to FILE; '-' is stderr\n"
    "  -v, --verbose       the protocol dialogue on stderr, passwords masked (to\n"
    "                      the --log FILE instead when one is given)\n"
    "  --timeout SECONDS   give up after this long in all (default 300)\n"
    "  --progress          progress and per-message lines on stderr even when it\n"
    "                      is no terminal (by default only on a terminal)\n"
    "  -q, --quiet         print nothing but errors\n"
    "  -h, --help          this help\n";

const char kExitHelp[] =
    "\n"
    "Exit status (sysexits.h): 0 done; 64 wrong command line; 65 message or\n"
    "recipient refused, bad data; 66 input file missing; 67 address unknown to\n"
    "the server (verify); 68 server name unknown; 69 service unavailable\n"
    "(connection refused, TLS not offered); 70 internal error; 73 cannot create\n"
    "an output file; 75 temporary failure (timeout, 4xx reply): try again later;\n"
    "77 permission denied (login or certificate refused); 78 configuration error.\n";

const char kSecurityHelp[] =
    "\n"
    "Security:\n"
    "  --tls MODE            auto (default): implicit TLS on ports 465 and 995,\n"
    "                        STARTTLS (STLS) required on any other port, except\n"
    "                        that a loopback server without it is used in clear;\n"
    "                        starttls, implicit, or none (warns: all in clear)\n"
    "  --ca-file FILE        trust the CA certificates of this PEM file instead of\n"
    "                        the system's\n"
    "  --insecure            do not check the server's certificate (warns)\n"
    "  --auth METHOD         plain, login, cram-md5 or xoauth2 instead of the\n"
    "                        server's choice (POP3: login is USER/PASS, cram-md5\n"
    "                        is APOP)\n"
    "  --oauth2-token-env VARIABLE\n"
    "                        the OAuth2 bearer token for --auth xoauth2 is in this\n"
    "                        environment variable (implies --auth xoauth2)\n";

const char kPasswordHelp[] =
    "\n"
    "The password comes from --password (visible to other users in the process\n"
    "list), else from --password-command COMMAND (run by the shell; its first\n"
    "output line), else from the environment variable VOKMAIL_PASSWORD, else from\n"
    "the account's password or password_command, else from ~/.netrc, else from a\n"
    "prompt that does not echo.\n";

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"send", RunSend,
         Join({{"server", "HOST[:PORT]"},
               {"port", "PORT"},
               {"from", "ADDRESS"},
               {"reply-to", "ADDRESS"},
               {"to", "ADDRESS", true},
               {"cc", "ADDRESS", true},
               {"bcc", "ADDRESS", true},
               {"subject", "TEXT"},
               {"body", "TEXT|@FILE|-"},
               {"body-file", "FILE|-"},
               {"html", "FILE"},
               {"alt-text", "TEXT|@FILE"},
               {"attach", "PATH[|NAME]", true},
               {"inline", "IMAGE[|NAME]", true},
               {"header", "NAME: VALUE", true},
               {"priority", "LEVEL"},
               {"envelope-from", "ADDRESS"},
               {"helo", "NAME"},
               {"raw", "FILE|-"},
               {"read-recipients", "", false, 't'},
               {"dry-run", ""},
               {"user", "NAME"},
               {"password", "PASSWORD"},
               {"password-command", "COMMAND"},
               {"esmtp", ""},
               {"no-esmtp", ""}},
              Join(kSecurityOptions, kSessionOptions)),
         "Usage: vokmail send --server HOST --from ADDRESS --to ADDRESS [options]\n"
         "\n"
         "Sends one message over SMTP.\n"
         "\n"
         "  --server HOST[:PORT]  the SMTP server ([IPv6]:PORT for an IPv6 address)\n"
         "  --port PORT           its port (default 25; 465 with --tls implicit)\n"
         "  --from ADDRESS        the sender, as a@b.c or \"Name <a@b.c>\"\n"
         "  --reply-to ADDRESS    a Reply-To address\n"
         "  --to, --cc, --bcc ADDRESS\n"
         "                        recipients; repeat the option or give a comma list\n"
         "  --subject TEXT        the subject line\n"
         "  --body TEXT|@FILE|-   a plain-text body, given here, read from FILE or from\n"
         "                        standard input (-); sent quoted-printable, so that\n"
         "                        no long line is ever broken\n"
         "  --body-file FILE|-    the plain-text body read from FILE (- stdin)\n"
         "  --html FILE           an HTML body read from FILE\n"
         "  --alt-text TEXT|@FILE the plain-text alternative sent with --html\n"
         "  --attach PATH[|NAME]  attach a file, shown as NAME when given; repeatable\n"
         "                        (its type from the extension; .gif, .jpg, .bmp and\n"
         "                        .tif go inline with a Content-ID)\n"
         "  --inline IMAGE[|NAME] with --html: an image the HTML shows as\n"
         "                        cid:message-root.1, .2, ... in the order given (.gif,\n"
         "                        .jpg, .bmp, .tif); repeatable\n"
         "  --header 'NAME: VALUE'\n"
         "                        one more header line; repeatable\n"
         "  --priority LEVEL      high, normal or low (X-Priority and Importance)\n"
         "  --envelope-from ADDRESS\n"
         "                        the envelope sender (MAIL FROM, where bounces go)\n"
         "                        when it is not the From address\n"
         "  --helo NAME           the name to greet the server with (default: the\n"
         "                        domain of the sender)\n"
         "  --raw FILE|-          send a prepared plain-text message: its header lines\n"
         "                        are kept (Bcc dropped), its body re-encoded (the\n"
         "                        library has no verbatim path)\n"
         "  -t, --read-recipients with --raw: the recipients are those of its To, Cc\n"
         "                        and Bcc lines (Bcc is not sent), plus any --to\n"
         "  --dry-run             print the message instead of sending it (attachments\n"
         "                        listed) on stdout and its envelope on stderr; no\n"
         "                        connection is made\n"
         "  --user NAME           log in (AUTH CRAM-MD5, LOGIN or PLAIN, as the server\n"
         "                        offers, or as --auth says)\n"
         "  --password PASSWORD   the password for --user\n"
         "  --password-command COMMAND\n"
         "                        run COMMAND to get the password for --user\n"
         "  --esmtp, --no-esmtp   greet with EHLO or with HELO (default EHLO; STARTTLS\n"
         "                        greets with EHLO in any case). Without --user no\n"
         "                        AUTH is tried.\n"
         "\n"
         "With --to, --cc and --bcc all empty but Bcc given, the message goes out\n"
         "with 'To: undisclosed-recipients:;'.\n"},
        {"list", RunList, Join(Join(kMailboxOptions, {{"json", ""}}), kSessionOptions),
         "Usage: vokmail list --server HOST --user NAME [options]\n"
         "\n"
         "Lists the messages of a POP3 mailbox: number, size, unique id, sender,\n"
         "date and subject (read with TOP n 0).\n"
         "\n"
         "  --json                one JSON object per message and line: number, size,\n"
         "                        uid, from, date, subject\n"},
        {"top", RunTop,
         Join(Join(kMailboxOptions, {{"lines", "N"}, {"max-bytes", "N"}}), kSessionOptions),
         "Usage: vokmail top N --server HOST --user NAME [options]\n"
         "\n"
         "Prints the header of message N, and its first body lines with --lines.\n"
         "\n"
         "  --lines N             body lines to print as well (default 0)\n"
         "  --max-bytes N         print at most N bytes (default 262144)\n"},
        {"fetch", RunFetch,
         Join(Join(kMailboxOptions, {{"dir", "DIRECTORY"},
                                     {"attach-dir", "DIRECTORY"},
                                     {"maildir", "DIRECTORY"},
                                     {"name", "FILE"},
                                     {"new", ""},
                                     {"uid", "UID", true},
                                     {"json", ""},
                                     {"delete", ""}}),
              kSessionOptions),
         "Usage: vokmail fetch [N|all] [--new] [--uid UID] --server HOST --user NAME\n"
         "                     (--dir DIRECTORY | --maildir DIRECTORY) [options]\n"
         "\n"
         "Downloads message N, every message (all), the messages not fetched before\n"
         "(--new) or those with the unique ids given (--uid): into DIRECTORY as\n"
         "readable text (message-N.txt) with each attachment as a file of its own,\n"
         "or as it came into a Maildir.\n"
         "\n"
         "  --dir DIRECTORY       where the readable text goes (made when missing)\n"
         "  --attach-dir DIRECTORY\n"
         "                        where the attachments go (default: --dir; with\n"
         "                        --maildir: decoded attachments only when given)\n"
         "  --maildir DIRECTORY   deliver the message as received into this Maildir\n"
         "                        (tmp, then new; made when missing)\n"
         "  --name FILE           the message's file name (default message-N.txt)\n"
         "  --new                 only messages whose unique ids were not fetched\n"
         "                        before for this account and mailbox (kept in\n"
         "                        $XDG_STATE_HOME/vokmail)\n"
         "  --uid UID             the message with this unique id; repeatable\n"
         "  --delete              delete each message from the server once it and its\n"
         "                        attachments are safely on disk\n"
         "  --json                one JSON object per message and line on stdout\n"},
        {"delete", RunDelete, Join(Join(kMailboxOptions, {{"uid", "UID", true}}), kSessionOptions),
         "Usage: vokmail delete N... | --uid UID... --server HOST --user NAME [options]\n"
         "\n"
         "Deletes messages from a POP3 mailbox without downloading them.\n"
         "\n"
         "  --uid UID             the message with this unique id; repeatable\n"},
        {"verify", RunVerify,
         Join({{"server", "HOST[:PORT]"},
               {"port", "PORT"},
               {"from", "ADDRESS"},
               {"helo", "NAME"},
               {"user", "NAME"},
               {"password", "PASSWORD"},
               {"password-command", "COMMAND"}},
              Join(kSecurityOptions, kSessionOptions)),
         "Usage: vokmail verify ADDRESS... [--server HOST [--from ADDRESS] [--user NAME]]\n"
         "\n"
         "Without --server, checks the form of each address offline (exit status 65\n"
         "when one is malformed). With --server, asks the SMTP server about each one\n"
         "(VRFY): 250 and 251 say deliverable; 252 says the server cannot verify\n"
         "but will accept the message (not a failure); 550, 551 and 553 say unknown\n"
         "(exit status 67).\n"
         "\n"
         "  --server HOST[:PORT]  the SMTP server to ask\n"
         "  --port PORT           its port (default 25)\n"
         "  --from ADDRESS        the sender named in the greeting (default\n"
         "                        vokmail@localhost)\n"
         "  --helo NAME           the name to greet the server with\n"
         "  --user NAME           log in first (for servers that want it)\n"
         "  --password PASSWORD   the password for --user\n"},
    };
    return commands;
}

void PrintUsage(FILE* out) {
    std::fputs(
        "Usage: vokmail COMMAND [options]\n"
        "\n"
        "Commands:\n"
        "  send      send a message over SMTP (HTML, alternative text, attachments)\n"
        "  list      list a POP3 mailbox: number, size, unique id\n"
        "  top N     print the header of message N\n"
        "  fetch N   download messages with their attachments, or into a Maildir\n"
        "  delete N  delete messages without downloading them\n"
        "  verify    check addresses offline, or with the server's VRFY\n"
        "  sendmail  read a message on stdin and send it (-t -i -f FROM)\n"
        "\n"
        "  vokmail COMMAND --help   options of a command\n"
        "  vokmail --version        the library's version\n",
        out);
    std::fputs(kExitHelp, out);
}

const Command* FindCommand(const std::string& name) {
    for (const Command& command : Commands())
        if (name == command.name) return &command;
    return nullptr;
}

void PrintCommandHelp(const Command& command) {
    std::fputs(command.help, stdout);
    bool mailbox = std::string(command.name) != "send" && std::string(command.name) != "verify";
    if (mailbox) {
        std::fputs(
            "\n"
            "  --server HOST[:PORT]  the POP3 server ([IPv6]:PORT for an IPv6 address)\n"
            "  --port PORT           its port (default 110; 995 with --tls implicit)\n"
            "  --user NAME           the mailbox\n"
            "  --password PASSWORD   its password\n"
            "  --password-command COMMAND\n"
            "                        run COMMAND to get the password\n"
            "  --apop                log in with APOP instead of USER and PASS\n",
            stdout);
    }
    std::fputs(kSecurityHelp, stdout);
    std::fputs(kCommonHelp, stdout);
    std::fputs(kPasswordHelp, stdout);
    std::fputs(kExitHelp, stdout);
}

int RunSendmail(const std::vector<std::string>& args);

const char kSendmailHelp[] =
    "Usage: vokmail sendmail [-t] [-i] [-f FROM] [RECIPIENT...] < MESSAGE\n"
    "       sendmail ...   (through a link of that name)\n"
    "\n"
    "Reads a prepared plain-text message on stdin and sends it as\n"
    "'vokmail send --raw -' does, with the default account's server.\n"
    "\n"
    "  -t                    the recipients are those of the message's To, Cc\n"
    "                        and Bcc lines (Bcc is not sent), besides any given\n"
    "  -i, -oi               accepted: a lone '.' never ends the message\n"
    "  -f FROM, -r FROM      the envelope sender\n"
    "  -F NAME, -o..., -B... accepted and ignored\n"
    "  --OPTION ...          any option of 'vokmail send' (--account, -v, ...)\n";

int PrintVersion() {
    if (vokAttach(1) != 1) {
        std::fprintf(stderr, "vokmail: cannot start the mail library\n");
        return kExitSoftware;
    }
    int version = vokStatistics(kChannel, VOK_STAT_VERSION);
    int build = vokStatistics(kChannel, VOK_STAT_BUILD);
    vokRelease();
    std::printf("vokmail %d.%d.%d build %d\n", (version >> 8) & 0xf, (version >> 4) & 0xf,
                version & 0xf, build);
    return kExitOk;
}

int RunParsed(const Command& command, ParsedArgs& parsed) {
    Out().quiet = parsed.Has("quiet");
    Out().progress = parsed.Has("progress");
    Out().verbose = parsed.Has("verbose");
    Out().json = parsed.Has("json");
    // verify checks offline unless told of a server: the default account
    // does not send it online.
    if (std::string(command.name) != "verify" || parsed.Has("account"))
        ApplyAccount(parsed, command.options);
    return command.run(parsed);
}

int Main(const std::vector<std::string>& args) {
    if (args.empty()) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        if (first == "help" && args.size() > 1) {
            if (const Command* command = FindCommand(args[1])) {
                PrintCommandHelp(*command);
                return kExitOk;
            }
        }
        PrintUsage(stdout);
        return kExitOk;
    }
    if (first == "--version" || first == "-V") return PrintVersion();
    if (first == "sendmail") return RunSendmail({args.begin() + 1, args.end()});
    const Command* command = FindCommand(first);
    if (!command) {
        std::fprintf(stderr, "vokmail: unknown command '%s'\n", first.c_str());
        PrintUsage(stderr);
        return kExitUsage;
    }
    try {
        ParsedArgs parsed = ParseArgs({args.begin() + 1, args.end()}, command->options);
        if (parsed.Has("help")) {
            PrintCommandHelp(*command);
            return kExitOk;
        }
        return RunParsed(*command, parsed);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "vokmail: %s\nTry 'vokmail %s --help'.\n", e.what(), command->name);
        return kExitUsage;
    } catch (const Failure& e) {
        std::fprintf(stderr, "vokmail: %s\n", e.what());
        return e.exitStatus;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vokmail: %s\n", e.what());
        return kExitSoftware;
    }
}

// The command line of the classic mail submission program, as cron, scripts
// and other mail programs call it: the message on stdin, recipients as
// arguments or (-t) from its header. -i and -oi (a lone '.' does not end the
// message) are what vokmail does anyway; -F NAME, -o... and -B... are taken
// and ignored.
int RunSendmail(const std::vector<std::string>& args) {
    std::vector<std::string> translated = {"--raw", "-"};
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](const std::string& option) {
            if (arg.size() > 2) return arg.substr(2);
            if (i + 1 >= args.size()) throw UsageError("option '" + option + "' needs a value");
            return args[++i];
        };
        if (optionsEnded || arg.empty() || arg[0] != '-') {
            translated.push_back("--to");
            translated.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-t") {
            translated.push_back("-t");
        } else if (arg == "-i" || arg == "-oi" || arg == "-odi" || arg == "-odb" || arg == "-oem" ||
                   arg == "-om") {
        } else if (arg.compare(0, 2, "-f") == 0 || arg.compare(0, 2, "-r") == 0) {
            translated.push_back("--envelope-from");
            translated.push_back(value("-f"));
        } else if (arg.compare(0, 2, "-F") == 0) {
            value("-F");
        } else if (arg.compare(0, 2, "-B") == 0 || arg.compare(0, 2, "-o") == 0) {
            if (arg.size() == 2) value(arg);
        } else if (arg == "-v") {
            translated.push_back("-v");
        } else {
            // Anything else is passed on: vokmail's own options, with the
            // value of one that takes a value.
            translated.push_back(arg);
            for (const OptionDef& def : FindCommand("send")->options)
                if (arg == "--" + def.name && !def.metavar.empty() && i + 1 < args.size())
                    translated.push_back(args[++i]);
        }
    }
    const Command* send = FindCommand("send");
    try {
        ParsedArgs parsed = ParseArgs(translated, send->options);
        if (parsed.Has("help")) {
            std::fputs(kSendmailHelp, stdout);
            std::fputs(kExitHelp, stdout);
            return kExitOk;
        }
        return RunParsed(*send, parsed);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "sendmail: %s\n", e.what());
        return kExitUsage;
    } catch (const Failure& e) {
        std::fprintf(stderr, "sendmail: %s\n", e.what());
        return e.exitStatus;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sendmail: %s\n", e.what());
        return kExitSoftware;
    }
}

}  // namespace

}  // namespace vokmail

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // A password on the command line shows in the process list: blank it
    // there at once (--password-command and VOKMAIL_PASSWORD avoid even the
    // moment before).
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        char* secret = nullptr;
        if (arg == "--password" && i + 1 < argc) secret = argv[i + 1];
        if (arg.compare(0, 11, "--password=") == 0) secret = argv[i] + 11;
        for (; secret && *secret; ++secret) *secret = '*';
    }
    // Called through a link named sendmail: the classic command line.
    std::string self = argc > 0 && argv[0] ? argv[0] : "";
    size_t slash = self.find_last_of("/\\");
    std::string base = slash == std::string::npos ? self : self.substr(slash + 1);
    if (base == "sendmail" || base == "sendmail.exe") return vokmail::RunSendmail(args);
    return vokmail::Main(args);
}
