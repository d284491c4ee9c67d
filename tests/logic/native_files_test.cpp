// The file calls on the system folders, which see the native 64-bit folder.
#include "files/native_files.h"

#include "tests/logic/fixture.h"

namespace movrix::testing {
namespace {

using NativeFilesTest = LogicTest;

TEST_F(NativeFilesTest, NativeFileCallsReachTheNativeSystemFolderAndOnlyForTheCall) {
  SKIP_UNLESS_WOW64();
  const std::string probe = system_.GetEnv("windir") + "\\system32\\movrix-probe.txt";
  Write(At("probe.txt"), "native");
  NativeFiles native(system_, system_);
  native.CopyFileOver(At("probe.txt"), probe);
  EXPECT_EQ(native.ReadWholeFile(probe), "native");
  EXPECT_EQ(Read(probe), "<missing>") << "a 32-bit process sees SysWOW64 as system32";
  native.RemoveFile(probe);
  EXPECT_FALSE(native.PathAttributes(probe) >= 0);
}

}  // namespace
}  // namespace movrix::testing
