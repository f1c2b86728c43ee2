// The player list of one address item, the same for every kind: the header,
// then the lines, bounded by MaxPlayers and followed by a line that says how
// many players were left out.
#pragma once

#include <algorithm>
#include <cstdint>

#include "scan/address_item.h"
#include "scan/reply_templates.h"

namespace morvane {

inline void AppendHeaderIfAny(AddressItem& item, std::uint32_t players) {
  if (item.request.PlTitle.empty()) return;
  item.output.AppendHeader(item.index, FillHeader(item.request.PlTitle, item.address, players));
}

// The player lines of one reply, each filled by line(player): at most
// MaxPlayers of them, then one line that says how many were left out. The
// lines left out are never filled. A server that lists only some of its
// players (a sample) says how many there are in `total`; those it did not
// list count as left out too.
template <typename Players, typename Line>
void AppendPlayerLines(AddressItem& item, const Players& players, Line line,
                       std::uint64_t total = 0) {
  std::size_t shown = players.size();
  if (item.request.MaxPlayers > 0) {
    shown = std::min(shown, static_cast<std::size_t>(item.request.MaxPlayers));
  }
  for (std::size_t i = 0; i < shown; ++i) item.output.AppendPlayerLine(line(players[i]), i == 0);
  const std::uint64_t all = std::max<std::uint64_t>(total, players.size());
  if (all == shown) return;
  item.output.AppendPlayerLine(
      FillMorePlayers(item.request.PlMoreFormat, item.address, all - shown), shown == 0);
}

// The line of a server that counts players but hides their names.
inline void AppendNamesHidden(AddressItem& item) {
  item.output.AppendNoPlayers(FillAddress(item.request.PlHiddenText, item.address));
}

}  // namespace morvane
