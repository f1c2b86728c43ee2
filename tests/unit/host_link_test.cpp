// The host link: the records of every send operation in both modes, and how
// the two query operations treat short and empty answers.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "host/host_link.h"
#include "support/fake_host.h"

namespace morvane {
namespace {

using test::DecodeRecord;
using test::FakeHost;

// A query callback whose answer the test sets, counting its calls.
std::vector<std::uint8_t> g_answer;
std::int32_t g_announced = 0;
int g_query_calls = 0;

std::int32_t MORVANE_CALL ScriptedQuery(std::int32_t, std::int32_t, void* answer, std::int32_t size,
                                        const void*, std::int32_t) {
  ++g_query_calls;
  if (answer != nullptr) {
    std::copy(g_answer.begin(), g_answer.begin() + std::min<std::ptrdiff_t>(size, g_answer.size()),
              static_cast<std::uint8_t*>(answer));
  }
  return g_announced;
}

class HostLink : public ::testing::Test {
 protected:
  void Connect(bool virtual_user) {
    FakeHost::Instance().Reset();
    ConnectHost({9, &FakeHost::Callback, &ScriptedQuery, virtual_user});
    SetVirtualUserName(u"Bot");
    g_query_calls = 0;
  }
  void TearDown() override { DisconnectHost(std::chrono::steady_clock::now()); }
};

TEST_F(HostLink, DirectModeRecords) {
  Connect(false);
  EXPECT_TRUE(SendChannelMessage(u"main", u"pl", true).open);
  EXPECT_TRUE(SendPrivateMessage(u"ann", u"hi", false).open);
  EXPECT_TRUE(SendMode3Message(u"main", u"x").open);
  auto calls = FakeHost::Instance().Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].code, 50);
  EXPECT_EQ(calls[0].plugin_id, 9);
  EXPECT_EQ(calls[0].record.size(), 24u);
  EXPECT_EQ(DecodeRecord(calls[0].record, "tit"),
            (std::vector<std::u16string>{u"main", u"1", u"pl"}));
  EXPECT_EQ(calls[1].code, 70);
  EXPECT_EQ(DecodeRecord(calls[1].record, "tit"),
            (std::vector<std::u16string>{u"ann", u"0", u"hi"}));
  EXPECT_EQ(calls[2].code, 61);
  EXPECT_EQ(DecodeRecord(calls[2].record, "tt"), (std::vector<std::u16string>{u"main", u"x"}));
}

TEST_F(HostLink, VirtualUserRecordsPutTheNameFirstAndTheFlagBeforeTheTarget) {
  Connect(true);
  EXPECT_TRUE(SendChannelMessage(u"main", u"pl", false).open);
  EXPECT_TRUE(SendPrivateMessage(u"ann", u"hi", false).open);
  EXPECT_TRUE(SendMode3Message(u"main", u"x").open);
  auto calls = FakeHost::Instance().Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].code, 1020);
  EXPECT_EQ(DecodeRecord(calls[0].record, "titt"),
            (std::vector<std::u16string>{u"Bot", u"0", u"main", u"pl"}));
  EXPECT_EQ(calls[1].code, 1022);
  EXPECT_EQ(DecodeRecord(calls[1].record, "titt"),
            (std::vector<std::u16string>{u"Bot", u"0", u"ann", u"hi"}));
  EXPECT_EQ(calls[2].code, 1023);
  EXPECT_EQ(DecodeRecord(calls[2].record, "ttt"),
            (std::vector<std::u16string>{u"Bot", u"main", u"x"}));
}

