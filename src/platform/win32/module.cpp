// The plug-in's own module, and loading other modules (for the console host
// and the tests) on Windows.
#include <windows.h>

#include <utility>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {
namespace {

// Any function of this file: its address lies inside the module that holds
// the platform layer, which is the plug-in's module (or the test program that
// links the core directly).
HMODULE OwnModule(DWORD extra_flags) {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | extra_flags,
                     reinterpret_cast<LPCWSTR>(&OwnModule), &module);
  return module;
}

}  // namespace

std::u16string ModuleFilePath() {
  const HMODULE module = OwnModule(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT);
  if (module == nullptr) {
    return {};
  }
  wchar_t path[MAX_PATH];
  // A longer path is cut to the buffer, as the plug-in has always read it.
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  return std::u16string(reinterpret_cast<const char16_t*>(path), length);
}

void PinModule() { OwnModule(GET_MODULE_HANDLE_EX_FLAG_PIN); }

LoadedModule::~LoadedModule() { Unload(); }

LoadedModule::LoadedModule(LoadedModule&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

LoadedModule& LoadedModule::operator=(LoadedModule&& other) noexcept {
  if (this != &other) {
    Unload();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

bool LoadedModule::Load(const std::string& path_utf8, std::string& error) {
  Unload();
  const std::u16string path = Utf8ToUtf16(path_utf8);
  // A module whose dependencies are missing must fail with an error code, not
  // stop the program with a system dialog that no one may be there to close.
  DWORD previous_mode = 0;
  const bool mode_set = SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous_mode) != 0;
  const HMODULE module = LoadLibraryW(reinterpret_cast<const wchar_t*>(path.c_str()));
  const DWORD code = GetLastError();
  if (mode_set) {
    SetThreadErrorMode(previous_mode, nullptr);
  }
  if (module == nullptr) {
    error = "cannot load " + path_utf8 + ": Windows error " + std::to_string(code);
    return false;
  }
  handle_ = module;
  return true;
}

void* LoadedModule::Symbol(const char* name) const {
  if (handle_ == nullptr || name == nullptr) {
    return nullptr;
  }
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void LoadedModule::Unload() {
  if (handle_ != nullptr) {
    FreeLibrary(static_cast<HMODULE>(std::exchange(handle_, nullptr)));
  }
}

}  // namespace morvane::platform
