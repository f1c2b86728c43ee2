// The IRCv3 capability negotiation of one connection: "CAP LS 302" before
// NICK and USER, a request for what the bridge uses among what the server
// offers, and "CAP END" once that (and the log-in by SASL, when asked) is
// done. Later the server may offer (CAP NEW) or withdraw (CAP DEL) some.
// Pure: messages in, lines to send out.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "irc_line.h"

namespace morvane::irc {

class CapNegotiator {
 public:
  // sasl_mechanism: "PLAIN" or "EXTERNAL" to log in while registering;
  // empty: no SASL.
  explicit CapNegotiator(std::string sasl_mechanism = {});

  // A new connection: what is known is forgotten; the line to send first.
  std::string Begin();
  // A CAP message from the server: the lines to send.
  std::vector<std::string> OnCap(const IrcMessage& message);
  // The server knows no CAP (421), or has accepted the registration
  // without waiting for CAP END (001): nothing more is held.
  void Abandon();
  // The log-in by SASL has ended, either way: the lines to send.
  std::vector<std::string> SaslDone();

  // Whether the server has granted the capability.
  bool Enabled(std::string_view cap) const { return enabled_.contains(std::string(cap)); }
  bool Offered(std::string_view cap) const;
  // True once "sasl" has been granted and the log-in is to begin.
  bool SaslReady() const { return sasl_state_ == SaslState::kReady; }
  // Marks the log-in begun, so that SaslReady is false again.
  void SaslStarted() { sasl_state_ = SaslState::kRunning; }
  // The negotiation of the registration is over ("CAP END" sent or not needed).
  bool Ended() const { return ended_; }

 private:
  enum class SaslState { kNone, kReady, kRunning, kDone };
  std::vector<std::string> Request(const std::vector<std::string>& caps);
  std::vector<std::string> MaybeEnd();
  bool Wanted(std::string_view cap, std::string_view value) const;

  const std::string sasl_mechanism_;
  std::vector<std::string> listing_;  // "CAP LS" lines so far
  std::vector<std::pair<std::string, std::string>> offered_;
  std::set<std::string> enabled_;
  std::vector<std::vector<std::string>> pending_;  // requests not yet answered
  SaslState sasl_state_ = SaslState::kNone;
  bool ended_ = false;
};

}  // namespace morvane::irc
