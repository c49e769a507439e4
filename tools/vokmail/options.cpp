// SPDX-License-Identifier: MIT
// Command-line parsing and the address lists of vokmail.
#include <cerrno>
#include <cstdlib>

#include "cli.h"

namespace vokmail {

namespace {

const OptionDef* FindOption(const std::vector<OptionDef>& defs, const std::string& name) {
    for (const OptionDef& option : defs)
        if (option.name == name) return &option;
    return nullptr;
}

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

}  // namespace

std::string ParsedArgs::Get(const std::string& name, const std::string& fallback) const {
    auto it = values_.find(name);
    return it == values_.end() || it->second.empty() ? fallback : it->second.back();
}

std::vector<std::string> ParsedArgs::All(const std::string& name) const {
    auto it = values_.find(name);
    return it == values_.end() ? std::vector<std::string>{} : it->second;
}

ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<OptionDef>& defs) {
    ParsedArgs parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h") {
            parsed.values_["help"].push_back("");
            continue;
        }
        const OptionDef* shortOption = nullptr;
        for (const OptionDef& option : defs)
            if (arg.size() == 2 && option.shortName == arg[1]) shortOption = &option;
        if (shortOption) {
            std::string value;
            if (!shortOption->metavar.empty()) {
                if (i + 1 >= args.size())
                    throw UsageError("option '" + arg + "' needs a value (" + shortOption->metavar +
                                     ")");
                value = args[++i];
            }
            parsed.values_[shortOption->name].push_back(value);
            continue;
        }
        if (arg.compare(0, 2, "--") != 0) {
            // A lone negative number is a positional argument ("top -1" is
            // refused later with a clearer message than "unknown option").
            if (arg.find_first_not_of("0123456789", 1) == std::string::npos) {
                parsed.positional.push_back(arg);
                continue;
            }
            throw UsageError("unknown option '" + arg + "'");
        }
        std::string name = arg.substr(2);
        std::string value;
        bool inlineValue = false;
        size_t eq = name.find('=');
        if (eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            inlineValue = true;
        }
        const OptionDef* option = FindOption(defs, name);
        if (!option) throw UsageError("unknown option '--" + name + "'");
        if (option->metavar.empty()) {
            if (inlineValue) throw UsageError("option '--" + name + "' takes no value");
        } else if (!inlineValue) {
            if (i + 1 >= args.size())
                throw UsageError("option '--" + name + "' needs a value (" + option->metavar + ")");
            value = args[++i];
        }
        std::vector<std::string>& slot = parsed.values_[name];
        if (!slot.empty() && !option->repeatable && !option->metavar.empty())
            throw UsageError("option '--" + name + "' given more than once");
        slot.push_back(value);
    }
    return parsed;
}

long ParseNumber(const std::string& text, long low, long high, const std::string& what) {
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || value < low || value > high) {
        throw UsageError(what + " must be a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not '" + text + "'");
    }
    return value;
}

ServerAddress ParseServer(const ParsedArgs& args) {
    ServerAddress server;
    server.host = args.Get("server");
    if (server.host.empty()) throw UsageError("--server HOST is needed");
    std::string port;
    if (server.host[0] == '[') {
        // "[v6address]" or "[v6address]:port".
        size_t close = server.host.find(']');
        if (close == std::string::npos) throw UsageError("--server '[' without its ']'");
        std::string rest = server.host.substr(close + 1);
        if (!rest.empty() && rest[0] != ':')
            throw UsageError("--server: only ':PORT' may follow the ']'");
        if (!rest.empty()) port = rest.substr(1);
        server.host = server.host.substr(1, close - 1);
        if (server.host.empty()) throw UsageError("--server needs an address inside '[]'");
        if (!rest.empty())
            server.port = static_cast<int>(ParseNumber(port, 1, 65535, "the port in --server"));
    } else if (server.host.find(':') == server.host.rfind(':')) {
        // "host" or "host:port"; more than one ':' is an IPv6 address.
        size_t colon = server.host.rfind(':');
        if (colon != std::string::npos) {
            server.port = static_cast<int>(
                ParseNumber(server.host.substr(colon + 1), 1, 65535, "the port in --server"));
            server.host.resize(colon);
            if (server.host.empty()) throw UsageError("--server needs a host name before the ':'");
        }
    }
    if (args.Has("port"))
        server.port = static_cast<int>(ParseNumber(args.Get("port"), 1, 65535, "--port"));
    return server;
}

std::vector<std::string> SplitAddressList(const std::string& text) {
    std::vector<std::string> items;
    std::string current;
    bool quoted = false;
    int brackets = 0;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        if (!quoted && c == '<') ++brackets;
        if (!quoted && c == '>' && brackets > 0) --brackets;
        if (c == ',' && !quoted && brackets == 0) {
            current = Trim(current);
            if (!current.empty()) items.push_back(current);
            current.clear();
            continue;
        }
        current += c;
    }
    current = Trim(current);
    if (!current.empty()) items.push_back(current);
    return items;
}

std::string BracketAddress(const std::string& item) {
    std::string address = Trim(item);
    if (address.find('<') != std::string::npos || address.find('>') != std::string::npos)
        return address;
    return "<" + address + ">";
}

std::string AddressList(const std::vector<std::string>& values, const std::string& option) {
    std::string list;
    for (const std::string& value : values) {
        for (const std::string& item : SplitAddressList(value)) {
            std::string address = BracketAddress(item);
            // The library cuts its lists at every comma, quoted or not.
            if (address.find(',') != std::string::npos)
                throw UsageError("--" + option + " '" + item +
                                 "': a display name may not hold a comma");
            size_t open = address.find('<');
            size_t close = address.find('>', open == std::string::npos ? 0 : open);
            if (open == std::string::npos || close == std::string::npos || close == open + 1)
                throw UsageError("--" + option + " '" + item + "' is not an address");
            if (!list.empty()) list += ',';
            list += address;
        }
    }
    return list;
}

}  // namespace vokmail
