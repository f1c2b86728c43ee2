// Hosts that call back in: an export called from inside a callback (PluginStop
// included), a host that hands the worker's callbacks to its own thread and
// waits for them, and one that feeds the plug-in's own message back to it on
// the worker's thread. None of them may deadlock, and once PluginStop has
// returned no code of the module may run: each test unloads its own copy of
// the module at the end.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "support/fake_host.h"
#include "support/module_under_test.h"
#include "support/udp_responder.h"

namespace morvane::test {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> ChannelMessage(std::u16string_view text) {
  return Concat({RecordText(u"alice"), RecordText(u"10.0.0.9"), RecordInt(0), RecordText(u"main"),
                 RecordInt(0), RecordText(text)});
}

std::vector<std::uint8_t> PrivateMessage(std::u16string_view text) {
  return Concat(
      {RecordText(u"root"), RecordText(u"10.0.0.9"), RecordInt(0), RecordInt(3), RecordText(text)});
}

void Process(ModuleUnderTest& module, std::int32_t code, const std::vector<std::uint8_t>& record) {
  module.Process(code, record.data(), static_cast<std::int32_t>(record.size()));
}

double MillisecondsSince(Clock::time_point began) {
  return std::chrono::duration<double, std::milli>(Clock::now() - began).count();
}

class HostReentry : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeHost::Instance().Reset();
    folder_ = MakeTestFolder("reentry");
    module_ = std::make_unique<ModuleUnderTest>(folder_);
    ASSERT_NE(module_->Start, nullptr);
  }
  void TearDown() override {
    FakeHost::Instance().Reset();
    if (!module_->Loaded()) return;
    module_->Stop();
    module_->Unload();
    // A timer or a worker left running in the unloaded module would crash
    // the process within a tick.
    platform::SleepMilliseconds(1100);
  }
  std::int32_t Start(std::u16string_view settings) {
    WriteSettingsUtf16(folder_, settings);
    return module_->Start(5, &FakeHost::Callback, &FakeHost::Query);
  }

  std::string folder_;
  std::unique_ptr<ModuleUnderTest> module_;
};

// A send held the plug-in's send gate across the host's callback: a host that
// reported "connected" from inside a join made the plug-in join again from
// inside its own join, and the second send waited for the first for ever.
TEST_F(HostReentry, ACallbackMayCallAnExportAndIsServedInFull) {
  std::atomic<int> reentries{0};
  FakeHost::Instance().SetHook([&](std::int32_t code, const std::vector<std::uint8_t>&) {
    if (code == 67 && reentries++ == 0) Process(*module_, 3, RecordInt(2));
  });
  ASSERT_EQ(Start(u"[Main]\r\nChannels=main\r\n"), 1);
  EXPECT_EQ(FakeHost::Instance().CallsWithCode(67).size(), 2u) << "the inner report joins again";
}

// The worker held the send gate while a host that serves callbacks on its own
// thread kept it waiting; that thread, in PluginProcess for a status change or
// a "/reload", then waited for the gate, and neither ever returned.
TEST_F(HostReentry, AHostThatServesTheWorkersCallbacksOnItsOwnThreadNeverDeadlocks) {
  UdpResponder silent([](const Datagram&) { return Response{}; });
  ASSERT_EQ(Start(u"[Main]\r\nTimeOut=100\r\nAdmUsers=root\r\n"), 1);
  FakeHost::Instance().HandCallsToThisThread();
  FakeHost::Instance().ClearCalls();
  Process(*module_, 5, ChannelMessage(u"/gs hl " + LoopbackAddress(silent.Port())));
  for (int waited = 0; FakeHost::Instance().HandedCallsWaiting() == 0 && waited < 5000;
       waited += 5) {
    platform::SleepMilliseconds(5);
  }
  ASSERT_EQ(FakeHost::Instance().HandedCallsWaiting(), 1u) << "the worker's reply waits for us";

  const auto began = Clock::now();
  Process(*module_, 3, RecordInt(2));
  Process(*module_, 10, PrivateMessage(u"/reload"));
  EXPECT_LT(MillisecondsSince(began), 1000.0);
  EXPECT_EQ(FakeHost::Instance().CallsWithCode(67).size(), 2u)
      << "joined on the report and the reload";

  FakeHost::Instance().ServeHandedCalls();
  EXPECT_EQ(FakeHost::Instance().CallsWithCode(50).size(), 1u);

  // Stopped while the worker's reply waits for this thread: the stop waits a
  // bounded time only, and the reply that began before it is the last call.
  Process(*module_, 5, ChannelMessage(u"/gs hl " + LoopbackAddress(silent.Port())));
  for (int waited = 0; FakeHost::Instance().HandedCallsWaiting() == 0 && waited < 5000;
       waited += 5) {
    platform::SleepMilliseconds(5);
  }
  const auto stop_began = Clock::now();
  module_->Stop();
  EXPECT_LT(MillisecondsSince(stop_began), 1300.0);
  const std::size_t calls = FakeHost::Instance().Calls().size();
  FakeHost::Instance().ServeHandedCalls();
  platform::SleepMilliseconds(200);
  EXPECT_LE(FakeHost::Instance().Calls().size(), calls + 1);
}

