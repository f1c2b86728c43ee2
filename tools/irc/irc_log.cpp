#include "irc_log.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace morvane::irc {
namespace {

// Guards standard error: the bridge thread logs, and so may main() before it
// starts.
std::mutex g_log_mutex;

// Days since 1970-01-01 of a civil date (Howard Hinnant's days_from_civil).
long DaysFromCivil(long year, unsigned month, unsigned day) {
  year -= month <= 2;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const auto year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<long>(day_of_era) - 719468;
}

long MinutesOf(const std::tm& time) {
  return (DaysFromCivil(time.tm_year + 1900L, static_cast<unsigned>(time.tm_mon + 1),
                        static_cast<unsigned>(time.tm_mday)) *
              24 +
          time.tm_hour) *
             60 +
         time.tm_min;
}

}  // namespace

std::string IsoTimeText(const std::tm& local, int milliseconds, int utc_offset_minutes,
                        Fraction fraction) {
  char text[48];
  int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", local.tm_year + 1900,
                        local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  if (fraction == Fraction::kMilliseconds) {
    n += std::snprintf(text + n, sizeof text - n, ".%03d", milliseconds);
  }
  const int offset = std::abs(utc_offset_minutes);
  std::snprintf(text + n, sizeof text - n, "%c%02d:%02d", utc_offset_minutes < 0 ? '-' : '+',
                offset / 60, offset % 60);
  return text;
}

std::string LocalTimeText(std::chrono::system_clock::time_point time, Fraction fraction) {
  using namespace std::chrono;
  const std::time_t seconds = system_clock::to_time_t(time);
  const auto millis = duration_cast<milliseconds>(time.time_since_epoch()).count() % 1000;
  std::tm local{};
  std::tm utc{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
  gmtime_s(&utc, &seconds);
#else
  localtime_r(&seconds, &local);
  gmtime_r(&seconds, &utc);
#endif
  // The offset is the distance between the two broken-down forms of the
  // same instant, which holds on every platform and in summer time.
  const auto offset = static_cast<int>(MinutesOf(local) - MinutesOf(utc));
  return IsoTimeText(local, static_cast<int>(millis < 0 ? millis + 1000 : millis), offset,
                     fraction);
}

void Log(std::string_view line) {
  std::string out = LocalTimeText(std::chrono::system_clock::now(), Fraction::kMilliseconds) + " ";
  // One entry, one line: a text from the network never breaks the log.
  for (char c : line) out += (c == '\r' || c == '\n') ? ' ' : c;
  out += '\n';
  std::lock_guard lock(g_log_mutex);
  std::fwrite(out.data(), 1, out.size(), stderr);
  std::fflush(stderr);
}

}  // namespace morvane::irc
