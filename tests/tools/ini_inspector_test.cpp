// The settings inspector and converter: the report must tell the truth about
// each file, so every file here is also loaded by the plug-in itself and the
// report's values are compared with what the plug-in then holds.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/text.h"
#include "ini/settings_encoding.h"
#include "ini/settings_report.h"
#include "ini_test_files.h"
#include "plugin/plugin_state.h"
#include "plugin/settings_loader.h"
#include "support/core_fixture.h"
#include "support/module_under_test.h"

namespace morvane::test {
namespace {

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
  if (key == u"Parallel") return Decimal(main.Parallel);
  if (key == u"Retries") return Decimal(main.Retries);
  if (key == u"Requests") return Decimal(main.Requests);
  if (key == u"MaxPlayers") return Decimal(main.MaxPlayers);
  if (key == u"MaxReply") return Decimal(main.MaxReply);
  if (key == u"Format") return main.Format;
  if (key == u"OfflineFormat") return main.OfflineFormat;
  if (key == u"TCPFormat") return main.TCPFormat;
  if (key == u"PlFormat") return main.PlFormat;
  if (key == u"PlTitle") return main.PlTitle;
  if (key == u"Delimiter") return main.Delimiter;
  if (key == u"PlDelimiter") return main.PlDelimiter;
  if (key == u"PlMoreFormat") return main.PlMoreFormat;
  if (key == u"CutText") return main.CutText;
  if (key == u"PlHiddenText") return main.PlHiddenText;
  if (key == u"AnsiValues") return BooleanText(main.AnsiValues);
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

class InspectorAgreesWithPlugin : public CoreTest {
 protected:
  // Loads the bytes as Morvane.ini into the running plug-in.
  bool Load(const Bytes& bytes) {
    WriteSettingsBytes(folder_, std::string(bytes.begin(), bytes.end()));
    return LoadSettings(plugin_);
  }

  void ExpectReportMatchesPlugin(const SettingsReport& report) {
    const PluginState& plugin = plugin_;
    EXPECT_EQ(report.main.size(), 24u);
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
  ASSERT_EQ(Start(FakeHostMode::kDirect), 1);
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
  ASSERT_EQ(Start(FakeHostMode::kDirect), 1);
  for (const Bytes& bytes : {Utf8(kCyrillicFile), kCp1251File, Utf16Be(kCyrillicFile)}) {
    const SettingsReport report = InspectSettings(bytes);
    ASSERT_TRUE(Load(bytes));
    EXPECT_EQ(plugin_.settings, DefaultMainSettings());
    EXPECT_EQ(FindReportValue(report.main, u"Format")->origin, ValueOrigin::kMissing);
    EXPECT_TRUE(HasFinding(report, FindingKind::kEncoding));
    // The garbage the plug-in sees is no reason to complain about names.
    EXPECT_FALSE(HasFinding(report, FindingKind::kLineBeforeSections)) << FindingsText(report);
  }
}

TEST_F(InspectorAgreesWithPlugin, ConvertedFileReadsAsWritten) {
  ASSERT_EQ(Start(FakeHostMode::kDirect), 1);
  for (const Bytes& bytes :
       {Utf8(kCyrillicFile), Utf8(kCyrillicFile, true), kCp1251File, Utf16Be(kCyrillicFile),
        Utf16Be(kCyrillicFile, false), Utf16Le(kCyrillicFile, false)}) {
    const ConvertedSettings converted = ConvertToPluginEncoding(bytes);
    EXPECT_EQ(converted.bytes, Utf16Le(kCyrillicFile)) << SettingsEncodingName(converted.from);
    ASSERT_TRUE(Load(converted.bytes));
    EXPECT_EQ(plugin_.settings.Format, u"Сервер %name%");
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

  ASSERT_EQ(Start(FakeHostMode::kVirtualUser), 1);
  EXPECT_FALSE(Load(bytes));
  EXPECT_TRUE(plugin_.event_table.empty());
  // Direct mode reads no [VirtUser] and loads the event the report lists.
  EXPECT_EQ(report.events.size(), 1u);
}

TEST_F(InspectorAgreesWithPlugin, VirtualUserIdentityIsTheOneReported) {
  const Bytes bytes = Utf16Le(u"[VirtUser]\r\nname=Bot\r\nIP=\r\n");
  const SettingsReport report = InspectSettings(bytes);
  EXPECT_FALSE(report.virtual_user_refused);
  ASSERT_EQ(Start(FakeHostMode::kVirtualUser), 1);
  ASSERT_TRUE(Load(bytes));
  EXPECT_EQ(FindReportValue(report.virt_user, u"Name")->value, plugin_.identity.Name);
  EXPECT_EQ(FindReportValue(report.virt_user, u"IP")->value, plugin_.identity.IP);
  EXPECT_EQ(FindReportValue(report.virt_user, u"Password")->value, plugin_.identity.Password);
  EXPECT_EQ(FindReportValue(report.virt_user, u"Password")->origin, ValueOrigin::kMissing);
}

}  // namespace
}  // namespace morvane::test
