#include "code_mapping.h"

#include "common/text.h"
#include "irc_text.h"

namespace morvane::irc {
namespace {

using console_host::CallKind;
using console_host::HostMode;

IrcAction Say(const console_host::PluginCall& call, std::string command, TargetKind target_kind) {
  IrcAction action;
  action.kind = IrcAction::Kind::kSay;
  action.user = call.mode == HostMode::kVirtualUser ? call.speaker : std::u16string();
  action.command = std::move(command);
  action.target_kind = target_kind;
  action.target = call.target;
  action.text = call.text;
  return action;
}

IrcAction Ignore(std::string note) {
  IrcAction action;
  action.note = std::move(note);
  return action;
}

bool UsableTarget(std::string_view name) {
  return IsMiddleParam(name) && name.find_first_of(",\x07") == std::string_view::npos;
}

}  // namespace

IrcAction MapHostCall(const console_host::PluginCall& call, HostMode mode) {
  const std::string code = std::to_string(call.code);
  if (call.kind == CallKind::kOther) return Ignore("call " + code + " is not served");
  if (call.mode != mode) {
    return Ignore("call " + code + " belongs to the " +
                  (mode == HostMode::kDirect ? "virtual-user" : "direct") + " mode");
  }
  IrcAction action;
  switch (call.kind) {
    case CallKind::kChannelMessage:
      return Say(call, "PRIVMSG", TargetKind::kChannel);
    case CallKind::kPrivateMessage:
      return Say(call, "PRIVMSG", TargetKind::kUser);
    case CallKind::kMode3Message:
      return Say(call, "NOTICE", TargetKind::kChannelOrUser);
    case CallKind::kHostJoins:
    case CallKind::kVirtualJoins:
    case CallKind::kVirtualLeaves:
      action.kind =
          call.kind == CallKind::kVirtualLeaves ? IrcAction::Kind::kPart : IrcAction::Kind::kJoin;
      action.user = call.speaker;
      action.target = call.target;
      return action;
    case CallKind::kVirtualLogIn:
    case CallKind::kVirtualLogOut:
      action.kind =
          call.kind == CallKind::kVirtualLogIn ? IrcAction::Kind::kLogIn : IrcAction::Kind::kLogOut;
      action.user = call.speaker;
      action.ip = call.ip;
      return action;
    case CallKind::kOther:
      break;
  }
  return Ignore("call " + code + " is not served");
}

std::string IrcChannelName(std::u16string_view channel) {
  if (channel.empty()) return {};
  std::string name = "#" + Utf16ToUtf8(channel);
  return UsableTarget(name) ? name : std::string();
}

bool HasChannel(const std::vector<std::u16string>& channels, std::u16string_view channel) {
  const std::string name = IrcChannelName(channel);
  for (const auto& c : channels) {
    if (IrcEqual(IrcChannelName(c), name)) return true;
  }
  return false;
}

void RemoveChannel(std::vector<std::u16string>& channels, std::string_view irc_name) {
  std::erase_if(channels,
                [&](const std::u16string& c) { return IrcEqual(IrcChannelName(c), irc_name); });
}

std::string IrcNickName(std::u16string_view nick) {
  std::string name = Utf16ToUtf8(nick);
  return UsableTarget(name) && name.front() != '#' ? name : std::string();
}

std::optional<std::u16string> PluginChannelName(std::string_view irc_channel,
                                                std::span<const std::u16string> joined) {
  if (irc_channel.size() < 2 || irc_channel.front() != '#') return std::nullopt;
  for (const auto& channel : joined) {
    if (IrcEqual(IrcChannelName(channel), irc_channel)) return channel;
  }
  return Utf8ToUtf16(irc_channel.substr(1));
}

std::optional<console_host::Delivery> MapIrcMessage(const IrcMessage& message,
                                            const IncomingContext& context) {
  if (message.command != "PRIVMSG" || message.params.size() < 2) return std::nullopt;
  const Prefix from = SplitPrefix(message.prefix);
  const std::string& target = message.params[0];
  const std::string& text = message.params[1];
  if (from.nick.empty() || text.starts_with('\x01')) return std::nullopt;
  const console_host::ChatUser sender{Utf8ToUtf16(from.nick), Utf8ToUtf16(from.host)};
  const std::u16string chat_text = Utf8ToUtf16(ApplyTrigger(text, context.trigger));
  if (IrcEqual(target, context.own_nick)) {
    return console_host::BuildPrivateMessage(context.mode, context.virtual_user, sender, chat_text);
  }
  auto channel = PluginChannelName(target, context.channels);
  if (!channel) return std::nullopt;
  return console_host::BuildChannelMessage(context.mode, context.virtual_user, sender, *channel, chat_text);
}

}  // namespace morvane::irc
