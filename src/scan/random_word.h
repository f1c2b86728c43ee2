// Random bits for the tokens that tie a reply to the query of one address
// item (a ping's time, a challenge).
#pragma once

#include <chrono>
#include <cstdint>
#include <random>

namespace morvane {

inline std::uint64_t RandomWord() {
  try {
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
  } catch (...) {
    // No source of randomness: the clock's count still differs between
    // items.
    return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  }
}

}  // namespace morvane
