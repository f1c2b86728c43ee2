// What a well-behaved IRC client answers on its own: the CTCP requests
// VERSION, PING, TIME and CLIENTINFO, and a usage notice for a "!help" or a
// "!gs" the plug-in would not understand. Pure: a message and the time in,
// the NOTICE line to send (if any) out. At most one answer goes to one user
// (by host) in 10 s, so that a crowd of requests cannot make the bridge
// flood the server.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "irc_line.h"

namespace morvane::irc {

enum class UsageNotice { kOff, kOn };

class Manners {
 public:
  using Clock = std::chrono::system_clock;

  Manners(std::string trigger, UsageNotice usage);

  // The NOTICE line (without CR LF) that answers a message, if one does.
  // Only PRIVMSG is answered, to a channel or to the bridge's own nick, and
  // never a user answered less than 10 s before. A CTCP request other than
  // the four (ACTION, say) gets nothing.
  std::optional<std::string> Answer(const IrcMessage& message, Clock::time_point now);

  // "usage: !gs KIND ADDRESS[:PORT] - kinds: hl, hlpl, ... - e.g. ...".
  std::string UsageText() const;

 private:
  std::optional<std::string> CtcpAnswer(std::string_view request, Clock::time_point now) const;
  bool NeedsUsage(std::string_view text) const;
  bool TakeTurn(const std::string& who, Clock::time_point now);

  const std::string trigger_;
  const UsageNotice usage_;
  // When each user, by host, was last answered; pruned of the old ones once
  // it grows, and never larger than kMaxRemembered.
  std::map<std::string, Clock::time_point> answered_;
};

// The bridge's version as CTCP VERSION gives it.
std::string_view BridgeVersion();

}  // namespace morvane::irc