// A host that echoes the plug-in's own message back into PluginProcess on the
// worker's thread, or stops the plug-in there. The echo must not wait for
// the entry lock that a PluginStop on the host's thread holds while it waits
// for that very callback.
TEST_F(HostReentry, TheWorkersThreadMayEchoIntoTheExportsOrStopThePlugin) {
  UdpResponder silent([](const Datagram&) { return Response{}; });
  ASSERT_EQ(Start(u"[Main]\r\nTimeOut=50\r\n"), 1);
  const std::u16string command = u"/gs hl " + LoopbackAddress(silent.Port());
  std::atomic<int> in_callback{0};
  std::atomic<bool> stop_inside{false};
  FakeHost::Instance().SetHook([&](std::int32_t code, const std::vector<std::uint8_t>&) {
    if (code != 50) return;
    ++in_callback;
    if (stop_inside) {
      module_->Stop();
      return;
    }
    platform::SleepMilliseconds(150);
    Process(*module_, 5, ChannelMessage(u"echo of the reply"));
  });

  Process(*module_, 5, ChannelMessage(command));
  ASSERT_TRUE(FakeHost::Instance().WaitForCalls(50, 1, 5000));
  for (int waited = 0; in_callback < 1 && waited < 5000; waited += 5)
    platform::SleepMilliseconds(5);

  // An echo while the host's thread is in PluginStop.
  Process(*module_, 5, ChannelMessage(command));
  for (int waited = 0; in_callback < 2 && waited < 5000; waited += 5)
    platform::SleepMilliseconds(5);
  auto began = Clock::now();
  module_->Stop();
  EXPECT_LT(MillisecondsSince(began), 1000.0);
  std::size_t calls = FakeHost::Instance().Calls().size();
  platform::SleepMilliseconds(300);
  EXPECT_EQ(FakeHost::Instance().Calls().size(), calls);

  // PluginStop on the worker's thread, inside its own reply.
  stop_inside = true;
  ASSERT_EQ(Start(u"[Main]\r\nTimeOut=50\r\n"), 1);
  Process(*module_, 5, ChannelMessage(command));
  ASSERT_TRUE(FakeHost::Instance().WaitForCalls(50, 3, 5000));
  for (int waited = 0; in_callback < 3 && waited < 5000; waited += 5)
    platform::SleepMilliseconds(5);
  platform::SleepMilliseconds(100);
  calls = FakeHost::Instance().Calls().size();
  Process(*module_, 5, ChannelMessage(command));
  platform::SleepMilliseconds(300);
  EXPECT_EQ(FakeHost::Instance().Calls().size(), calls) << "stopped: nothing more";
}

// A host that started the plug-in again from inside the worker's reply got 1,
// though the worker's thread may not call the host of a new session: the
// mode was never asked and the virtual user never logged in, and the plug-in,
// taken for a direct-mode one, ignored every message of its virtual-user
// host. That start now fails, and one on the host's thread works as ever.
TEST_F(HostReentry, AStartOnTheWorkersThreadFailsAndOneOnTheHostsThreadWorks) {
  UdpResponder silent([](const Datagram&) { return Response{}; });
  const std::u16string settings = u"[Main]\r\nTimeOut=50\r\n[VirtUser]\r\nName=Bot\r\n";
  const auto ask = Concat({RecordText(u"Bot"), RecordText(u"alice"), RecordText(u"10.0.0.9"),
                           RecordInt(0), RecordText(u"main"), RecordInt(0),
                           RecordText(u"/gs hl " + LoopbackAddress(silent.Port()))});
  FakeHost::Instance().SetModeAnswer(0);
  ASSERT_EQ(Start(settings), 1);
  std::atomic<std::int32_t> inner_start{-1};
  FakeHost::Instance().SetHook([&](std::int32_t code, const std::vector<std::uint8_t>&) {
    if (code != 1020 || inner_start != -1) return;
    inner_start = module_->Start(5, &FakeHost::Callback, &FakeHost::Query);
  });
  Process(*module_, 1070, ask);
  for (int waited = 0; inner_start == -1 && waited < 5000; waited += 5)
    platform::SleepMilliseconds(5);
  EXPECT_EQ(inner_start.load(), 0);

  FakeHost::Instance().SetHook(nullptr);
  ASSERT_EQ(Start(settings), 1);
  FakeHost::Instance().ClearCalls();
  Process(*module_, 1070, ask);
  EXPECT_TRUE(FakeHost::Instance().WaitForCalls(1020, 1, 5000));
  EXPECT_TRUE(FakeHost::Instance().CallsWithCode(50).empty()) << "no direct-mode reply";
}

