#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/text.h"

namespace morvane {
namespace {

// The file as an editor saves it: UTF-16LE, with or without FF FE in front.
std::vector<std::uint8_t> Utf16Le(std::u16string_view text, bool bom = true) {
  std::vector<std::uint8_t> bytes;
  if (bom) bytes = {0xFF, 0xFE};
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

std::optional<std::u16string> Lookup(const IniFile& file, std::u16string_view section,
                                     std::u16string_view key) {
  auto value = file.Value(section, key);
  if (!value) return std::nullopt;
  return std::u16string(*value);
}

TEST(IniFileTest, DecodesUtf16LeOnly) {
  const std::u16string text = u"[Main]\r\nFormat=%addr% сервер \U0001F600\r\n";
  for (bool bom : {true, false}) {
    EXPECT_EQ(Lookup(IniFile::Parse(Utf16Le(text, bom)), u"Main", u"Format"),
              u"%addr% сервер \U0001F600")
        << "bom " << bom;
  }
  // The same text as UTF-8 yields no section at all.
  std::string utf8 = Utf16ToUtf8(text);
  EXPECT_FALSE(
      IniFile::Parse(std::vector<std::uint8_t>(utf8.begin(), utf8.end())).HasSection(u"Main"));

  // A NUL code unit ends the text; a lone last byte is no code unit.
  auto bytes = Utf16Le(std::u16string(u"[Main]\nA=1\nB=2") + u'\0' + u"\nC=3");
  IniFile cut = IniFile::Parse(bytes);
  EXPECT_EQ(Lookup(cut, u"Main", u"B"), u"2");
  EXPECT_EQ(Lookup(cut, u"Main", u"C"), std::nullopt);
  bytes = Utf16Le(u"[Main]\nB=2");
  bytes.push_back(0x41);
  EXPECT_EQ(Lookup(IniFile::Parse(bytes), u"Main", u"B"), u"2");
}

TEST(IniFileTest, EveryLineEndSeparatesLines) {
  for (std::u16string_view end : {u"\r\n", u"\r", u"\n"}) {
    std::u16string text = u"[Main]";
    text.append(end).append(u"A=1").append(end).append(u"B=2").append(end);
    IniFile file = IniFile::ParseText(text);
    EXPECT_EQ(Lookup(file, u"Main", u"A"), u"1");
    EXPECT_EQ(Lookup(file, u"Main", u"B"), u"2");
  }
  // CR CR LF is a lone CR and then a CR LF: still two line ends, one empty line.
  IniFile mixed = IniFile::ParseText(u"[Main]\r\r\nA=1\n\rB=2");
  EXPECT_EQ(Lookup(mixed, u"Main", u"A"), u"1");
  EXPECT_EQ(Lookup(mixed, u"Main", u"B"), u"2");
}

// One file that holds every line form the reader must tell apart, and what
// each look-up gives.
TEST(IniFileTest, LooksUpValuesByTheLineRules) {
  const std::u16string text =
      u"Before=ignored\r\n"
      u"[Main]\r\n"
      u"  \tFormat \t=  %addr% - x  \x01\r\n"
      u"Eq=a=b=c\r\n"
      u"Empty=\r\n"
      u"Blank=   \r\n"
      u"Quoted=\"x\"\r\n"
      u"; Comment=1\r\n"
      u"  ;Indented=1\r\n"
      u"Odd;Key=2\r\n"
      u"NoEquals\r\n"
      u"=nameless\r\n"
      u"[\r\n"
      u"[x\r\n"
      u"After=still main\r\n"
      u"[ Spaced Name ]\r\n"
      u"K=v\r\n"
      u"[]\r\n"
      u"K=in unnamed\r\n"
      u"[Раздел]\r\n"
      u"Ключ=значение\r\n";
  IniFile file = IniFile::ParseText(text);
  struct Case {
    std::u16string_view section, key;
    std::optional<std::u16string> expected;
  };
  const Case cases[] = {
      {u"Main", u"Before", std::nullopt},  // Lines before the first section.
      {u"", u"Before", std::nullopt},
      {u"Main", u"Format", u"%addr% - x"},  // Trimmed of blanks and controls.
      {u"MAIN", u"format", u"%addr% - x"},  // Names ignore A-Z case.
      {u"Main", u"Eq", u"a=b=c"},           // Split at the first "=".
      {u"Main", u"Empty", u""},
      {u"Main", u"Blank", u""},
      {u"Main", u"Quoted", u"\"x\""},  // No quotes removed.
      {u"Main", u"; Comment", std::nullopt},
      {u"Main", u";Indented", std::nullopt},  // A comment after trimming too.
      {u"Main", u"Odd;Key", u"2"},            // ";" inside a line is text.
      {u"Main", u"NoEquals", std::nullopt},
      {u"Main", u"", u"nameless"},
      {u"Main", u"After", u"still main"},  // "[" and "[x" begin no section.
      {u"Spaced Name", u"K", u"v"},
      {u"", u"K", u"in unnamed"},
      {u"Раздел", u"Ключ", u"значение"},
      {u"раздел", u"Ключ", std::nullopt},  // Only A-Z fold; Cyrillic is exact.
      {u"Раздел", u"ключ", std::nullopt},
      {u"Missing", u"K", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Lookup(file, c.section, c.key), c.expected)
        << Utf16ToUtf8(c.section) << "/" << Utf16ToUtf8(c.key);
  }
  EXPECT_TRUE(file.HasSection(u"spaced name"));
  EXPECT_FALSE(file.HasSection(u"Before"));
}

TEST(IniFileTest, LaterSectionAndKeyWin) {
  // The lines without "=" as an inspector watching the parse keeps them.
  std::vector<std::vector<std::u16string>> without_equals;
  IniFile file = IniFile::ParseText(
      u"[Main]\nA=1\nB=1\nstray\n"
      u"[Other]\nC=1\nD=1\nno equals\nc=2\n"
      u"[MAIN]\nB=2\n",
      [&](IniFile::LineKind kind, std::size_t section, std::u16string_view line) {
        if (section >= without_equals.size()) without_equals.resize(section + 1);
        if (kind == IniFile::LineKind::kSectionHeader) without_equals[section].clear();
        if (kind == IniFile::LineKind::kWithoutEquals) without_equals[section].emplace_back(line);
      });
  // A repeated header drops everything its earlier occurrence held.
  EXPECT_EQ(Lookup(file, u"Main", u"A"), std::nullopt);
  EXPECT_EQ(Lookup(file, u"Main", u"B"), u"2");

  // For the inspector: sections keep the place of their first header, under
  // the last spelling; a repeated key keeps its first place with its last
  // spelling and value.
  const auto& sections = file.Sections();
  ASSERT_EQ(sections.size(), 2u);
  EXPECT_EQ(sections[0].name, u"MAIN");
  ASSERT_EQ(sections[0].entries.size(), 1u);
  EXPECT_TRUE(without_equals.at(0).empty());
  const auto& entries = sections[1].entries;
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].key, u"c");
  EXPECT_EQ(entries[0].value, u"2");
  EXPECT_EQ(entries[1].key, u"D");
  EXPECT_EQ(without_equals.at(1), std::vector<std::u16string>{u"no equals"});
}

// A file with many sections, many keys and many repeats must still parse; a
// quadratic reader would take minutes here rather than milliseconds.
TEST(IniFileTest, LargeFileWithRepeatsKeepsTheLastValues) {
  constexpr int kCount = 20000;
  std::u16string text;
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < kCount; ++i) {
      std::u16string n = AsciiToUtf16(std::to_string(i));
      text += u"[S" + n + u"]\nK=" + AsciiToUtf16(std::to_string(round)) + u"\n";
    }
  }
  text += u"[Big]\n";
  for (int i = 0; i < kCount; ++i)
    text += u"K" + AsciiToUtf16(std::to_string(i % 100)) + u"=" + AsciiToUtf16(std::to_string(i)) +
            u"\n";
  IniFile file = IniFile::Parse(Utf16Le(text));
  EXPECT_EQ(file.Sections().size(), static_cast<std::size_t>(kCount + 1));
  EXPECT_EQ(Lookup(file, u"S0", u"K"), u"1");
  EXPECT_EQ(Lookup(file, u"s19999", u"k"), u"1");
  EXPECT_EQ(Lookup(file, u"Big", u"K7"), u"19907");
  EXPECT_EQ(file.Sections().back().entries.size(), 100u);
}

}  // namespace
}  // namespace morvane
