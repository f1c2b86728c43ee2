#include "scan/address_item.h"

#include "common/text.h"
#include "scan/scan_item.h"

namespace morvane {

std::vector<std::u16string> SplitAddressItems(std::u16string_view addr) {
  std::vector<std::u16string> items = SplitKeepingEmpty(addr, u',');
  for (auto& item : items) item = std::u16string(TrimControlAndSpace(item));
  return items;
}

std::u16string_view SplitHost(std::u16string_view item) { return item.substr(0, item.find(u':')); }

std::uint16_t ParsePort(std::u16string_view item, std::uint16_t default_port) {
  std::size_t colon = item.find(u':');
  if (colon == std::u16string_view::npos) return default_port;
  auto value = ParseInteger(item.substr(colon + 1, 5));
  if (!value) return default_port;
  return static_cast<std::uint16_t>(static_cast<std::uint64_t>(*value) & 0xFFFF);
}

std::uint16_t DefaultPort(std::uint8_t game) {
  switch (game) {
    case kGameSource:
      return 27015;
    case kGameQuake3:
      return 28960;
    case kGameSamp:
      return 7777;
    case kGameMinecraft:
      return 25565;
    case kGameBedrock:
      return 19132;
    case kGameFivem:
      return 30120;
    case kGameMta:
      return 22003;
    default:
      return 1024;
  }
}

std::optional<std::uint16_t> QueryPort(std::uint8_t game, std::uint16_t game_port) {
  // MTA:SA answers queries on its game port plus 123.
  if (game != kGameMta) return game_port;
  if (game_port > 65535 - 123) return std::nullopt;
  return static_cast<std::uint16_t>(game_port + 123);
}

}  // namespace morvane
