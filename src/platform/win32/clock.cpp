// The clock on Windows: the local time as days since 1899-12-30, the epoch of
// the date-time values the plug-in keeps, with a replacement for tests.
#include <windows.h>

#include <utility>

#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {
namespace {

// The replacement clock; empty means the system's. Guarded by ClockLock.
std::function<double()>& ReplacementClock() {
  static std::function<double()> clock;
  return clock;
}

std::mutex& ClockLock() {
  static std::mutex lock;
  return lock;
}

double SystemDateTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  using namespace std::chrono;
  const year_month_day date{year{now.wYear}, month{now.wMonth}, day{now.wDay}};
  const year_month_day epoch{year{1899}, December, day{30}};
  const double days = static_cast<double>((sys_days{date} - sys_days{epoch}).count());
  const double milliseconds_of_day =
      ((now.wHour * 60.0 + now.wMinute) * 60.0 + now.wSecond) * 1000.0 + now.wMilliseconds;
  return days + milliseconds_of_day / 86'400'000.0;
}

}  // namespace

double NowDateTime() {
  // A copy is called outside the lock, so a test clock may itself read or
  // replace the clock.
  std::function<double()> replacement;
  {
    const std::lock_guard guard(ClockLock());
    replacement = ReplacementClock();
  }
  return replacement ? replacement() : SystemDateTime();
}

void SetClockForTesting(std::function<double()> clock) {
  const std::lock_guard guard(ClockLock());
  ReplacementClock() = std::move(clock);
}

}  // namespace morvane::platform
