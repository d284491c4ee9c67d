// The logic tests' entry point. The process ends with the tests' result the moment they are done,
// without unloading its libraries: what Wine does as it takes the window system and the rest down
// is not under test here, and must not turn passed tests into a failed run.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::fflush(nullptr);
  TerminateProcess(GetCurrentProcess(), UINT(result));
  return result;
}
