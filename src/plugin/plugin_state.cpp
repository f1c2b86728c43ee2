#include "plugin/plugin_state.h"

namespace morvane {

PluginState& Plugin() {
  static PluginState state;
  return state;
}

}  // namespace morvane
