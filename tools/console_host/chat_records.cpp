#include "chat_records.h"

namespace morvane::console_host {

RecordWriter& RecordWriter::Int(std::int32_t value) {
  auto bits = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) {
    bytes_.push_back(static_cast<std::uint8_t>(bits >> shift));
  }
  return *this;
}

RecordWriter& RecordWriter::Text(std::u16string_view text) {
  Int(static_cast<std::int32_t>(text.size()));
  for (char16_t unit : text) {
    bytes_.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes_.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return *this;
}

RecordWriter& RecordWriter::User(const ChatUser& user) {
  return Text(user.name).Text(user.ip).Int(0);
}

// The count is compared in code units against half the bytes left, which
// cannot overflow on a 32-bit build.
std::u16string ReadRecordText(ByteReader& reader) {
  std::int32_t count = reader.ReadI32LE();
  if (count <= 0) return {};
  auto units = static_cast<std::size_t>(static_cast<std::uint32_t>(count));
  if (units > reader.Remaining() / 2) {
    reader.Skip(reader.Remaining() + 1);
    return {};
  }
  auto bytes = reader.ReadBytes(units * 2);
  std::u16string text(units, u'\0');
  for (std::size_t i = 0; i < units; ++i) {
    text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return text;
}

Delivery BuildChannelMessage(HostMode mode, std::u16string_view virtual_user,
                             const ChatUser& sender, std::u16string_view channel,
                             std::u16string_view text) {
  RecordWriter writer;
  if (mode == HostMode::kVirtualUser) writer.Text(virtual_user);
  writer.User(sender).Text(channel).Int(0).Text(text);
  return {mode == HostMode::kVirtualUser ? deliver::kVirtualChannelText : deliver::kChannelText,
          writer.Bytes()};
}

Delivery BuildPrivateMessage(HostMode mode, std::u16string_view virtual_user,
                             const ChatUser& sender, std::u16string_view text) {
  RecordWriter writer;
  if (mode == HostMode::kVirtualUser) {
    writer.Text(virtual_user).User(sender).Text(text);
    return {deliver::kVirtualPrivateText, writer.Bytes()};
  }
  writer.User(sender).Int(value::kPrivateMessageKind).Text(text);
  return {deliver::kPrivateText, writer.Bytes()};
}

Delivery BuildStatus(bool connected) {
  RecordWriter writer;
  writer.Int(connected ? value::kConnected : value::kDisconnected);
  return {deliver::kStatus, writer.Bytes()};
}

Delivery BuildUserPresence(const ChatUser& user, bool online) {
  RecordWriter writer;
  writer.User(user);
  return {online ? deliver::kVirtualUserOnline : deliver::kVirtualUserOffline, writer.Bytes()};
}

}  // namespace morvane::console_host
