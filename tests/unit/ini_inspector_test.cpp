// The settings inspector and converter: the report must tell the truth about
// each file, so every file here is also loaded by the plug-in itself and the
// report's values are compared with what the plug-in then holds.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/text.h"
#include "plugin/plugin_state.h"
#include "settings/settings_encoding.h"
#include "plugin/settings_loader.h"
#include "settings/settings_report.h"
#include "support/core_fixture.h"
#include "support/module_under_test.h"

namespace morvane::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Utf16Le(std::u16string_view text, bool mark = true) {
  Bytes bytes = mark ? Bytes{0xFF, 0xFE} : Bytes{};
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

Bytes Utf16Be(std::u16string_view text, bool mark = true) {
  Bytes bytes = mark ? Bytes{0xFE, 0xFF} : Bytes{};
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
  }
  return bytes;
}

Bytes Utf8(std::u16string_view text, bool mark = false) {
  Bytes bytes = mark ? Bytes{0xEF, 0xBB, 0xBF} : Bytes{};
  const std::string utf8 = Utf16ToUtf8(text);
  bytes.insert(bytes.end(), utf8.begin(), utf8.end());
  return bytes;
}

// "[Main]\r\nFormat=Сервер %name%\r\n" as Windows-1251 writes it: С=D1,
// е=E5, р=F0, в=E2.
const Bytes kCp1251File = {'[',  'M', 'a', 'i', 'n', ']',  '\r', '\n', 'F',  'o',
                           'r',  'm', 'a', 't', '=', 0xD1, 0xE5, 0xF0, 0xE2, 0xE5,
                           0xF0, ' ', '%', 'n', 'a', 'm',  'e',  '%',  '\r', '\n'};

constexpr char16_t kCyrillicFile[] = u"[Main]\r\nFormat=Сервер %name%\r\n";

// A file that uses most of what the plug-in reads, with no mistake in it.
constexpr char16_t kCleanFile[] =
    u"; a comment\r\n"
    u"[Main]\r\n"
    u"Channels=main|games\r\n"
    u"ChScanEn=0\r\n"
    u"TimeOut=0x320\r\n"
    u"Format=%name%:;%map%&&&\r\n"
    u"PlTitle=\r\n"
    u"AdmUsers=alice|10.0.0.9\r\n"
    u"[VirtUser]\r\n"
    u"Name=Bot\r\n"
    u"Password=pw\r\n"
    u"[Event_0]\r\n"
    u"Type=0\r\nGame=hl\r\nAddr=127.0.0.1:27015\r\nMsg=!srv\r\nSource=main\r\n"
    u"[event_1]\r\n"
    u"type=3\r\nGAME=codpl\r\naddr=127.0.0.1\r\nSource=games\r\nFormat=\r\nDelay=0\r\n";

std::u16string BooleanText(bool value) { return value ? u"true" : u"false"; }
std::u16string Decimal(std::int32_t value) { return AsciiToUtf16(std::to_string(value)); }

// The plug-in's value of a [Main] key, written as the report writes it.
std::u16string PluginMainValue(const MainSettings& main, std::u16string_view key) {
  if (key == u"Channels") return main.Channels;
  if (key == u"ChScanEn") return BooleanText(main.ChScanEn);
  if (key == u"PmScanEn") return BooleanText(main.PmScanEn);
  if (key == u"MsgType") return BooleanText(main.MsgType);
  if (key == u"Delay") return Decimal(main.Delay);
  if (key == u"TimeOut") return Decimal(main.TimeOut);
  if (key == u"MaxQueue") return Decimal(main.MaxQueue);
  if (key == u"MaxAddr") return Decimal(main.MaxAddr);
  if (key == u"Format") return main.Format;
  if (key == u"OfflineFormat") return main.OfflineFormat;
  if (key == u"TCPFormat") return main.TCPFormat;
  if (key == u"PlFormat") return main.PlFormat;
  if (key == u"PlTitle") return main.PlTitle;
  if (key == u"Delimiter") return main.Delimiter;
  if (key == u"PlDelimiter") return main.PlDelimiter;
  ADD_FAILURE() << "the report shows an unknown [Main] key " << Utf16ToUtf8(key);
  return {};
}

