// The outgoing queue of one IRC connection and its pace. Servers disconnect
// a client that sends faster than they read ("Excess Flood"), so lines leave
// in a burst of a few and then one per interval. The pace is kept as the
// time at which the sender's allowance would be used up (the generic cell
// rate algorithm): a line may go while that time is less than a burst ahead.
// Time comes from a clock the owner supplies, so tests need not wait.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace morvane::irc {

struct Pace {
  int burst = 4;                            // lines that may leave at once
  std::chrono::milliseconds interval{700};  // then one line per interval
};

class LinePacer {
 public:
  using Clock = std::chrono::steady_clock;
  using Now = std::function<Clock::time_point()>;

  explicit LinePacer(Pace pace = {}, Now now = &Clock::now);

  // Queues a line behind the others.
  void Push(std::string line);
  // Queues a line before the others (a PONG must not wait behind a long
  // reply, or the server times the connection out).
  void PushUrgent(std::string line);

  // The first line when the pace lets it go now, and counts it as sent.
  std::optional<std::string> PopDue();
  // When the first line may go: now or later; nothing when the queue is empty.
  std::optional<Clock::time_point> NextDue() const;

  std::size_t Size() const { return lines_.size(); }
  // Drops the queued lines and forgets what was sent: a new connection
  // starts with a full burst. Returns how many lines were dropped.
  std::size_t Reset();

 private:
  Clock::time_point EarliestSend() const;

  Pace pace_;
  Now now_;
  std::deque<std::string> lines_;
  // The time by which every line sent so far would have left at exactly one
  // per interval.
  Clock::time_point theoretical_{};
};

}  // namespace morvane::irc
