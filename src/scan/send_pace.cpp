#include "scan/send_pace.h"

#include <algorithm>

namespace morvane {

std::int64_t SendPace::NextUs() const {
  const std::int64_t spaced = last_ + kSendSpacingUs;
  if (count_ < kBurstSends) return spaced;
  // The window holds kBurstSends already: the next waits until the oldest
  // of them has left it.
  return std::max(spaced, sent_[next_] + kBurstWindowUs);
}

void SendPace::Record(std::int64_t at) {
  sent_[next_] = at;
  next_ = (next_ + 1) % kBurstSends;
  count_ = std::min(count_ + 1, kBurstSends);
  last_ = at;
}

}  // namespace morvane
