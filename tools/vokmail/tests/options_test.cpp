// SPDX-License-Identifier: MIT
// The command-line parser and the address lists of vokmail.
#include <gtest/gtest.h>

#include "cli.h"

namespace vokmail {
namespace {

const std::vector<OptionDef> kDefs = {{"server", "HOST"},
                                      {"port", "PORT"},
                                      {"to", "ADDRESS", true},
                                      {"delete", ""},
                                      {"help", ""},
                                      {"verbose", "", false, 'v'},
                                      {"from", "ADDRESS", false, 'f'}};

TEST(ParseArgs, ValuesFlagsAndPositionals) {
    ParsedArgs a =
        ParseArgs({"3", "--server", "mail", "--to=a@b", "--delete", "--to", "c@d", "x"}, kDefs);
    EXPECT_EQ(a.Get("server"), "mail");
    EXPECT_EQ(a.All("to"), (std::vector<std::string>{"a@b", "c@d"}));
    EXPECT_TRUE(a.Has("delete"));
    EXPECT_FALSE(a.Has("port"));
    EXPECT_EQ(a.Get("port", "110"), "110");
    EXPECT_EQ(a.positional, (std::vector<std::string>{"3", "x"}));
}

TEST(ParseArgs, DoubleDashEndsOptionsAndDashHIsHelp) {
    ParsedArgs a = ParseArgs({"-h", "--", "--server", "-1"}, kDefs);
    EXPECT_TRUE(a.Has("help"));
    EXPECT_FALSE(a.Has("server"));
    EXPECT_EQ(a.positional, (std::vector<std::string>{"--server", "-1"}));
    // A negative number stays an argument, for the command to refuse.
    EXPECT_EQ(ParseArgs({"-5"}, kDefs).positional, (std::vector<std::string>{"-5"}));
    // An empty value given with '=' is a value.
    EXPECT_TRUE(ParseArgs({"--server="}, kDefs).Has("server"));
    EXPECT_EQ(ParseArgs({"--server="}, kDefs).Get("server", "unset"), "");
}

TEST(ParseArgs, RefusesWhatItCannotRead) {
    EXPECT_THROW(ParseArgs({"--nope"}, kDefs), UsageError);
    EXPECT_THROW(ParseArgs({"-x"}, kDefs), UsageError);
    EXPECT_THROW(ParseArgs({"--server"}, kDefs), UsageError);      // value missing
    EXPECT_THROW(ParseArgs({"--delete=yes"}, kDefs), UsageError);  // flag with a value
    EXPECT_THROW(ParseArgs({"--port", "1", "--port", "2"}, kDefs), UsageError);
    EXPECT_NO_THROW(ParseArgs({"--delete", "--delete"}, kDefs));
    EXPECT_THROW(ParseArgs({"-f"}, kDefs), UsageError);  // short option, value missing
}

TEST(ParseArgs, ShortNames) {
    ParsedArgs a = ParseArgs({"-v", "-f", "a@b", "x"}, kDefs);
    EXPECT_TRUE(a.Has("verbose"));
    EXPECT_EQ(a.Get("from"), "a@b");
    EXPECT_EQ(a.positional, (std::vector<std::string>{"x"}));
}

TEST(ParseNumber, RangeAndForm) {
    EXPECT_EQ(ParseNumber("25", 1, 65535, "--port"), 25);
    EXPECT_THROW(ParseNumber("0", 1, 65535, "--port"), UsageError);
    EXPECT_THROW(ParseNumber("65536", 1, 65535, "--port"), UsageError);
    EXPECT_THROW(ParseNumber("25x", 1, 65535, "--port"), UsageError);
    EXPECT_THROW(ParseNumber("", 1, 65535, "--port"), UsageError);
    EXPECT_THROW(ParseNumber("99999999999999999999", 1, 65535, "--port"), UsageError);
}

TEST(ParseServer, HostPortForms) {
    std::vector<OptionDef> defs = {{"server", "HOST"}, {"port", "PORT"}};
    ServerAddress s = ParseServer(ParseArgs({"--server", "mail.example.com"}, defs));
    EXPECT_EQ(s.host, "mail.example.com");
    EXPECT_EQ(s.port, 0);
    s = ParseServer(ParseArgs({"--server", "127.0.0.1:2525"}, defs));
    EXPECT_EQ(s.host, "127.0.0.1");
    EXPECT_EQ(s.port, 2525);
    s = ParseServer(ParseArgs({"--server", "127.0.0.1:2525", "--port", "26"}, defs));
    EXPECT_EQ(s.port, 26);
    EXPECT_THROW(ParseServer(ParseArgs({}, defs)), UsageError);
    EXPECT_THROW(ParseServer(ParseArgs({"--server", ":25"}, defs)), UsageError);
    EXPECT_THROW(ParseServer(ParseArgs({"--server", "h:x"}, defs)), UsageError);
    // IPv6: bracketed with or without a port, or bare without one.
    struct {
        const char* text;
        const char* host;
        int port;
    } const v6[] = {
        {"[::1]:465", "::1", 465}, {"[fe80::1%eth0]", "fe80::1%eth0", 0}, {"::1", "::1", 0}};
    for (const auto& c : v6) {
        s = ParseServer(ParseArgs({"--server", c.text}, defs));
        EXPECT_EQ(s.host, c.host) << c.text;
        EXPECT_EQ(s.port, c.port) << c.text;
    }
    for (const char* bad : {"[::1", "[]:25", "[::1]25", "[::1]:x"})
        EXPECT_THROW(ParseServer(ParseArgs({"--server", bad}, defs)), UsageError) << bad;
}

TEST(Addresses, SplitKeepsQuotedAndBracketedCommas) {
    EXPECT_EQ(SplitAddressList(" a@b ,, \"Doe, J\" <j@d>, <x,y@z> , "),
              (std::vector<std::string>{"a@b", "\"Doe, J\" <j@d>", "<x,y@z>"}));
    EXPECT_TRUE(SplitAddressList(" , ").empty());
}

TEST(Addresses, BracketsOnlyBareAddresses) {
    EXPECT_EQ(BracketAddress(" a@b "), "<a@b>");
    EXPECT_EQ(BracketAddress("Bob <b@c>"), "Bob <b@c>");
    EXPECT_EQ(BracketAddress("b@c>"), "b@c>");  // left for the library to refuse
}

TEST(Addresses, ListJoinsRepeatedOptionsForTheLibrary) {
    EXPECT_EQ(AddressList({"a@b, Bob <b@c>", "d@e"}, "to"), "<a@b>,Bob <b@c>,<d@e>");
    EXPECT_EQ(AddressList({}, "cc"), "");
    // The library would cut this item at its comma.
    EXPECT_THROW(AddressList({"\"Doe, J\" <j@d>"}, "to"), UsageError);
    EXPECT_THROW(AddressList({"<>"}, "to"), UsageError);
    EXPECT_THROW(AddressList({"Bob <b@c"}, "to"), UsageError);
}

}  // namespace
}  // namespace vokmail