std::u16string PluginEventValue(const TEvent& event, std::u16string_view key) {
  if (key == u"Type") return Decimal(event.EventType);
  if (key == u"Game") return event.Game;
  if (key == u"Delay") return Decimal(event.Delay);
  if (key == u"TimeOut") return Decimal(event.TimeOut);
  if (key == u"Source") return event.ChOrUser;
  if (key == u"Msg") return event.Msg;
  if (key == u"Addr") return event.Addr;
  if (key == u"Title") return event.Title;
  if (key == u"Format") return event.Format;
  if (key == u"OfflineFormat") return event.OffFormat;
  if (key == u"PlTitle") return event.PlTitle;
  if (key == u"Delimiter") return event.Delimiter;
  if (key == u"PlDelimiter") return event.PlDelimiter;
  if (key == u"MsgType") return Decimal(event.MsgType);
  ADD_FAILURE() << "the report shows an unknown event key " << Utf16ToUtf8(key);
  return {};
}

bool HasFinding(const SettingsReport& report, FindingKind kind, std::string_view where = {}) {
  for (const Finding& finding : report.findings) {
    if (finding.kind == kind && finding.where.find(where) != std::string::npos) return true;
  }
  return false;
}

std::string FindingsText(const SettingsReport& report) {
  std::string text;
  for (const Finding& finding : report.findings) text += finding.where + ": " + finding.text + "\n";
  return text;
}

class InspectorAgreesWithPlugin : public CoreTest {
 protected:
  // Loads the bytes as Morvane.ini into the running plug-in.
  bool Load(const Bytes& bytes) {
    WriteSettingsBytes(folder_, std::string(bytes.begin(), bytes.end()));
    return LoadSettings();
  }

  void ExpectReportMatchesPlugin(const SettingsReport& report) {
    const PluginState& plugin = Plugin();
    EXPECT_EQ(report.main.size(), 15u);
    for (const ReportValue& value : report.main) {
      EXPECT_EQ(value.value, PluginMainValue(plugin.settings, value.key)) << Utf16ToUtf8(value.key);
    }
    ASSERT_TRUE(plugin.admin_list.has_value());
    EXPECT_EQ(report.admin_list, *plugin.admin_list);
    ASSERT_EQ(report.events.size(), plugin.event_table.size());
    for (std::size_t n = 0; n < report.events.size(); ++n) {
      for (const ReportValue& field : report.events[n].fields) {
        EXPECT_EQ(field.value, PluginEventValue(plugin.event_table[n], field.key))
            << "Event_" << n << " " << Utf16ToUtf8(field.key);
      }
    }
  }
};

TEST_F(InspectorAgreesWithPlugin, InEveryEncodingAndWithEveryKindOfMistake) {
  const struct {
    const char* name;
    Bytes bytes;
    std::size_t events;
    bool warnings;
  } kCases[] = {
      {"clean UTF-16LE with a mark", Utf16Le(kCleanFile), 2, false},
      {"clean UTF-16LE without a mark", Utf16Le(kCleanFile, false), 2, false},
      {"UTF-8 without a mark", Utf8(kCleanFile), 0, true},
      {"UTF-8 with a mark", Utf8(kCleanFile, true), 0, true},
      {"Windows-1251", kCp1251File, 0, true},
      {"UTF-16BE with a mark", Utf16Be(kCleanFile), 0, true},
      {"empty", {}, 0, false},
      {"gap after Event_0",
       Utf16Le(u"[Event_0]\r\nType=0\r\nGame=hl\r\nAddr=a\r\nMsg=x\r\n"
               u"[Event_2]\r\nType=0\r\nGame=hl\r\nAddr=b\r\nMsg=y\r\n"),
       1, true},
      {"typo in a key", Utf16Le(u"[Main]\r\nTimeOt=500\r\n"), 0, true},
      {"integers that are no integers",
       Utf16Le(u"[Main]\r\nTimeOut=abc\r\nMaxQueue=1e3\r\nChScanEn=no\r\nDelay=\r\n"), 0, true},
      {"a server kind in capitals",
       Utf16Le(u"[Event_0]\r\nType=3\r\nGame=HL\r\nAddr=a\r\nSource=main\r\n"), 1, true},
      {"empty password", Utf16Le(u"[VirtUser]\r\nName=Bot\r\nPassword=\r\n"), 0, true},
  };
  ASSERT_EQ(Start(HostMode::kDirect), 1);
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.name);
    const SettingsReport report = InspectSettings(test.bytes);
    EXPECT_TRUE(Load(test.bytes));
    ExpectReportMatchesPlugin(report);
    EXPECT_EQ(report.events.size(), test.events);
    EXPECT_EQ(report.HasWarnings(), test.warnings) << FindingsText(report);
  }
}

