// The settings file: any bytes, read as the plug-in reads Morvane.ini, in both
// modes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "settings/ini_file.h"
#include "settings/settings_values.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const morvane::IniFile file = morvane::IniFile::Parse(std::span<const std::uint8_t>(data, size));
  (void)morvane::ReadSettingsValues(file, false);
  (void)morvane::ReadSettingsValues(file, true);
  return 0;
}
