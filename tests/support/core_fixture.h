// A fixture for tests that link the core: a plug-in state of the test's own,
// started against the fake host, its settings file in a folder of the test's
// own, and a clock the test moves by hand.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_record.h"
#include "plugin/plugin_state.h"
#include "plugin/add_scan_item.h"
#include "support/fake_host.h"

namespace morvane::test {

enum class FakeHostMode { kDirect, kVirtualUser };

class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the settings file (UTF-16LE with a mark) and starts the plug-in.
  std::int32_t Start(FakeHostMode mode, std::u16string_view settings = u"");
  void WriteSettings(std::u16string_view settings);
  void Stop();

  // Chat events as the host delivers them in the started mode.
  void ChannelMessage(std::u16string_view channel, std::u16string_view user,
                      std::u16string_view text, std::u16string_view ip = u"10.0.0.9");
  void PrivateMessage(std::u16string_view user, std::u16string_view text,
                      std::u16string_view ip = u"10.0.0.9");
  // Direct: code 3 with status 2 or 0. Virtual: 1078 / 1079 for the user.
  void StatusNotification(bool online, std::u16string_view user = u"Morvane");
  void Process(std::int32_t code, const std::vector<std::uint8_t>& record);

  std::vector<ScanRequest> Queued() const { return plugin_.queue->Snapshot(); }
  void AdvanceSeconds(double seconds);

  PluginState plugin_;
  // Fixtures that test the worker set this before SetUp.
  bool with_worker_ = false;
  // The test body runs as an export does, holding the entry lock, so that
  // the POSIX stand-in of the event timer never runs the timer procedure
  // beside it. A fixture that wants the real timer to fire clears this and
  // takes the lock around its own calls.
  bool hold_entry_lock_ = true;
  std::string folder_;
  double now_ = 46000.5;  // a day in 2025, noon
  FakeHostMode mode_ = FakeHostMode::kDirect;
};

}  // namespace morvane::test
