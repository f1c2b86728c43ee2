// The outgoing queue and its pace, the command count and the channel life,
// on a clock the test moves.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "irc/channel_life.h"
#include "irc/command_rate.h"
#include "irc/output_queue.h"

namespace morvane::irc {
namespace {

using namespace std::chrono_literals;
using Clock = OutputQueue::Clock;

struct FakeClock {
  Clock::time_point now = Clock::time_point() + 1000s;
  OutputQueue::Now Function() {
    return [this] { return now; };
  }
};

// Sends whatever is due at each step of 100 ms; returns the send times in
// milliseconds from the start.
std::vector<long> Drain(OutputQueue& pacer, FakeClock& clock, long until_ms) {
  std::vector<long> sent;
  const auto start = clock.now;
  for (long t = 0; t <= until_ms; t += 100) {
    clock.now = start + std::chrono::milliseconds(t);
    while (pacer.PopDue()) sent.push_back(t);
  }
  return sent;
}

TEST(IrcPacer, BurstThenOneLinePerInterval) {
  struct Case {
    Pace pace;
    int lines;
    std::vector<long> want;
  } cases[] = {
      {{4, 700ms}, 7, {0, 0, 0, 0, 700, 1400, 2100}},
      {{1, 500ms}, 3, {0, 500, 1000}},
      {{3, 1000ms}, 2, {0, 0}},
  };
  for (const auto& c : cases) {
    FakeClock clock;
    OutputQueue pacer(c.pace, 50, clock.Function());
    for (int i = 0; i < c.lines; ++i) pacer.Push("line " + std::to_string(i));
    EXPECT_EQ(Drain(pacer, clock, 10000), c.want);
  }
}

TEST(IrcPacer, QuietTimeRefillsTheBurstButNoMore) {
  FakeClock clock;
  OutputQueue pacer({4, 700ms}, 50, clock.Function());
  for (int i = 0; i < 6; ++i) pacer.Push("x");
  EXPECT_EQ(Drain(pacer, clock, 1400).size(), 6u);
  // Ten quiet seconds give back the burst of 4, not 14 lines.
  clock.now += 10s;
  for (int i = 0; i < 6; ++i) pacer.Push("y");
  EXPECT_EQ(Drain(pacer, clock, 1400), (std::vector<long>{0, 0, 0, 0, 700, 1400}));
}

TEST(IrcPacer, OwnLinesGoBeforeRepliesAndResetStartsAfresh) {
  FakeClock clock;
  OutputQueue pacer({1, 700ms}, 50, clock.Function());
  pacer.PushReply("#a", {"PRIVMSG #a :1", "PRIVMSG #a :2"});
  pacer.Push("JOIN #b");
  pacer.PushUrgent("PONG :x");
  EXPECT_EQ(pacer.PopDue(), "PONG :x");
  clock.now += 700ms;
  EXPECT_EQ(pacer.PopDue(), "JOIN #b");
  EXPECT_FALSE(pacer.PopDue());
  EXPECT_EQ(pacer.NextDue(), clock.now + 700ms);
  EXPECT_EQ(pacer.Reset(), 2u);
  EXPECT_EQ(pacer.Size(), 0u);
  // A new connection owes the server nothing.
  pacer.Push("NICK a");
  EXPECT_EQ(pacer.PopDue(), "NICK a");
}

// Pushes replies with no pace to speak of and returns the order they leave in.
std::vector<std::string> Order(std::size_t cap,
                               const std::vector<std::vector<std::string>>& replies) {
  FakeClock clock;
  OutputQueue queue({1, 0ms}, cap, clock.Function());
  for (const auto& lines : replies) queue.PushReply(lines[0].substr(8, 2), lines);
  std::vector<std::string> sent;
  while (auto line = queue.PopDue()) sent.push_back(line->substr(line->find(' ') + 1));
  return sent;
}

TEST(IrcOutputQueue, TargetsTakeTurnsWithinTheirLimits) {
  const std::string a = "PRIVMSG #a :", b = "PRIVMSG #b :";
  struct Case {
    const char* what;
    std::size_t cap;
    std::vector<std::vector<std::string>> replies;
    std::vector<std::string> want;
  } cases[] = {
      {"turns", 50, {{a + "1", a + "2", a + "3"}, {b + "1"}}, {"#a :1", "#b :1", "#a :2", "#a :3"}},
      {"the newest reply stays whole",
       2,
       {{a + "1", a + "2", a + "3"}},
       {"#a :1", "#a :2", "#a :3"}},
      {"oldest replies dropped, one note",
       3,
       {{a + "x", a + "x"}, {a + "y", a + "y"}, {a + "z", a + "z"}, {b + "1"}},
       {"#a :(2 earlier replies dropped: too much queued)", "#b :1", "#a :z", "#a :z"}},
      {"same report, fresh numbers: replaced in its turn",
       50,
       {{a + "12 of 24 on 10.0.0.1"}, {a + "other"}, {a + "3 of 24 on 10.0.0.1"}},
       {"#a :3 of 24 on 10.0.0.1", "#a :other"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Order(c.cap, c.replies), c.want) << c.what;
}

TEST(IrcOutputQueue, OneLineWaitsAFewLinesBehindALongReplyAndDroppedTargetsAreGone) {
  FakeClock clock;
  OutputQueue queue({4, 700ms}, 50, clock.Function());
  std::vector<std::string> long_reply(300, "PRIVMSG #main :player");
  queue.PushReply("#main", long_reply);
  EXPECT_EQ(Drain(queue, clock, 2000).size(), 6u);
  queue.PushReply("#games", {"PRIVMSG #games :answer"});
  queue.PushReply("bob", {"NOTICE bob :hi"});
  clock.now += 700ms;
  EXPECT_EQ(queue.PopDue(), "PRIVMSG #main :player");  // its turn came first
  clock.now += 700ms;
  EXPECT_EQ(queue.PopDue(), "PRIVMSG #games :answer");
  EXPECT_EQ(queue.DropTarget("#MAIN"), 293u);
  clock.now += 700ms;
  EXPECT_EQ(queue.PopDue(), "NOTICE bob :hi");
  EXPECT_EQ(queue.Size(), 0u);
}

TEST(IrcCommandRate, SixAMinuteThenIgnoredForTwoMinutesAndToldOnce) {
  using V = CommandRate::Verdict;
  FakeClock clock;
  CommandRate rate(6, 120s, clock.Function());
  const std::string eve = CommandRate::UserKey("eve!e@host.example");
  EXPECT_EQ(eve, CommandRate::UserKey("eve2!x@HOST.example"));  // a new nick is no escape
  struct Step {
    std::chrono::seconds after;
    std::string user;
    V want;
  } steps[] = {
      {0s, eve, V::kAllow},     {1s, eve, V::kAllow},         {1s, eve, V::kAllow},
      {1s, eve, V::kAllow},     {1s, eve, V::kAllow},         {1s, eve, V::kAllow},
      {1s, "other", V::kAllow}, {1s, eve, V::kStartIgnoring}, {1s, eve, V::kIgnored},
      {118s, eve, V::kIgnored}, {1s, eve, V::kAllow},  // two minutes after the seventh
  };
  for (const auto& step : steps) {
    clock.now += step.after;
    EXPECT_EQ(rate.Count(step.user), step.want) << step.user << " after " << step.after.count();
  }
  EXPECT_FALSE(rate.Ignored(eve));
}

TEST(IrcChannelLife, KicksAndRefusalsWaitLongerEachTime) {
  FakeClock clock;
  ChannelLife life(10s, clock.Function());
  life.Asked("#main");
  life.Joined("#main");
  EXPECT_EQ(life.Kicked("#Main"), 10s);
  EXPECT_TRUE(life.Due().empty());
  clock.now += 10s;
  EXPECT_EQ(life.Due(), std::vector<std::string>{"#main"});
  life.Joined("#main");
  EXPECT_EQ(life.Kicked("#main"), 20s);
  life.Joined("#main");
  clock.now += 300s;  // settled: the waits start again
  EXPECT_EQ(life.Kicked("#main"), 10s);
  EXPECT_EQ(life.Kicked("#other"), std::nullopt);  // never the plug-in's
  EXPECT_FALSE(life.Invited("#other"));

  life.Asked("#full");
  EXPECT_EQ(life.Refused("#full", "471"), 30s);
  EXPECT_EQ(life.Refused("#full", "471"), 60s);
  life.Asked("#keyed");
  EXPECT_EQ(life.Refused("#keyed", "475"), std::nullopt);
  EXPECT_TRUE(life.Invited("#keyed"));
  EXPECT_FALSE(life.Invited("#keyed"));  // joining already
  life.Asked("#reg");
  EXPECT_EQ(life.Refused("#reg", "477"), std::nullopt);
  EXPECT_EQ(life.LoggedIn(), std::vector<std::string>{"#reg"});
  EXPECT_TRUE(life.LoggedIn().empty());
}

TEST(IrcChannelLife, BansThatMatchTheBot) {
  const std::string self = "Morvane!~bot@host.example";
  struct Case {
    std::vector<std::string> params;
    bool banned;
  } cases[] = {
      {{"#c", "+b", "*!*@host.example"}, true},
      {{"#c", "+ob", "alice", "morvane!*@*"}, true},
      {{"#c", "+vb-b", "alice", "*!*@other", "*!*@host.example"}, false},
      {{"#c", "+lb", "10", "M?rvane!*"}, true},
      {{"#c", "-lb", "*!~bot@*"}, false},
      {{"#c", "+b"}, false},
  };
  for (const auto& c : cases) {
    bool banned = false;
    for (const auto& mask : BannedMasks({"op", "MODE", c.params, {}}))
      banned |= MaskMatches(mask, self);
    EXPECT_EQ(banned, c.banned) << c.params[1];
  }
}

}  // namespace
}  // namespace morvane::irc
