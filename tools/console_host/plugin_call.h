// The plug-in's calls to the host callback, decoded from their records and
// rendered as chat lines for the transcript. The records come from the
// plug-in and are read like any untrusted bytes: a field that does not fit
// reads as empty, and the rendered line says the record was short or carried
// bytes past its last field, so a faulty record shows in the transcript.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "chat_records.h"

namespace morvane::console_host {

enum class CallKind {
  kChannelMessage,  // 50 direct, 1020 virtual
  kPrivateMessage,  // 70 direct, 1022 virtual
  kMode3Message,    // 61 direct, 1023 virtual
  kHostJoins,       // 67 direct
  kVirtualJoins,    // 1026
  kVirtualLeaves,   // 1027
  kVirtualLogIn,    // 1001
  kVirtualLogOut,   // 1002
  kOther,
};

struct PluginCall {
  CallKind kind = CallKind::kOther;
  std::int32_t code = 0;
  std::size_t length = 0;
  HostMode mode = HostMode::kDirect;  // the mode the code belongs to
  std::u16string speaker;             // virtual forms: the virtual user's name
  std::u16string target;              // a channel or a user
  std::u16string text;
  std::u16string ip;           // 1001
  std::int32_t type_flag = 0;  // 50, 70, 1020, 1022
  bool short_record = false;
  std::size_t extra_bytes = 0;
};

// Decodes one call. The direct forms carry no speaker: the host's own user
// speaks.
PluginCall DecodePluginCall(std::int32_t code, std::span<const std::uint8_t> record);

// A text from the plug-in made safe for a terminal and split into lines. CR LF,
// a lone CR and a lone LF each end a line. Other control characters (C0 but
// the tab, DEL and C1) are shown as \xNN, so a stray escape sequence cannot
// reach the terminal and a NUL stays visible.
std::vector<std::string> SplitTranscriptLines(std::u16string_view text);

// One line of text, control characters escaped and line breaks too (for the
// echo of an input line and for names).
std::string EscapeForTranscript(std::u16string_view text);

// Renders a decoded call as transcript lines, joined with "\n" (no final line
// break). host_user speaks the direct forms; session_mode is the mode the host
// plays, so a code of the other mode is marked as a fault. The further lines of
// a multi-line message are marked, so a transcript shows where one message
// ends and the next begins.
std::string RenderHostCall(const PluginCall& call, std::u16string_view host_user,
                           HostMode session_mode);

}  // namespace morvane::console_host
