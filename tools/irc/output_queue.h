// The outgoing lines of one IRC connection and their pace. Servers disconnect
// a client that sends faster than they read ("Excess Flood"), so lines leave
// in a burst of a few and then one per interval, over every target. The pace
// is kept as the time at which the sender's allowance would be used up (the
// generic cell rate algorithm): a line may go while that time is less than a
// burst ahead. Time comes from a clock the owner supplies, so tests need not
// wait.
//
// What goes first: urgent lines (PONG), then the connection's own lines
// (NICK, JOIN, ...), then the replies. Each target (a channel or a nick) has
// a queue of its own, and the targets take turns, one line each, so that one
// long reply does not hold up the one-line answer in another channel. A
// target holds at most a set number of lines: past it, its oldest replies
// give way to one line that says how many were dropped.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::irc {

struct Pace {
  int burst = 4;                            // lines that may leave at once
  std::chrono::milliseconds interval{700};  // then one line per interval
};

class OutputQueue {
 public:
  using Clock = std::chrono::steady_clock;
  using Now = std::function<Clock::time_point()>;

  explicit OutputQueue(Pace pace = {}, std::size_t target_lines = 50, Now now = &Clock::now);

  // Queues a line of the connection's own, before every reply (a PONG
  // must not wait behind a long reply, or the server times the connection
  // out): urgent lines before the others.
  void Push(std::string line);
  void PushUrgent(std::string line);
  // Queues one reply (the lines of one message of the plug-in) to a target,
  // as whole command lines. A reply whose text equals one still queued for
  // the target once its ASCII digits are removed is the same report with
  // fresh numbers (a periodic event that fires again before its last reply
  // has gone): it takes that reply's place and turn instead of piling up.
  // Past the target's limit, its oldest replies are dropped (never the new
  // one) and a NOTICE to the target tells how many. Returns how many lines
  // were dropped.
  std::size_t PushReply(std::string_view target, std::vector<std::string> lines);
  // Drops what is queued for the target; returns how many lines.
  std::size_t DropTarget(std::string_view target);

  // The next line when the pace lets it go now, and counts it as sent.
  std::optional<std::string> PopDue();
  // When the next line may go: now or later; nothing when the queue is empty.
  std::optional<Clock::time_point> NextDue() const;

  std::size_t Size() const;
  // Drops every queued line and forgets what was sent: a new connection
  // starts with a full burst. Returns how many lines were dropped.
  std::size_t Reset();

 private:
  struct Reply {
    std::deque<std::string> lines;
    std::string shape;     // the lines without their ASCII digits
    bool started = false;  // a line of it has gone
    int dropped = 0;       // a note of this many dropped replies, when > 0
  };
  struct Target {
    std::string name;
    std::deque<Reply> replies;
    std::size_t lines = 0;
  };

  Clock::time_point EarliestSend() const;
  void Trim(Target& target, std::size_t& dropped);

  Pace pace_;
  std::size_t target_lines_;
  Now now_;
  std::deque<std::string> own_;
  std::map<std::string, Target> targets_;  // by the target's name in lower case
  std::deque<std::string> turns_;          // the keys of targets_, next first
  // The time by which every line sent so far would have left at exactly one
  // per interval.
  Clock::time_point theoretical_{};
};

}  // namespace morvane::irc
