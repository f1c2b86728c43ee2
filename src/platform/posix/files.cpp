// Whole-file reads and writes and folder creation. Paths are UTF-16 in the
// interface, as on Windows, and UTF-8 on disk.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include <optional>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {
namespace {

// The path as the file system takes it, or nothing for a path that no file
// can have: a NUL inside would cut the name short and name another file.
std::optional<std::string> DiskPath(std::u16string_view path) {
  if (path.find(u'\0') != std::u16string_view::npos) return std::nullopt;
  return Utf16ToUtf8(path);
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and reports whether everything written reached the file.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

ReadFileResult ReadFile(const std::u16string& path, std::vector<std::uint8_t>& contents,
                        std::size_t max_bytes, bool regular_only) {
  contents.clear();
  const auto disk_path = DiskPath(path);
  if (!disk_path) return ReadFileResult::kMissing;
  // O_NONBLOCK: opening a FIFO for reading would wait for a writer. Reads of
  // a regular file never block anyway.
  const int flags = O_RDONLY | O_CLOEXEC | (regular_only ? O_NONBLOCK : 0);
  Descriptor file(open(disk_path->c_str(), flags));
  if (file.get() < 0) {
    // ENOTDIR: a part of the path is a file, so nothing exists there.
    return errno == ENOENT || errno == ENOTDIR ? ReadFileResult::kMissing
                                               : ReadFileResult::kUnreadable;
  }
  // A folder opens here but is no file to read, as CreateFile refuses it.
  struct stat info {};
  if (fstat(file.get(), &info) != 0 || S_ISDIR(info.st_mode)) return ReadFileResult::kUnreadable;
  if (regular_only &&
      (!S_ISREG(info.st_mode) || static_cast<std::uint64_t>(info.st_size) > max_bytes)) {
    return ReadFileResult::kUnreadable;
  }

  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[65536];
  for (;;) {
    const ssize_t got = read(file.get(), chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      return ReadFileResult::kUnreadable;
    }
    if (got == 0) break;
    // The file may grow while it is read.
    if (static_cast<std::size_t>(got) > max_bytes - bytes.size())
      return ReadFileResult::kUnreadable;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  contents = std::move(bytes);
  return ReadFileResult::kRead;
}

}  // namespace

ReadFileResult ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>& contents) {
  return ReadFile(path, contents, kNoLimit, false);
}

ReadFileResult ReadRegularFile(const std::u16string& path, std::vector<std::uint8_t>& contents,
                               std::size_t max_bytes) {
  return ReadFile(path, contents, max_bytes, true);
}

bool FileExists(const std::u16string& path) {
  const auto disk_path = DiskPath(path);
  struct stat info {};
  return disk_path && stat(disk_path->c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool WriteWholeFile(const std::u16string& path, std::span<const std::uint8_t> contents) {
  const auto disk_path = DiskPath(path);
  if (!disk_path) return false;
  Descriptor file(open(disk_path->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (file.get() < 0) return false;
  std::size_t done = 0;
  while (done < contents.size()) {
    const ssize_t put = write(file.get(), contents.data() + done, contents.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(put);
  }
  return file.Close();
}

bool MakeDirectories(const std::string& path_utf8) {
  if (path_utf8.empty() || path_utf8.find('\0') != std::string::npos) return false;
  // Each prefix that ends before a "/" is a parent; the whole path comes last.
  for (std::size_t slash = path_utf8.find('/', 1);; slash = path_utf8.find('/', slash + 1)) {
    const std::string part = path_utf8.substr(0, slash);
    if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat info {};
  return stat(path_utf8.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace morvane::platform
