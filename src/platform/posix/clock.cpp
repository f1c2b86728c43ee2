// The local date and time as a day count, and the clock tests put in its place.
#include <ctime>

#include <chrono>
#include <mutex>

#include "platform/platform.h"
#include "platform/program_support.h"
#include "platform/immortal.h"

namespace morvane::platform {
namespace {

// Days from 1899-12-30, where the day count starts, to 1970-01-01.
constexpr double kUnixEpochDays = 25569.0;
constexpr double kSecondsPerDay = 86400.0;

struct TestClock {
  std::mutex mutex;  // Guards clock.
  std::function<double()> clock;
};

TestClock& Replacement() {
  // Never destroyed, so that a late caller during exit finds it intact.
  static Immortal<TestClock> replacement;
  return replacement.Get();
}

double SystemDateTime() {
  // Whole milliseconds, the resolution of GetLocalTime on Windows.
  const auto now =
      std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now());
  const auto since_epoch = now.time_since_epoch();
  const std::time_t seconds = std::chrono::duration_cast<std::chrono::seconds>(since_epoch).count();
  std::tm local{};
  // tm_gmtoff is the offset in force at that moment, summer time included.
  if (localtime_r(&seconds, &local) == nullptr) local.tm_gmtoff = 0;
  const double local_seconds =
      static_cast<double>(since_epoch.count()) / 1000.0 + static_cast<double>(local.tm_gmtoff);
  return local_seconds / kSecondsPerDay + kUnixEpochDays;
}

}  // namespace

double NowDateTime() {
  std::function<double()> clock;
  {
    TestClock& replacement = Replacement();
    std::lock_guard lock(replacement.mutex);
    clock = replacement.clock;
  }
  // The replacement is called outside the lock, so it may itself replace
  // the clock.
  return clock ? clock() : SystemDateTime();
}

void SetClockForTesting(std::function<double()> clock) {
  TestClock& replacement = Replacement();
  std::lock_guard lock(replacement.mutex);
  replacement.clock = std::move(clock);
}

}  // namespace morvane::platform
