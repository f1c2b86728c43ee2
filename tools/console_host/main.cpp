// morvane-host: a console chat host for the Morvane plug-in. It loads the
// module, plays the host in direct or virtual-user mode, feeds it chat lines
// from standard input or a script and prints every call the plug-in makes as
// a chat line. Scripts and people use it alike; the end-to-end tests compare
// its output.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host_options.h"
#include "host_session.h"
#include "line_source.h"
#include "platform/platform.h"
#include "platform/program_support.h"
#include "plugin_module.h"

namespace {

constexpr int kExitBadUse = 2;

// Once PluginStart has run, the module stays loaded until the process ends:
// PluginStop waits for the plug-in's worker for a bounded time only, and a
// worker still finishing a request must not find its code unmapped. So the
// module object is never destroyed; only a failed load releases it. Held in a
// global so that leak checkers see it as reachable.
morvane::platform::LoadedModule* g_module = nullptr;

void Fail(const std::string& message) {
  std::string line = "morvane-host: " + message + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  morvane::platform::PrepareStandardOutput();
  using namespace morvane::console_host;
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  auto options = ParseHostOptions(args, error);
  if (!options) {
    Fail(error);
    return kExitBadUse;
  }
  if (options->help) {
    std::string usage = HostUsage();
    std::fwrite(usage.data(), 1, usage.size(), stdout);
    return 0;
  }

  std::unique_ptr<LineSource> source = options->script_path.empty()
                                           ? LineSource::FromStandardInput()
                                           : LineSource::FromFile(options->script_path, error);
  if (!source) {
    Fail(error);
    return kExitBadUse;
  }

  std::string path = options->module_path.empty() ? DefaultModulePath() : options->module_path;
  auto module = std::make_unique<morvane::platform::LoadedModule>();
  PluginExports exports;
  if (!LoadPluginModule(path, *module, exports, error)) {
    Fail(error);
    return kExitBadUse;
  }
  g_module = module.release();

  HostSession session(*options, exports);
  return session.Run(*source);
}
