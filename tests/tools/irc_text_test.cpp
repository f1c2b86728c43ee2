// The plug-in's texts as IRC messages, the trigger chat users type, and
// what the bridge answers by itself (CTCP, the usage notice).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "irc/irc_text.h"
#include "irc/manners.h"

namespace morvane::irc {
namespace {

using Lines = std::vector<std::string>;

TEST(IrcText, BreaksLinesConvertsBoldAndSkipsEmptyLines) {
  struct Case {
    std::u16string text;
    Lines want;
  } cases[] = {
      // A channel reply starts with a line break: its empty first line goes.
      {u"\r\n[b]Игроки (2):[/b]\r\n  Ann - 5\r\n  Борис - -2",
       {"\x02Игроки (2):\x02", "  Ann - 5", "  Борис - -2"}},
      {u"a\rb\nc\r\n\r\n\n", {"a", "b", "c"}},
      // Lines that show nothing (blanks and bold toggles only) are skipped.
      {u"x\r\n   \r\n[b][/b]\r\ny", {"x", "y"}},
      {u"", {}},
      // Bold still open at a line's end opens again on the next line.
      {u"[b]one\r\ntwo[/b] three", {"\x02one", "\x02two\x02 three"}},
      // NUL never reaches the wire; other marks stay as written.
      {std::u16string(u"a\0b [B] [b", 10), {"ab [B] [b"}},
      // A lone surrogate is no character: it becomes U+FFFD.
      {std::u16string(1, char16_t(0xD800)) + u"z", {"\xEF\xBF\xBDz"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.text));
    EXPECT_EQ(ToIrcMessages(c.text, 400), c.want);
  }
}

// A server name or a template must not colour, hide or underline what
// follows, nor wrap it in CTCP: only the bridge's own bold goes out.
TEST(IrcText, DropsControlBytesAndFormattingCodes) {
  struct Case {
    std::u16string text;
    std::string want;
  } cases[] = {
      {u"\x01VERSION\x01", "VERSION"},
      {u"\x03"
       u"4red \x03"
       u"04,12on blue\x03 plain",
       "red on blue plain"},
      // Digits beyond two, and a comma no colour follows, are text.
      {u"\x03"
       u"123 \x03"
       u"5,x \x03,7",
       "3 ,x ,7"},
      {u"\x04"
       u"FF00aa,000000x \x04"
       u"12345z \x04"
       u"00FF00,12y",
       "x 12345z ,12y"},
      {u"\x02raw\x02 \x1Fu\x1F \x16r\x1Di\x1Es\x11m\x0Fo", "raw u rismo"},
      {u"tab\there\x07\x1B[31m\x7F", "tabhere[31m\x7F"},
      {u"[b]\x03"
       u"3ok[/b]",
       "\x02ok\x02"},
      // A line of codes only shows nothing.
      {u"a\r\n\x03"
       u"4\x1F\r\nb",
       "a\nb"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.want);
    std::string joined;
    for (const auto& line : ToIrcMessages(c.text, 400))
      joined += (joined.empty() ? "" : "\n") + line;
    EXPECT_EQ(joined, c.want);
  }
}

// Regression: a long line must not be cut inside a multi-byte character,
// and no piece may exceed the budget.
TEST(IrcText, SplitsLongLinesAtCharacterBoundaries) {
  const std::u16string cyrillic(300, u'ж');  // 600 bytes of UTF-8
  const std::u16string mixed = u"a" + std::u16string(100, u'€') + u"😀😀";
  for (std::size_t budget : {8u, 9u, 10u, 55u, 100u, 399u, 400u}) {
    for (const auto& text : {cyrillic, mixed}) {
      SCOPED_TRACE(budget);
      Lines pieces = ToIrcMessages(text, budget);
      std::string joined;
      for (const auto& piece : pieces) {
        EXPECT_LE(piece.size(), budget);
        EXPECT_TRUE(IsValidUtf8(piece));
        joined += piece;
      }
      EXPECT_EQ(joined, Utf16ToUtf8(text));
    }
  }
}

TEST(IrcText, ReopensBoldInEachPieceOfASplitLine) {
  Lines pieces = ToIrcMessages(u"[b]" + std::u16string(20, u'x') + u"[/b]y", 10);
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0], "\x02xxxxxxxxx");
  EXPECT_EQ(pieces[1], "\x02xxxxxxxxx");
  EXPECT_EQ(pieces[2], "\x02xx\x02y");
}

