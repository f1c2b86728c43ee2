#include "plugin/channels.h"

#include <algorithm>
#include <string>
#include <vector>

#include "common/text.h"
#include "host/host_link.h"

namespace morvane {
namespace {

// One channel of the host's 1080 answer: its name, an integer and a text,
// read whole or not at all. Reading stops at the first entry cut short by the
// end of the answer; the entries before it still count.
bool ReadListedChannel(ByteReader& answer, std::u16string& name) {
  name = ReadText(answer);
  (void)ReadInt(answer);
  (void)ReadText(answer);
  return !answer.Exhausted();
}

// Direct mode: code 67 for every piece. False when the host stopped the
// plug-in from inside a join.
bool JoinAsHostUser(const std::vector<std::u16string>& pieces) {
  for (const auto& piece : pieces) {
    HostRecord join;
    AppendInt(join, 1);
    AppendText(join, piece);
    if (!SendHostRecord(host_code::kJoinChannel, join).open) return false;
  }
  return true;
}

// Virtual-user mode: code 1027 for every channel of the host's 1080 answer
// that no piece names exactly.
bool LeaveUnlistedChannels(const std::u16string& user, const std::vector<std::u16string>& pieces) {
  HostRecord ask;
  AppendText(ask, user);
  const HostAnswer listed = QueryHostRecord(host_code::kQueryVirtualChannels, ask);
  if (!listed.open) return false;
  if (listed.answer.empty()) return true;
  ByteReader answer(std::span<const std::uint8_t>(listed.answer.data(), listed.answer.size()));
  std::int32_t count = ReadInt(answer);
  if (answer.Exhausted() || count <= 0) return true;
  std::u16string channel;
  for (std::int32_t i = 0; i < count && ReadListedChannel(answer, channel); ++i) {
    if (std::find(pieces.begin(), pieces.end(), channel) != pieces.end()) continue;
    HostRecord leave;
    AppendText(leave, user);
    AppendText(leave, channel);
    if (!SendHostRecord(host_code::kVirtualLeaveChannel, leave).open) return false;
  }
  return true;
}

}  // namespace

bool JoinChannels(const PluginState& state) {
  // Pieces are not trimmed and empty pieces count: an empty value joins one
  // channel with an empty name.
  const std::vector<std::u16string> pieces = SplitKeepingEmpty(state.settings.Channels, u'|');
  if (!Host().virtual_user_mode) return JoinAsHostUser(pieces);

  // A copy: a host that stops the plug-in inside a join clears the identity.
  const std::u16string user = state.identity.Name;
  for (const auto& piece : pieces) {
    HostRecord join;
    AppendText(join, user);
    AppendText(join, piece);
    AppendInt(join, 1);
    AppendInt(join, 0);
    if (!SendHostRecord(host_code::kVirtualJoinChannel, join).open) return false;
  }
  return LeaveUnlistedChannels(user, pieces);
}

}  // namespace morvane
