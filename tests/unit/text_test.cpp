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

}  // namespace
}  // namespace morvane