TEST_F(InspectorAgreesWithPlugin, FileInAnotherEncodingGivesDefaultsAndSaysWhy) {
  ASSERT_EQ(Start(HostMode::kDirect), 1);
  for (const Bytes& bytes : {Utf8(kCyrillicFile), kCp1251File, Utf16Be(kCyrillicFile)}) {
    const SettingsReport report = InspectSettings(bytes);
    ASSERT_TRUE(Load(bytes));
    EXPECT_EQ(Plugin().settings, DefaultMainSettings());
    EXPECT_EQ(FindReportValue(report.main, u"Format")->origin, ValueOrigin::kMissing);
    EXPECT_TRUE(HasFinding(report, FindingKind::kEncoding));
    // The garbage the plug-in sees is no reason to complain about names.
    EXPECT_FALSE(HasFinding(report, FindingKind::kLineBeforeSections)) << FindingsText(report);
  }
}

TEST_F(InspectorAgreesWithPlugin, ConvertedFileReadsAsWritten) {
  ASSERT_EQ(Start(HostMode::kDirect), 1);
  for (const Bytes& bytes :
       {Utf8(kCyrillicFile), Utf8(kCyrillicFile, true), kCp1251File, Utf16Be(kCyrillicFile),
        Utf16Be(kCyrillicFile, false), Utf16Le(kCyrillicFile, false)}) {
    const ConvertedSettings converted = ConvertToPluginEncoding(bytes);
    EXPECT_EQ(converted.bytes, Utf16Le(kCyrillicFile)) << SettingsEncodingName(converted.from);
    ASSERT_TRUE(Load(converted.bytes));
    EXPECT_EQ(Plugin().settings.Format, u"Сервер %name%");
    EXPECT_FALSE(InspectSettings(converted.bytes).HasWarnings());
  }
}

TEST_F(InspectorAgreesWithPlugin, EmptyVirtualUserPasswordStopsTheStart) {
  const Bytes bytes = Utf16Le(
      u"[VirtUser]\r\nName=Bot\r\nPassword=\r\n"
      u"[Event_0]\r\nType=0\r\nGame=hl\r\nAddr=a\r\nMsg=x\r\n");
  const SettingsReport report = InspectSettings(bytes);
  EXPECT_TRUE(report.virtual_user_refused);
  EXPECT_TRUE(HasFinding(report, FindingKind::kEmptyVirtUser, "[VirtUser] Password"));
  EXPECT_EQ(FindReportValue(report.virt_user, u"Password")->value, u"");

  ASSERT_EQ(Start(HostMode::kVirtualUser), 1);
  EXPECT_FALSE(Load(bytes));
  EXPECT_TRUE(Plugin().event_table.empty());
  // Direct mode reads no [VirtUser] and loads the event the report lists.
  EXPECT_EQ(report.events.size(), 1u);
}

TEST_F(InspectorAgreesWithPlugin, VirtualUserIdentityIsTheOneReported) {
  const Bytes bytes = Utf16Le(u"[VirtUser]\r\nname=Bot\r\nIP=\r\n");
  const SettingsReport report = InspectSettings(bytes);
  EXPECT_FALSE(report.virtual_user_refused);
  ASSERT_EQ(Start(HostMode::kVirtualUser), 1);
  ASSERT_TRUE(Load(bytes));
  EXPECT_EQ(FindReportValue(report.virt_user, u"Name")->value, Plugin().identity.Name);
  EXPECT_EQ(FindReportValue(report.virt_user, u"IP")->value, Plugin().identity.IP);
  EXPECT_EQ(FindReportValue(report.virt_user, u"Password")->value, Plugin().identity.Password);
  EXPECT_EQ(FindReportValue(report.virt_user, u"Password")->origin, ValueOrigin::kMissing);
}

