// What the Windows platform layer must get right beyond the shared platform
// tests: the two copies of the environment, no dialog when no user is there,
// and thread timers that belong to the thread that started them.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {
namespace {

// Restores a variable of the process when the test ends.
class SavedVariable {
 public:
  explicit SavedVariable(const char* name) : name_(name) {
    if (std::getenv(name) != nullptr) saved_ = GetEnvironment(name);
  }
  ~SavedVariable() { SetEnvironment(name_, saved_ ? saved_->c_str() : nullptr); }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

// Windows keeps the process's environment and the C runtime's copy apart; a
// variable set in only one is missed by whoever reads the other (getenv here,
// GetEnvironment and child processes there).
TEST(WindowsEnvironmentTest, SetAndRemoveReachBothCopies) {
  constexpr const char* kName = "MORVANE_WIN32_TEST_VARIABLE";
  SavedVariable saved(kName);

  ASSERT_TRUE(SetEnvironment(kName, "first value"));
  EXPECT_EQ(GetEnvironment(kName), "first value");
  ASSERT_NE(std::getenv(kName), nullptr);
  EXPECT_STREQ(std::getenv(kName), "first value");

  ASSERT_TRUE(SetEnvironment(kName, nullptr));
  EXPECT_EQ(GetEnvironment(kName), "");
  EXPECT_EQ(std::getenv(kName), nullptr);

  EXPECT_FALSE(SetEnvironment("A=B", "x"));
  EXPECT_FALSE(SetEnvironment("", "x"));
}

// In CI no one closes a message box, and under Wine without a display it
// cannot even be shown: a test program suppresses them, and both desktop
// calls then only report on standard error, the box answering IDOK at once.
TEST(WindowsDesktopTest, NoDialogsWhenAskedNotTo) {
  SuppressDialogsForTesting(true);
  EXPECT_EQ(ShowInformationBox(u"Morvane", u"Проверка"), 1);
  OpenWithAssociatedProgram(u"C:\\no-such-folder\\Morvane.ini");
  SuppressDialogsForTesting(false);
}

std::atomic<int> ticks{0};
void CountTick() { ++ticks; }

// A thread timer is SetTimer with no window: only the thread that started it
// runs its procedure, while it dispatches messages. The plug-in starts its
// event timer on the host's thread and relies on that.
TEST(WindowsTimerTest, OnlyTheStartingThreadRunsTheProcedure) {
  ticks = 0;
  std::atomic<std::uint32_t> id{0};
  AutoResetEvent started;
  AutoResetEvent finish;
  Thread owner([&] {
    id = StartThreadTimer(10, &CountTick);
    started.Set();
    finish.Wait(5000);
    KillThreadTimer(id);
  });
  ASSERT_TRUE(started.Wait(5000));
  ASSERT_NE(id.load(), 0u);

  // The owner does not pump, and this thread's pump must not run its timer.
  PumpMessages(150);
  EXPECT_EQ(ticks.load(), 0);
  finish.Set();
  ASSERT_TRUE(owner.WaitForEnd(5000));
}

}  // namespace
}  // namespace morvane::platform
