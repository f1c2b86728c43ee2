#include "command_rate.h"

#include <algorithm>

#include "irc_line.h"

namespace morvane::irc {
namespace {

constexpr auto kWindow = std::chrono::minutes(1);

}  // namespace

CommandRate::CommandRate(int per_minute, std::chrono::seconds ignore_for, Now now)
    : per_minute_(std::max(per_minute, 1)), ignore_for_(ignore_for), now_(std::move(now)) {}

std::string CommandRate::UserKey(std::string_view prefix) {
  const Prefix from = SplitPrefix(prefix);
  return from.host.empty() ? "nick " + IrcLower(from.nick) : IrcLower(from.host);
}

CommandRate::Verdict CommandRate::Count(const std::string& key) {
  const Clock::time_point now = now_();
  Forget(now);
  User& user = users_[key];
  if (now < user.ignored_until) return Verdict::kIgnored;
  while (!user.recent.empty() && now - user.recent.front() >= kWindow) user.recent.pop_front();
  if (static_cast<int>(user.recent.size()) >= per_minute_) {
    user.recent.clear();
    user.ignored_until = now + ignore_for_;
    return Verdict::kStartIgnoring;
  }
  user.recent.push_back(now);
  return Verdict::kAllow;
}

bool CommandRate::Ignored(const std::string& key) {
  auto it = users_.find(key);
  return it != users_.end() && now_() < it->second.ignored_until;
}

// Now and then, the users with nothing left to remember are forgotten, so
// that the table does not grow with every host ever seen.
void CommandRate::Forget(Clock::time_point now) {
  if (now - last_forget_ < kWindow) return;
  last_forget_ = now;
  std::erase_if(users_, [&](const auto& entry) {
    const User& user = entry.second;
    return now >= user.ignored_until &&
           (user.recent.empty() || now - user.recent.back() >= kWindow);
  });
}

}  // namespace morvane::irc
