// Text helpers: UTF-8 both ways, integers as the settings and ports write them,
// replacing without overlap.
#include <gtest/gtest.h>

#include "common/text.h"

namespace morvane {
namespace {

TEST(Utf8, DecodesAndReplacesEachMalformedSequenceOnce) {
  const struct {
    std::string utf8;
    std::u16string utf16;
    bool valid;
  } cases[] = {
      {"Arena", u"Arena", true},
      {"\xD0\x93\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB4", u"Город", true},
      {"\xF0\x9F\x99\x82", u"\U0001F642", true},  // a surrogate pair
      {"a\xFF"
       "b",
       u"a\uFFFD"
       "b",
       false},                                 // not a lead byte
      {"\xD0", u"\uFFFD", false},              // cut at the end
      {"\xE2\x96", u"\uFFFD", false},          // cut, two bytes taken
      {"\xC0\xAF", u"\uFFFD", false},          // overlong
      {"\xED\xA0\x80", u"\uFFFD", false},      // a surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD", false},  // past U+10FFFF
      {"\xE2\x96"
       "x",
       u"\uFFFD"
       "x",
       false},  // cut by a plain byte
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << testing::PrintToString(c.utf8);
    EXPECT_EQ(IsValidUtf8(c.utf8), c.valid) << testing::PrintToString(c.utf8);
  }
  EXPECT_EQ(Utf16ToUtf8(u"Город \U0001F642"),
            "\xD0\x93\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB4 \xF0\x9F\x99\x82");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

TEST(Integers, DecimalOrHexWithinRange) {
  const struct {
    std::u16string text;
    std::optional<std::int32_t> value;
  } cases[] = {
      {u"0", 0},
      {u"-17", -17},
      {u"+5", 5},
      {u"$10", 16},
      {u"0x10", 16},
      {u"0X1f", 31},
      {u"-$10", -16},
      {u"2147483647", 2147483647},
      {u"-2147483648", -2147483647 - 1},
      {u"2147483648", std::nullopt},
      {u"$FFFFFFFF", std::nullopt},
      {u"", std::nullopt},
      {u"-", std::nullopt},
      {u"0x", std::nullopt},
      {u"$", std::nullopt},
      {u"12a", std::nullopt},
      {u" 1", std::nullopt},
      {u"1.5", std::nullopt},
      {u"99999999999999999999999", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ParseInt32(c.text), c.value) << testing::PrintToString(c.text);
}

TEST(Replace, LeftToRightWithoutOverlapOrRescan) {
  EXPECT_EQ(ReplaceAll(u"&&&&", u"&&", u" "), u"  ");
  EXPECT_EQ(ReplaceAll(u"&&&", u"&&", u" "), u" &");
  EXPECT_EQ(ReplaceAll(u"%pl%%pl%", u"%pl%", u"%pl%x"), u"%pl%x%pl%x");
  EXPECT_EQ(ReplaceAll(u"abc", u"", u"x"), u"abc");
}

// Values from servers reached the chat as they came: a line break let a
// server's name start a line of its own choosing, \x01 made a CTCP action on
// IRC, a NUL ended the whole message, and "[b]" set the host's markup.
TEST(CleanValueText, NoValueBreaksALineEndsTheMessageOrMakesMarkup) {
  const struct {
    std::u16string in;
    std::u16string out;
  } cases[] = {
      {u"Arena\r\n<admin> text", u"Arena  <admin> text"},
      {u"a\tb", u"a b"},
      {u"\x01" u"ACTION waves\x01", u"ACTION waves"},
      {std::u16string(u"Ivan\0Petrov", 11), u"IvanPetrov"},
      {u"del\x7f c1\x85\x9f end", u"del c1 end"},
      {u"[b]Bold[/B] [B]x", u"Bold x"},
      {u"[[b]b]hidden[/[/b]b]", u"hidden"},
      {u"[\x01" u"b]split", u"split"},
      {u"[b\r]", u"[b ]"},  // a blank keeps the tag from forming
      {u"[i]Город[/i] “ok” Ђљ", u"[i]Город[/i] “ok” Ђљ"},
  };
  for (const auto& c : cases) EXPECT_EQ(CleanValueText(c.in), c.out) << Utf16ToUtf8(c.in);
}

}  // namespace
}  // namespace morvane
