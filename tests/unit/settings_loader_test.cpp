// LoadSettings: what it tells the host, and what a bad file leaves behind.
#include <gtest/gtest.h>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/program_support.h"
#include "plugin/lifecycle.h"
#include "plugin/plugin_state.h"
#include "plugin/settings_loader.h"
#include "support/core_fixture.h"
#include "support/module_under_test.h"

namespace morvane::test {
namespace {

class Loader : public CoreTest {
 protected:
  std::vector<std::int32_t> CallCodes() {
    std::vector<std::int32_t> codes;
    for (const auto& call : FakeHost::Instance().Calls()) codes.push_back(call.code);
    return codes;
  }
};

constexpr char16_t kBot[] = u"[VirtUser]\r\nName=Bot\r\nIP=1.1.1.1\r\nPassword=pw\r\n";

TEST_F(Loader, VirtualReloadWithTheSameUserOnlineSendsNothing) {
  ASSERT_EQ(Start(FakeHostMode::kVirtualUser, kBot), 1);
  EXPECT_EQ(CallCodes(), std::vector<std::int32_t>{1001});
  StatusNotification(true, u"Bot");
  FakeHost::Instance().ClearCalls();
  EXPECT_TRUE(LoadSettings(plugin_));
  EXPECT_TRUE(FakeHost::Instance().Calls().empty());
}

TEST_F(Loader, VirtualReloadWithAChangedAddressLogsTheOldUserOutFirst) {
  ASSERT_EQ(Start(FakeHostMode::kVirtualUser, kBot), 1);
  StatusNotification(true, u"Bot");
  FakeHost::Instance().ClearCalls();
  WriteSettings(u"[VirtUser]\r\nName=Bot2\r\nIP=2.2.2.2\r\nPassword=pw\r\n");
  EXPECT_TRUE(LoadSettings(plugin_));
  auto calls = FakeHost::Instance().Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].code, 1002);
  EXPECT_EQ(DecodeRecord(calls[0].record, "t"), std::vector<std::u16string>{u"Bot"});
  EXPECT_EQ(calls[1].code, 1001);
  EXPECT_EQ(DecodeRecord(calls[1].record, "ttiti")[0], u"Bot2");
  EXPECT_EQ(plugin_.identity.IP, u"2.2.2.2");
}

TEST_F(Loader, VirtualLoadWhileOfflineLogsInEvenWithTheSameUser) {
  ASSERT_EQ(Start(FakeHostMode::kVirtualUser, kBot), 1);
  FakeHost::Instance().ClearCalls();
  EXPECT_TRUE(LoadSettings(plugin_));
  EXPECT_EQ(CallCodes(), (std::vector<std::int32_t>{1002, 1001}));
}

TEST_F(Loader, VirtualReloadWithAnEmptyNameChangesNoIdentityAndEmptiesEvents) {
  ASSERT_EQ(Start(FakeHostMode::kVirtualUser,
                  u"[VirtUser]\r\nName=Bot\r\n[Event_0]\r\nType=0\r\nAddr=a\r\nGame=hl\r\n"),
            1);
  ASSERT_EQ(plugin_.event_table.size(), 1u);
  FakeHost::Instance().ClearCalls();
  WriteSettings(
      u"[VirtUser]\r\nName= "
      u"\r\n[Main]\r\nTimeOut=5\r\n[Event_0]\r\nType=0\r\nAddr=a\r\nGame=hl\r\n");
  EXPECT_FALSE(LoadSettings(plugin_));
  EXPECT_TRUE(FakeHost::Instance().Calls().empty());
  EXPECT_TRUE(plugin_.event_table.empty());
  EXPECT_EQ(plugin_.identity.Name, u"Bot");
  EXPECT_EQ(plugin_.settings.TimeOut, 5);
}

TEST_F(Loader, DirectModeAsksTheConnectionAndOnlyTwoMeansOnline) {
  for (std::int32_t answer : {2, 1, 0, -1}) {
    FakeHost::Instance().Reset();
    FakeHost::Instance().SetConnectionAnswer(answer);
    ASSERT_EQ(Start(FakeHostMode::kDirect), 1);
    EXPECT_EQ(plugin_.online, answer == 2) << answer;
    EXPECT_EQ(FakeHost::Instance().CallsWithCode(67).size(), answer == 2 ? 1u : 0u) << answer;
    Stop();
  }
}

TEST_F(Loader, AFileInAnotherEncodingGivesDefaults) {
  ASSERT_EQ(Start(FakeHostMode::kDirect), 1);
  WriteSettingsBytes(folder_, "[Main]\r\nTimeOut=5\r\nChannels=x\r\n");
  EXPECT_TRUE(LoadSettings(plugin_));
  EXPECT_EQ(plugin_.settings.TimeOut, 1000);
  EXPECT_EQ(plugin_.settings.Channels, u"main");
}

TEST_F(Loader, AFileThatCannotBeReadKeepsWhatTheLastLoadSet) {
  ASSERT_EQ(
      Start(
          FakeHostMode::kDirect,
          u"[Main]\r\nTimeOut=5\r\nAdmUsers=root\r\n[Event_0]\r\nType=3\r\nAddr=a\r\nGame=hl\r\n"),
      1);
  const auto timer = plugin_.timer_id;
  ASSERT_NE(timer, 0u);
  // A folder named Morvane.ini exists but cannot be read as a file.
  std::string other = MakeTestFolder("unreadable");
  ASSERT_TRUE(platform::MakeDirectories(other + "/Morvane.ini"));
  plugin_.module_directory_for_testing = Utf8ToUtf16(other + "/");
  plugin_.module_directory = Utf8ToUtf16(other + "/");
  EXPECT_TRUE(LoadSettings(plugin_));
  EXPECT_EQ(plugin_.settings.TimeOut, 5);
  ASSERT_TRUE(plugin_.admin_list.has_value());
  EXPECT_EQ(*plugin_.admin_list, std::vector<std::u16string>{u"root"});
  EXPECT_EQ(plugin_.event_table.size(), 1u);
  EXPECT_EQ(plugin_.timer_id, timer);

  // At start the same folder gives every default, as a missing file does.
  Stop();
  FakeHost::Instance().SetModeAnswer(1);
  ASSERT_EQ(StartPlugin(plugin_, 7, &FakeHost::Callback, &FakeHost::Query), 1);
  EXPECT_EQ(plugin_.settings.TimeOut, 1000);
  EXPECT_EQ(plugin_.event_table.size(), 0u);
}

}  // namespace
}  // namespace morvane::test
