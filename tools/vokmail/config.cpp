// SPDX-License-Identifier: MIT
// vokmail's accounts: the INI-style configuration file with its
// [account NAME] sections, and ~/.netrc for passwords.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "cli.h"

namespace vokmail {

namespace {

namespace fs = std::filesystem;

Account& Current() {
    static Account account;
    return account;
}

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string HomeDirectory() {
    std::string home = Env("HOME");
#ifdef _WIN32
    if (home.empty()) home = Env("USERPROFILE");
#endif
    return home;
}

std::string DefaultConfigPath() {
    std::string base = Env("XDG_CONFIG_HOME");
#ifdef _WIN32
    if (base.empty()) base = Env("APPDATA");
#endif
    if (base.empty()) {
        std::string home = HomeDirectory();
        if (home.empty()) return "";
        base = home + "/.config";
    }
    return base + "/vokmail/config";
}

// Every [account NAME] section of the file: name -> key -> value.
std::map<std::string, std::map<std::string, std::string>> ParseConfig(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Failure("cannot read the configuration file '" + path + "'", kExitNoInput);
    static const std::set<std::string> kKeys = {"server", "port", "tls",      "ca_file",
                                                "user",   "auth", "password", "password_command",
                                                "from",   "helo"};
    std::map<std::string, std::map<std::string, std::string>> sections;
    std::string line;
    std::string section;
    bool inAccount = false;
    int number = 0;
    auto fail = [&](const std::string& why) {
        throw Failure(path + ":" + std::to_string(number) + ": " + why, kExitConfig);
    };
    while (std::getline(in, line)) {
        ++number;
        line = Trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.back() != ']') fail("a section header ends with ']'");
            std::string inside = Trim(line.substr(1, line.size() - 2));
            inAccount = inside.compare(0, 8, "account ") == 0;
            if (!inAccount) fail("only [account NAME] sections are known");
            section = Trim(inside.substr(8));
            if (section.empty()) fail("the account has no name");
            sections[section];
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos) fail("expected 'key = value'");
        if (!inAccount) fail("a setting outside an [account NAME] section");
        std::string key = Trim(line.substr(0, eq));
        std::string value = Trim(line.substr(eq + 1));
        if (!kKeys.count(key)) fail("unknown key '" + key + "'");
        sections[section][key] = value;
    }
    return sections;
}

// Which option of the command line each key fills.
const std::map<std::string, std::string>& KeyOptions() {
    static const std::map<std::string, std::string> map = {
        {"server", "server"}, {"port", "port"}, {"tls", "tls"},  {"ca_file", "ca-file"},
        {"user", "user"},     {"auth", "auth"}, {"helo", "helo"}};
    return map;
}

}  // namespace

void ApplyAccount(ParsedArgs& args, const std::vector<OptionDef>& defs) {
    Account& account = Current();
    std::string path = args.Get("config");
    bool explicitFile = args.Has("config");
    if (!explicitFile) {
        path = DefaultConfigPath();
        std::error_code ec;
        if (path.empty() || !fs::exists(path, ec)) {
            if (args.Has("account"))
                throw Failure("--account: there is no configuration file" +
                                  (path.empty() ? std::string() : " '" + path + "'"),
                              kExitConfig);
            return;
        }
    }
    auto sections = ParseConfig(path);
    std::string name = args.Get("account", "default");
    auto it = sections.find(name);
    if (it == sections.end()) {
        if (args.Has("account"))
            throw Failure("no [account " + name + "] in '" + path + "'", kExitConfig);
        return;
    }
    // A password that others may read is no secret.
    if (it->second.count("password") && OpenToOthers(path))
        throw Failure("'" + path +
                          "' holds a password and may be read by others; "
                          "chmod 600 it or use password_command",
                      kExitConfig);
    account.name = name;
    account.file = path;
    account.values = it->second;
    // The account's port belongs to its server, not to one the command
    // line names.
    const bool otherServer = args.Has("server");
    for (const auto& [key, option] : KeyOptions()) {
        auto value = account.values.find(key);
        if (value == account.values.end() || (key == "port" && otherServer)) continue;
        for (const OptionDef& def : defs)
            if (def.name == option) args.SetDefault(option, value->second);
    }
}

std::string AccountName() {
    return Current().name;
}

std::string AccountValue(const std::string& key) {
    auto it = Current().values.find(key);
    return it == Current().values.end() ? "" : it->second;
}

std::string PasswordFromAccount() {
    const auto& values = Current().values;
    if (auto it = values.find("password"); it != values.end()) return it->second;
    if (auto it = values.find("password_command"); it != values.end())
        return RunPasswordCommand(it->second);
    return "";
}

std::string PasswordFromNetrc(const std::string& host, const std::string& user) {
    std::string path = Env("NETRC");
    if (path.empty()) {
        std::string home = HomeDirectory();
        if (home.empty()) return "";
        path = home + "/.netrc";
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return "";
    std::ostringstream all;
    all << in.rdbuf();
    std::istringstream words(all.str());
    std::vector<std::string> tokens;
    for (std::string word; words >> word;) tokens.push_back(word);
    // "machine HOST login USER password PW", or "default ..." for any host.
    std::string password;
    bool matched = false;
    bool loginMatches = true;
    auto finish = [&] { return matched && loginMatches && !password.empty(); };
    for (size_t i = 0; i < tokens.size(); ++i) {
        const std::string& t = tokens[i];
        if (t == "machine" || t == "default") {
            if (finish()) break;
            matched = t == "default" || (i + 1 < tokens.size() && tokens[i + 1] == host);
            loginMatches = true;
            password.clear();
            if (t == "machine") ++i;
        } else if (t == "login" && i + 1 < tokens.size()) {
            loginMatches = tokens[++i] == user;
        } else if (t == "password" && i + 1 < tokens.size()) {
            password = tokens[++i];
        } else if (t == "macdef") {
            break;  // macros are of no use here, and run to the file's end
        }
    }
    if (!finish()) return "";
    if (OpenToOthers(path))
        throw Failure("'" + path + "' may be read by others; chmod 600 it", kExitConfig);
    return password;
}

std::string GetPassword(const ParsedArgs& args, const std::string& user, const std::string& host) {
    if (args.Has("password")) return args.Get("password");
    if (args.Has("password-command")) return RunPasswordCommand(args.Get("password-command"));
    if (const char* env = std::getenv("VOKMAIL_PASSWORD"); env && *env) return env;
    const auto& values = Current().values;
    if (values.count("password") || values.count("password_command")) return PasswordFromAccount();
    std::string fromNetrc = PasswordFromNetrc(host, user);
    if (!fromNetrc.empty()) return fromNetrc;
    std::string secret;
    if (StdinIsTerminal() && ReadSecret("Password for " + user + " at " + host + ": ", &secret))
        return secret;
    throw UsageError("no password for " + user + " at " + host +
                     ": set VOKMAIL_PASSWORD, give --password-command, add it to the account, or "
                     "run from a terminal");
}

std::string StateDirectory() {
    std::string base = Env("XDG_STATE_HOME");
#ifdef _WIN32
    if (base.empty()) base = Env("LOCALAPPDATA");
#endif
    if (base.empty()) {
        std::string home = HomeDirectory();
        if (home.empty()) throw Failure("no HOME for the state of fetch --new", kExitCantCreate);
        base = home + "/.local/state";
    }
    return base + "/vokmail";
}

}  // namespace vokmail
