// The bridge's log: one line per thing it does, on standard error, each
// with the local time to the millisecond and its offset from UTC (ISO 8601),
// so that a log shows the pace and lines up with logs of other machines.
#pragma once

#include <chrono>
#include <ctime>
#include <string>
#include <string_view>

namespace morvane::irc {

void Log(std::string_view line);

// The time as ISO 8601 in local time with its offset:
// "2026-12-09T15:04:05.123+01:00", or without the milliseconds.
enum class Fraction { kNone, kMilliseconds };
std::string LocalTimeText(std::chrono::system_clock::time_point time, Fraction fraction);

// The same for a broken-down time already known to be utc_offset_minutes
// east of UTC. Pure, for the tests.
std::string IsoTimeText(const std::tm& local, int milliseconds, int utc_offset_minutes,
                        Fraction fraction);

}  // namespace morvane::irc
