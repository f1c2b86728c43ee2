// The times of the last N sends to somewhere, for the worker's paces: a
// window of N sends that the next one must wait to leave.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace morvane {

template <std::size_t N>
class RecentSends {
 public:
  // The oldest of the last N sends, once there were N.
  std::optional<std::int64_t> OldestOfFull() const {
    if (count_ < N) return std::nullopt;
    return times_[next_];
  }
  // The last send, if any.
  std::optional<std::int64_t> Last() const {
    if (count_ == 0) return std::nullopt;
    return times_[(next_ + N - 1) % N];
  }
  void Record(std::int64_t at) {
    times_[next_] = at;
    next_ = (next_ + 1) % N;
    if (count_ < N) ++count_;
  }

 private:
  std::array<std::int64_t, N> times_{};  // a ring; the oldest at next_ once full
  std::size_t next_ = 0;
  std::size_t count_ = 0;
};

}  // namespace morvane
