// Files, the module's own path, the clock, the environment and module loading.
// Scratch files go below the working folder (the build folder under ctest).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {
namespace {

const std::u16string kScratch = u"platform_files_test.tmp";

std::u16string Join(const std::u16string& folder, const std::u16string& name) {
  return folder + kPathDelimiter + name;
}

std::string Ascii(const std::u16string& text) { return std::string(text.begin(), text.end()); }

std::vector<std::uint8_t> Bytes(std::string_view text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(MakeDirectories(Ascii(kScratch))); }
};

TEST_F(FilesTest, WrittenFileReadsBackAndIsReplacedWhole) {
  // A Cyrillic name checks that the UTF-16 path reaches the disk intact.
  const std::u16string path = Join(kScratch, u"данные.ini");
  ASSERT_TRUE(WriteWholeFile(path, Bytes("first, longer contents\r\n")));
  ASSERT_TRUE(WriteWholeFile(path, Bytes("second")));
  EXPECT_TRUE(FileExists(path));

  std::vector<std::uint8_t> contents{1, 2, 3};
  ASSERT_EQ(ReadWholeFile(path, contents), ReadFileResult::kRead);
  EXPECT_EQ(contents, Bytes("second"));

  ASSERT_TRUE(WriteWholeFile(path, {}));
  ASSERT_EQ(ReadWholeFile(path, contents), ReadFileResult::kRead);
  EXPECT_TRUE(contents.empty());
}

// A file that is not there is told apart from one that cannot be read: the
// settings loader uses defaults for the first only.
TEST_F(FilesTest, MissingAndUnreadableAreToldApart) {
  const std::u16string file = Join(kScratch, u"plain.txt");
  ASSERT_TRUE(WriteWholeFile(file, Bytes("x")));
  struct Case {
    std::u16string path;
    ReadFileResult expected;
  };
  const Case cases[] = {
      {Join(kScratch, u"absent.ini"), ReadFileResult::kMissing},
      {Join(Join(kScratch, u"no-folder"), u"absent.ini"), ReadFileResult::kMissing},
      {Join(file, u"below-a-file.ini"), ReadFileResult::kMissing},
      {kScratch, ReadFileResult::kUnreadable},  // A folder.
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Ascii(c.path));
    std::vector<std::uint8_t> contents;
    EXPECT_EQ(ReadWholeFile(c.path, contents), c.expected);
    EXPECT_FALSE(FileExists(c.path));
  }
}

// The settings file was read whatever it was: a FIFO, a device or a link to
// /dev/zero hung the host's thread or exhausted its memory.
TEST_F(FilesTest, TheBoundedReadTakesRegularFilesWithinTheLimitOnly) {
  const std::u16string file = Join(kScratch, u"five.ini");
  ASSERT_TRUE(WriteWholeFile(file, Bytes("12345")));
#ifdef _WIN32
  const std::u16string device = u"\\\\.\\NUL";
#else
  const std::u16string device = u"/dev/zero";
#endif
  std::vector<std::uint8_t> contents;
  EXPECT_EQ(ReadRegularFile(file, contents, 5), ReadFileResult::kRead);
  EXPECT_EQ(contents, Bytes("12345"));
  EXPECT_EQ(ReadRegularFile(file, contents, 4), ReadFileResult::kUnreadable);
  EXPECT_EQ(ReadRegularFile(device, contents, 1 << 20), ReadFileResult::kUnreadable);
  EXPECT_EQ(ReadRegularFile(Join(kScratch, u"absent.ini"), contents, 5), ReadFileResult::kMissing);
}

TEST_F(FilesTest, MakeDirectoriesCreatesParentsAndAcceptsExistingOnes) {
  const std::string nested = Ascii(Join(Join(kScratch, u"a"), u"b"));
  EXPECT_TRUE(MakeDirectories(nested));
  EXPECT_TRUE(MakeDirectories(nested));
  const std::u16string inside = Join(Join(Join(kScratch, u"a"), u"b"), u"c.txt");
  EXPECT_TRUE(WriteWholeFile(inside, Bytes("c")));
  // A file where a folder should be.
  EXPECT_FALSE(MakeDirectories(Ascii(inside)));
}

TEST(ModuleFilePathTest, NamesTheFileHoldingThisCode) {
  const std::u16string path = ModuleFilePath();
  ASSERT_FALSE(path.empty());
  EXPECT_TRUE(FileExists(path)) << Ascii(path);
  EXPECT_NE(path.find(u"unit_platform_files_test"), std::u16string::npos) << Ascii(path);
  EXPECT_NE(path.find(kPathDelimiter), std::u16string::npos);
}

TEST(ClockTest, GivesTodayAndCanBeReplacedAndRestored) {
  // 45000 days after 1899-12-30 is in 2023.
  EXPECT_GT(NowDateTime(), 45000.0);
  SetClockForTesting([] { return 45292.75; });
  EXPECT_EQ(NowDateTime(), 45292.75);
  SetClockForTesting(nullptr);
  EXPECT_GT(NowDateTime(), 45000.0);
  EXPECT_NE(NowDateTime(), 45292.75);
}

TEST(EnvironmentTest, SetReadAndRemove) {
  const char* name = "MORVANE_PLATFORM_TEST_VARIABLE";
  ASSERT_TRUE(SetEnvironment(name, "значение"));
  EXPECT_EQ(GetEnvironment(name), "значение");
  ASSERT_TRUE(SetEnvironment(name, nullptr));
  EXPECT_EQ(GetEnvironment(name), "");
  EXPECT_GT(CurrentProcessId(), 0);
}

TEST(LoadedModuleTest, FailureNamesTheFileAndLeavesNothingLoaded) {
  LoadedModule module;
  std::string error;
  EXPECT_FALSE(module.Load("no-such-module-here.bin", error));
  EXPECT_NE(error.find("no-such-module-here.bin"), std::string::npos) << error;
  EXPECT_FALSE(module.Loaded());
  EXPECT_EQ(module.Symbol("PluginStart"), nullptr);
}

}  // namespace
}  // namespace morvane::platform
