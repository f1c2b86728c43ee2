// Files and folders on Windows. Paths are UTF-16, which is what the wide
// Windows functions take (char16_t and wchar_t are both 16 bits there).
#include <windows.h>

#include <algorithm>
#include <limits>
#include <utility>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {
namespace {

const wchar_t* WidePath(const std::u16string& path) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  return reinterpret_cast<const wchar_t*>(path.c_str());
}

// Closes a file handle when the reading or writing is done.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (Valid()) {
      CloseHandle(handle_);
    }
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  // Closes now and reports whether the system took the close without error.
  bool Close() {
    const bool closed = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

bool IsFolder(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(WidePath(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

ReadFileResult ReadFileBounded(const std::u16string& path, std::vector<std::uint8_t>& contents,
                               std::size_t max_bytes, bool regular_only) {
  contents.clear();
  FileHandle file(CreateFileW(WidePath(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    const DWORD error = GetLastError();
    // A folder, a locked file or a denied one exists but cannot be read.
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
               ? ReadFileResult::kMissing
               : ReadFileResult::kUnreadable;
  }
  // A pipe or a device (CON, a serial port) is no settings file: reading it
  // could wait for ever.
  if (regular_only && GetFileType(file.Get()) != FILE_TYPE_DISK) {
    return ReadFileResult::kUnreadable;
  }
  // Read to the end rather than trusting the size, which may change while
  // another program writes the file.
  std::vector<std::uint8_t> read;
  LARGE_INTEGER size;
  const bool sized = GetFileSizeEx(file.Get(), &size) != 0;
  if (regular_only && sized && static_cast<std::uint64_t>(size.QuadPart) > max_bytes) {
    return ReadFileResult::kUnreadable;
  }
  if (sized && size.QuadPart > 0 && size.QuadPart < std::numeric_limits<std::int32_t>::max()) {
    read.reserve(static_cast<std::size_t>(size.QuadPart));
  }
  std::uint8_t chunk[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr)) {
      return ReadFileResult::kUnreadable;
    }
    if (got == 0) {
      break;
    }
    if (got > max_bytes - read.size()) {
      return ReadFileResult::kUnreadable;
    }
    read.insert(read.end(), chunk, chunk + got);
  }
  contents = std::move(read);
  return ReadFileResult::kRead;
}

}  // namespace

ReadFileResult ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>& contents) {
  return ReadFileBounded(path, contents, kNoLimit, false);
}

ReadFileResult ReadRegularFile(const std::u16string& path, std::vector<std::uint8_t>& contents,
                               std::size_t max_bytes) {
  return ReadFileBounded(path, contents, max_bytes, true);
}

bool FileExists(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(WidePath(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool WriteWholeFile(const std::u16string& path, std::span<const std::uint8_t> contents) {
  FileHandle file(CreateFileW(WidePath(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    return false;
  }
  while (!contents.empty()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(contents.size(), 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file.Get(), contents.data(), want, &written, nullptr) || written == 0) {
      return false;
    }
    contents = contents.subspan(written);
  }
  return file.Close();
}

bool MakeDirectories(const std::string& path_utf8) {
  const std::u16string path = Utf8ToUtf16(path_utf8);
  if (path.empty()) {
    return false;
  }
  // Each level in turn, parents first. A level that exists already, a drive
  // ("C:") or a server name makes CreateDirectoryW fail harmlessly; only the
  // final check decides.
  for (std::size_t at = 1; at < path.size(); ++at) {
    if (path[at] == u'\\' || path[at] == u'/') {
      CreateDirectoryW(WidePath(path.substr(0, at)), nullptr);
    }
  }
  CreateDirectoryW(WidePath(path), nullptr);
  return IsFolder(path);
}

}  // namespace morvane::platform
