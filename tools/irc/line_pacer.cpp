#include "line_pacer.h"

#include <algorithm>

namespace morvane::irc {

LinePacer::LinePacer(Pace pace, Now now) : pace_(pace), now_(std::move(now)) {
  pace_.burst = std::max(pace_.burst, 1);
  pace_.interval = std::max(pace_.interval, std::chrono::milliseconds(0));
}

void LinePacer::Push(std::string line) { lines_.push_back(std::move(line)); }

void LinePacer::PushUrgent(std::string line) { lines_.push_front(std::move(line)); }

LinePacer::Clock::time_point LinePacer::EarliestSend() const {
  return theoretical_ - pace_.interval * (pace_.burst - 1);
}

std::optional<std::string> LinePacer::PopDue() {
  if (lines_.empty()) return std::nullopt;
  const Clock::time_point now = now_();
  if (EarliestSend() > now) return std::nullopt;
  theoretical_ = std::max(theoretical_, now) + pace_.interval;
  std::string line = std::move(lines_.front());
  lines_.pop_front();
  return line;
}

std::optional<LinePacer::Clock::time_point> LinePacer::NextDue() const {
  if (lines_.empty()) return std::nullopt;
  return std::max(EarliestSend(), now_());
}

std::size_t LinePacer::Reset() {
  std::size_t dropped = lines_.size();
  lines_.clear();
  theoretical_ = {};
  return dropped;
}

}  // namespace morvane::irc