TEST(IrcText, TriggerStandsForTheSlashOfCommands) {
  struct Case {
    const char* text;
    const char* trigger;
    const char* want;
  } cases[] = {
      {"!gs hl 1.2.3.4", "!", "/gs hl 1.2.3.4"},
      {"!GS codpl 1.2.3.4:28960", "!", "/GS codpl 1.2.3.4:28960"},
      {"!reload", "!", "/reload"},
      {"!Reload", "!", "/Reload"},
      {"§gs sa x", "§", "/gs sa x"},
      // Everything else is handed over unchanged: events match on it.
      {"!servers", "!", "!servers"},
      {"!gs", "!", "!gs"},
      {"!gshl x", "!", "!gshl x"},
      {" !gs hl x", "!", " !gs hl x"},
      {"/gs hl x", "!", "/gs hl x"},
      {"!gs hl x", ".", "!gs hl x"},
  };
  for (const auto& c : cases) EXPECT_EQ(ApplyTrigger(c.text, c.trigger), c.want) << c.text;
}

IrcMessage Privmsg(const std::string& prefix, const std::string& target, const std::string& text) {
  return {prefix, "PRIVMSG", {target, text}, {}};
}

TEST(Manners, AnswersCtcpAndMistakenCommandsOncePerUserIn10Seconds) {
  Manners manners("!", UsageNotice::kOn);
  const auto start = Manners::Clock::time_point(std::chrono::hours(500000));
  const std::string usage = manners.UsageText();
  struct Case {
    std::string prefix;
    std::string text;
    int seconds;       // after start
    std::string want;  // the NOTICE line; empty: none
  } cases[] = {
      {"ann!a@h1", "\x01VERSION\x01", 0,
       "NOTICE ann :\x01VERSION morvane-irc " + std::string(BridgeVersion()) +
           " (Morvane plug-in host)\x01"},
      // The same host under another nick, within 10 s: nothing; then again.
      {"bob!b@h1", "\x01PING 1\x01", 9, ""},
      {"bob!b@h1", "\x01PING 123 456\x01", 10, "NOTICE bob :\x01PING 123 456\x01"},
      // The closing 0x01 may be missing; control bytes are not echoed and
      // a long argument is cut at a character's start.
      {"c!c@h2",
       "\x01PING a\x02"
       "b",
       0, "NOTICE c :\x01PING ab\x01"},
      {"d!d@h3", "\x01PING " + std::string(63, 'x') + "\xD0\xB6\x01", 0,
       "NOTICE d :\x01PING " + std::string(63, 'x') + "\x01"},
      {"e!e@h4",
       "\x01"
       "CLIENTINFO\x01",
       0,
       "NOTICE e :\x01"
       "CLIENTINFO ACTION CLIENTINFO PING TIME VERSION\x01"},
      {"f!f@h5",
       "\x01"
       "ACTION waves\x01",
       0, ""},
      {"g!g@h6",
       "\x01"
       "FINGER\x01",
       0, ""},
      {"h!h@h7", "!help", 0, "NOTICE h :" + usage},
      {"i!i@h8", "!gs", 0, "NOTICE i :" + usage},
      {"j!j@h9", "!gs nosuchkind 1.2.3.4", 0, "NOTICE j :" + usage},
      {"k!k@h10", "!gs hl", 0, "NOTICE k :" + usage},
      {"l!l@h11", "!GS  HL 1.2.3.4", 0, ""},
      {"m!m@h12", "!gs mcbe 1.2.3.4", 0, ""},
      {"n!n@h13", "!servers", 0, ""},
      {"o!o@h14", "hello !help", 0, ""},
      // A server's own message has no user to answer.
      {"irc.example.net", "\x01VERSION\x01", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.prefix + " " + c.text);
    auto answer =
        manners.Answer(Privmsg(c.prefix, "#main", c.text), start + std::chrono::seconds(c.seconds));
    EXPECT_EQ(answer.value_or(""), c.want);
  }
  // A clock set back does not silence a user for the difference.
  EXPECT_TRUE(manners.Answer(Privmsg("p!p@h1", "bot", "!help"), start - std::chrono::hours(1)));
  EXPECT_NE(usage.find("kinds: hl, hlpl, cod"), std::string::npos);
  EXPECT_NE(usage.find("tcp \u2014 e.g. !gs hl 192.0.2.1:27015"), std::string::npos);

  Manners quiet("!", UsageNotice::kOff);
  EXPECT_FALSE(quiet.Answer(Privmsg("q!q@h1", "#main", "!help"), start));
  EXPECT_TRUE(quiet.Answer(Privmsg("q!q@h1", "#main", "\x01TIME\x01"), start));
  EXPECT_FALSE(quiet.Answer(IrcMessage{"r!r@h2", "NOTICE", {"bot", "\x01VERSION\x01"}, {}}, start));
}

}  // namespace
}  // namespace morvane::irc
