// The "/gs " command: a chat user asks for a server query.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace morvane {

struct PluginState;

enum class MessageClass { kChannel, kPrivate, kStatus };

// The kind and address of a lowered "/gs " text. Blanks are U+0020 only: the
// kind is the first run of non-blanks after the prefix and must be followed by
// a blank; the address is everything after the blanks that follow it (or the
// rest after that one blank, when only blanks follow). Empty fields mean the
// text is no command.
struct ScanCommand {
  std::u16string kind;
  std::u16string address;
};
ScanCommand ParseScanCommand(std::u16string_view lowered_text);

// The scan command in a chat message, looked at after its events have fired:
// switches, prefix, flood delay, parse, and the request with the [Main]
// templates. now is the current date-time.
void HandleScanCommand(PluginState& state, MessageClass message_class,
                       std::u16string_view reply_target, std::u16string_view lowered_text,
                       double now);

}  // namespace morvane
