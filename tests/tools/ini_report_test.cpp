// The settings inspector's own judgement: which encoding a file is in, how it
// is converted, and each mistake reported where it is.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/text.h"
#include "ini/settings_encoding.h"
#include "ini/settings_report.h"
#include "ini_test_files.h"

namespace morvane::test {
namespace {

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
      {u"[Main]\r\nPlFormat=%plname% %ping%\r\n", FindingKind::kPlaceholder, "[Main] PlFormat",
       "this text takes %plname%, %plscore%, %pltime%"},
      {u"[Main]\r\nFormat=%Name% 100%\r\n", FindingKind::kPlaceholder, "[Main] Format",
       "small letters: %name%"},
      {u"[Main]\r\nPlMoreFormat=+%pl%\r\n", FindingKind::kPlaceholder, "[Main] PlMoreFormat",
       "takes %plmore%, %addr%."},
      {u"[Main]\r\nCutText=%addr% cut\r\n", FindingKind::kPlaceholder, "[Main] CutText",
       "takes no placeholder."},
      {u"[Main]\r\nPlHiddenText=%pl% hidden\r\n", FindingKind::kPlaceholder, "[Main] PlHiddenText",
       "takes %addr%."},
      {u"[Event_0]\r\nType=3\r\nGame=tcp\r\nAddr=a\r\nSource=c\r\nFormat=%addr% %ping%\r\n",
       FindingKind::kPlaceholder, "[Event_0] Format", "takes %addr%."},
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