TEST(SettingsEncodingTest, TellsEachEncodingApart) {
  const struct {
    Bytes bytes;
    SettingsEncoding expected;
  } kCases[] = {
      {{}, SettingsEncoding::kEmpty},
      {Utf16Le(kCyrillicFile), SettingsEncoding::kUtf16LeWithMark},
      {Utf16Le(kCyrillicFile, false), SettingsEncoding::kUtf16Le},
      {Utf16Be(kCyrillicFile), SettingsEncoding::kUtf16BeWithMark},
      {Utf16Be(kCyrillicFile, false), SettingsEncoding::kUtf16Be},
      {Utf8(kCyrillicFile, true), SettingsEncoding::kUtf8WithMark},
      {Utf8(kCyrillicFile), SettingsEncoding::kUtf8},
      {Utf8(u"[Main]\r\nTimeOut=5\r\n"), SettingsEncoding::kAscii},
      {kCp1251File, SettingsEncoding::kEightBit},
      // A settings file that is mostly Cyrillic still has ASCII names.
      {Utf16Le(u"[Main]\r\nOfflineFormat=сервер не отвечает, попробуйте позже\r\n", false),
       SettingsEncoding::kUtf16Le},
      // An overlong UTF-8 form is no UTF-8.
      {{'[', 0xC0, 0xAF, ']'}, SettingsEncoding::kEightBit},
  };
  for (const auto& test : kCases) {
    EXPECT_EQ(DetectSettingsEncoding(test.bytes), test.expected)
        << SettingsEncodingName(test.expected);
  }
}

TEST(SettingsEncodingTest, UnicodeInputKeepsItsBytesAndLineEnds) {
  // Already UTF-16LE with a mark: copied as it is, a lone CR and an odd last
  // byte included.
  Bytes bytes = Utf16Le(u"[Main]\rA=1\n");
  bytes.push_back(0x41);
  ConvertedSettings converted = ConvertToPluginEncoding(bytes);
  EXPECT_TRUE(converted.unchanged);
  EXPECT_EQ(converted.bytes, bytes);

  // Without its mark it only gains one.
  converted = ConvertToPluginEncoding(Bytes(bytes.begin() + 2, bytes.end()));
  EXPECT_FALSE(converted.unchanged);
  EXPECT_EQ(converted.bytes, bytes);

  // UTF-8 line ends stay as they were.
  EXPECT_EQ(ConvertToPluginEncoding(Utf8(u"[Main]\nA=1\r\nB=2\r")).bytes,
            Utf16Le(u"[Main]\nA=1\r\nB=2\r"));
}

TEST(SettingsEncodingTest, Windows1251CoversTheWholeUpperHalf) {
  EXPECT_EQ(DecodeWindows1251(Bytes{0x80, 0x98, 0xA8, 0xB8, 0xB9, 0xC0, 0xDF, 0xE0, 0xFF}),
            u"\u0402\u0098Ёё\u2116АЯая");
}

SettingsReport Inspect(std::u16string_view text) { return InspectSettings(Utf16Le(text)); }

