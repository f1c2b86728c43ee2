#include <gtest/gtest.h>

#include <cstdio>

#include "platform/platform.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const bool sockets = morvane::platform::StartSocketLibrary();
  const int result = RUN_ALL_TESTS();
  if (sockets) morvane::platform::StopSocketLibrary();
  // ctest shows a passing run as skipped when this line is in its output (see
  // tests/tests.cmake), so a run that skipped tests never looks complete.
  const ::testing::UnitTest& run = *::testing::UnitTest::GetInstance();
  if (run.failed_test_count() == 0 && run.skipped_test_count() > 0) {
    std::printf("morvane-tests: skipped %d test(s)\n", run.skipped_test_count());
  }
  return result;
}
