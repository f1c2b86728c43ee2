// The HTTP reply reader and the players.json read behind it: the input as
// the bytes of one TCP stream. Read in two parts it must say what it says
// whole: a reply that is complete or invalid after the first part, with the
// connection open, stays so, with the same status and body. A body is never
// longer than the bytes received, and every name that comes out is UTF-8.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "common/text.h"
#include "games/fivem.h"
#include "games/http_reply.h"

namespace {

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> stream(data, size);
  // The first part in a buffer of its own, so that a read past it is caught.
  const std::vector<std::uint8_t> first(data, data + size / 2);

  const morvane::HttpReply part = morvane::ReadHttpReply(first, false);
  for (const bool closed : {false, true}) {
    const morvane::HttpReply whole = morvane::ReadHttpReply(stream, closed);
    if (part.state != morvane::HttpState::kIncomplete) {
      Check(whole.state == part.state && whole.status == part.status && whole.body == part.body);
    }
    if (whole.state != morvane::HttpState::kComplete) continue;
    Check(whole.body.size() <= size && whole.status >= 100 && whole.status <= 999);
    if (const auto players = morvane::ParseFivemPlayersJson(whole.body)) {
      for (const auto& player : *players) Check(morvane::IsValidUtf8(player.name));
    }
  }
  return 0;
}
