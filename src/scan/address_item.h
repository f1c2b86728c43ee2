// Address items: the pieces of a request's `Addr`, how each names a host and
// a port, and what a reply handler sees of the item it serves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scan/reply_templates.h"
#include "scan/scan_item.h"

namespace morvane {

// Splits at every "," and trims each item (code units up to U+0020 at both
// ends). Empty items are kept: they still count.
std::vector<std::u16string> SplitAddressItems(std::u16string_view addr);

// The part before the first ":", or the whole item.
std::u16string_view SplitHost(std::u16string_view item);

// The up to 5 characters after the first ":" as an integer (decimal with an
// optional sign, or hexadecimal after "$", "0x", "0X"); its low 16 bits. The
// default when there is no ":" or the characters are no integer.
std::uint16_t ParsePort(std::u16string_view item, std::uint16_t default_port);

// 27015 Source, 28960 Quake 3 family, 7777 SA-MP, 25565 Minecraft Java,
// 19132 Minecraft Bedrock, 30120 FiveM, 22003 MTA:SA, 1024 TCP probe.
std::uint16_t DefaultPort(std::uint8_t game);

// The port a kind's query goes to, given the game port the address names (or
// the default one): the game port itself, but for MTA:SA, whose queries go
// to the game port plus 123; none when that is beyond 65535.
std::optional<std::uint16_t> QueryPort(std::uint8_t game, std::uint16_t game_port);

// One address item of the request being served, as its reply handler sees it.
struct AddressItem {
  const ScanRequest& request;
  std::u16string_view address;  // the trimmed item as typed: "%addr%"
  std::int32_t index = 0;       // 1-based, counting every item
  ReplyText& output;            // the item's own part of the reply
  ServerValues values;          // the summary's values, filled by the handler
};

}  // namespace morvane