TEST(SettingsReportTest, ReportsEachMistakeWhereItIs) {
  const struct {
    std::u16string_view file;
    FindingKind kind;
    std::string_view where;
    std::string_view says;
  } kCases[] = {
      {u"[Main]\r\nTimeOt=500\r\n", FindingKind::kUnknownKey, "[Main] TimeOt",
       "Did you mean TimeOut?"},
      {u"[Event_0]\r\nFromat=x\r\n", FindingKind::kUnknownKey, "[Event_0] Fromat",
       "Did you mean Format?"},
      {u"[Event_0]\r\nAdmUsers=x\r\n", FindingKind::kUnknownKey, "[Event_0] AdmUsers",
       "a key of [Main]"},
      {u"[Main]\r\nColour=red\r\n", FindingKind::kUnknownKey, "[Main] Colour", "never reads"},
      {u"[Mian]\r\nDelay=1\r\n", FindingKind::kUnknownSection, "[Mian]", "Did you mean [Main]?"},
      {u"[Event1]\r\nType=0\r\n", FindingKind::kUnknownSection, "[Event1]",
       "Did you mean [Event_1]?"},
      {u"[Event_01]\r\nType=0\r\n", FindingKind::kEventNeverRead, "[Event_01]", "[Event_1]"},
      {u"Delay=5\r\n[Main]\r\n", FindingKind::kLineBeforeSections, "", "\"Delay=5\""},
      {u"[Main]\r\nDelay 5\r\n", FindingKind::kLineWithoutEquals, "[Main]", "\"Delay 5\""},
      {u"[Main]\r\nTimeOut=1 000\r\n", FindingKind::kNotAnInteger, "[Main] TimeOut",
       "the default, 1000"},
      {u"[Main]\r\nMsgType=false\r\n", FindingKind::kNotAnInteger, "[Main] MsgType",
       "the default, true"},
      {u"[Main]\r\nMaxQueue=-1\r\n", FindingKind::kQueueRefusesAll, "[Main] MaxQueue", ""},
      {u"[Main]\r\nTimeOut=0\r\n", FindingKind::kTimeOut, "[Main] TimeOut", "no limit"},
      {u"[Main]\r\nTimeOut=-5\r\n", FindingKind::kTimeOut, "[Main] TimeOut", "negative"},
      {u"[Main]\r\nChannels=main|\r\n", FindingKind::kChannels, "[Main] Channels", "empty"},
      {u"[Main]\r\nAdmUsers=alice | bob\r\n", FindingKind::kAdminList, "[Main] AdmUsers",
       "\"alice \""},
      {u"[VirtUser]\r\nName=\r\n", FindingKind::kEmptyVirtUser, "[VirtUser] Name", ""},
      {u"[Event_0]\r\nType=0\r\nGame=xyz\r\nAddr=a\r\nMsg=m\r\n", FindingKind::kEventGame,
       "[Event_0] Game", "not a server kind"},
      {u"[Event_0]\r\nType=0\r\nGame=Tcp\r\nAddr=a\r\nMsg=m\r\n", FindingKind::kEventGame,
       "[Event_0] Game", "small letters: tcp"},
      {u"[Event_0]\r\nType=4\r\nGame=hl\r\nAddr=a\r\n", FindingKind::kEventType, "[Event_0] Type",
       "never fires"},
      {u"[Event_0]\r\nType=0\r\nGame=hl\r\nAddr=a\r\nMsg=m\r\nMsgType=3\r\n",
       FindingKind::kEventMsgType, "[Event_0] MsgType", "never fires"},
      {u"[Event_0]\r\nType=3\r\nGame=hl\r\nAddr=a\r\nSource=c\r\nMsgType=-1\r\n",
       FindingKind::kEventMsgType, "[Event_0] MsgType", "never delivered"},
      {u"[Event_0]\r\nType=3\r\nGame=hl\r\nAddr=\r\nSource=c\r\n", FindingKind::kEventAddr,
       "[Event_0] Addr", "nothing is ever posted"},
      {u"[Event_0]\r\nType=3\r\nGame=hl\r\nAddr=a\r\n", FindingKind::kEventSource,
       "[Event_0] Source", "empty or missing"},
      {u"[Event_0]\r\nType=3\r\nGame=hl\r\nAddr=a\r\nSource=c\r\nDelay=-1\r\n",
       FindingKind::kEventDelay, "[Event_0] Delay", "every second"},
      {u"[Event_0]\r\nType=2\r\nGame=hl\r\nAddr=a\r\nSource=c\r\n", FindingKind::kKeyNotRead,
       "[Event_0] Source", "never read"},
      {u"[Event_0]\r\nType=3\r\nGame=hl\r\nAddr=a\r\nSource=c\r\nTimeOut=0\r\n",
       FindingKind::kTimeOut, "[Event_0] TimeOut", "no limit"},
      {u"[Event_0]\r\nType=3\r\nGame=tcp\r\nAddr=a\r\nSource=c\r\nTimeOut=0\r\n",
       FindingKind::kTimeOut, "[Event_0] TimeOut", "almost always shows as offline"},
      {u"[Event_0]\r\nType=0\r\nAddr=a\r\n", FindingKind::kEventTableEnd, "[Event_0]",
       "no key Game"},
      {u"[Event_0]\r\nType=0\r\nGame=hl\r\nAddr=a\r\nMsg=m\r\n[Event_2]\r\n",
       FindingKind::kEventNeverRead, "[Event_2]", "stops at Event_1 (no section Event_1)"},
      {std::u16string_view(u"[Main]\r\nDelay=1\r\n\0[Event_0]\r\n", 29), FindingKind::kTextCut, "",
       "byte 36"},
  };
  for (const auto& test : kCases) {
    const SettingsReport report = Inspect(test.file);
    SCOPED_TRACE(Utf16ToUtf8(test.file));
    ASSERT_TRUE(HasFinding(report, test.kind, test.where)) << FindingsText(report);
    bool said = false;
    for (const Finding& finding : report.findings) {
      said =
          said || (finding.kind == test.kind && finding.text.find(test.says) != std::string::npos);
    }
    EXPECT_TRUE(said) << FindingsText(report);
    EXPECT_TRUE(report.HasWarnings());
  }
}

