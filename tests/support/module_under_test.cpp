#include "support/module_under_test.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "common/text.h"
#include "platform/program_support.h"

namespace morvane::test {
namespace {

std::u16string Path16(const std::string& utf8) { return Utf8ToUtf16(utf8); }

std::string Join(const std::string& folder, const std::string& name) {
  if (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) return folder + name;
  return folder + "/" + name;
}

}  // namespace

std::string MakeTestFolder(const std::string& name) {
  static std::atomic<int> counter{0};
  std::string folder = "test-folders/" + name + "-" + std::to_string(platform::CurrentProcessId()) +
                       "-" + std::to_string(counter++);
  EXPECT_TRUE(platform::MakeDirectories(folder)) << folder;
  return folder;
}

void WriteSettingsUtf16(const std::string& folder, std::u16string_view text, bool with_bom) {
  std::vector<std::uint8_t> bytes;
  if (with_bom) bytes = {0xFF, 0xFE};
  for (char16_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  ASSERT_TRUE(platform::WriteWholeFile(Path16(Join(folder, "Morvane.ini")), bytes));
}

void WriteSettingsBytes(const std::string& folder, const std::string& bytes) {
  std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
  ASSERT_TRUE(platform::WriteWholeFile(Path16(Join(folder, "Morvane.ini")), data));
}

void RemoveSettings(const std::string& folder) {
  // An empty directory entry would still be "a file"; the tests only need
  // "no settings", which an empty UTF-16 file also gives. Rewrite it empty.
  WriteSettingsBytes(folder, "");
}

const char* ModuleFileName() {
#ifdef _WIN32
  return "Morvane.dll";
#else
  return "Morvane.so";
#endif
}

std::string ExecutableFolder() {
  std::string path = Utf16ToUtf8(platform::ModuleFilePath());
  auto cut = path.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

ModuleUnderTest::ModuleUnderTest(const std::string& folder) {
  std::vector<std::uint8_t> bytes;
  std::string built = ExecutableFolder() + ModuleFileName();
  auto read = platform::ReadWholeFile(Path16(built), bytes);
  if (read != platform::ReadFileResult::kRead) {
    ADD_FAILURE() << "cannot read the built module " << built;
    return;
  }
  std::string copy = Join(folder, ModuleFileName());
  if (!platform::WriteWholeFile(Path16(copy), bytes)) {
    ADD_FAILURE() << "cannot copy the module to " << copy;
    return;
  }
  std::string error;
  // A relative path would be searched for on the library path: make it
  // explicit.
  std::string load_path = copy.front() == '/' ? copy : "./" + copy;
  if (!module_.Load(load_path, error)) {
    ADD_FAILURE() << error;
    return;
  }
  Start = reinterpret_cast<decltype(Start)>(module_.Symbol("PluginStart"));
  Stop = reinterpret_cast<decltype(Stop)>(module_.Symbol("PluginStop"));
  Process = reinterpret_cast<decltype(Process)>(module_.Symbol("PluginProcess"));
  GetData = reinterpret_cast<decltype(GetData)>(module_.Symbol("PluginGetData"));
  ShowOptions = reinterpret_cast<decltype(ShowOptions)>(module_.Symbol("PluginShowOptions"));
  ShowAbout = reinterpret_cast<decltype(ShowAbout)>(module_.Symbol("PluginShowAbout"));
  EXPECT_TRUE(Start && Stop && Process && GetData && ShowOptions && ShowAbout)
      << "an export is missing from " << copy;
}

}  // namespace morvane::test
