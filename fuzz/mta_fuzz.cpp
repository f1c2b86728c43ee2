// The MTA:SA reply reader alone. A reply taken keeps valid UTF-8 valid, lists
// at most as many records as it counts, and taken again without its last
// byte it is either refused or lists no more records than before.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "common/text.h"
#include "games/mta.h"

namespace {

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> datagram(data, size);
  const auto status = morvane::ParseMtaReply(datagram);
  if (!status) return 0;
  Check(status->player_list.size() <= status->players);
  if (morvane::IsValidUtf8(std::string_view(reinterpret_cast<const char*>(data), size))) {
    Check(morvane::IsValidUtf8(status->name) && morvane::IsValidUtf8(status->map));
    for (const auto& player : status->player_list) Check(morvane::IsValidUtf8(player.name));
  }
  const auto cut = morvane::ParseMtaReply(datagram.first(size - 1));
  Check(!cut || cut->player_list.size() <= status->player_list.size());
  return 0;
}
