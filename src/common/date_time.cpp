#include "common/date_time.h"

#include <cmath>
#include <cstdlib>

namespace morvane {
namespace {
constexpr double kMillisecondsPerDay = 86400000.0;
}

std::int64_t WholeSecondsBetween(double a, double b) {
  auto ms_a = static_cast<std::int64_t>(std::llround(a * kMillisecondsPerDay));
  auto ms_b = static_cast<std::int64_t>(std::llround(b * kMillisecondsPerDay));
  return std::llabs(ms_a - ms_b) / 1000;
}

double AddSeconds(double date_time, double seconds) { return date_time + seconds / 86400.0; }

}  // namespace morvane
