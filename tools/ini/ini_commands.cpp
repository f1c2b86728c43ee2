#include "ini_commands.h"

#include <cstdint>
#include <vector>

#include "common/text.h"
#include "ini/settings_encoding.h"
#include "ini/settings_report.h"
#include "platform/platform.h"
#include "platform/program_support.h"
#include "report_printer.h"

namespace morvane::ini {
namespace {

// The path as printed: UTF-8, whatever code page the argument came in.
std::string U8Path(const std::string& argument) { return Utf16ToUtf8(PathFromArgument(argument)); }

// What the plug-in does when it cannot read its settings file.
struct Consequences {
  std::string_view missing;
  std::string_view unreadable;
};

constexpr Consequences kPluginConsequences = {
    "(Without a Morvane.ini the plug-in uses the default of every key.)",
    "(The plug-in then uses the default of every key at start, and keeps what it loaded last "
    "on \"/reload\".)"};

// Reads the whole file; on failure says why in err, naming the file.
bool ReadFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& err,
              const Consequences& consequences) {
  std::string_view consequence;
  switch (platform::ReadWholeFile(PathFromArgument(path), bytes)) {
    case platform::ReadFileResult::kRead:
      return true;
    case platform::ReadFileResult::kMissing:
      err += "morvane-ini: " + U8Path(path) + ": no such file\n";
      consequence = consequences.missing;
      break;
    case platform::ReadFileResult::kUnreadable:
      err += "morvane-ini: " + U8Path(path) +
             ": the file exists but cannot be read (a folder, no permission, or held open by "
             "another program)\n";
      consequence = consequences.unreadable;
      break;
  }
  if (!consequence.empty()) err += std::string(consequence) + "\n";
  return false;
}

}  // namespace

std::u16string PathFromArgument(const std::string& argument) {
#ifdef _WIN32
  return platform::FromAnsi(argument);
#else
  return Utf8ToUtf16(argument);
#endif
}

int RunCheck(const std::string& path, std::string& out, std::string& err) {
  std::vector<std::uint8_t> bytes;
  if (!ReadFile(path, bytes, err, kPluginConsequences)) {
    return kExitFailed;
  }
  const SettingsReport report = InspectSettings(bytes);
  out += PrintReport(report, U8Path(path));
  return report.HasWarnings() ? kExitWarnings : kExitClean;
}

int RunWrite(const std::string& input, const std::string& output, std::string& out,
             std::string& err) {
  std::vector<std::uint8_t> bytes;
  if (!ReadFile(input, bytes, err, {})) return kExitFailed;
  const ConvertedSettings converted = ConvertToPluginEncoding(bytes);
  out += "Read " + U8Path(input) + ": " + std::string(SettingsEncodingName(converted.from)) + ", " +
         std::to_string(bytes.size()) + " bytes.\n";
  if (converted.from == SettingsEncoding::kEightBit) {
    out +=
        "Its bytes are not UTF-8, so they were taken as Windows-1251 (Cyrillic): check "
        "that the texts read right.\n";
  }
  const std::u16string input_path = PathFromArgument(input);
  const std::u16string output_path = PathFromArgument(output);
  const bool in_place = input_path == output_path;
  if (in_place && converted.unchanged) {
    out += "Nothing to do: the plug-in reads " + U8Path(input) + " as it is.\n";
    return kExitClean;
  }
  if (!platform::WriteWholeFile(output_path, converted.bytes)) {
    err += "morvane-ini: " + U8Path(output) + ": cannot write the file\n";
    // Writing in place may have cut the file short before it failed: put
    // back what was read, so that a failed conversion loses nothing.
    if (in_place) {
      err += platform::WriteWholeFile(input_path, bytes)
                 ? "morvane-ini: " + U8Path(input) + " is as it was.\n"
                 : "morvane-ini: " + U8Path(input) + " may have been damaged: its " +
                       std::to_string(bytes.size()) + " bytes could not be written back.\n";
    }
    return kExitFailed;
  }
  out += "Wrote " + U8Path(output) + ": UTF-16LE with a byte-order mark, " +
         std::to_string(converted.bytes.size()) + " bytes";
  out += converted.unchanged ? " (the file already was; its bytes are copied unchanged).\n"
         : converted.from == SettingsEncoding::kUtf16Le
             ? " (the mark FF FE put in front; the rest unchanged).\n"
             : ".\n";
  out += "Check it with: morvane-ini check " + U8Path(output) + "\n";
  return kExitClean;
}

}  // namespace morvane::ini
