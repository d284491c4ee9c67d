// The existence tests on the real file system.
#include "files/file_exists.h"

#include "tests/logic/fixture.h"

namespace movrix::testing {
namespace {

using FileExistsTest = LogicTest;

TEST_F(FileExistsTest, AFileExistsOnlyWhenItHoldsSomethingAndOnlyAMissingOneHasASystemReason) {
  Write(At("full.dll"), "x");
  Write(At("empty.dll"), "");
  EXPECT_TRUE(HasContent(system_, At("full.dll")));
  EXPECT_FALSE(HasContent(system_, At("empty.dll")));
  EXPECT_FALSE(HasContent(system_, At("missing.dll")));
  // Why not, as the phase's box says it: an empty file raised no error, a missing one did.
  auto why_not = [&](const char* name) {
    try {
      RequireFileContent(system_, At(name));
    } catch (const SystemError& failure) {
      return std::string(failure.what());
    }
    return std::string("<has content>");
  };
  EXPECT_EQ(why_not("full.dll"), "<has content>");
  EXPECT_EQ(why_not("empty.dll"), "");
  EXPECT_EQ(why_not("missing.dll"), DescribeError(2));
  EXPECT_EQ(system_.BoxLines(), "");
}

TEST_F(FileExistsTest, AFolderExistsWithOrWithoutItsBackslashAndAFileIsNoFolder) {
  Write(At("full.dll"), "x");
  EXPECT_TRUE(FolderExists(system_, root_));
  EXPECT_TRUE(FolderExists(system_, root_.substr(0, root_.size() - 1)));
  EXPECT_FALSE(FolderExists(system_, At("full.dll")));
  EXPECT_FALSE(FolderExists(system_, At("missing\\")));
}

}  // namespace
}  // namespace movrix::testing
