// Settings files in the encodings people save them in, and the report's
// findings, for the tests of the settings inspector.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "ini/settings_report.h"

namespace morvane::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Utf16Le(std::u16string_view text, bool mark = true) {
  Bytes bytes = mark ? Bytes{0xFF, 0xFE} : Bytes{};
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

inline Bytes Utf16Be(std::u16string_view text, bool mark = true) {
  Bytes bytes = mark ? Bytes{0xFE, 0xFF} : Bytes{};
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
  }
  return bytes;
}

inline Bytes Utf8(std::u16string_view text, bool mark = false) {
  Bytes bytes = mark ? Bytes{0xEF, 0xBB, 0xBF} : Bytes{};
  const std::string utf8 = Utf16ToUtf8(text);
  bytes.insert(bytes.end(), utf8.begin(), utf8.end());
  return bytes;
}

// "[Main]\r\nFormat=Сервер %name%\r\n" as Windows-1251 writes it: С=D1,
// е=E5, р=F0, в=E2.
inline const Bytes kCp1251File = {'[',  'M', 'a', 'i', 'n', ']',  '\r', '\n', 'F',  'o',
                                  'r',  'm', 'a', 't', '=', 0xD1, 0xE5, 0xF0, 0xE2, 0xE5,
                                  0xF0, ' ', '%', 'n', 'a', 'm',  'e',  '%',  '\r', '\n'};

inline constexpr char16_t kCyrillicFile[] = u"[Main]\r\nFormat=Сервер %name%\r\n";

inline bool HasFinding(const SettingsReport& report, FindingKind kind,
                       std::string_view where = {}) {
  for (const Finding& finding : report.findings) {
    if (finding.kind == kind && finding.where.find(where) != std::string::npos) return true;
  }
  return false;
}

inline std::string FindingsText(const SettingsReport& report) {
  std::string text;
  for (const Finding& finding : report.findings) text += finding.where + ": " + finding.text + "\n";
  return text;
}

}  // namespace morvane::test
