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

const std::vector<OptionSpec> kSessionOptions = {
    {"log", "FILE"}, {"timeout", "SECONDS"}, {"quiet", ""}, {"help", ""}};

const std::vector<OptionSpec> kSecurityOptions = {{"tls", "MODE"},
                                                  {"ca-file", "FILE"},
                                                  {"insecure", ""},
                                                  {"auth", "METHOD"},
                                                  {"oauth2-token-env", "VARIABLE"}};

const std::vector<OptionSpec> kMailboxOptions = {{"server", "HOST[:PORT]"},
                                                 {"port", "PORT"},
                                                 {"user", "NAME"},
                                                 {"password", "PASSWORD"},
                                                 {"apop", ""},
                                                 {"tls", "MODE"},
                                                 {"ca-file", "FILE"},
                                                 {"insecure", ""},
                                                 {"auth", "METHOD"},
                                                 {"oauth2-token-env", "VARIABLE"}};

struct Command {
    const char* name;
    int (*run)(const ParsedArgs&);
    std::vector<OptionSpec> options;
    const char* help;
};

std::vector<OptionSpec> Join(std::vector<OptionSpec> a, const std::vector<OptionSpec>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const char kCommonHelp[] =
    "\n"
    "Common options:\n"
    "  --log FILE          write the library's trace of the session (all traffic,\n"
    "                      passwords masked) to FILE\n"
    "  --timeout SECONDS   give up after this long in all (default 300)\n"
    "  --quiet             no progress display and no summary line\n"
    "  -h, --help          this help\n";

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
    "The password comes from --password, else from the environment variable\n"
    "VOKMAIL_PASSWORD, else from a prompt that does not echo.\n";

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
               {"body", "TEXT|@FILE"},
               {"html", "FILE"},
               {"alt-text", "TEXT|@FILE"},
               {"attach", "PATH[|NAME]", true},
               {"user", "NAME"},
               {"password", "PASSWORD"},
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
         "  --body TEXT|@FILE     a plain-text body, given here or read from FILE\n"
         "  --html FILE           an HTML body read from FILE\n"
         "  --alt-text TEXT|@FILE the plain-text alternative sent with --html\n"
         "  --attach PATH[|NAME]  attach a file, shown as NAME when given; repeatable\n"
         "  --user NAME           log in (AUTH CRAM-MD5, LOGIN or PLAIN, as the server\n"
         "                        offers, or as --auth says)\n"
         "  --password PASSWORD   the password for --user\n"
         "  --esmtp, --no-esmtp   greet with EHLO or with HELO (default EHLO; STARTTLS\n"
         "                        greets with EHLO in any case)\n"},
        {"list", RunList, Join(kMailboxOptions, kSessionOptions),
         "Usage: vokmail list --server HOST --user NAME [options]\n"
         "\n"
         "Lists the messages of a POP3 mailbox: number, size and unique id.\n"},
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
                                     {"name", "FILE"},
                                     {"delete", ""}}),
              kSessionOptions),
         "Usage: vokmail fetch N|all --server HOST --user NAME --dir DIRECTORY [options]\n"
         "\n"
         "Downloads message N (or every message) into DIRECTORY: the readable text as\n"
         "message-N.txt, each attachment as a file of its own.\n"
         "\n"
         "  --dir DIRECTORY       where the message goes (made when missing)\n"
         "  --attach-dir DIRECTORY\n"
         "                        where the attachments go (default: --dir)\n"
         "  --name FILE           the message's file name (default message-N.txt)\n"
         "  --delete              delete each message from the server once saved\n"},
        {"verify", RunVerify,
         Join({{"server", "HOST[:PORT]"},
               {"port", "PORT"},
               {"from", "ADDRESS"},
               {"user", "NAME"},
               {"password", "PASSWORD"}},
              Join(kSecurityOptions, kSessionOptions)),
         "Usage: vokmail verify ADDRESS... [--server HOST [--from ADDRESS] [--user NAME]]\n"
         "\n"
         "Without --server, checks the form of each address offline. With --server,\n"
         "asks the SMTP server about each one (VRFY). Exit status 3 when an address is\n"
         "malformed or unknown.\n"
         "\n"
         "  --server HOST[:PORT]  the SMTP server to ask\n"
         "  --port PORT           its port (default 25)\n"
         "  --from ADDRESS        the sender named in the greeting (default\n"
         "                        vokmail@localhost)\n"
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
        "  fetch N   download message N with its attachments into a directory\n"
        "  verify    check addresses offline, or with the server's VRFY\n"
        "\n"
        "  vokmail COMMAND --help   options of a command\n"
        "  vokmail --version        the library's version\n"
        "\n"
        "Exit status: 0 done, 1 failed, 2 wrong command line, 3 address rejected.\n",
        out);
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
            "  --apop                log in with APOP instead of USER and PASS\n",
            stdout);
    }
    std::fputs(kSecurityHelp, stdout);
    std::fputs(kCommonHelp, stdout);
    if (mailbox || std::string(command.name) == "send") std::fputs(kPasswordHelp, stdout);
}

int PrintVersion() {
    if (vokAttach(1) != 1) {
        std::fprintf(stderr, "vokmail: cannot start the mail library\n");
        return kExitFailure;
    }
    int version = vokStatistics(kChannel, VOK_STAT_VERSION);
    int build = vokStatistics(kChannel, VOK_STAT_BUILD);
    vokRelease();
    std::printf("vokmail %d.%d.%d build %d\n", (version >> 8) & 0xf, (version >> 4) & 0xf,
                version & 0xf, build);
    return kExitOk;
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
        return command->run(parsed);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "vokmail: %s\nTry 'vokmail %s --help'.\n", e.what(), command->name);
        return kExitUsage;
    } catch (const Failure& e) {
        std::fprintf(stderr, "vokmail: %s\n", e.what());
        return kExitFailure;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vokmail: %s\n", e.what());
        return kExitFailure;
    }
}

}  // namespace

}  // namespace vokmail

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return vokmail::Main(args);
}
