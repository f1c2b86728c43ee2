#include "plugin/scan_command.h"

#include <algorithm>

#include "common/date_time.h"
#include "plugin/plugin_state.h"
#include "plugin/add_scan_item.h"

namespace morvane {
namespace {

constexpr std::u16string_view kPrefix = u"/gs ";
constexpr char16_t kBlank = u' ';

// The worker splits the address text at every ",", keeping empty items.
std::int64_t CountAddressItems(std::u16string_view address) {
  return std::count(address.begin(), address.end(), u',') + 1;
}

}  // namespace

ScanCommand ParseScanCommand(std::u16string_view text) {
  ScanCommand command;
  if (text.substr(0, kPrefix.size()) != kPrefix) return command;
  const std::size_t n = text.size();
  std::size_t at = kPrefix.size();
  while (at < n && text[at] == kBlank) ++at;
  const std::size_t kind_start = at;
  while (at < n && text[at] != kBlank) ++at;
  // A kind that runs to the end of the text has no blank after it: no kind.
  if (at >= n) return command;
  command.kind = text.substr(kind_start, at - kind_start);
  std::size_t address_start = at + 1;
  std::size_t first_non_blank = address_start;
  while (first_non_blank < n && text[first_non_blank] == kBlank) ++first_non_blank;
  if (first_non_blank < n) address_start = first_non_blank;
  if (address_start < n) command.address = text.substr(address_start);
  return command;
}

void HandleScanCommand(PluginState& state, MessageClass message_class,
                       std::u16string_view reply_target, std::u16string_view text, double now) {
  const MainSettings& settings = state.settings;
  if (message_class == MessageClass::kChannel && !settings.ChScanEn) return;
  if (message_class == MessageClass::kPrivate && !settings.PmScanEn) return;
  if (text.substr(0, kPrefix.size()) != kPrefix) return;
  if (settings.Delay != 0 && state.last_scan_command_time != 0 &&
      WholeSecondsBetween(now, state.last_scan_command_time) <
          static_cast<std::int64_t>(settings.Delay)) {
    return;
  }
  ScanCommand command = ParseScanCommand(text);
  if (command.kind.empty() || command.address.empty()) return;

  // The flood delay starts even when the request is then refused.
  state.last_scan_command_time = now;
  // A chat user may not make the worker wait on, or probe, hundreds of
  // addresses at once: a longer list is refused as a full queue refuses it.
  // Events, written by the operator, are never capped.
  if (settings.MaxAddr > 0 && CountAddressItems(command.address) > settings.MaxAddr) return;
  AddScanItem(state, command.kind, CommandRequest(settings, message_class, reply_target, command));
}

}  // namespace morvane
