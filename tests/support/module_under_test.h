// The built module, loaded the way a host loads it: a private copy in a folder
// of the test's own (so that each test process has its own Morvane.ini beside
// it), every export resolved by name.
#pragma once

#include <string>

#include "morvane/plugin_api.h"
#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::test {

// A fresh folder below the working directory, unique to this process.
std::string MakeTestFolder(const std::string& name);

// Writes a settings file: the text as UTF-16LE, with the FF FE mark when asked.
void WriteSettingsUtf16(const std::string& folder, std::u16string_view text, bool with_bom = true);
// Writes raw bytes as Morvane.ini (for files in other encodings).
void WriteSettingsBytes(const std::string& folder, const std::string& bytes);
void RemoveSettings(const std::string& folder);

// The file name of the module on this platform.
const char* ModuleFileName();
// The folder of the running test executable, with a trailing delimiter.
std::string ExecutableFolder();

// Keep one alive until the process ends (a static reference to a new object):
// a host must not unload a module whose worker may still be finishing.
class ModuleUnderTest {
 public:
  // Copies the module built beside the test executable into folder and loads
  // it; fails the test on any error.
  explicit ModuleUnderTest(const std::string& folder);

  decltype(&::PluginStart) Start = nullptr;
  decltype(&::PluginStop) Stop = nullptr;
  decltype(&::PluginProcess) Process = nullptr;
  decltype(&::PluginGetData) GetData = nullptr;
  decltype(&::PluginShowOptions) ShowOptions = nullptr;
  decltype(&::PluginShowAbout) ShowAbout = nullptr;

  // Unloads the module, as a host does after PluginStop: any thread of the
  // module still running (a timer, a worker) then crashes the process, unless
  // the module pinned itself.
  void Unload() { module_.Unload(); }
  bool Loaded() const { return module_.Loaded(); }

 private:
  platform::LoadedModule module_;
};

}  // namespace morvane::test
