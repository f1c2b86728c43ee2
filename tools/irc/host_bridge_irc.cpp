// The bridge's IRC side: what the host does when a connection is registered
// or lost, when the membership of a channel changes, and when a message
// arrives for the plug-in.
#include "host_bridge.h"

#include <string>

#include "admin_trust.h"
#include "code_mapping.h"
#include "irc_line.h"
#include "irc_log.h"

namespace morvane::irc {

void HostBridge::OnRegistered(Session& session) {
  if (session.user.name.empty()) {
    if (mode_ == console_host::HostMode::kDirect) Deliver(console_host::BuildStatus(true));
    return;
  }
  Deliver(console_host::BuildUserPresence(session.user, true));
}

void HostBridge::OnLost(Session& session) {
  // A lost connection is in no channel any more; the plug-in joins again
  // when it hears that its user is back.
  session.channels.clear();
  session.life->Clear();
  session.rejoin_timer->cancel();
  session.accounts.Clear();
  if (session.user.name.empty()) {
    if (mode_ == console_host::HostMode::kDirect) Deliver(console_host::BuildStatus(false));
    return;
  }
  Deliver(console_host::BuildUserPresence(session.user, false));
}

void HostBridge::TrackMembership(Session& session, const IrcMessage& message) {
  const std::string& own = session.connection->Nick();
  const bool from_self = IrcEqual(SplitPrefix(message.prefix).nick, own);
  const std::string& command = message.command;
  if (command == "JOIN" && from_self) {
    // A join the plug-in did not ask for (a server's forced join) counts too.
    auto name = PluginChannelName(IrcParam(message, 0), session.channels);
    if (name && !HasChannel(session.channels, *name)) session.channels.push_back(*name);
  } else if (command == "PART" && from_self) {
    RemoveChannel(session.channels, IrcParam(message, 0));
  } else if (command == "KICK" && IrcEqual(IrcParam(message, 1), own)) {
    Log(session.connection->Label() + ": kicked from " + IrcParam(message, 0) + ": " +
        IrcParam(message, 2));
    RemoveChannel(session.channels, IrcParam(message, 0));
  } else if (IsJoinRefusal(command)) {
    // A join the server refused.
    Log(session.connection->Label() + ": cannot join " + IrcParam(message, 1) + ": " +
        IrcParam(message, 2));
    RemoveChannel(session.channels, IrcParam(message, 1));
  }
  FollowChannelLife(session, message);
}

// A reload reaches the plug-in only from a trusted admin: the plug-in
// itself trusts a bare nick, which anyone may take.
bool HostBridge::MayReload(Session& session, const IrcMessage& message) {
  const std::string text = IrcParam(message, 1);
  if (!IrcEqual(IrcParam(message, 0), session.connection->Nick()) ||
      !IsReloadRequest(text, options_.trigger)) {
    return true;
  }
  const IrcConnection& connection = *session.connection;
  const std::string account = session.accounts.AccountOf(message, connection.HasCap("account-tag"),
                                                         connection.HasCap("account-notify"));
  const std::string who =
      message.prefix + " (account " + (account.empty() ? std::string("none") : account) + ")";
  if (IsTrustedAdmin(message.prefix, account, options_.admin_accounts, options_.admin_masks)) {
    Log(connection.Label() + ": " + text + " from the admin " + who);
    return true;
  }
  Log(connection.Label() + ": " + text + " from " + who + ", who is no trusted admin: dropped");
  return false;
}

void HostBridge::OnMessage(Session& session, const IrcMessage& message) {
  session.accounts.Note(message);
  TrackMembership(session, message);
  if (message.command != "PRIVMSG" || stopping_) return;
  if (auto notice = manners_.Answer(message, Manners::Clock::now()))
    session.connection->Send(*notice);
  // In virtual-user mode the host's own connection is no user of the plug-in.
  if (mode_ == console_host::HostMode::kVirtualUser && session.user.name.empty()) return;
  if (!MayReload(session, message)) return;
  IncomingContext context;
  context.mode = mode_;
  context.virtual_user = session.user.name;
  context.own_nick = session.connection->Nick();
  context.trigger = options_.trigger;
  context.channels = session.channels;
  auto delivery = MapIrcMessage(message, context);
  if (!delivery || !AdmitCommand(session, message)) return;
  Log(session.connection->Label() + " << " + IrcParam(message, 0) + " <" +
      SplitPrefix(message.prefix).nick + "> " + IrcParam(message, 1));
  Deliver(*delivery);
}

}  // namespace morvane::irc
