// How many commands each chat user may send the plug-in: at most a set
// number in any minute. One more and the user is ignored for a while, so
// that one user cannot keep the plug-in (and the output) busy for everyone.
// Users are told apart by the host part of their nick!user@host: a new nick
// keeps the host, so changing nick does not escape the count, while a nick
// is given up and taken in seconds. (Users behind one host share its count,
// which is the price of that.) Time comes from a clock the owner supplies.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace morvane::irc {

class CommandRate {
 public:
  using Clock = std::chrono::steady_clock;
  using Now = std::function<Clock::time_point()>;

  enum class Verdict {
    kAllow,          // counted; pass it on
    kStartIgnoring,  // one too many: ignored from now on, and told so once
    kIgnored,        // still ignored
  };

  CommandRate(int per_minute, std::chrono::seconds ignore_for, Now now = &Clock::now);

  // Counts a command from the user (see UserKey).
  Verdict Count(const std::string& user);
  // Whether the user is being ignored now; counts nothing.
  bool Ignored(const std::string& user);

  // The key of a user in this count: the host of "nick!user@host" in lower
  // case, or the nick when the prefix shows no host.
  static std::string UserKey(std::string_view prefix);

 private:
  struct User {
    std::deque<Clock::time_point> recent;  // commands of the last minute
    Clock::time_point ignored_until{};
  };
  void Forget(Clock::time_point now);

  int per_minute_;
  std::chrono::seconds ignore_for_;
  Now now_;
  std::unordered_map<std::string, User> users_;
  Clock::time_point last_forget_{};
};

}  // namespace morvane::irc