TEST(SettingsReportTest, NameDistanceCountsSlipsOfTheFingers) {
  const struct {
    std::u16string_view a, b;
    std::size_t distance;
  } kCases[] = {{u"timeout", u"TimeOut", 0}, {u"TimeOt", u"TimeOut", 1}, {u"Mian", u"Main", 1},
                {u"PlTilte", u"PlTitle", 1}, {u"Fromat", u"Format", 1},  {u"", u"abc", 3},
                {u"Name", u"Game", 1},       {u"abcd", u"badc", 2}};
  for (const auto& test : kCases) {
    EXPECT_EQ(NameDistance(test.a, test.b), test.distance) << Utf16ToUtf8(test.a);
    EXPECT_EQ(NameDistance(test.b, test.a), test.distance) << Utf16ToUtf8(test.b);
  }
}

TEST(SettingsReportTest, NamesEveryKeyInAnyLetterCase) {
  // The plug-in compares names without regard to case, and so does the
  // report: none of these is a mistake.
  const SettingsReport report = Inspect(
      u"[MAIN]\r\ntimeout=5\r\nADMUSERS=a\r\n[virtuser]\r\nname=b\r\n[EVENT_0]\r\nTYPE=1\r\n"
      u"game=hl\r\naddr=x\r\nmsg=m\r\nSource=u\r\n");
  EXPECT_FALSE(report.HasWarnings()) << FindingsText(report);
  EXPECT_EQ(FindReportValue(report.main, u"TimeOut")->value, u"5");
  EXPECT_EQ(report.events.at(0).section, u"EVENT_0");
}

TEST(SettingsReportTest, TellsWhereEachValueCameFrom) {
  const SettingsReport report = Inspect(
      u"[Main]\r\nFormat=\r\nPlTitle=\r\nTimeOut=abc\r\nDelimiter=&&:;\r\n"
      u"[Event_0]\r\nType=3\r\nGame=hlpl\r\nAddr=a\r\nSource=c\r\n"
      u"[Event_1]\r\nType=3\r\nGame=hl\r\nAddr=a\r\nSource=c\r\nDelay=$a\r\n");
  const auto& main = report.main;
  EXPECT_EQ(FindReportValue(main, u"Format")->origin, ValueOrigin::kEmptyGivesDefault);
  EXPECT_EQ(FindReportValue(main, u"PlTitle")->origin, ValueOrigin::kFile);
  EXPECT_EQ(FindReportValue(main, u"PlTitle")->value, u"");
  EXPECT_EQ(FindReportValue(main, u"TimeOut")->origin, ValueOrigin::kNotAnInteger);
  EXPECT_EQ(FindReportValue(main, u"TimeOut")->written, u"abc");
  EXPECT_EQ(FindReportValue(main, u"TimeOut")->value, u"1000");
  EXPECT_EQ(FindReportValue(main, u"Delimiter")->value, u" \r\n");
  EXPECT_EQ(FindReportValue(main, u"OfflineFormat")->origin, ValueOrigin::kMissing);

  ASSERT_EQ(report.events.size(), 2u);
  const auto& periodic = report.events[0].fields;
  EXPECT_EQ(FindReportValue(periodic, u"Delay")->value, u"5");
  EXPECT_NE(FindReportValue(periodic, u"Delay")->remark.find("becomes 5"), std::string::npos);
  EXPECT_EQ(FindReportValue(periodic, u"Format")->value, u"%pltime% - %plscore% - %plname%");
  // A periodic event reads no Msg, so the report shows none.
  EXPECT_EQ(FindReportValue(periodic, u"Msg"), nullptr);
  EXPECT_EQ(FindReportValue(report.events[1].fields, u"Delay")->value, u"10");
  EXPECT_EQ(report.table_end, "no section Event_2");
}

TEST(SettingsReportTest, EmptyAdministratorsAdmitNoOneAndSaySo) {
  for (std::u16string_view file : {u"", u"[Main]\r\nAdmUsers=\r\n"}) {
    const SettingsReport report = Inspect(file);
    EXPECT_EQ(report.admin_list, std::vector<std::u16string>{u""});
    EXPECT_TRUE(HasFinding(report, FindingKind::kAdminList));
    // Nobody may reload: worth a note, but the plug-in reads the file as meant.
    EXPECT_FALSE(report.HasWarnings()) << FindingsText(report);
  }
}

}  // namespace
}  // namespace morvane::test
