#include "output_queue.h"

#include <algorithm>

#include "irc_line.h"

namespace morvane::irc {
namespace {

std::string ShapeOf(const std::vector<std::string>& lines) {
  std::string shape;
  for (const std::string& line : lines) {
    for (char c : line) {
      if (c < '0' || c > '9') shape += c;
    }
    shape += '\n';
  }
  return shape;
}

std::string DroppedNote(std::string_view target, int replies) {
  return FormatIrcLine("NOTICE", {std::string(target)},
                       "(" + std::to_string(replies) +
                           (replies == 1 ? " earlier reply" : " earlier replies") +
                           " dropped: too much queued)");
}

}  // namespace

OutputQueue::OutputQueue(Pace pace, std::size_t target_lines, Now now)
    : pace_(pace), target_lines_(std::max<std::size_t>(target_lines, 1)), now_(std::move(now)) {
  pace_.burst = std::max(pace_.burst, 1);
  pace_.interval = std::max(pace_.interval, std::chrono::milliseconds(0));
}

void OutputQueue::Push(std::string line) { own_.push_back(std::move(line)); }

void OutputQueue::PushUrgent(std::string line) { own_.push_front(std::move(line)); }

std::size_t OutputQueue::PushReply(std::string_view target_name, std::vector<std::string> lines) {
  if (lines.empty()) return 0;
  const std::string key = IrcLower(target_name);
  auto [it, added] = targets_.try_emplace(key);
  Target& target = it->second;
  if (added) {
    target.name = std::string(target_name);
    turns_.push_back(key);
  }
  Reply reply;
  reply.shape = ShapeOf(lines);
  reply.lines.assign(std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
  // A reply not yet begun with the same shape is replaced where it stands.
  // One being sent is left to finish: the new one queues behind it.
  auto same = std::find_if(target.replies.begin(), target.replies.end(), [&](const Reply& r) {
    return !r.started && r.dropped == 0 && r.shape == reply.shape;
  });
  if (same != target.replies.end()) {
    target.lines = target.lines - same->lines.size() + reply.lines.size();
    *same = std::move(reply);
  } else {
    target.lines += reply.lines.size();
    target.replies.push_back(std::move(reply));
  }
  std::size_t dropped = 0;
  Trim(target, dropped);
  return dropped;
}

// Drops the oldest replies but the newest while the target holds too many
// lines; the dropped ones become one note at the front, in their place.
void OutputQueue::Trim(Target& target, std::size_t& dropped) {
  while (target.lines > target_lines_) {
    auto& replies = target.replies;
    const bool has_note = replies.front().dropped > 0;
    const std::size_t oldest = has_note ? 1 : 0;
    if (oldest + 1 >= replies.size()) return;
    dropped += replies[oldest].lines.size();
    target.lines -= replies[oldest].lines.size();
    replies.erase(replies.begin() + static_cast<std::ptrdiff_t>(oldest));
    if (has_note) {
      replies.front().lines = {DroppedNote(target.name, ++replies.front().dropped)};
    } else {
      Reply note;
      note.dropped = 1;
      note.lines = {DroppedNote(target.name, 1)};
      replies.push_front(std::move(note));
      target.lines += 1;
    }
  }
}

std::size_t OutputQueue::DropTarget(std::string_view target_name) {
  auto it = targets_.find(IrcLower(target_name));
  if (it == targets_.end()) return 0;
  const std::size_t dropped = it->second.lines;
  std::erase(turns_, it->first);
  targets_.erase(it);
  return dropped;
}

OutputQueue::Clock::time_point OutputQueue::EarliestSend() const {
  return theoretical_ - pace_.interval * (pace_.burst - 1);
}

std::optional<std::string> OutputQueue::PopDue() {
  if (own_.empty() && turns_.empty()) return std::nullopt;
  const Clock::time_point now = now_();
  if (EarliestSend() > now) return std::nullopt;
  theoretical_ = std::max(theoretical_, now) + pace_.interval;
  std::string line;
  if (!own_.empty()) {
    line = std::move(own_.front());
    own_.pop_front();
    return line;
  }
  // The target whose turn it is gives one line and goes to the back, or
  // leaves the turns when it has nothing more.
  const std::string key = std::move(turns_.front());
  turns_.pop_front();
  Target& target = targets_.at(key);
  Reply& reply = target.replies.front();
  line = std::move(reply.lines.front());
  reply.lines.pop_front();
  reply.started = true;
  --target.lines;
  if (reply.lines.empty()) target.replies.pop_front();
  if (target.replies.empty()) {
    targets_.erase(key);
  } else {
    turns_.push_back(key);
  }
  return line;
}

std::optional<OutputQueue::Clock::time_point> OutputQueue::NextDue() const {
  if (own_.empty() && turns_.empty()) return std::nullopt;
  return std::max(EarliestSend(), now_());
}

std::size_t OutputQueue::Size() const {
  std::size_t size = own_.size();
  for (const auto& [key, target] : targets_) size += target.lines;
  return size;
}

std::size_t OutputQueue::Reset() {
  const std::size_t dropped = Size();
  own_.clear();
  targets_.clear();
  turns_.clear();
  theoretical_ = {};
  return dropped;
}

}  // namespace morvane::irc
