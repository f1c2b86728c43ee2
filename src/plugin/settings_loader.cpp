#include "plugin/settings_loader.h"

#include <vector>

#include "host/host_link.h"
#include "platform/platform.h"
#include "plugin/channels.h"
#include "plugin/event_timer.h"
#include "settings/ini_file.h"
#include "settings/settings_values.h"

namespace morvane {
namespace {

constexpr char16_t kSettingsFileName[] = u"Morvane.ini";
// A settings file of a few kilobytes is large; anything past this is no
// settings file, and reading it on the host's thread would stall the chat.
constexpr std::size_t kMaxSettingsFileBytes = 1 << 20;

bool SameIdentity(const VirtualUserIdentity& a, const VirtUserValues& b) {
  return a.Name == b.Name && a.IP == b.IP && a.Password == b.Password;
}

// Logs the virtual user in, replacing the one logged in before, unless the
// very same user is already online. False when the host stopped the plug-in
// from inside one of these calls.
bool LogInVirtualUser(PluginState& state, const VirtUserValues& user) {
  if (!(state.online && SameIdentity(state.identity, user))) {
    if (!state.identity.Name.empty()) {
      HostRecord log_out;
      AppendText(log_out, state.identity.Name);
      if (!SendHostRecord(host_code::kVirtualLogOut, log_out).open) return false;
    }
    HostRecord log_in;
    AppendText(log_in, user.Name);
    AppendText(log_in, user.IP);
    AppendInt(log_in, 0);
    AppendText(log_in, user.Password);
    AppendInt(log_in, 0);
    if (!SendHostRecord(host_code::kVirtualLogIn, log_in).open) return false;
  }
  state.identity = {user.Name, user.IP, user.Password};
  SetVirtualUserName(user.Name);
  return true;
}

}  // namespace

bool LoadSettings(PluginState& state) {
  const bool virtual_user_mode = Host().virtual_user_mode;
  // The host may stop the plug-in from inside any of the calls below; a call
  // that finds its session closed afterwards means PluginStop has run, and
  // nothing more may happen: no timer, no further call.

  // The file is read before anything is torn down: a file that exists but
  // cannot be read (another program holds it open for writing, say) leaves
  // everything as the last load set it. With no load before, it is taken as
  // missing, so every key gets its default.
  std::vector<std::uint8_t> bytes;
  auto read = platform::ReadRegularFile(state.module_directory + kSettingsFileName, bytes,
                                        kMaxSettingsFileBytes);
  if (read == platform::ReadFileResult::kUnreadable && state.settings_read) return true;
  if (read != platform::ReadFileResult::kRead) bytes.clear();

  StopEventTimer(state);
  state.admin_list.reset();

  SettingsValues values = ReadSettingsValues(IniFile::Parse(bytes), virtual_user_mode);
  state.settings = std::move(values.main);
  state.admin_list = std::move(values.admin_list);
  state.event_table = std::move(values.events);
  state.settings_read = true;

  if (virtual_user_mode) {
    if (values.virt_user.Name.empty() || values.virt_user.Password.empty()) {
      state.event_table.clear();
      return false;
    }
    state.last_scan_command_time = 0;
    if (!LogInVirtualUser(state, values.virt_user)) return false;
  } else {
    const HostInt connection = QueryHostInt(host_code::kQueryConnection);
    if (!connection.open) return false;
    if (connection.value == host_value::kConnected) {
      state.online = true;
      if (!JoinChannels(state)) return false;
    }
  }

  if (values.has_periodic_event) StartEventTimer(state);
  return true;
}

}  // namespace morvane
