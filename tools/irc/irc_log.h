// The bridge's log: one line per thing it does, on standard error, each
// with the local time to the millisecond so that a log shows the pace.
#pragma once

#include <string_view>

namespace morvane::irc {

void Log(std::string_view line);

}  // namespace morvane::irc
