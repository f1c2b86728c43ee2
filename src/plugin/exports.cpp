// The six exports: thin shims over the core. Each holds the entry lock while it
// runs (so the POSIX stand-in of the event timer never runs beside one) and
// lets no exception reach the host. The plug-in's state is theirs: one object
// for the loaded module, passed down to everything they call.
#include <mutex>

#include "host/host_link.h"
#include "morvane/plugin_api.h"
#include "platform/platform.h"
#include "plugin/chat_handler.h"
#include "plugin/lifecycle.h"
#include "plugin/plugin_state.h"

namespace {

morvane::PluginState& State() {
  static morvane::PluginState state;
  return state;
}

// Runs the body with the entry lock held. The worker's thread may be refused
// the lock (host/host_link.h, TakeEntryLock): the export then does nothing.
template <typename Result, typename Body>
Result Guarded(Result on_failure, Body body) noexcept {
  try {
    if (!morvane::TakeEntryLock()) return on_failure;
    std::lock_guard entry(morvane::platform::EntryLock(), std::adopt_lock);
    return body(State());
  } catch (...) {
    return on_failure;
  }
}

}  // namespace

extern "C" {

MORVANE_EXPORT int32_t MORVANE_CALL PluginStart(int32_t plugin_id, MorvaneHostCallback callback,
                                                MorvaneHostQuery query) {
  return Guarded<int32_t>(0, [&](morvane::PluginState& state) {
    return morvane::StartPlugin(state, plugin_id, callback, query);
  });
}

MORVANE_EXPORT void MORVANE_CALL PluginStop(void) {
  Guarded<int>(0, [](morvane::PluginState& state) {
    morvane::StopPlugin(state);
    return 0;
  });
}

MORVANE_EXPORT void MORVANE_CALL PluginProcess(int32_t code, const void* record,
                                               int32_t record_length) {
  Guarded<int>(0, [&](morvane::PluginState& state) {
    morvane::ProcessHostMessage(state, code, record, record_length);
    return 0;
  });
}

MORVANE_EXPORT int32_t MORVANE_CALL PluginGetData(int32_t code, int32_t /*reserved1*/,
                                                  int32_t /*reserved2*/, void* buffer,
                                                  int32_t size) {
  return Guarded<int32_t>(
      0, [&](morvane::PluginState&) { return morvane::GetPluginData(code, buffer, size); });
}

// The About box and the editor are shown without the entry lock: on Windows
// the message box runs a message loop in which the host may call us again.
MORVANE_EXPORT void MORVANE_CALL PluginShowOptions(void) {
  try {
    morvane::ShowPluginOptions(State());
  } catch (...) {
  }
}

MORVANE_EXPORT int32_t MORVANE_CALL PluginShowAbout(void) {
  try {
    return morvane::ShowPluginAbout();
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
