// What the stand-in's file system models beyond the contract: where the WOW64 redirection
// applies, and how names are taken apart.
#include <gtest/gtest.h>

#include "tests/unit/host_fixture.h"

namespace movrix {
namespace {

class HostFilesTest : public testing::HostTest {
 protected:
  // The Windows-side folder that `path` lands in, relative to drive C.
  std::string Lands(const std::string& path) {
    return host_.HostPath(path).lexically_relative(root_ / "C").generic_string();
  }
};

TEST_F(HostFilesTest, RedirectionAppliesToTheSystem32FolderOnlyOfA64BitSystem) {
  host_.MakeFolder("C:\\Windows\\SysWOW64");
  struct Case {
    std::string path, lands;
  } cases[] = {
      {"C:\\Windows\\system32\\a.dll", "Windows/SysWOW64/a.dll"},
      {"c:\\WINDOWS\\System32\\fr-FR\\a.mui", "Windows/SysWOW64/fr-FR/a.mui"},
      {"C:\\Windows\\system32", "Windows/SysWOW64"},
      {"C:\\Windows\\system32backup\\a.dll", "Windows/system32backup/a.dll"},
      {"C:\\Windows\\.\\x\\..\\system32\\a.dll", "Windows/SysWOW64/a.dll"},
      {"C:\\Other\\system32\\a.dll", "Other/system32/a.dll"},
  };
  for (const Case& c : cases) EXPECT_EQ(Lands(c.path), c.lands) << c.path;

  const Wow64Value previous = host_.DisableWow64Redirection();
  EXPECT_EQ(Lands("C:\\Windows\\system32\\a.dll"), "Windows/system32/a.dll");
  host_.RevertWow64Redirection(previous);

  host_.Set64BitSystem(false);
  EXPECT_EQ(Lands("C:\\Windows\\system32\\a.dll"), "Windows/system32/a.dll");
}

TEST_F(HostFilesTest, SwitchingOffTwiceRestoresInTurn) {
  const Wow64Value outer = host_.DisableWow64Redirection();
  const Wow64Value inner = host_.DisableWow64Redirection();
  host_.RevertWow64Redirection(inner);
  EXPECT_TRUE(host_.Wow64RedirectionDisabled()) << "still off: it was off before";
  host_.RevertWow64Redirection(outer);
  EXPECT_FALSE(host_.Wow64RedirectionDisabled());
}

TEST_F(HostFilesTest, NamesFollowTheSystemsRules) {
  host_.WriteFile("C:\\Données\\Élève.txt", "x");
  EXPECT_EQ(host_.FileLength("c:\\DONNÉES\\élève.TXT"), 1) << "accented letters fold too";
  EXPECT_EQ(host_.FileLength("C:\\Données\\Élève.txt. "), 1) << "trailing dots and spaces drop";
  EXPECT_EQ(host_.PathAttributes("C:\\Données\\a?b.txt"), -1) << "an invalid name names nothing";
  EXPECT_THROW(host_.FileLength("\\\\server\\share\\a.txt"), SystemError);
}

}  // namespace
}  // namespace movrix
