#include "scan/send_pace.h"

#include <algorithm>
#include <limits>

namespace morvane {

std::int64_t SendPace::NextUs() const {
  const auto last = sent_.Last();
  if (!last) return std::numeric_limits<std::int64_t>::min();
  const std::int64_t spaced = *last + kSendSpacingUs;
  // The window holds kBurstSends already: the next waits until the oldest
  // of them has left it.
  const auto oldest = sent_.OldestOfFull();
  return oldest ? std::max(spaced, *oldest + kBurstWindowUs) : spaced;
}

void SendPace::Record(std::int64_t at) { sent_.Record(at); }

}  // namespace morvane
