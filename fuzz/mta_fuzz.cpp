// The MTA:SA reply reader alone. A reply taken holds no more text than the
// datagram had bytes, lists at most as many records as it counts, and taken
// again without its last byte it is either refused or lists no more records
// than before. (Valid UTF-8 in the datagram says nothing of the texts: a
// length byte may be the lead byte of a character.)
#include <cstddef>
#include <cstdint>
#include <span>

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
  std::size_t text =
      status->name.size() + status->game_type.size() + status->map.size() + status->version.size();
  for (const auto& player : status->player_list) {
    text += player.name.size() + player.score.size() + player.ping.size();
  }
  Check(text <= size);
  const auto cut = morvane::ParseMtaReply(datagram.first(size - 1));
  Check(!cut || cut->player_list.size() <= status->player_list.size());
  return 0;
}
