#include <gtest/gtest.h>

#include "platform/platform.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const bool sockets = morvane::platform::StartSocketLibrary();
  const int result = RUN_ALL_TESTS();
  if (sockets) morvane::platform::StopSocketLibrary();
  return result;
}
