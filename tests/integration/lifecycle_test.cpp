// The module loaded as a host loads it: start, stop, self-description, the
// settings it reads at start and what it tells the host.
#include <gtest/gtest.h>

#include <memory>

#include "support/fake_host.h"
#include "support/module_under_test.h"

namespace morvane::test {
namespace {

class Lifecycle : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new std::string(MakeTestFolder("lifecycle"));
    module_ = new ModuleUnderTest(*folder_);
  }
  // The module stays loaded until the process ends, as a careful host keeps
  // it: PluginStop waits for the worker a bounded time only.
  void SetUp() override {
    FakeHost::Instance().Reset();
    RemoveSettings(*folder_);
  }
  void TearDown() override { module_->Stop(); }

  std::int32_t Start() { return module_->Start(42, &FakeHost::Callback, &FakeHost::Query); }

  static std::string* folder_;
  static ModuleUnderTest* module_;
};

std::string* Lifecycle::folder_ = nullptr;
ModuleUnderTest* Lifecycle::module_ = nullptr;

TEST_F(Lifecycle, GetDataAnswersTheDisplayNameAndZero) {
  std::vector<std::uint8_t> buffer(32, 0xAA);
  EXPECT_EQ(module_->GetData(2810, 0, 0, buffer.data(), 0), 18);
  EXPECT_EQ(buffer, std::vector<std::uint8_t>(32, 0xAA)) << "size 0 writes nothing";

  EXPECT_EQ(module_->GetData(2810, 0, 0, buffer.data(), 32), 18);
  std::vector<std::uint8_t> name(buffer.begin(), buffer.begin() + 18);
  EXPECT_EQ(name, RecordText(u"Morvane"));
  EXPECT_EQ(buffer[18], 0xAA) << "nothing past the answer";

  std::fill(buffer.begin(), buffer.end(), 0xAA);
  EXPECT_EQ(module_->GetData(2800, 0, 0, buffer.data(), 4), 4);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + 4), RecordInt(0));
}

TEST_F(Lifecycle, GetDataNeverWritesPastASmallBufferOrForUnknownCodes) {
  std::vector<std::uint8_t> buffer(32, 0xAA);
  const struct {
    std::int32_t code;
    std::int32_t size;
    std::int32_t result;
  } cases[] = {{2810, 17, 18}, {2810, 1, 18}, {2810, -5, 18}, {2800, 3, 4},
               {0, 32, 0},     {2801, 32, 0}, {-1, 32, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(module_->GetData(c.code, 0, 0, buffer.data(), c.size), c.result) << c.code;
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(32, 0xAA)) << c.code << " size " << c.size;
  }
  EXPECT_EQ(module_->GetData(2810, 0, 0, nullptr, 18), 18);
}

TEST_F(Lifecycle, DirectModeJoinsTheDefaultChannelWhenTheHostUserIsConnected) {
  EXPECT_EQ(Start(), 1);
  auto queries = FakeHost::Instance().QueriesAsked();
  ASSERT_GE(queries.size(), 2u);
  EXPECT_EQ(queries.front(), 2000);
  auto joins = FakeHost::Instance().CallsWithCode(67);
  ASSERT_EQ(joins.size(), 1u);
  EXPECT_EQ(joins[0].plugin_id, 42);
  EXPECT_EQ(DecodeRecord(joins[0].record, "it"), (std::vector<std::u16string>{u"1", u"main"}));
}

TEST_F(Lifecycle, DirectModeWhateverTheModeAnswerIsUnlessZero) {
  for (std::int32_t answer : {1, -1, 7}) {
    FakeHost::Instance().Reset();
    FakeHost::Instance().SetModeAnswer(answer);
    FakeHost::Instance().SetConnectionAnswer(0);
    EXPECT_EQ(Start(), 1) << answer;
    EXPECT_TRUE(FakeHost::Instance().CallsWithCode(1001).empty()) << answer;
    EXPECT_TRUE(FakeHost::Instance().Calls().empty()) << "not connected: no join, " << answer;
    module_->Stop();
  }
}

TEST_F(Lifecycle, VirtualUserModeLogsInWithTheDefaultIdentity) {
  FakeHost::Instance().SetModeAnswer(0);
  EXPECT_EQ(Start(), 1);
  auto logins = FakeHost::Instance().CallsWithCode(1001);
  ASSERT_EQ(logins.size(), 1u);
  EXPECT_EQ(DecodeRecord(logins[0].record, "ttiti"),
            (std::vector<std::u16string>{u"Morvane", u"N/A", u"0", u"PineMarshGlow", u"0"}));
}

TEST_F(Lifecycle, VirtualUserModeRefusesAnEmptyPassword) {
  WriteSettingsUtf16(*folder_,
                     u"[VirtUser]\r\nPassword=\r\n[Event_0]\r\nType=3\r\nAddr=x\r\nGame=hl\r\n");
  FakeHost::Instance().SetModeAnswer(0);
  EXPECT_EQ(Start(), 0);
  EXPECT_TRUE(FakeHost::Instance().Calls().empty());
}

TEST_F(Lifecycle, VirtualUserModeTakesConfiguredIdentity) {
  WriteSettingsUtf16(*folder_, u"[virtuser]\r\nNAME = Бот\r\nIP=10.0.0.1\r\nPassword=pw\r\n",
                     false);
  FakeHost::Instance().SetModeAnswer(0);
  EXPECT_EQ(Start(), 1);
  auto logins = FakeHost::Instance().CallsWithCode(1001);
  ASSERT_EQ(logins.size(), 1u);
  EXPECT_EQ(DecodeRecord(logins[0].record, "ttiti"),
            (std::vector<std::u16string>{u"Бот", u"10.0.0.1", u"0", u"pw", u"0"}));
}

TEST_F(Lifecycle, StopTwiceAndStopWithoutStartAreHarmless) {
  module_->Stop();
  module_->Stop();
  EXPECT_EQ(Start(), 1);
  module_->Stop();
  module_->Stop();
  FakeHost::Instance().ClearCalls();
  module_->Stop();
  EXPECT_TRUE(FakeHost::Instance().Calls().empty());
}

}  // namespace
}  // namespace morvane::test
