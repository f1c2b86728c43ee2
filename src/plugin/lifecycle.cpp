#include "plugin/lifecycle.h"

#include <chrono>

#include "host/host_link.h"
#include "host/host_record.h"
#include "platform/platform.h"
#include "plugin/event_timer.h"
#include "plugin/settings_loader.h"

namespace morvane {
namespace {

// How long PluginStop waits, in all, for the worker's host call in progress
// and for the worker to end. Its network waits and its waits for name
// lookups end within a short slice of the stop request; only a host that
// holds our callback can hold it longer.
constexpr auto kStopWait = std::chrono::milliseconds(1000);

}  // namespace

std::u16string ComputeModuleDirectory(const PluginState& state) {
  if (!state.module_directory_for_testing.empty()) return state.module_directory_for_testing;
  std::u16string path = platform::ModuleFilePath();
  std::size_t cut = path.find_last_of(u"/\\");
  std::u16string directory =
      cut == std::u16string::npos ? std::u16string() : path.substr(0, cut + 1);
  if (directory.empty() || (directory.back() != u'/' && directory.back() != u'\\')) {
    directory.push_back(platform::kPathDelimiter);
  }
  return directory;
}

std::int32_t StartPlugin(PluginState& state, std::int32_t plugin_id, MorvaneHostCallback callback,
                         MorvaneHostQuery query) {
  // A host that starts the plug-in twice without stopping it gets a stop
  // first: one worker, tracked (and the module pinned if it will not end).
  if (LinkOpen() || state.worker.Running()) StopPlugin(state);
  platform::ReadCodePageSetting();
  const LinkSession session = ConnectHost({plugin_id, callback, query, false});
  // The host may stop the plug-in from inside any call below: then nothing
  // more is done and the start fails.
  state.module_directory = ComputeModuleDirectory(state);
  // Query 2000 answered with 0 selects the virtual user; anything else, no
  // answer (-1) included, the host's own user.
  const HostInt mode = QueryHostInt(host_code::kQueryMode);
  if (!mode.open) return 0;
  SetVirtualUserMode(mode.value == host_value::kModeVirtualUser);
  state.online = false;
  // A start after a stop in the same process begins afresh: no "/gs " has
  // been accepted yet, and no settings file has been read.
  state.last_scan_command_time = 0;
  state.settings_read = false;
  if (!state.socket_library_started) {
    state.socket_library_started = platform::StartSocketLibrary();
  }

  // A load that fails, or that a stop from inside one of its host calls
  // ended, fails the start.
  if (!LoadSettings(state)) return 0;
  state.queue->OpenWakeEvent();
  if (state.worker_enabled_for_testing) state.worker.Start(state.queue, session);
  return 1;
}

void StopPlugin(PluginState& state) {
  const auto deadline = std::chrono::steady_clock::now() + kStopWait;
  // From here on the host is never called again, from either thread. A host
  // call that the worker has begun is waited for, within the bound.
  DisconnectHost(deadline);
  state.online = false;
  StopEventTimer(state);
  state.admin_list.reset();
  // A worker still inside a host call that the host holds (or that called
  // this PluginStop) keeps its own copy of its request and its own
  // references to the queue and the wake event; it touches nothing freed
  // below. Name lookups that still run own everything they touch. Either way
  // the module stays mapped until the process ends, since those threads
  // still run its code.
  const bool worker_ended = state.worker.Stop(deadline);
  const bool lookups_ended = platform::SettleNameLookups();
  if (!worker_ended || !lookups_ended) platform::PinModule();
  state.queue->CloseWakeEvent();
  state.queue->Clear();
  state.event_table.clear();
  if (state.socket_library_started && worker_ended) {
    platform::StopSocketLibrary();
    state.socket_library_started = false;
  }
}

std::int32_t GetPluginData(std::int32_t code, void* buffer, std::int32_t size) {
  std::int32_t answer_size = 0;
  if (code == host_code::kDataZero) {
    answer_size = 4;
  } else if (code == host_code::kDataDisplayName) {
    answer_size = static_cast<std::int32_t>(TextFieldSize(kDisplayName));
  } else {
    return 0;
  }
  // A buffer smaller than the answer is left untouched: the host learns the
  // size it needs from the result.
  if (size < answer_size || buffer == nullptr) return answer_size;
  std::span<std::uint8_t> out(static_cast<std::uint8_t*>(buffer), static_cast<std::size_t>(size));
  std::size_t offset = 0;
  if (code == host_code::kDataZero) {
    PutInt(out, offset, 0);
  } else {
    PutText(out, offset, kDisplayName);
  }
  return answer_size;
}

void ShowPluginOptions(PluginState& state) {
  if (state.module_directory.empty()) state.module_directory = ComputeModuleDirectory(state);
  std::u16string path = state.module_directory + u"Morvane.ini";
  if (platform::FileExists(path)) platform::OpenWithAssociatedProgram(path);
}

std::int32_t ShowPluginAbout() { return platform::ShowInformationBox(kDisplayName, kAboutText); }

}  // namespace morvane
