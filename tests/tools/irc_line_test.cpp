// Lines from an IRC server are untrusted: each is read whole or refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "irc/irc_line.h"

namespace morvane::irc {
namespace {

struct ParseCase {
  std::string line;
  bool valid;
  std::string prefix;
  std::string command;
  std::vector<std::string> params;
};

TEST(IrcLine, ReadsPrefixCommandAndParameters) {
  const ParseCase cases[] = {
      {"PING :irc.test", true, "", "PING", {"irc.test"}},
      {":alice!~a@10.0.0.5 PRIVMSG #main :!gs hl 1.2.3.4",
       true,
       "alice!~a@10.0.0.5",
       "PRIVMSG",
       {"#main", "!gs hl 1.2.3.4"}},
      // The trailing parameter keeps its blanks and colons, and may be empty.
      {":s 001 bot :Welcome :) to  it ", true, "s", "001", {"bot", "Welcome :) to  it "}},
      {":s 353 bot = #main :", true, "s", "353", {"bot", "=", "#main", ""}},
      // Several blanks between words count as one; tags are dropped.
      {"@time=x;id=1 :n!u@h  JOIN   #main", true, "n!u@h", "JOIN", {"#main"}},
      {"ERROR", true, "", "ERROR", {}},
      // Malformed: no command, an empty prefix, a command that is neither
      // letters nor three digits, bytes that cannot be in a line.
      {"", false, "", "", {}},
      {":only.prefix", false, "", "", {}},
      {": PRIVMSG #a :x", false, "", "", {}},
      {"PRIV-MSG #a :x", false, "", "", {}},
      {"0001 x", false, "", "", {}},
      {std::string("PRIVMSG #a :x\0y", 15), false, "", "", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    auto message = ParseIrcLine(c.line);
    ASSERT_EQ(message.has_value(), c.valid);
    if (!message) continue;
    EXPECT_EQ(message->prefix, c.prefix);
    EXPECT_EQ(message->command, c.command);
    EXPECT_EQ(message->params, c.params);
  }
}

TEST(IrcLine, ReadsTags) {
  auto message = ParseIrcLine(
      "@account=bo\\\\ss;+draft/x;time=2026-01-01T00:00:00Z;e=a\\:b\\sc\\;time=late :n!u@h PRIVMSG "
      "#a :x");
  ASSERT_TRUE(message);
  EXPECT_EQ(IrcTag(*message, "account"), "bo\\ss");
  EXPECT_EQ(IrcTag(*message, "+draft/x"), "");
  EXPECT_EQ(IrcTag(*message, "e"), "a;b c");  // a lone backslash at the end is dropped
  EXPECT_EQ(IrcTag(*message, "time"), "late");
  EXPECT_EQ(IrcTag(*message, "missing"), std::nullopt);
  EXPECT_EQ(message->params, (std::vector<std::string>{"#a", "x"}));
}

TEST(IrcLine, SplitsPrefixes) {
  struct Case {
    const char* prefix;
    const char* nick;
    const char* user;
    const char* host;
  } cases[] = {
      {"alice!~alice@127.0.0.1", "alice", "~alice", "127.0.0.1"},
      {"irc.example.net", "irc.example.net", "", ""},
      {"bob@host", "bob", "", "host"},
      {"d!u@h@x", "d", "u", "h@x"},
  };
  for (const auto& c : cases) {
    Prefix p = SplitPrefix(c.prefix);
    EXPECT_EQ(p.nick, c.nick) << c.prefix;
    EXPECT_EQ(p.user, c.user) << c.prefix;
    EXPECT_EQ(p.host, c.host) << c.prefix;
  }
}

TEST(IrcLine, RefusesTargetsThatWouldInjectParameters) {
  for (const char* good : {"#main", "alice", "#игры"}) EXPECT_TRUE(IsMiddleParam(good)) << good;
  for (const char* bad : {"", ":x", "#a b", "#a\r\nQUIT", "a\nb"}) {
    EXPECT_FALSE(IsMiddleParam(bad)) << bad;
  }
  EXPECT_FALSE(IsMiddleParam(std::string("a\0b", 3)));
}

TEST(IrcLine, ComparesNamesWithTheServersCaseMapping) {
  EXPECT_TRUE(IrcEqual("#Main", "#main"));
  EXPECT_TRUE(IrcEqual("Nick[a]\\~", "nick{A}|^"));
  EXPECT_FALSE(IrcEqual("#main", "#mai"));
  EXPECT_FALSE(IrcEqual("#ИГРЫ", "#игры"));  // only ASCII folds
}

}  // namespace
}  // namespace morvane::irc
