// A host for the benchmarks: it answers the two queries a direct-mode start
// asks (2000: the host's own user; 11: connected) and nothing else, and
// builds the chat records it delivers.
#pragma once

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "host/host_record.h"
#include "morvane/plugin_api.h"
#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::bench {

inline std::int32_t MORVANE_CALL AnswerDirectMode(std::int32_t, std::int32_t code, void* answer,
                                                  std::int32_t size, const void*, std::int32_t) {
  if (code != 2000 && code != 11) return 0;
  if (answer != nullptr && size >= 4) {
    auto* bytes = static_cast<std::uint8_t*>(answer);
    bytes[0] = code == 2000 ? 1 : 2;
    bytes[1] = bytes[2] = bytes[3] = 0;
  }
  return 4;
}

// A direct-mode channel message (code 5) from user in #main.
inline std::vector<std::uint8_t> ChannelMessageRecord(std::u16string_view user,
                                                      std::u16string_view text) {
  HostRecord record;
  AppendText(record, user);
  AppendText(record, u"");
  AppendInt(record, 0);
  AppendText(record, u"main");
  AppendInt(record, 0);
  AppendText(record, text);
  return record;
}

// "P1,P2,..." as the ports it names.
inline std::vector<std::string> SplitPorts(const std::string& list) {
  std::vector<std::string> ports;
  for (std::size_t at = 0; at <= list.size();) {
    std::size_t comma = list.find(',', at);
    if (comma == std::string::npos) comma = list.size();
    if (comma > at) ports.push_back(list.substr(at, comma - at));
    at = comma + 1;
  }
  return ports;
}

// Writes Morvane.ini into the folder (made if need be), UTF-16LE with its
// mark, as the plug-in reads it.
inline bool WriteSettingsFile(const std::u16string& folder, std::u16string_view text) {
  std::vector<std::uint8_t> bytes = {0xFF, 0xFE};
  for (char16_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return platform::MakeDirectories(Utf16ToUtf8(folder)) &&
         platform::WriteWholeFile(folder + u"/Morvane.ini", bytes);
}

// The bytes the process's heap has handed out and not had back, every
// thread's arena and the blocks too large for an arena included; nothing
// where the C library cannot tell. A block freed into glibc's per-thread
// cache still counts as in use, so exact figures want the cache off
// (GLIBC_TUNABLES=glibc.malloc.tcache_count=0).
inline std::optional<std::size_t> HeapBytesInUse() {
#if defined(__GLIBC__)
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#else
  return std::nullopt;
#endif
}

}  // namespace morvane::bench
