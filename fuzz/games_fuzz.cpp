// The game families' parsers alone, without the handlers above them: every
// parser of the kind on each datagram, whatever its type byte, and the pieces
// of split replies put back together across the datagrams. The input is read
// as reply_fuzz reads it, so its seeds serve here too: the first byte chooses
// the kind and whether the player list is asked for, the rest is datagrams,
// each a 16-bit little-endian length and that many bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "framed_datagrams.h"
#include "games/quake3.h"
#include "games/samp.h"
#include "games/source.h"
#include "games/source_split.h"

namespace {

void ParseAsSource(std::span<const std::uint8_t> datagram) {
  (void)morvane::ClassifySourceReply(datagram);
  (void)morvane::ParseSourceInfo(datagram);
  (void)morvane::ParseSourceChallenge(datagram);
  (void)morvane::ParseSourcePlayers(datagram);
}

void ParseAsSamp(std::span<const std::uint8_t> datagram) {
  (void)morvane::IsSampReply(datagram, morvane::kSampInfoOpcode);
  (void)morvane::ParseSampInfo(datagram);
  (void)morvane::ParseSampPlayers(datagram);
  (void)morvane::ParseSampClients(datagram);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool players = (data[0] & 1) != 0;
  const int kind = (data[0] >> 1) % 3;
  morvane::SplitReply split;
  morvane::fuzz::ForEachFramedDatagram({data + 1, size - 1}, [&](auto datagram) {
    if (kind == 1) {
      (void)morvane::IsQuake3StatusReply(datagram);
      (void)morvane::ParseQuake3Status(datagram, players);
    } else if (kind == 2) {
      ParseAsSamp(datagram);
    } else {
      ParseAsSource(datagram);
      if (morvane::IsSplitPiece(datagram) &&
          split.Add(datagram) == morvane::SplitReply::Progress::kComplete) {
        ParseAsSource(split.Joined());
      }
    }
    return true;
  });
  return 0;
}
