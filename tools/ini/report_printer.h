// The settings report as text for a person: UTF-8, one value a line, texts
// quoted with line breaks and control characters made visible.
#pragma once

#include <string>
#include <string_view>

#include "ini/settings_report.h"

namespace morvane::ini {

// A text as the report shows it: in double quotes, CR LF as "⏎", any other
// control character as an escape ("\t", "\r", "\n", "\x01"), so that a
// leading or trailing space can be seen.
std::string ShowText(std::u16string_view text);

// The whole report; path is the file's name as given (UTF-8).
std::string PrintReport(const SettingsReport& report, std::string_view path);

}  // namespace morvane::ini
