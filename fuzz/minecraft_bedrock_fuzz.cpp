// The Bedrock pong reader alone, for the ping whose time the datagram
// carries (so the reader gets past the time on most inputs) and for time 0.
// A pong taken keeps valid UTF-8 valid, and one byte short of its declared
// length it is not taken.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "games/minecraft_bedrock.h"

namespace {

// Type byte, time, server id, magic, and the text's 16-bit length.
constexpr std::size_t kTextOffset = 1 + 8 + 8 + 16 + 2;

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint64_t bits = 0;
  for (std::size_t i = 1; i < 9 && i < size; ++i) bits = bits << 8 | data[i];
  const auto time = static_cast<std::int64_t>(bits);
  const std::span<const std::uint8_t> datagram(data, size);
  (void)morvane::ParseBedrockPong(datagram, 0);
  const auto pong = morvane::ParseBedrockPong(datagram, time);
  if (!pong) return 0;

  Check(size >= kTextOffset);
  const std::size_t length =
      static_cast<std::size_t>(data[kTextOffset - 2] << 8 | data[kTextOffset - 1]);
  Check(size >= kTextOffset + length);
  const std::string_view text(reinterpret_cast<const char*>(data) + kTextOffset, length);
  if (morvane::IsValidUtf8(text)) {
    for (const std::string* field :
         {&pong->edition, &pong->motd, &pong->version, &pong->level_name}) {
      Check(morvane::IsValidUtf8(*field));
    }
  }
  const std::vector<std::uint8_t> cut(data, data + kTextOffset + length - 1);
  Check(!morvane::ParseBedrockPong(cut, time));
  return 0;
}
