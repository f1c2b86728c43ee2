// morvane-irc: a chat host for the Morvane plug-in that serves IRC channels.
// It loads the module, connects to an IRC server and plays the host there
// until interrupted.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/text.h"
#include "console_host/plugin_module.h"
#include "ini/ini_commands.h"
#include "ini/settings_encoding.h"
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

// The plug-in reads the Morvane.ini beside its module as UTF-16LE and says
// nothing when it cannot: a file saved as UTF-8 (what Linux editors write)
// gives it every default. The bridge says so in its log.
void CheckPluginSettings(const std::string& module_path) {
  using namespace morvane;
#ifdef _WIN32
  const std::size_t slash = module_path.find_last_of("/\\");
#else
  const std::size_t slash = module_path.rfind('/');
#endif
  const std::string folder = slash == std::string::npos ? "" : module_path.substr(0, slash + 1);
  const std::string path = folder + "Morvane.ini";
  std::vector<std::uint8_t> bytes;
  switch (platform::ReadWholeFile(ini::PathFromArgument(path), bytes)) {
    case platform::ReadFileResult::kMissing:
      irc::Log("no Morvane.ini at " + path + ": the plug-in will use the default of every key");
      return;
    case platform::ReadFileResult::kUnreadable:
      irc::Log("Morvane.ini at " + path +
               " cannot be read: the plug-in will use the default of every key");
      return;
    case platform::ReadFileResult::kRead:
      break;
  }
  const SettingsEncoding encoding = DetectSettingsEncoding(bytes);
  if (PluginReadsEncoding(encoding)) return;
  irc::Log("Morvane.ini at " + path + " is " + std::string(SettingsEncodingName(encoding)) +
           "; the plug-in reads only UTF-16LE and will use its defaults: run `morvane-ini write " +
           path + " " + path + "` to convert it");
}

// The password given with --password is blanked in the process's own copy
// of its arguments, which is what the process list shows from then on.
void BlankPasswordArgument(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--password") == 0)
      std::memset(argv[i + 1], 'x', std::strlen(argv[i + 1]));
  }
}

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
  BlankPasswordArgument(argc, argv);
  for (const std::string& warning : options->warnings) irc::Log("warning: " + warning);
  if (!options->config_path.empty()) irc::Log("settings from " + options->config_path);

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
  CheckPluginSettings(path);

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
