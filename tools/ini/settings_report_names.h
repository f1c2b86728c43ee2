// The part of the settings report that looks at names and lines rather than
// values: sections and keys the plug-in does not know (likely typos), lines
// it can never look up, lines before the first section, and Event_N sections
// beyond the end of the event table. Used by settings_report.cpp only.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "ini/settings_report.h"
#include "settings/ini_file.h"

namespace morvane {

// A settings text parsed as the plug-in parses it, with the lines the parser
// can never look up kept for the report: the lines without "=" of each
// section, by its index in file.Sections(), as the parser leaves the section
// (a repeated header drops what its earlier occurrence held).
struct ParsedSettings {
  IniFile file;
  std::vector<std::vector<std::u16string>> lines_without_equals;
};
ParsedSettings ParseForReport(std::u16string_view text);

// Adds the findings about names to findings. text is the settings text as
// the plug-in decodes it; parsed is that text parsed; loaded_events is the
// length of the event table the plug-in loads from it, and table_end says why
// the table stops there.
void AddNameFindings(std::u16string_view text, const ParsedSettings& parsed,
                     std::size_t loaded_events, std::string_view table_end,
                     std::vector<Finding>& findings);

}  // namespace morvane
