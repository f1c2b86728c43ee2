#include "settings/settings_values.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/text.h"
#include "settings/ini_file.h"

namespace morvane {
namespace {

std::vector<std::uint8_t> Utf16Le(std::u16string_view text) {
  std::vector<std::uint8_t> bytes = {0xFF, 0xFE};
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

SettingsValues Read(std::u16string_view text, bool virtual_user_mode = false) {
  return ReadSettingsValues(IniFile::Parse(Utf16Le(text)), virtual_user_mode);
}

// The default texts written out here once more, so that a slip in the
// built-in literals (a lost blank, a wrong letter) shows up.
const std::u16string kFormat = u"%addr%  -  %name% - %map% - %pl%/%plmax% - %mod%";
const std::u16string kOffline = u"%addr%  -  сервер офлайн";
const std::u16string kTcp = u"%addr%  -  сервер онлайн";
const std::u16string kPl = u"%pltime% - %plscore% - %plname%";
const std::u16string kPlTitle = u"[b]Игроки сервера %addr% (%pl%):[/b]\r\n";

TEST(SettingsValuesTest, MissingFileGivesDefaults) {
  SettingsValues values = ReadSettingsValues(IniFile(), false);
  const MainSettings& main = values.main;
  EXPECT_EQ(main.Channels, u"main");
  EXPECT_TRUE(main.ChScanEn);
  EXPECT_TRUE(main.PmScanEn);
  EXPECT_TRUE(main.MsgType);
  EXPECT_EQ(main.Delay, 0);
  EXPECT_EQ(main.TimeOut, 1000);
  EXPECT_EQ(main.MaxQueue, 20);
  EXPECT_EQ(main.Format, kFormat);
  EXPECT_EQ(main.OfflineFormat, kOffline);
  EXPECT_EQ(main.TCPFormat, kTcp);
  EXPECT_EQ(main.PlFormat, kPl);
  EXPECT_EQ(main.PlTitle, kPlTitle);
  EXPECT_EQ(main.Delimiter, u"\r\n");
  EXPECT_EQ(main.PlDelimiter, u"\r\n");
  EXPECT_EQ(values.admin_list, std::vector<std::u16string>{u""});
  EXPECT_TRUE(values.events.empty());
  EXPECT_FALSE(values.has_periodic_event);

  EXPECT_EQ(DefaultMainSettings(), main);
  EXPECT_EQ(MainSettings(), main);
  EXPECT_EQ(ReadSettingsValues(IniFile(), true).virt_user,
            (VirtUserValues{u"Morvane", u"N/A", u"PineMarshGlow"}));
}

TEST(SettingsValuesTest, MarkersScanLeftToRightWithoutOverlap) {
  const std::pair<std::u16string_view, std::u16string_view> cases[] = {
      {u"&&", u" "},   {u"&&:;", u" \r\n"},    {u"a:;b", u"a\r\nb"}, {u"&&&&", u"  "},
      {u"&&&", u" &"}, {u":;:;", u"\r\n\r\n"}, {u"::;;", u":\r\n;"}, {u":&&;", u": ;"},
      {u";:", u";:"},  {u"&:;&", u"&\r\n&"},   {u"", u""},           {u"без меток", u"без меток"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ApplyMarkers(in), out) << Utf16ToUtf8(in);
}

// Text that is no 32-bit integer leaves the fallback; the file-level cases
// are in MainKeysAreReadFromTheFile.
TEST(SettingsValuesTest, IntegerAndBooleanValues) {
  const std::pair<std::optional<std::u16string_view>, std::int32_t> cases[] = {
      {std::nullopt, 7},
      {u"", 7},
      {u"-$10", -16},
      {u"0X1f", 31},
      {u"2147483647", 2147483647},
      {u"-2147483648", -2147483647 - 1},
      {u"2147483648", 7},
      {u"0x80000000", 7},
      {u"0x", 7},
      {u"$", 7},
      {u"12abc", 7},
      {u"1 2", 7},
      {u"0x1g", 7},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(IntegerOr(value, 7), expected) << (value ? Utf16ToUtf8(*value) : "(missing)");
  }
  EXPECT_FALSE(BooleanOr(u"0", true));
  EXPECT_TRUE(BooleanOr(u"-1", false));
  EXPECT_FALSE(BooleanOr(u"yes", false));
  EXPECT_TRUE(BooleanOr(u"", true));
}

TEST(SettingsValuesTest, MainKeysAreReadFromTheFile) {
  SettingsValues values = Read(
      u"[main]\r\n"
      u"chscanen=0\r\nPmScanEn=no\r\nMsgType=2\r\n"
      u"Delay=-3\r\nTimeOut=$7D0\r\nMaxQueue=0x10\r\n"
      u"Channels=a|b&&:;\r\n"
      u"MaxPlayers=5\r\nMaxReply=-1\r\nPlMoreFormat=\r\nCutText=cut:;here\r\n");
  EXPECT_FALSE(values.main.ChScanEn);
  EXPECT_TRUE(values.main.PmScanEn);
  EXPECT_TRUE(values.main.MsgType);
  EXPECT_EQ(values.main.Delay, -3);
  EXPECT_EQ(values.main.TimeOut, 2000);
  EXPECT_EQ(values.main.MaxQueue, 16);
  EXPECT_EQ(values.main.Channels, u"a|b&&:;");  // Channels take no markers.
  EXPECT_EQ(values.main.MaxPlayers, 5);
  EXPECT_EQ(values.main.MaxReply, -1);
  EXPECT_EQ(values.main.PlMoreFormat, u"... и ещё %plmore%");  // empty gives the default
  EXPECT_EQ(values.main.CutText, u"cut\r\nhere");
}

TEST(SettingsValuesTest, MainTextsFollowTheirHandling) {
  using Field = std::u16string MainSettings::*;
  struct Case {
    std::u16string_view line;
    Field field;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"Format=", &MainSettings::Format, kFormat},
      {u"Format=a:;b", &MainSettings::Format, u"a\r\nb"},
      {u"Format=%name%&&&&%map%", &MainSettings::Format, u"%name%  %map%"},
      {u"OfflineFormat=", &MainSettings::OfflineFormat, kOffline},
      {u"TCPFormat=", &MainSettings::TCPFormat, kTcp},
      {u"TCPFormat=up&&", &MainSettings::TCPFormat, u"up "},
      {u"PlFormat=", &MainSettings::PlFormat, kPl},
      {u"PlTitle=", &MainSettings::PlTitle, u""},
      {u"PlTitle=[b]%addr%[/b]:;", &MainSettings::PlTitle, u"[b]%addr%[/b]\r\n"},
      {u"Delimiter=&&", &MainSettings::Delimiter, u" "},
      {u"Delimiter=&&:;", &MainSettings::Delimiter, u" \r\n"},
      {u"Delimiter=", &MainSettings::Delimiter, u""},
      {u"PlDelimiter=", &MainSettings::PlDelimiter, u""},
      {u"PlDelimiter=, ", &MainSettings::PlDelimiter, u","},  // Values are trimmed.
      {u"Channels=", &MainSettings::Channels, u""},
  };
  for (const Case& c : cases) {
    SettingsValues values = Read(std::u16string(u"[Main]\r\n") + std::u16string(c.line));
    EXPECT_EQ(values.main.*c.field, c.expected) << Utf16ToUtf8(c.line);
  }
}

TEST(SettingsValuesTest, AdminListKeepsEveryPiece) {
  using List = std::vector<std::u16string>;
  const std::pair<std::u16string_view, List> cases[] = {
      {u"[Main]", List{u""}},
      {u"[Main]\nAdmUsers=", List{u""}},
      {u"[Main]\nAdmUsers=alice", List{u"alice"}},
      {u"[Main]\nAdmUsers= alice | 10.0.0.1 ", List{u"alice ", u" 10.0.0.1"}},
      {u"[Main]\nAdmUsers=a||b|", List{u"a", u"", u"b", u""}},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(Read(text).admin_list, expected) << Utf16ToUtf8(text);
  }
}

TEST(SettingsValuesTest, VirtUserIsReadOnlyInVirtualUserMode) {
  const std::u16string text = u"[VirtUser]\nName = \nIP=10.1.1.1\n";
  SettingsValues virtual_mode = Read(text, true);
  EXPECT_EQ(virtual_mode.virt_user, (VirtUserValues{u"", u"10.1.1.1", u"PineMarshGlow"}));
  EXPECT_EQ(Read(text, false).virt_user, VirtUserValues());
}

TEST(SettingsValuesTest, EventTableEndsAtTheFirstIncompleteSection) {
  const std::u16string complete = u"Type=0\nAddr=a\nGame=hl\n";
  struct Case {
    std::u16string text;
    std::size_t events;
  };
  const Case cases[] = {
      {u"[Event_1]\n" + complete + u"[Event_2]\n" + complete, 0},
      {u"[Event_0]\n" + complete + u"[Event_2]\n" + complete, 1},
      {u"[Event_0]\n" + complete + u"[Event_1]\nType=0\nAddr=a\n[Event_2]\n" + complete, 1},
      {u"[Event_0]\nType=\nAddr=\nGame=\n", 1},  // Empty values count as present.
      {u"[Event_00]\n" + complete, 0},           // No leading zeros.
      {u"[event_0]\n" + complete + u"[EVENT_1]\n" + complete, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Read(c.text).events.size(), c.events) << Utf16ToUtf8(c.text);
  }
}

TEST(SettingsValuesTest, EventTypeDecidesSourceMsgAndPeriodicDelay) {
  struct Case {
    std::u16string_view type;
    std::optional<std::u16string_view> delay;
    std::int32_t expected_delay;
    bool source_read, msg_read;
  };
  const Case cases[] = {
      {u"0", std::nullopt, 0, true, true}, {u"1", std::nullopt, 0, true, true},
      {u"2", u"4", 4, false, true},        {u"3", std::nullopt, 5, true, false},
      {u"3", u"0", 5, true, false},        {u"3", u"0x0", 5, true, false},
      {u"3", u"-2", -2, true, false},      {u"3", u"60", 60, true, false},
      {u"4", u"0", 0, true, false},        {u"-1", std::nullopt, 0, true, true},
  };
  for (const Case& c : cases) {
    std::u16string text = u"[Event_0]\nAddr=a\nGame=hl\nSource=#x\nMsg=!go\nType=";
    text += c.type;
    if (c.delay) text += u"\nDelay=" + std::u16string(*c.delay);
    SettingsValues values = Read(text);
    ASSERT_EQ(values.events.size(), 1u);
    const TEvent& event = values.events[0];
    std::string shown = Utf16ToUtf8(c.type);
    EXPECT_EQ(event.Delay, c.expected_delay) << shown;
    EXPECT_EQ(event.ChOrUser, c.source_read ? u"#x" : u"") << shown;
    EXPECT_EQ(event.Msg, c.msg_read ? u"!go" : u"") << shown;
    EXPECT_EQ(values.has_periodic_event, c.type == u"3") << shown;
  }
}

TEST(SettingsValuesTest, EventFormatDefaultFollowsGameExactly) {
  const std::pair<std::u16string_view, std::u16string> cases[] = {
      {u"hlpl", kPl},    {u"HLPL", kFormat}, {u"codpl", kPl},  {u"pl", kPl},   {u"tcp", kTcp},
      {u"TCP", kFormat}, {u"tcppl", kPl},    {u"hl", kFormat}, {u"", kFormat}, {u"p", kFormat},
  };
  for (const auto& [game, expected] : cases) {
    // The [Main] templates never become an event's defaults.
    std::u16string text =
        u"[Main]\nFormat=main\nPlFormat=main pl\nTCPFormat=main tcp\n"
        u"[Event_0]\nType=3\nAddr=a\nGame=";
    text += game;
    SettingsValues values = Read(text);
    ASSERT_EQ(values.events.size(), 1u);
    EXPECT_EQ(values.events[0].Format, expected) << Utf16ToUtf8(game);
    // An empty Format takes the same default as a missing one.
    EXPECT_EQ(Read(text + u"\nFormat=").events[0].Format, expected) << Utf16ToUtf8(game);
  }
}

TEST(SettingsValuesTest, EventFieldsTakeTheirHandling) {
  SettingsValues values = Read(
      u"[Event_0]\n"
      u"Type=1\nGame=hlpl&&:;\nAddr=1.2.3.4:27015&&:;\nSource=alice|bob:;\n"
      u"Msg=!srv&&x:;\nTitle=T:;&&\nFormat=%name%&&&&:;\nOfflineFormat=\n"
      u"PlTitle=\nDelimiter=&&\nPlDelimiter=:;\nMsgType=$2\nTimeOut=-5\nDelay=9\n");
  ASSERT_EQ(values.events.size(), 1u);
  TEvent expected;
  expected.EventType = 1;
  expected.Delay = 9;
  expected.MsgType = 2;
  expected.TimeOut = -5;
  expected.Game = u"hlpl&&:;";
  expected.Addr = u"1.2.3.4:27015&&:;";
  expected.ChOrUser = u"alice|bob:;";
  expected.Msg = u"!srv x\r\n";
  expected.Title = u"T\r\n ";
  expected.Format = u"%name%  \r\n";
  expected.OffFormat = kOffline;
  expected.PlTitle = u"";
  expected.Delimiter = u" ";
  expected.PlDelimiter = u"\r\n";
  EXPECT_EQ(values.events[0], expected);
  EXPECT_FALSE(values.has_periodic_event);

  // Missing keys: the built-in defaults with the markers applied.
  TEvent bare = Read(u"[Event_0]\nType=0\nAddr=a\nGame=hl\n").events.at(0);
  EXPECT_EQ(bare.MsgType, 1);
  EXPECT_EQ(bare.TimeOut, 1000);
  EXPECT_EQ(bare.Title, u"");
  EXPECT_EQ(bare.OffFormat, kOffline);
  EXPECT_EQ(bare.PlTitle, kPlTitle);
  EXPECT_EQ(bare.Delimiter, u"\r\n");
  EXPECT_EQ(bare.PlDelimiter, u"\r\n");
}

// Every prefix of a real settings file is a file the loader may meet (a copy
// in progress, a full disk): each must read without fault, and the values it
// yields must be a state the full file could pass through.
TEST(SettingsValuesTest, EveryTruncationOfAFileReads) {
  const std::u16string text =
      u"; Morvane\r\n[Main]\r\nChannels=main|games\r\nMaxQueue=0x10\r\n"
      u"Format=%addr%&&:;%name%\r\nAdmUsers=alice||bob\r\n"
      u"[VirtUser]\r\nName=Бот\r\nPassword=pw\r\n"
      u"[Event_0]\r\nType=3\r\nAddr=127.0.0.1:27015\r\nGame=hlpl\r\nSource=#main\r\n"
      u"[Event_1]\r\nType=0\r\nAddr=127.0.0.1\r\nGame=tcp\r\nMsg=!tcp\r\n";
  const std::vector<std::uint8_t> bytes = Utf16Le(text);
  const SettingsValues full = ReadSettingsValues(IniFile::Parse(bytes), true);
  ASSERT_EQ(full.events.size(), 2u);
  for (std::size_t n = 0; n <= bytes.size(); ++n) {
    std::vector<std::uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<long>(n));
    SettingsValues values = ReadSettingsValues(IniFile::Parse(prefix), true);
    EXPECT_LE(values.events.size(), full.events.size()) << n;
    EXPECT_LE(values.admin_list.size(), full.admin_list.size()) << n;
  }
}

}  // namespace
}  // namespace morvane
