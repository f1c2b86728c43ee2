// morvane-irc: a chat host for the Morvane plug-in that serves IRC channels.
// It loads the module, connects to an IRC server and plays the host there
// until interrupted.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "console_host/plugin_module.h"
#include "irc/host_bridge.h"
#include "irc/irc_log.h"
#include "irc/irc_options.h"
#include "platform/platform.h"
#include "platform/program_support.h"

namespace {

constexpr int kExitBadUse = 2;

// Once PluginStart has run, the module stays loaded until the process ends:
// PluginStop waits for the plug-in's worker for a bounded time only, and a
// worker still finishing must not find its code unmapped. Held in a global
// so that leak checkers see it as reachable.
morvane::platform::LoadedModule* g_module = nullptr;

}  // namespace

int main(int argc, char** argv) {
  morvane::platform::PrepareStandardOutput();
  using namespace morvane;
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  auto options = irc::ParseIrcOptions(args, error);
  if (!options) {
    irc::Log("morvane-irc: " + error);
    return kExitBadUse;
  }
  if (options->help) {
    std::string usage = irc::IrcUsage();
    std::fwrite(usage.data(), 1, usage.size(), stdout);
    return 0;
  }

  std::string path =
      options->module_path.empty() ? console_host::DefaultModulePath() : options->module_path;
  auto module = std::make_unique<platform::LoadedModule>();
  console_host::PluginExports exports;
  if (!console_host::LoadPluginModule(path, *module, exports, error)) {
    irc::Log("morvane-irc: " + error);
    return kExitBadUse;
  }
  g_module = module.release();
  irc::Log("loaded " + path);

  // A host starts the socket library for its plug-ins.
  platform::StartSocketLibrary();
  asio::io_context io;
  irc::HostBridge bridge(io, *options, exports);
  if (!bridge.Start()) {
    io.run();
    return bridge.ExitStatus();
  }
  io.run();
  irc::Log("morvane-irc: stopped");
  return bridge.ExitStatus();
}
