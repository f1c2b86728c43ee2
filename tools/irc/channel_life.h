// What becomes of the channels the plug-in joins: joined, kicked and waiting
// to come back, refused and waiting to try again (or waiting for what would
// let it in: an invitation, a log-in, a new key). Pure: the bridge sends the
// JOINs and runs the timer; this says which channels and when. Waits grow
// with each kick or refusal that follows (doubled, up to 10 minutes) and
// start again from the first once the channel has kept its bot 5 minutes.
// Channels are named as on IRC ("#main") and compared as IRC compares.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "irc_line.h"

namespace morvane::irc {

class ChannelLife {
 public:
  using Clock = std::chrono::steady_clock;
  using Now = std::function<Clock::time_point()>;

  explicit ChannelLife(std::chrono::seconds rejoin_after, Now now = &Clock::now);

  // The plug-in asked to join, or to leave (which forgets the channel).
  void Asked(std::string_view channel);
  void Left(std::string_view channel);
  // The server shows the connection in the channel (a join the plug-in did
  // not ask for counts as the plug-in's too).
  void Joined(std::string_view channel);
  // Kicked: the wait before joining again; nothing for a channel the
  // plug-in has not joined.
  std::optional<std::chrono::seconds> Kicked(std::string_view channel);
  // A JOIN the server refused with this numeric: the wait before trying
  // again, or nothing when waiting would not help. 471 (full) and 473
  // (invite only) are tried again; 475 (bad key) only with a new key, so
  // not until the settings are read again; 477 (log-in needed) once logged
  // in (LoggedIn); the others (403, 405, 474, 476) not by themselves.
  std::optional<std::chrono::seconds> Refused(std::string_view channel, std::string_view numeric);
  // An INVITE: true when the channel is one the plug-in wants and is not in,
  // and is to be joined now.
  bool Invited(std::string_view channel);
  // Logged in to services: the channels that needed it, to be joined now.
  std::vector<std::string> LoggedIn();
  // The channels whose wait is over, to be joined now.
  std::vector<std::string> Due();
  // When the next wait ends; nothing when none is waiting.
  std::optional<Clock::time_point> NextDue() const;
  // The connection is gone: the plug-in joins again when it is back.
  void Clear() { channels_.clear(); }

 private:
  enum class State { kJoining, kJoined, kWaiting, kNeedsKey, kNeedsLogIn, kRefused };
  struct Channel {
    std::string name;
    State state = State::kJoining;
    Clock::time_point joined_at{};
    Clock::time_point retry_at{};
    std::chrono::seconds kick_wait{0};     // the wait after the next kick
    std::chrono::seconds refused_wait{0};  // after the next refusal that a wait may cure
  };
  Channel* Find(std::string_view channel);
  Channel& Add(std::string_view channel);

  std::chrono::seconds rejoin_after_;
  Now now_;
  std::map<std::string, Channel> channels_;  // by the name in lower case
};

// Whether a numeric is the server's refusal of a JOIN (403, 405, 471, 473-477).
bool IsJoinRefusal(std::string_view numeric);

// The masks a MODE message bans (+b), read with the modes servers commonly
// give a parameter: "MODE #c +bo-v *!*@h nick nick2" bans "*!*@h".
std::vector<std::string> BannedMasks(const IrcMessage& mode);

}  // namespace morvane::irc
