#include "plugin_call.h"

#include "common/byte_reader.h"
#include "common/text.h"

namespace morvane::console_host {
namespace {

// The further lines of a multi-line message are marked so a transcript shows
// where one message ends and the next begins.
constexpr std::string_view kContinuation = "  | ";

}  // namespace

PluginCall DecodePluginCall(std::int32_t code, std::span<const std::uint8_t> record) {
  PluginCall call;
  call.code = code;
  call.length = record.size();
  ByteReader reader(record);
  switch (code) {
    case call::kChannelMessage:
    case call::kPrivateMessage:
      call.kind = code == call::kChannelMessage ? CallKind::kChannelMessage
                                                     : CallKind::kPrivateMessage;
      call.target = ReadRecordText(reader);
      call.type_flag = reader.ReadI32LE();
      call.text = ReadRecordText(reader);
      break;
    case call::kMode3Message:
      call.kind = CallKind::kMode3Message;
      call.target = ReadRecordText(reader);
      call.text = ReadRecordText(reader);
      break;
    case call::kJoinChannel:
      // The leading integer is always 1; the host does not depend on it.
      call.kind = CallKind::kHostJoins;
      reader.ReadI32LE();
      call.target = ReadRecordText(reader);
      break;
    case call::kVirtualChannelMessage:
    case call::kVirtualPrivateMessage:
      call.mode = HostMode::kVirtualUser;
      call.kind = code == call::kVirtualChannelMessage ? CallKind::kChannelMessage
                                                            : CallKind::kPrivateMessage;
      call.speaker = ReadRecordText(reader);
      call.type_flag = reader.ReadI32LE();
      call.target = ReadRecordText(reader);
      call.text = ReadRecordText(reader);
      break;
    case call::kVirtualMode3Message:
      call.mode = HostMode::kVirtualUser;
      call.kind = CallKind::kMode3Message;
      call.speaker = ReadRecordText(reader);
      call.target = ReadRecordText(reader);
      call.text = ReadRecordText(reader);
      break;
    case call::kVirtualJoinChannel:
      // Two integers follow the channel (1 and 0); the host does not use them.
      call.mode = HostMode::kVirtualUser;
      call.kind = CallKind::kVirtualJoins;
      call.speaker = ReadRecordText(reader);
      call.target = ReadRecordText(reader);
      reader.ReadI32LE();
      reader.ReadI32LE();
      break;
    case call::kVirtualLeaveChannel:
      call.mode = HostMode::kVirtualUser;
      call.kind = CallKind::kVirtualLeaves;
      call.speaker = ReadRecordText(reader);
      call.target = ReadRecordText(reader);
      break;
    case call::kVirtualLogIn:
      // Name, IP, 0, Password, 0. The password is read to check the record's
      // length but never shown.
      call.mode = HostMode::kVirtualUser;
      call.kind = CallKind::kVirtualLogIn;
      call.speaker = ReadRecordText(reader);
      call.ip = ReadRecordText(reader);
      reader.ReadI32LE();
      ReadRecordText(reader);
      reader.ReadI32LE();
      break;
    case call::kVirtualLogOut:
      call.mode = HostMode::kVirtualUser;
      call.kind = CallKind::kVirtualLogOut;
      call.speaker = ReadRecordText(reader);
      break;
    default:
      return call;
  }
  call.short_record = reader.Exhausted();
  call.extra_bytes = reader.Remaining();
  return call;
}

std::vector<std::string> SplitTranscriptLines(std::u16string_view text) {
  std::vector<std::string> lines;
  std::u16string current;
  auto flush = [&] {
    lines.push_back(Utf16ToUtf8(current));
    current.clear();
  };
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t unit = text[i];
    if (unit == u'\r') {
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      flush();
      continue;
    }
    if (unit == u'\n') {
      flush();
      continue;
    }
    bool c0 = unit < 0x20 && unit != u'\t';
    bool c1 = unit >= 0x7F && unit <= 0x9F;
    if (!c0 && !c1) {
      current.push_back(unit);
      continue;
    }
    current += u"\\x";
    current.push_back(static_cast<char16_t>(kHex[unit >> 4]));
    current.push_back(static_cast<char16_t>(kHex[unit & 0xF]));
  }
  flush();
  return lines;
}

std::string EscapeForTranscript(std::u16string_view text) {
  std::u16string one_line;
  for (char16_t unit : text) {
    if (unit == u'\r') {
      one_line += u"\\x0D";
    } else if (unit == u'\n') {
      one_line += u"\\x0A";
    } else {
      one_line.push_back(unit);
    }
  }
  return SplitTranscriptLines(one_line).front();
}

std::string RenderHostCall(const PluginCall& call, std::u16string_view host_user,
                           HostMode session_mode) {
  if (call.kind == CallKind::kOther) {
    return "* host call " + std::to_string(call.code) + " (" + std::to_string(call.length) +
           " bytes)";
  }
  std::string speaker = EscapeForTranscript(
      call.mode == HostMode::kVirtualUser ? std::u16string_view(call.speaker) : host_user);
  std::string target = EscapeForTranscript(call.target);
  std::string head;
  bool has_text = false;
  switch (call.kind) {
    case CallKind::kChannelMessage:
      // Channel replies normally carry the type flag 1 and private ones 0;
      // any other flag is shown so a transcript tells the two apart.
      head = "[#" + target + "] <" + speaker + ">";
      if (call.type_flag != 1) head += " (type " + std::to_string(call.type_flag) + ")";
      has_text = true;
      break;
    case CallKind::kPrivateMessage:
      head = "[@" + target + "] <" + speaker + ">";
      if (call.type_flag != 0) head += " (type " + std::to_string(call.type_flag) + ")";
      has_text = true;
      break;
    case CallKind::kMode3Message:
      head = "[mode3 " + target + "] <" + speaker + ">";
      has_text = true;
      break;
    case CallKind::kHostJoins:
    case CallKind::kVirtualJoins:
      head = "* " + speaker + " joins #" + target;
      break;
    case CallKind::kVirtualLeaves:
      head = "* " + speaker + " leaves #" + target;
      break;
    case CallKind::kVirtualLogIn:
      head = "* " + speaker + " logs in (IP " + EscapeForTranscript(call.ip) + ")";
      break;
    case CallKind::kVirtualLogOut:
      head = "* " + speaker + " logs out";
      break;
    case CallKind::kOther:
      break;
  }
  std::vector<std::string> lines;
  if (has_text) lines = SplitTranscriptLines(call.text);
  if (!lines.empty() && !lines.front().empty()) head += " " + lines.front();
  if (call.mode != session_mode) {
    head += call.mode == HostMode::kVirtualUser ? " [virtual-mode code in direct mode]"
                                            : " [direct-mode code in virtual mode]";
  }
  if (call.short_record) head += " [short record]";
  if (call.extra_bytes != 0) head += " [" + std::to_string(call.extra_bytes) + " extra bytes]";
  std::string out = head;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    out += "\n";
    if (lines[i].empty()) {
      out += kContinuation.substr(0, kContinuation.size() - 1);
    } else {
      out += kContinuation;
      out += lines[i];
    }
  }
  return out;
}

}  // namespace morvane::console_host
