#include "plugin/chat_handler.h"

#include <optional>
#include <span>
#include <string>

#include "common/date_time.h"
#include "common/text.h"
#include "host/host_link.h"
#include "host/host_record.h"
#include "platform/platform.h"
#include "plugin/channels.h"
#include "plugin/scan_command.h"
#include "plugin/add_scan_item.h"
#include "plugin/settings_loader.h"

namespace morvane {
namespace {

// What one PluginProcess call carries, decoded.
struct ChatMessage {
  MessageClass message_class = MessageClass::kStatus;
  TUser sender;
  std::u16string text;          // lowered (A to Z only)
  std::u16string reply_target;  // the channel, the sender's Name, or empty
  // A status report about the plug-in's own user: connected or not.
  std::optional<bool> online;
};

// A channel message, in either mode after its leading text:
// [user][channel][int][text].
void ReadChannelMessage(ByteReader& record, ChatMessage& message) {
  message.sender = ReadUser(record);
  message.reply_target = ReadText(record);
  (void)ReadInt(record);
  message.text = ReadText(record);
  message.message_class = MessageClass::kChannel;
}

// Reads a record in virtual-user mode: messages to the virtual user, and the
// reports of its own log-in and log-out.
bool DecodeVirtualUserMessage(std::int32_t code, ByteReader& record, const PluginState& state,
                              ChatMessage& message) {
  switch (code) {
    case host_code::kVirtualPrivateText:
      (void)ReadText(record);
      message.sender = ReadUser(record);
      message.text = ReadText(record);
      message.message_class = MessageClass::kPrivate;
      message.reply_target = message.sender.Name;
      return true;
    case host_code::kVirtualChannelText:
      (void)ReadText(record);
      ReadChannelMessage(record, message);
      return true;
    case host_code::kVirtualUserOnline:
    case host_code::kVirtualUserOffline:
      message.sender = ReadUser(record);
      if (message.sender.Name == state.identity.Name) {
        message.online = code == host_code::kVirtualUserOnline;
      }
      return true;
    default:
      return false;
  }
}

// Reads a record in direct mode.
bool DecodeDirectMessage(std::int32_t code, ByteReader& record, ChatMessage& message) {
  switch (code) {
    case host_code::kStatus:
      message.online = ReadInt(record) == host_value::kConnected;
      return true;
    case host_code::kChannelText:
      ReadChannelMessage(record, message);
      return true;
    case host_code::kPrivateText:
      message.sender = ReadUser(record);
      if (ReadInt(record) != host_value::kPrivateMessageKind) return false;
      message.text = ReadText(record);
      message.message_class = MessageClass::kPrivate;
      message.reply_target = message.sender.Name;
      return true;
    default:
      return false;
  }
}

// Reads the record by its code and the mode. False for a code that this mode
// ignores (and a direct private message that is not of kind 3): nothing more
// happens.
bool DecodeMessage(std::int32_t code, ByteReader& record, const PluginState& state,
                   ChatMessage& message) {
  if (Host().virtual_user_mode) return DecodeVirtualUserMessage(code, record, state, message);
  return DecodeDirectMessage(code, record, message);
}

// An administrator may reload the settings. An empty entry of the list (from
// an empty AdmUsers value, "||" or a trailing "|") admits no one: matching it
// would let any user whose address the host leaves empty reload the settings.
bool IsAdministrator(const PluginState& state, const TUser& sender) {
  const auto& admins = state.admin_list;
  if (!admins) return false;
  for (const auto& entry : *admins) {
    if (entry.empty()) continue;
    if (entry == sender.Name || entry == sender.IP) return true;
  }
  return false;
}

bool SourceMatches(std::u16string_view source, std::u16string_view reply_target) {
  for (const auto& piece : SplitKeepingEmpty(source, u'|')) {
    if (TrimControlAndSpace(piece) == reply_target) return true;
  }
  return false;
}

bool EventListensTo(const TEvent& event, MessageClass message_class) {
  switch (event.EventType) {
    case event_type::kChannelMessage:
      return message_class == MessageClass::kChannel;
    case event_type::kPrivateMessage:
      return message_class == MessageClass::kPrivate;
    case event_type::kAnyMessage:
      return true;
    default:
      return false;
  }
}

// Fires every message event whose trigger equals the text, in table order.
void FireMessageEvents(PluginState& state, const ChatMessage& message, double now) {
  for (TEvent& event : state.event_table) {
    if (!EventListensTo(event, message.message_class)) continue;
    if (event.MsgType == reply_mode::kMode3) continue;
    if (LowerAsciiLetters(event.Msg) != message.text) continue;
    if (event.Delay != 0 && event.LastUse != 0 &&
        WholeSecondsBetween(now, event.LastUse) < static_cast<std::int64_t>(event.Delay)) {
      continue;
    }
    if (event.EventType != event_type::kAnyMessage && !event.ChOrUser.empty() &&
        !SourceMatches(event.ChOrUser, message.reply_target)) {
      continue;
    }
    event.LastUse = now;
    std::u16string_view reply_to;
    if (event.MsgType == reply_mode::kChannel || event.MsgType == reply_mode::kChannelWithFlag) {
      reply_to = message.reply_target;
    } else if (event.MsgType == reply_mode::kPrivate) {
      reply_to = message.sender.Name;
    } else {
      continue;
    }
    AddScanItem(state, event.Game, EventRequest(event, reply_to, state.settings));
  }
}

}  // namespace

void ProcessHostMessage(PluginState& state, std::int32_t code, const void* record,
                        std::int32_t record_length) {
  std::span<const std::uint8_t> bytes;
  if (record != nullptr && record_length > 0) {
    bytes = {static_cast<const std::uint8_t*>(record), static_cast<std::size_t>(record_length)};
  }
  // A plug-in that is stopped, or not started yet, takes no message: a
  // request queued now would only wait for the next start.
  if (!LinkOpen()) return;
  ByteReader reader(bytes);
  ChatMessage message;
  if (!DecodeMessage(code, reader, state, message)) return;

  if (message.online) {
    state.online = *message.online;
    // Every "connected" report joins the channels, also when the flag was
    // set. The host may stop the plug-in from inside a join.
    if (*message.online && !JoinChannels(state)) return;
  }

  message.text = LowerAsciiLetters(message.text);

  if (message.message_class == MessageClass::kPrivate && message.text == u"/reload" &&
      IsAdministrator(state, message.sender)) {
    (void)LoadSettings(state);
    return;
  }

  const double now = platform::NowDateTime();
  FireMessageEvents(state, message, now);
  HandleScanCommand(state, message.message_class, message.reply_target, message.text, now);
}

}  // namespace morvane