TEST_F(HostLink, QueryHostIntTreatsEmptyAndShortAnswersAsNoAnswer) {
  Connect(false);
  const struct {
    std::int32_t announced;
    std::vector<std::uint8_t> answer;
    std::int32_t result;
    int calls;
  } cases[] = {
      {0, {}, -1, 1},  // no answer: no second call
      {-4, {}, -1, 1},
      {2, {1, 0}, -1, 2},  // shorter than an integer
      {4, {2, 0, 0, 0}, 2, 2},
      {8, {0, 0, 0, 0, 7, 7, 7, 7}, 0, 2},
      {4, {0xFF, 0xFF, 0xFF, 0xFF}, -1, 2},
      // An answer announced past 1 MiB is no answer: nothing is allocated.
      {kMaxHostAnswerBytes + 1, {}, -1, 1},
      {0x7FFFFFFF, {}, -1, 1},
  };
  for (const auto& c : cases) {
    g_announced = c.announced;
    g_answer = c.answer;
    g_query_calls = 0;
    const HostInt answer = QueryHostInt(2000);
    EXPECT_EQ(answer.value, c.result) << c.announced;
    EXPECT_TRUE(answer.open) << c.announced;
    EXPECT_EQ(g_query_calls, c.calls) << c.announced;
  }
}

TEST_F(HostLink, QueryHostRecordReturnsAnEmptyAnswerForNoAnswer) {
  Connect(false);
  g_announced = 0;
  HostAnswer none = QueryHostRecord(1080, {1, 0, 0, 0});
  EXPECT_EQ(none.result, 0);
  EXPECT_TRUE(none.answer.empty());
  EXPECT_EQ(g_query_calls, 1);
  g_announced = kMaxHostAnswerBytes + 1;
  g_query_calls = 0;
  HostAnswer huge = QueryHostRecord(1080, {});
  EXPECT_TRUE(huge.answer.empty());
  EXPECT_EQ(g_query_calls, 1);
  g_announced = 3;
  g_answer = {5, 6, 7};
  HostAnswer some = QueryHostRecord(1080, {});
  EXPECT_EQ(some.result, 3);
  EXPECT_EQ(some.answer, (std::vector<std::uint8_t>{5, 6, 7}));
}

TEST_F(HostLink, NothingIsSentOnceTheLinkIsClosed) {
  Connect(false);
  DisconnectHost(std::chrono::steady_clock::now());
  EXPECT_FALSE(SendChannelMessage(u"main", u"late", false).open);
  EXPECT_FALSE(SendHostRecord(67, {}).open);
  EXPECT_FALSE(QueryHostInt(2000).open);
  EXPECT_TRUE(FakeHost::Instance().Calls().empty());
  EXPECT_EQ(g_query_calls, 0);
}

// A query callback that stops the plug-in inside its first call.
std::int32_t MORVANE_CALL StoppingQuery(std::int32_t id, std::int32_t code, void* answer,
                                        std::int32_t size, const void* input, std::int32_t length) {
  DisconnectHost(std::chrono::steady_clock::now());
  return ScriptedQuery(id, code, answer, size, input, length);
}

// Each call says whether its session outlived it: a host that stops the
// plug-in inside a send, or between the two calls of a query, leaves it
// closed, also when it opens a new session at once; and the query's second
// call is not made.
TEST_F(HostLink, ACallInsideWhichTheHostStopsSaysTheLinkIsClosed) {
  for (const bool restart : {false, true}) {
    Connect(false);
    FakeHost::Instance().SetHook([restart](std::int32_t, const std::vector<std::uint8_t>&) {
      DisconnectHost(std::chrono::steady_clock::now());
      if (restart) ConnectHost({9, &FakeHost::Callback, &ScriptedQuery, false});
    });
    EXPECT_FALSE(SendHostRecord(67, {}).open) << restart;
    EXPECT_EQ(LinkOpen(), restart);
  }
  g_announced = 4;
  g_answer = {2, 0, 0, 0};
  for (const bool record : {false, true}) {
    ConnectHost({9, &FakeHost::Callback, &StoppingQuery, false});
    g_query_calls = 0;
    EXPECT_FALSE(record ? QueryHostRecord(1080, {}).open : QueryHostInt(2000).open) << record;
    EXPECT_EQ(g_query_calls, 1) << "the second call finds the link closed";
  }
}

}  // namespace
}  // namespace morvane