// A host may stop the plug-in from inside any callback that PluginStart,
// PluginProcess or "/reload" makes, and then unload it. The loader went on
// after such a callback, started the event timer and the worker after the
// stop, and the host died a moment later.
TEST_F(HostReentry, AStopFromInsideAnyCallbackEndsEverything) {
  enum class Trigger { kStart, kOnline, kReload };
  const struct {
    const char* name;
    bool virtual_user;
    std::int32_t stop_in;
    Trigger trigger;
  } cases[] = {
      {"query 2000", false, 2000, Trigger::kStart},
      {"query 11", false, 11, Trigger::kStart},
      {"67 at start", false, 67, Trigger::kStart},
      {"67 when online", false, 67, Trigger::kOnline},
      {"1001", true, 1001, Trigger::kStart},
      {"1002 on reload", true, 1002, Trigger::kReload},
      {"1026", true, 1026, Trigger::kOnline},
      {"query 1080", true, 1080, Trigger::kOnline},
      {"1027", true, 1027, Trigger::kOnline},
  };
  const std::u16string events =
      u"[Event_0]\r\nType=3\r\nDelay=1\r\nAddr=127.0.0.1:9\r\nGame=tcp\r\nSource=main\r\n"
      u"[Event_1]\r\nType=2\r\nAddr=127.0.0.1:9\r\nGame=tcp\r\n";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (&c != &cases[0]) {
      module_ = std::make_unique<ModuleUnderTest>(folder_ = MakeTestFolder("reentry"));
    }
    FakeHost& host = FakeHost::Instance();
    host.Reset();
    host.SetModeAnswer(c.virtual_user ? 0 : 1);
    host.SetChannelsAnswer(
        Concat({RecordInt(1), RecordText(u"other"), RecordInt(0), RecordText(u"")}));
    std::atomic<std::size_t> calls_at_stop{0};
    std::atomic<bool> armed{c.trigger == Trigger::kStart};
    host.SetHook([&](std::int32_t code, const std::vector<std::uint8_t>&) {
      if (code != c.stop_in || !armed.exchange(false)) return;
      module_->Stop();
      calls_at_stop = host.Calls().size() + host.QueriesAsked().size();
    });
    const std::int32_t started =
        Start(u"[Main]\r\nAdmUsers=root\r\n[VirtUser]\r\nName=Bot\r\n" + events);
    EXPECT_EQ(started, c.trigger == Trigger::kStart ? 0 : 1);
    if (c.trigger == Trigger::kReload) {
      WriteSettingsUtf16(folder_,
                         u"[Main]\r\nAdmUsers=root\r\n[VirtUser]\r\nName=Bot\r\nIP=1\r\n" + events);
      armed = true;
      Process(*module_, 1061,
              Concat({RecordText(u"Bot"), RecordText(u"root"), RecordText(u""), RecordInt(0),
                      RecordText(u"/reload")}));
    } else if (c.trigger == Trigger::kOnline) {
      armed = true;
      if (c.virtual_user) {
        Process(*module_, 1078, Concat({RecordText(u"Bot"), RecordText(u""), RecordInt(0)}));
      } else {
        Process(*module_, 3, RecordInt(2));
      }
    }
    ASSERT_NE(calls_at_stop.load(), 0u) << "the host never stopped the plug-in";
    module_->Unload();
    platform::SleepMilliseconds(1100);
    EXPECT_EQ(host.Calls().size() + host.QueriesAsked().size(), calls_at_stop.load())
        << "a call after the stop";
  }
}

}  // namespace
}  // namespace morvane::test
