// The worker under test: a handler of the test's own, a resolver that
// answers names without the machine's DNS, and a fixture that queues requests
// and reads what was delivered.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

#include "common/text.h"
#include "platform/program_support.h"
#include "plugin/lifecycle.h"
#include "scan/game_scan.h"
#include "support/core_fixture.h"
#include "support/udp_responder.h"

namespace morvane::test {
namespace {

// Takes datagrams that start with "OK" (the rest is the server name), asks
// again for "CH", ignores everything else. For player kinds it writes one line.
class TestHandler final : public ReplyHandler {
 public:
  explicit TestHandler(std::atomic<int>* datagrams_seen) : seen_(datagrams_seen) {}
  std::span<const std::uint8_t> FirstQuery(const ScanRequest&) override { return kQuery; }
  std::span<const std::uint8_t> NextQuery() override { return kAgain; }
  Verdict OnDatagram(std::span<const std::uint8_t> datagram, AddressItem& item) override {
    ++*seen_;
    std::string text(datagram.begin(), datagram.end());
    if (text.rfind("CH", 0) == 0) return Verdict::kQueryAgain;
    if (text.rfind("OK", 0) != 0) return Verdict::kIgnored;
    item.values.name = text.substr(2);
    if (item.request.Players) {
      if (!item.request.PlTitle.empty()) item.output.AppendHeader(item.index, item.request.PlTitle);
      item.output.AppendPlayerLine(AsciiToUtf16(text.substr(2)), true);
    }
    return Verdict::kAnswered;
  }

 private:
  static constexpr std::uint8_t kQuery[] = {'Q'};
  static constexpr std::uint8_t kAgain[] = {'A'};
  std::atomic<int>* seen_;
};

// A resolver of the test's own, in place of the system's while it lives, so
// that no test waits on the machine's DNS: it notes every name it is asked,
// answers "up.test" with loopback, holds a name that starts with "hangs"
// until released (at most 3 s), and answers every other name with nothing at
// once. Its end releases them and waits for their threads.
class TestResolver {
 public:
  TestResolver() {
    platform::SetNameResolverForTesting([state = state_](std::u16string_view host) -> std::string {
      {
        std::lock_guard lock(state->lock);
        state->asked.emplace_back(host);
      }
      if (host == u"up.test") return "127.0.0.1";
      if (!host.starts_with(u"hangs")) return "";
      for (int i = 0; i < 600 && !state->released; ++i) platform::SleepMilliseconds(5);
      return "127.0.0.1";
    });
  }
  ~TestResolver() {
    state_->released = true;
    for (int i = 0; i < 400 && !platform::SettleNameLookups(); ++i) platform::SleepMilliseconds(10);
    platform::SetNameResolverForTesting(nullptr);
  }
  std::vector<std::u16string> Asked() const {
    std::lock_guard lock(state_->lock);
    return state_->asked;
  }

 private:
  struct State {
    std::mutex lock;  // Guards asked.
    std::vector<std::u16string> asked;
    std::atomic<bool> released{false};
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

class Worker : public CoreTest {
 protected:
  void SetUp() override {
    with_worker_ = true;
    resolver_.emplace();
    plugin_.worker.SetHandlersForTesting(
        [this](std::uint8_t) { return std::make_unique<TestHandler>(&seen_); });
    CoreTest::SetUp();
    ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nChannels=main\r\n"), 1);
    FakeHost::Instance().ClearCalls();
  }
  void TearDown() override {
    CoreTest::TearDown();
    resolver_.reset();
  }

  void Ask(std::u16string_view addr, std::u16string_view kind = u"hl", std::int32_t msg_type = 1,
           std::int32_t timeout = 300, std::u16string_view pl_title = u"",
           std::int32_t parallel = 1, std::int32_t retries = 0) {
    AddScanItem(plugin_, kind,
                {.Addr = std::u16string(addr),
                 .ChOrUser = u"main",
                 .OutTitle = u"T:",
                 .Format = u"%addr% is %name%",
                 .PlTitle = std::u16string(pl_title),
                 .OffFormat = u"%addr% off",
                 .Delimiter = u" | ",
                 .PlDelimiter = u", ",
                 .MsgType = msg_type,
                 .TimeOut = timeout,
                 .Parallel = parallel,
                 .Retries = retries,
                 .Requests = requests_,
                 .MaxReply = max_reply_,
                 .CutText = u"[cut]"});
  }
  // Waits for the queue to empty, pumping messages; true when it did.
  bool WaitForIdle(int timeout_ms = 10000) {
    for (int waited = 0; waited < timeout_ms; waited += 10) {
      if (plugin_.queue->Count() == 0) return true;
      platform::SleepMilliseconds(10);
    }
    return false;
  }
  std::vector<std::u16string> Delivered(std::int32_t code = 50, const char* layout = "tit") {
    std::vector<std::u16string> texts;
    for (const auto& call : FakeHost::Instance().CallsWithCode(code)) {
      texts.push_back(DecodeRecord(call.record, layout).back());
    }
    return texts;
  }

  std::atomic<int> seen_{0};
  std::int32_t max_reply_ = 0;
  std::int32_t requests_ = 1;
  std::optional<TestResolver> resolver_;
};

}  // namespace
}  // namespace morvane::test
