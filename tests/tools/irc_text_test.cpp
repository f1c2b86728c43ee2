// The plug-in's texts as IRC messages, and the trigger chat users type.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "irc/irc_text.h"

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

}  // namespace
}  // namespace morvane::irc
