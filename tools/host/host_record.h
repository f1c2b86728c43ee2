// Host records as the console host builds and reads them. A record is a
// packed byte string of 32-bit little-endian signed integers and texts; a text
// is a 32-bit count of UTF-16 code units followed by that many UTF-16LE code
// units, with no terminator. The records below are the ones the host delivers
// to PluginProcess; the plug-in's own records are read with ReadRecordText and
// a ByteReader, since the host trusts them no more than the plug-in trusts it.
//
// Header-only so that the unit tests can use it without linking the tool.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_reader.h"

namespace morvane::host {

// Which host the console host plays: the answer to query 2000 (virtual: 0,
// direct: 1) picks the plug-in's mode for the whole session.
enum class HostMode { kDirect, kVirtual };

// The codes the host delivers to PluginProcess.
inline constexpr std::int32_t kCodeStatus = 3;             // direct: [status]
inline constexpr std::int32_t kCodeChannelMessage = 5;     // direct: [user][channel][0][text]
inline constexpr std::int32_t kCodePrivateMessage = 10;    // direct: [user][kind 3][text]
inline constexpr std::int32_t kCodeVirtualPrivate = 1061;  // virtual: [vu name][user][text]
inline constexpr std::int32_t kCodeVirtualChannel =
    1070;                                              // virtual: [vu name][user][channel][0][text]
inline constexpr std::int32_t kCodeUserOnline = 1078;  // virtual: [user]
inline constexpr std::int32_t kCodeUserOffline = 1079;  // virtual: [user]

// The status value of code 3 (and the answer to query 11) that means "the
// host's user is connected"; any other value means disconnected.
inline constexpr std::int32_t kStatusConnected = 2;
inline constexpr std::int32_t kStatusDisconnected = 0;

// The message kind of code 10 that the plug-in handles as a private message.
inline constexpr std::int32_t kPrivateMessageKind = 3;

// A chat user as the host describes one: name, address text and an icon
// number that the plug-in reads and ignores.
struct ChatUser {
  std::u16string name;
  std::u16string ip;
};

class RecordWriter {
 public:
  RecordWriter& Int(std::int32_t value) {
    auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
      bytes_.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
    return *this;
  }

  RecordWriter& Text(std::u16string_view text) {
    Int(static_cast<std::int32_t>(text.size()));
    for (char16_t unit : text) {
      bytes_.push_back(static_cast<std::uint8_t>(unit & 0xFF));
      bytes_.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return *this;
  }

  // The user record: Name, IP and the icon number 0.
  RecordWriter& User(const ChatUser& user) { return Text(user.name).Text(user.ip).Int(0); }

  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// Reads one text field. A count of 0 or less is the empty text. A count larger
// than the bytes left reads as the empty text and exhausts the reader, so a
// short record never reads past its end; the count is compared in code units
// against half the bytes left, which cannot overflow on a 32-bit build.
inline std::u16string ReadRecordText(ByteReader& reader) {
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

// One delivery to PluginProcess: a code and its record.
struct Delivery {
  std::int32_t code = 0;
  std::vector<std::uint8_t> record;
};

// A channel message from a user. In the virtual form the record starts with
// the name of the virtual user it is addressed to.
inline Delivery BuildChannelMessage(HostMode mode, std::u16string_view virtual_user,
                                    const ChatUser& sender, std::u16string_view channel,
                                    std::u16string_view text) {
  RecordWriter writer;
  if (mode == HostMode::kVirtual) writer.Text(virtual_user);
  writer.User(sender).Text(channel).Int(0).Text(text);
  return {mode == HostMode::kVirtual ? kCodeVirtualChannel : kCodeChannelMessage, writer.Bytes()};
}

// A private message from a user to the plug-in's user. The direct form carries
// the message kind 3, the only kind the plug-in answers.
inline Delivery BuildPrivateMessage(HostMode mode, std::u16string_view virtual_user,
                                    const ChatUser& sender, std::u16string_view text) {
  RecordWriter writer;
  if (mode == HostMode::kVirtual) {
    writer.Text(virtual_user).User(sender).Text(text);
    return {kCodeVirtualPrivate, writer.Bytes()};
  }
  writer.User(sender).Int(kPrivateMessageKind).Text(text);
  return {kCodePrivateMessage, writer.Bytes()};
}

// The direct-mode status of the host's own user.
inline Delivery BuildStatus(bool connected) {
  RecordWriter writer;
  writer.Int(connected ? kStatusConnected : kStatusDisconnected);
  return {kCodeStatus, writer.Bytes()};
}

// A virtual-mode report that a user came online or went offline.
inline Delivery BuildUserPresence(const ChatUser& user, bool online) {
  RecordWriter writer;
  writer.User(user);
  return {online ? kCodeUserOnline : kCodeUserOffline, writer.Bytes()};
}

}  // namespace morvane::host
