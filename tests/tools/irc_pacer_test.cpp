// The outgoing pace, on a clock the test moves.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "irc/line_pacer.h"

namespace morvane::irc {
namespace {

using namespace std::chrono_literals;
using Clock = LinePacer::Clock;

struct FakeClock {
  Clock::time_point now = Clock::time_point() + 1000s;
  LinePacer::Now Function() {
    return [this] { return now; };
  }
};

// Sends whatever is due at each step of 100 ms; returns the send times in
// milliseconds from the start.
std::vector<long> Drain(LinePacer& pacer, FakeClock& clock, long until_ms) {
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
    LinePacer pacer(c.pace, clock.Function());
    for (int i = 0; i < c.lines; ++i) pacer.Push("line " + std::to_string(i));
    EXPECT_EQ(Drain(pacer, clock, 10000), c.want);
  }
}

TEST(IrcPacer, QuietTimeRefillsTheBurstButNoMore) {
  FakeClock clock;
  LinePacer pacer({4, 700ms}, clock.Function());
  for (int i = 0; i < 6; ++i) pacer.Push("x");
  EXPECT_EQ(Drain(pacer, clock, 1400).size(), 6u);
  // Ten quiet seconds give back the burst of 4, not 14 lines.
  clock.now += 10s;
  for (int i = 0; i < 6; ++i) pacer.Push("y");
  EXPECT_EQ(Drain(pacer, clock, 1400), (std::vector<long>{0, 0, 0, 0, 700, 1400}));
}

TEST(IrcPacer, UrgentLinesGoFirstAndResetStartsAfresh) {
  FakeClock clock;
  LinePacer pacer({1, 700ms}, clock.Function());
  pacer.Push("PRIVMSG #a :1");
  pacer.Push("PRIVMSG #a :2");
  pacer.PushUrgent("PONG :x");
  EXPECT_EQ(pacer.PopDue(), "PONG :x");
  EXPECT_FALSE(pacer.PopDue());
  EXPECT_EQ(pacer.NextDue(), clock.now + 700ms);
  EXPECT_EQ(pacer.Reset(), 2u);
  EXPECT_EQ(pacer.Size(), 0u);
  // A new connection owes the server nothing.
  pacer.Push("NICK a");
  EXPECT_EQ(pacer.PopDue(), "NICK a");
}

}  // namespace
}  // namespace morvane::irc
