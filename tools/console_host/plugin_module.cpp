#include "plugin_module.h"

#include <vector>

#include "chat_records.h"
#include "common/byte_reader.h"
#include "common/text.h"
#include "platform/program_support.h"

namespace morvane::console_host {
namespace {

#ifdef _WIN32
constexpr const char* kModuleFileName = "Morvane.dll";
#else
constexpr const char* kModuleFileName = "Morvane.so";
#endif

// The display name is a short text; a larger answer is a fault of the module
// and is not asked for.
constexpr std::int32_t kMaxDisplayNameBytes = 4096;

template <typename Fn>
bool Resolve(const platform::LoadedModule& module, const char* name, Fn& out) {
  void* symbol = module.Symbol(name);
  if (symbol == nullptr) return false;
  out = reinterpret_cast<Fn>(symbol);
  return true;
}

// Resolves the six exports by name; returns the first one missing, or nullptr.
const char* ResolveAll(const platform::LoadedModule& module, PluginExports& exports) {
  if (!Resolve(module, "PluginStart", exports.start)) return "PluginStart";
  if (!Resolve(module, "PluginStop", exports.stop)) return "PluginStop";
  if (!Resolve(module, "PluginProcess", exports.process)) return "PluginProcess";
  if (!Resolve(module, "PluginGetData", exports.get_data)) return "PluginGetData";
  if (!Resolve(module, "PluginShowOptions", exports.show_options)) return "PluginShowOptions";
  if (!Resolve(module, "PluginShowAbout", exports.show_about)) return "PluginShowAbout";
  return nullptr;
}

}  // namespace

std::string DefaultModulePath() {
  std::string self = Utf16ToUtf8(platform::ModuleFilePath());
  std::size_t slash = self.find_last_of("/\\");
  if (slash == std::string::npos) return std::string("./") + kModuleFileName;
  return self.substr(0, slash + 1) + kModuleFileName;
}

bool LoadPluginModule(const std::string& path, platform::LoadedModule& module,
                      PluginExports& exports, std::string& error) {
  // A bare file name would make the loader search the system's library path
  // instead of the current folder.
  std::string load_path = path;
  if (load_path.find_first_of("/\\") == std::string::npos) load_path = "./" + load_path;

  std::string reason;
  if (!module.Load(load_path, reason)) {
    // The platform's reason usually names the file already.
    bool names_file = !reason.empty() && reason.find(load_path) != std::string::npos;
    error = names_file
                ? reason
                : "cannot load \"" + path + "\": " + (reason.empty() ? "unknown reason" : reason);
    module.Unload();
    return false;
  }
  PluginExports found;
  if (const char* missing = ResolveAll(module, found)) {
    error = "\"" + path + "\" does not export " + missing;
    module.Unload();
    return false;
  }
  exports = found;
  return true;
}

std::u16string QueryDisplayName(const PluginExports& exports) {
  std::int32_t size = exports.get_data(kDataDisplayName, 0, 0, nullptr, 0);
  if (size <= 0 || size > kMaxDisplayNameBytes) return {};
  std::vector<std::uint8_t> answer(static_cast<std::size_t>(size));
  std::int32_t written = exports.get_data(kDataDisplayName, 0, 0, answer.data(), size);
  if (written <= 0) return {};
  if (written < size) answer.resize(static_cast<std::size_t>(written));
  ByteReader reader(answer);
  return ReadRecordText(reader);
}

}  // namespace morvane::console_host
