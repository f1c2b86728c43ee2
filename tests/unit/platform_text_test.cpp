// Text in the ANSI code page. On Windows the code page is the system's (1251
// under the Wine test run); elsewhere MORVANE_CODEPAGE chooses it. A test for
// another code page is skipped where the variable does not choose it.
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {
namespace {

constexpr const char* kVariable = "MORVANE_CODEPAGE";

class AnsiTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string saved = GetEnvironment(kVariable);
    if (!saved.empty()) saved_ = saved;
  }
  void TearDown() override {
    SetEnvironment(kVariable, saved_ ? saved_->c_str() : nullptr);
    ReadCodePageSetting();
  }

  // True when the code page is now the one asked for.
  static bool Use(std::uint32_t code_page) {
    SetEnvironment(kVariable, std::to_string(code_page).c_str());
    ReadCodePageSetting();
    return AnsiCodePage() == code_page;
  }

 private:
  std::optional<std::string> saved_;
};

#define USE_CODE_PAGE_OR_SKIP(code_page) \
  if (!Use(code_page)) GTEST_SKIP() << "the code page is the system's: " << AnsiCodePage()

struct Conversion {
  std::uint32_t code_page;
  std::u16string text;
  std::string bytes;
};

// Pairs that convert both ways.
TEST_F(AnsiTextTest, ConvertsBothWays) {
  const Conversion cases[] = {
      {1251, u"Нет игроков", "\xCD\xE5\xF2 \xE8\xE3\xF0\xEE\xEA\xEE\xE2"},
      {1251, u"Ёё№€", "\xA8\xB8\xB9\x88"},
      // 0x98 is undefined in 1251 and stands for U+0098 both ways.
      {1251, u"a\u0098b",
       "a\x98"
       "b"},
      {1251, u"plain ASCII 0-9 ~", "plain ASCII 0-9 ~"},
      {1252, u"é€Œÿ", "\xE9\x80\x8C\xFF"},
      {1252, u"\u0081\u008D\u008F\u0090\u009D", "\x81\x8D\x8F\x90\x9D"},
      {1250, u"Łódź č", "\xA3\xF3\x64\x9F \xE8"},
      {1250, u"\u0083\u0098", "\x83\x98"},
      {65001, u"Нет €", "\xD0\x9D\xD0\xB5\xD1\x82 \xE2\x82\xAC"},
  };
  for (const Conversion& c : cases) {
    SCOPED_TRACE(c.code_page);
    if (!Use(c.code_page)) continue;
    EXPECT_EQ(ToAnsi(c.text), c.bytes);
    EXPECT_EQ(FromAnsi(c.bytes), c.text);
  }
}

// No best-fit mapping: a character the code page lacks is "?", never a
// look-alike; a surrogate pair is one character and so one "?".
TEST_F(AnsiTextTest, CharactersTheCodePageLacksBecomeQuestionMarks) {
  const Conversion cases[] = {
      {1251, u"café", "caf?"},
      {1251, u"\u0081", "?"},  // Byte 0x81 is "Ѓ" in 1251.
      {1251, u"a\U0001F600b", "a?b"},
      {1251, u"\u4E2D", "?"},
      {1252, u"Дом", "???"},
      {1250, u"ß", "\xDF"},  // Present in 1250, for contrast.
      {1250, u"ÿ", "?"},
  };
  for (const Conversion& c : cases) {
    SCOPED_TRACE(c.code_page);
    if (!Use(c.code_page)) continue;
    EXPECT_EQ(ToAnsi(c.text), c.bytes);
  }
}

// Every byte decodes to one character that encodes back to the same byte:
// no two bytes of a code page may share a character.
TEST_F(AnsiTextTest, EveryByteSurvivesARoundTrip) {
  for (const std::uint32_t code_page : {1250u, 1251u, 1252u}) {
    SCOPED_TRACE(code_page);
    if (!Use(code_page)) continue;
    for (int value = 1; value < 256; ++value) {
      const std::string byte(1, static_cast<char>(value));
      const std::u16string decoded = FromAnsi(byte);
      ASSERT_EQ(decoded.size(), 1u) << value;
      EXPECT_EQ(ToAnsi(decoded), byte) << value;
    }
  }
}

TEST_F(AnsiTextTest, UnknownCodePageFallsBackTo1251) {
  USE_CODE_PAGE_OR_SKIP(1252);
  for (const char* value : {"437", "", "1251x", "-1252", "99999999999"}) {
    SetEnvironment(kVariable, value);
    ReadCodePageSetting();
    EXPECT_EQ(AnsiCodePage(), 1251u) << value;
  }
  SetEnvironment(kVariable, nullptr);
  ReadCodePageSetting();
  EXPECT_EQ(AnsiCodePage(), 1251u);
  EXPECT_EQ(ToAnsi(u"Да"), "\xC4\xE0");
}

// The variable was read by getenv on the worker at every conversion, racing
// with a host that calls setenv: it is read when asked (PluginStart) only.
TEST_F(AnsiTextTest, TheVariableIsReadOnlyWhenAsked) {
  USE_CODE_PAGE_OR_SKIP(1252);
  SetEnvironment(kVariable, "1251");
  EXPECT_EQ(AnsiCodePage(), 1252u);
  EXPECT_EQ(ToAnsi(u"é"), "\xE9");
}

}  // namespace
}  // namespace morvane::platform
