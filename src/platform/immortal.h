// An object built on first use and never destroyed, kept in static storage
// rather than on the heap. A thread that outlives the exit handlers (a timer
// the host never killed) still finds it intact, and a module that the host
// unloads leaves no heap block behind, as a leaked `new` would on every
// load.
#pragma once

#include <new>
#include <utility>

namespace morvane::platform {

template <typename T>
class Immortal {
 public:
  template <typename... Args>
  explicit Immortal(Args&&... args) {
    ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
  }
  Immortal(const Immortal&) = delete;
  Immortal& operator=(const Immortal&) = delete;

  T& Get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace morvane::platform
