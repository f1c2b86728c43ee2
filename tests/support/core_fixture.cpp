#include "support/core_fixture.h"

#include "common/date_time.h"
#include "common/text.h"
#include "platform/platform.h"
#include "platform/program_support.h"
#include "plugin/chat_handler.h"
#include "plugin/lifecycle.h"
#include "support/module_under_test.h"

namespace morvane::test {

void CoreTest::SetUp() {
  if (hold_entry_lock_) platform::EntryLock().lock();
  FakeHost::Instance().Reset();
  folder_ = MakeTestFolder("core");
  std::u16string directory = Utf8ToUtf16(folder_);
  directory.push_back(u'/');
  plugin_.module_directory_for_testing = directory;
  platform::SetClockForTesting([this] { return now_; });
  plugin_.worker_enabled_for_testing = with_worker_;
}

void CoreTest::TearDown() {
  Stop();
  platform::SetClockForTesting(nullptr);
  if (hold_entry_lock_) platform::EntryLock().unlock();
}

void CoreTest::WriteSettings(std::u16string_view settings) {
  WriteSettingsUtf16(folder_, settings);
}

std::int32_t CoreTest::Start(FakeHostMode mode, std::u16string_view settings) {
  mode_ = mode;
  WriteSettings(settings);
  FakeHost::Instance().SetModeAnswer(mode == FakeHostMode::kVirtualUser ? 0 : 1);
  return StartPlugin(plugin_, 7, &FakeHost::Callback, &FakeHost::Query);
}

void CoreTest::Stop() { StopPlugin(plugin_); }

void CoreTest::Process(std::int32_t code, const std::vector<std::uint8_t>& record) {
  ProcessHostMessage(plugin_, code, record.data(), static_cast<std::int32_t>(record.size()));
}

void CoreTest::ChannelMessage(std::u16string_view channel, std::u16string_view user,
                              std::u16string_view text, std::u16string_view ip) {
  auto sender = Concat({RecordText(user), RecordText(ip), RecordInt(0)});
  if (mode_ == FakeHostMode::kDirect) {
    Process(5, Concat({sender, RecordText(channel), RecordInt(0), RecordText(text)}));
    return;
  }
  Process(1070, Concat({RecordText(u"Morvane"), sender, RecordText(channel), RecordInt(0),
                        RecordText(text)}));
}

void CoreTest::PrivateMessage(std::u16string_view user, std::u16string_view text,
                              std::u16string_view ip) {
  auto sender = Concat({RecordText(user), RecordText(ip), RecordInt(0)});
  if (mode_ == FakeHostMode::kDirect) {
    Process(10, Concat({sender, RecordInt(3), RecordText(text)}));
    return;
  }
  Process(1061, Concat({RecordText(u"Morvane"), sender, RecordText(text)}));
}

void CoreTest::StatusNotification(bool online, std::u16string_view user) {
  if (mode_ == FakeHostMode::kDirect) {
    Process(3, RecordInt(online ? 2 : 0));
    return;
  }
  Process(online ? 1078 : 1079, Concat({RecordText(user), RecordText(u"N/A"), RecordInt(0)}));
}

void CoreTest::AdvanceSeconds(double seconds) { now_ = AddSeconds(now_, seconds); }

}  // namespace morvane::test
