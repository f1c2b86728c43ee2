#include "channel_life.h"

#include <algorithm>

namespace morvane::irc {
namespace {

constexpr std::chrono::seconds kLongestWait{600};
constexpr std::chrono::seconds kFirstRefusedWait{30};
// A channel that has kept the bot this long starts its kick waits afresh.
constexpr std::chrono::seconds kSettledAfter{300};

std::chrono::seconds Doubled(std::chrono::seconds wait) { return std::min(wait * 2, kLongestWait); }

}  // namespace

ChannelLife::ChannelLife(std::chrono::seconds rejoin_after, Now now)
    : rejoin_after_(std::max(rejoin_after, std::chrono::seconds(1))), now_(std::move(now)) {}

ChannelLife::Channel* ChannelLife::Find(std::string_view channel) {
  auto it = channels_.find(IrcLower(channel));
  return it == channels_.end() ? nullptr : &it->second;
}

ChannelLife::Channel& ChannelLife::Add(std::string_view channel) {
  auto [it, added] = channels_.try_emplace(IrcLower(channel));
  if (added) {
    it->second.name = std::string(channel);
    it->second.kick_wait = rejoin_after_;
    it->second.refused_wait = kFirstRefusedWait;
  }
  return it->second;
}

void ChannelLife::Asked(std::string_view channel) { Add(channel).state = State::kJoining; }

void ChannelLife::Left(std::string_view channel) { channels_.erase(IrcLower(channel)); }

void ChannelLife::Joined(std::string_view channel) {
  Channel& c = Add(channel);
  c.state = State::kJoined;
  c.joined_at = now_();
  c.refused_wait = kFirstRefusedWait;
}

std::optional<std::chrono::seconds> ChannelLife::Kicked(std::string_view channel) {
  Channel* c = Find(channel);
  if (c == nullptr) return std::nullopt;
  const Clock::time_point now = now_();
  if (c->state == State::kJoined && now - c->joined_at >= kSettledAfter)
    c->kick_wait = rejoin_after_;
  const std::chrono::seconds wait = c->kick_wait;
  c->kick_wait = Doubled(wait);
  c->state = State::kWaiting;
  c->retry_at = now + wait;
  return wait;
}

std::optional<std::chrono::seconds> ChannelLife::Refused(std::string_view channel,
                                                         std::string_view numeric) {
  Channel* c = Find(channel);
  if (c == nullptr) return std::nullopt;
  if (numeric == "471" || numeric == "473") {
    const std::chrono::seconds wait = c->refused_wait;
    c->refused_wait = Doubled(wait);
    c->state = State::kWaiting;
    c->retry_at = now_() + wait;
    return wait;
  }
  c->state = numeric == "475"   ? State::kNeedsKey
             : numeric == "477" ? State::kNeedsLogIn
                                : State::kRefused;
  return std::nullopt;
}

bool ChannelLife::Invited(std::string_view channel) {
  Channel* c = Find(channel);
  if (c == nullptr || c->state == State::kJoined || c->state == State::kJoining) return false;
  c->state = State::kJoining;
  return true;
}

std::vector<std::string> ChannelLife::LoggedIn() {
  std::vector<std::string> join;
  for (auto& [key, c] : channels_) {
    if (c.state != State::kNeedsLogIn) continue;
    c.state = State::kJoining;
    join.push_back(c.name);
  }
  return join;
}

std::vector<std::string> ChannelLife::Due() {
  std::vector<std::string> join;
  const Clock::time_point now = now_();
  for (auto& [key, c] : channels_) {
    if (c.state != State::kWaiting || c.retry_at > now) continue;
    c.state = State::kJoining;
    join.push_back(c.name);
  }
  return join;
}

std::optional<ChannelLife::Clock::time_point> ChannelLife::NextDue() const {
  std::optional<Clock::time_point> next;
  for (const auto& [key, c] : channels_) {
    if (c.state == State::kWaiting && (!next || c.retry_at < *next)) next = c.retry_at;
  }
  return next;
}

bool IsJoinRefusal(std::string_view numeric) {
  for (std::string_view refusal : {"403", "405", "471", "473", "474", "475", "476", "477"}) {
    if (numeric == refusal) return true;
  }
  return false;
}

std::vector<std::string> BannedMasks(const IrcMessage& mode) {
  std::vector<std::string> masks;
  if (mode.command != "MODE" || mode.params.size() < 2) return masks;
  const std::string& modes = mode.params[1];
  std::size_t next = 2;
  bool adding = true;
  for (char m : modes) {
    if (m == '+' || m == '-') {
      adding = m == '+';
      continue;
    }
    // The modes that take a parameter both ways, and those (limit, ...) that
    // take one only when set.
    const bool takes = std::string_view("beIkovhqa").find(m) != std::string_view::npos ||
                       (adding && std::string_view("lfjL").find(m) != std::string_view::npos);
    if (!takes) continue;
    if (next >= mode.params.size()) break;
    if (adding && m == 'b') masks.push_back(mode.params[next]);
    ++next;
  }
  return masks;
}

}  // namespace morvane::irc
