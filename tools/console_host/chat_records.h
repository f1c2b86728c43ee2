// Host records as the console host builds and reads them. A record is a
// packed byte string of 32-bit little-endian signed integers and texts; a text
// is a 32-bit count of UTF-16 code units followed by that many UTF-16LE code
// units, with no terminator. The records below are the ones the host delivers
// to PluginProcess; the plug-in's own records are read with ReadRecordText and
// a ByteReader, since the host trusts them no more than the plug-in trusts it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_reader.h"
#include "console_host/plugin_codes.h"

namespace morvane::console_host {

// Which host the console host plays: the answer to query 2000 (virtual: 0,
// direct: 1) picks the plug-in's mode for the whole session.
enum class HostMode { kDirect, kVirtualUser };

// A chat user as the host describes one: name, address text and an icon
// number that the plug-in reads and ignores.
struct ChatUser {
  std::u16string name;
  std::u16string ip;
};

class RecordWriter {
 public:
  RecordWriter& Int(std::int32_t value);
  RecordWriter& Text(std::u16string_view text);
  // The user record: Name, IP and the icon number 0.
  RecordWriter& User(const ChatUser& user);

  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// Reads one text field. A count of 0 or less is the empty text. A count larger
// than the bytes left reads as the empty text and exhausts the reader, so a
// short record never reads past its end.
std::u16string ReadRecordText(ByteReader& reader);

// One delivery to PluginProcess: a code and its record.
struct Delivery {
  std::int32_t code = 0;
  std::vector<std::uint8_t> record;
};

// A channel message from a user. In the virtual form the record starts with
// the name of the virtual user it is addressed to.
Delivery BuildChannelMessage(HostMode mode, std::u16string_view virtual_user,
                             const ChatUser& sender, std::u16string_view channel,
                             std::u16string_view text);

// A private message from a user to the plug-in's user. The direct form carries
// the message kind 3, the only kind the plug-in answers.
Delivery BuildPrivateMessage(HostMode mode, std::u16string_view virtual_user,
                             const ChatUser& sender, std::u16string_view text);

// The direct-mode status of the host's own user.
Delivery BuildStatus(bool connected);

// A virtual-mode report that a user came online or went offline.
Delivery BuildUserPresence(const ChatUser& user, bool online);

}  // namespace morvane::console_host
