// Date-times as the plug-in keeps them: days since 1899-12-30 in a double, the
// time of day as the fraction.
#pragma once

#include <cstdint>

namespace morvane {

// Whole seconds between two date-times: both rounded to whole milliseconds,
// the absolute difference divided by 1000, the remainder dropped.
std::int64_t WholeSecondsBetween(double a, double b);

// A date-time plus some seconds (for tests and tools).
double AddSeconds(double date_time, double seconds);

}  // namespace morvane
