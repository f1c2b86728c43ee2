// The bridge's channel life and its fairness to users: what it does when
// kicked, banned, refused or invited, when the waits before joining again
// end, and how many commands it takes from each user.
#include <string>

#include "host_bridge.h"
#include "irc_log.h"
#include "irc_text.h"

namespace morvane::irc {
namespace {

std::string Seconds(std::chrono::seconds wait) { return std::to_string(wait.count()) + " s"; }

}  // namespace

void HostBridge::DropQueued(Session& session, const std::string& target, const std::string& why) {
  if (std::size_t dropped = session.connection->DropTarget(target)) {
    Log(session.connection->Label() + ": " + why + ": " + std::to_string(dropped) +
        " queued lines for " + target + " dropped");
  }
}

void HostBridge::FollowChannelLife(Session& session, const IrcMessage& message) {
  const std::string& own = session.connection->Nick();
  const bool from_self = IrcEqual(SplitPrefix(message.prefix).nick, own);
  const std::string& command = message.command;
  const std::string channel = IrcParam(message, 0);
  if (command == "JOIN" && from_self) {
    session.life->Joined(channel);
  } else if (command == "PART" && from_self) {
    session.life->Left(channel);
    DropQueued(session, channel, "left");
  } else if (command == "KICK" && IrcEqual(IrcParam(message, 1), own)) {
    DropQueued(session, channel, "kicked");
    if (auto wait = session.life->Kicked(channel)) {
      Log(session.connection->Label() + ": joining " + channel + " again in " + Seconds(*wait));
      ScheduleRejoins(session);
    }
  } else if (command == "MODE" && channel.starts_with('#')) {
    for (const std::string& mask : BannedMasks(message)) {
      if (MaskMatches(mask, session.connection->OwnPrefix())) {
        DropQueued(session, channel, "banned (" + mask + ")");
      }
    }
  } else if (command == "404" || command == "442") {
    // Cannot send to the channel, or not in it: what waits for it is lost.
    DropQueued(session, IrcParam(message, 1), "cannot send (" + IrcParam(message, 2) + ")");
  } else if (IsJoinRefusal(command)) {
    const std::string refused = IrcParam(message, 1);
    if (command == "474") DropQueued(session, refused, "banned");
    if (auto wait = session.life->Refused(refused, command)) {
      Log(session.connection->Label() + ": trying " + refused + " again in " + Seconds(*wait));
      ScheduleRejoins(session);
    } else if (command == "475") {
      Log(session.connection->Label() + ": " + refused +
          " needs another key; not tried again until the settings change");
    } else if (command == "477") {
      Log(session.connection->Label() + ": " + refused + " is tried again once logged in");
    }
  } else if (command == "INVITE" && IrcEqual(channel, own)) {
    const std::string invited = IrcParam(message, 1);
    const std::string by = SplitPrefix(message.prefix).nick;
    if (session.life->Invited(invited)) {
      Log(session.connection->Label() + ": invited to " + invited + " by " + by + ": joining");
      SendJoin(session, invited);
    } else {
      Log(session.connection->Label() + ": invited to " + invited + " by " + by +
          ", which the plug-in has not asked for or is in: ignored");
    }
  }
}

void HostBridge::ScheduleRejoins(Session& session) {
  auto next = session.life->NextDue();
  if (!next) return;
  session.rejoin_timer->expires_at(*next);
  session.rejoin_timer->async_wait(
      [this, weak = session.weak_from_this()](const std::error_code& error) {
        auto s = weak.lock();
        if (error || !s || stopping_ || !s->connection->Registered()) return;
        for (const std::string& channel : s->life->Due()) {
          Log(s->connection->Label() + ": joining " + channel + " again");
          SendJoin(*s, channel);
        }
        ScheduleRejoins(*s);
      });
}

void HostBridge::OnLoggedIn(Session& session) {
  if (stopping_ || !session.connection->Registered()) return;
  for (const std::string& channel : session.life->LoggedIn()) {
    Log(session.connection->Label() + ": logged in, joining " + channel + " again");
    SendJoin(session, channel);
  }
}

// A command is a channel text that the trigger makes a command of, or any
// private text. A user past the count gets one NOTICE and is then not heard
// at all until the time is up.
bool HostBridge::AdmitCommand(Session& session, const IrcMessage& message) {
  const std::string key = CommandRate::UserKey(message.prefix);
  const std::string text = IrcParam(message, 1);
  const bool is_command = IrcEqual(IrcParam(message, 0), session.connection->Nick()) ||
                          ApplyTrigger(text, options_.trigger) != text;
  if (!is_command) return !command_rate_.Ignored(key);
  switch (command_rate_.Count(key)) {
    case CommandRate::Verdict::kAllow:
      return true;
    case CommandRate::Verdict::kIgnored:
      return false;
    case CommandRate::Verdict::kStartIgnoring:
      break;
  }
  const std::string nick = SplitPrefix(message.prefix).nick;
  const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(options_.rate.ignore_for);
  const std::string span = minutes.count() >= 1 && minutes == options_.rate.ignore_for
                               ? std::to_string(minutes.count()) + " min"
                               : Seconds(options_.rate.ignore_for);
  Log(session.connection->Label() + ": more than " +
      std::to_string(options_.rate.commands_per_minute) + " commands a minute from " +
      message.prefix + ": ignored for " + span);
  if (IsMiddleParam(nick)) {
    session.connection->SendReply(
        nick,
        {FormatIrcLine("NOTICE", {nick}, "Too many commands: you are ignored for " + span + ".")});
  }
  return false;
}

}  // namespace morvane::irc
