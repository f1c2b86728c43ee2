// A host for the benchmarks: it answers the two queries a direct-mode start
// asks (2000: the host's own user; 11: connected) and nothing else, and
// builds the chat records it delivers.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "host/host_record.h"
#include "morvane/plugin_api.h"

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

}  // namespace morvane::bench
