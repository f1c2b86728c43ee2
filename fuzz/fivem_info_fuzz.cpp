// FiveM's getinfo reply alone: the input as one datagram. The values that
// come out lie within it (the texts are never longer than the datagram), and
// a datagram with another header is never taken.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "games/fivem.h"

namespace {

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> datagram(data, size);
  const auto info = morvane::ParseFivemInfo(datagram);
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!info) return 0;
  Check(text.starts_with("\xFF\xFF\xFF\xFFinfoResponse"));
  for (const auto* value : {&info->name, &info->map, &info->mod, &info->challenge}) {
    Check(value->size() <= size);
    Check(value->find('\\') == std::string::npos && value->find('\n') == std::string::npos);
  }
  return 0;
}
