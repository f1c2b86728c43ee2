// What the bridge makes of the plug-in's calls and of the server's messages:
// host codes to IRC actions, and IRC messages to the records delivered to
// PluginProcess. Pure: no connection, no plug-in; the bridge acts on the
// results.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "console_host/chat_records.h"
#include "console_host/plugin_call.h"
#include "irc_line.h"

namespace morvane::irc {

// Where a message of the plug-in goes.
enum class TargetKind {
  kChannel,        // a channel, named as the plug-in names it (no "#")
  kUser,           // a nick
  kChannelOrUser,  // a channel the connection is in, otherwise a nick
};

struct IrcAction {
  enum class Kind { kIgnore, kSay, kJoin, kPart, kLogIn, kLogOut };
  Kind kind = Kind::kIgnore;
  // The virtual user whose connection acts; empty for the host's own
  // connection (the direct forms).
  std::u16string user;
  std::u16string ip;    // kLogIn: the address the plug-in gives its user
  std::string command;  // kSay: PRIVMSG or NOTICE
  TargetKind target_kind = TargetKind::kChannel;
  std::u16string target;  // kSay, kJoin, kPart
  std::u16string text;    // kSay
  std::string note;       // kIgnore: why, for the log
};

// One call of the plug-in: 50/1020 say in a channel, 70/1022 say to a user,
// 61/1023 send a notice, 67/1026 join, 1027 part, 1001 log in, 1002 log
// out. A code of the mode the host does not play is ignored.
IrcAction MapHostCall(const console_host::PluginCall& call, console_host::HostMode mode);

// The plug-in's channel names are IRC channel names without the "#": "main"
// is "#main". Empty when the name cannot be a channel (empty, or holding a
// blank, a comma, a bell or a line break).
std::string IrcChannelName(std::u16string_view channel);
// Whether a list of the plug-in's channel names holds the channel, and the
// list without the channel of the given IRC name, compared as IRC compares.
bool HasChannel(const std::vector<std::u16string>& channels, std::u16string_view channel);
void RemoveChannel(std::vector<std::u16string>& channels, std::string_view irc_name);
// A nick as a command's target; empty when it cannot be one.
std::string IrcNickName(std::u16string_view nick);
// The plug-in's name of an IRC channel: the one it joined under, when the
// connection's channels hold it in another letter case, else the IRC name
// without its "#". Nothing for a name that is not a "#" channel.
std::optional<std::u16string> PluginChannelName(std::string_view irc_channel,
                                                std::span<const std::u16string> joined);

struct IncomingContext {
  console_host::HostMode mode = console_host::HostMode::kDirect;
  std::u16string virtual_user;  // virtual mode: the Name the plug-in logged in
  std::string own_nick;         // the nick the server knows the connection by
  std::string trigger = "!";
  std::span<const std::u16string> channels;  // the connection's, as the plug-in names them
};

// A PRIVMSG in a "#" channel becomes a channel message (5, or 1070), one to
// the connection's own nick a private message (10 of kind 3, or 1061); the
// sender is {its nick, the host part of its prefix} and the text goes
// through the trigger. CTCP requests (a text in 0x01) are no chat text, and
// notices never get an automatic answer: nothing for either, nor for any
// other message.
std::optional<console_host::Delivery> MapIrcMessage(const IrcMessage& message,
                                            const IncomingContext& context);

}  // namespace morvane::irc
