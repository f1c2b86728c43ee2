// The module's own path, loading other modules, and pinning.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {
namespace {

// GetModuleFileNameW with a buffer of 260 code units keeps at most 259 of
// them and the terminating NUL.
constexpr std::size_t kMaxModulePathUnits = 259;

std::string ExecutablePath() {
  char path[PATH_MAX] = {};
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

// The path of the object that holds this function: Morvane.so when this code
// is linked into it, the program itself when linked into an executable.
std::string OwnObjectPath() {
  Dl_info info{};
  link_map* object = nullptr;
  if (dladdr1(reinterpret_cast<void*>(&OwnObjectPath), &info, reinterpret_cast<void**>(&object),
              RTLD_DL_LINKMAP) == 0 ||
      object == nullptr) {
    return {};
  }
  // The main program's entry has an empty name.
  const std::string name = object->l_name != nullptr ? object->l_name : "";
  if (name.empty()) return ExecutablePath();
  if (name.front() == '/') return name;
  // A module loaded by a relative path keeps that path; Windows gives the
  // full one. The working folder may have changed since, so this is a best
  // effort.
  std::unique_ptr<char, decltype(&std::free)> full(realpath(name.c_str(), nullptr), &std::free);
  return full ? std::string(full.get()) : name;
}

}  // namespace

std::u16string ModuleFilePath() {
  std::u16string path = Utf8ToUtf16(OwnObjectPath());
  if (path.size() > kMaxModulePathUnits) path.resize(kMaxModulePathUnits);
  return path;
}

void PinModule() {
  // A thread that outlives PluginStop must never run unmapped code: marking
  // our own object no-delete keeps it mapped after the host's dlclose.
  const std::string path = OwnObjectPath();
  if (path.empty()) return;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  if (handle != nullptr) dlclose(handle);
}

LoadedModule::~LoadedModule() { Unload(); }

LoadedModule::LoadedModule(LoadedModule&& other) noexcept : handle_(other.handle_) {
  other.handle_ = nullptr;
}

LoadedModule& LoadedModule::operator=(LoadedModule&& other) noexcept {
  if (this != &other) {
    Unload();
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

bool LoadedModule::Load(const std::string& path_utf8, std::string& error) {
  Unload();
  if (path_utf8.empty() || path_utf8.find('\0') != std::string::npos) {
    error = "cannot load \"" + path_utf8.substr(0, path_utf8.find('\0')) + "\": not a file name";
    return false;
  }
  // RTLD_LOCAL keeps the module's symbols to itself, as a DLL's are.
  handle_ = dlopen(path_utf8.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ != nullptr) return true;
  const char* reason = dlerror();
  error = "cannot load \"" + path_utf8 + "\": " + (reason != nullptr ? reason : "unknown error");
  return false;
}

void* LoadedModule::Symbol(const char* name) const {
  // dlsym with a null handle would search the whole process.
  if (handle_ == nullptr || name == nullptr) return nullptr;
  return dlsym(handle_, name);
}

void LoadedModule::Unload() {
  if (handle_ == nullptr) return;
  dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace morvane::platform
