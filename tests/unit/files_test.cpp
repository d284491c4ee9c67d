// The file primitives on the stand-in: existence tests with their boxes, the rights commands,
// StripNull, and the tree walk with its log.
#include <gtest/gtest.h>

#include "common/text.h"
#include "files/mod_file_mngr.h"
#include "tests/unit/host_fixture.h"

namespace movrix {
namespace {

const std::string kComspec = "C:\\Windows\\system32\\cmd.exe";

// The two rights commands started for one path.
std::vector<std::string> RightsLines(const std::string& path) {
  return {kComspec + " /c takeown /a /f \"" + path + "\"",
          kComspec + " /c icacls \"" + path + "\" /grant *S-1-5-32-544:F"};
}

class FilesTest : public testing::HostTest {};

TEST_F(FilesTest, FileExistsShowsTheQuerysDescriptionOnlyWhenAsked) {
  host_.WriteFile("D:\\Setup\\empty.dll", "");
  host_.WriteFile("D:\\Setup\\full.dll", "MZ");
  struct Case {
    std::string path;
    bool show_message, exists;
    std::string box;  // "" when no box is shown
  } cases[] = {
      {"D:\\Setup\\full.dll", true, true, ""},
      {"D:\\Setup\\empty.dll", true, false, "Movrix18||none\n"},
      {"D:\\Setup\\missing.dll", true, false,
       "Movrix18|Le fichier spécifié est introuvable.|none\n"},
      {"D:\\Nowhere\\missing.dll", true, false,
       "Movrix18|Le chemin d'accès spécifié est introuvable.|none\n"},
      {"D:\\Setup\\empty.dll", false, false, ""},
      {"D:\\Setup\\missing.dll", false, false, ""},
  };
  for (const Case& c : cases) {
    HostSystem host(root_);
    EXPECT_EQ(FileExists(host, c.path, c.show_message), c.exists) << c.path;
    EXPECT_EQ(testing::ShownBoxes(host), c.box) << c.path;
  }
}

TEST_F(FilesTest, FolderExistsLetsErrorsOfTheTestReachTheCaller) {
  host_.faults().Inject("PathAttributes", "E:\\Setup\\", "Le périphérique n'est pas prêt.");
  EXPECT_THROW(FolderExists(host_, "E:\\Setup\\"), SystemError);
  EXPECT_EQ(Boxes(), "");
}

TEST_F(FilesTest, SetRightsStartsBothCommandsWithThePathWholeOrReportsTheFailure) {
  const std::string path = "C:\\Program Files (x86)\\Windows Mail\\Café été.txt";
  EXPECT_TRUE(SetRights(host_, path));
  EXPECT_EQ(host_.commands(), RightsLines(path));
  EXPECT_EQ(host_.pending_message_rounds(), 2);
  EXPECT_EQ(Boxes(), "");

  host_.SetCommandsFail(true);
  EXPECT_FALSE(SetRights(host_, "C:\\x.dll"));
  EXPECT_EQ(Boxes(), "SetRights|Le fichier spécifié est introuvable.|none\n");
}

TEST(StripNullTest, CutsAtTheFirstNulAndRefusesATextWithoutOne) {
  struct Case {
    std::string text, expected;
  } cases[] = {
      {std::string("wab.exe\0\0\0", 10), "wab.exe"},
      {std::string("a\0b\0", 4), "a"},
      {std::string("\0x", 2), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(StripNull(c.text), c.expected);
  EXPECT_THROW(StripNull("wab.exe"), SystemError);
}

// A tree copy from D:\Setup\WM_32\ into C:\Program Files (x86)\.
class CopyFolderTest : public testing::HostTest {
 protected:
  const std::string root_folder = "D:\\Setup\\WM_32\\";
  const std::string destination_root = "C:\\Program Files (x86)\\";

  CopyFolderTest() {
    copy_.SourceRootLen = int16_t(root_folder.size());
    copy_.DestRoot = destination_root;
  }

  void Source(const std::string& relative, const std::string& content = "content") {
    host_.WriteFile(root_folder + relative, content);
  }
  std::string Copied(const std::string& relative) {
    return host_.ReadFile(destination_root + relative);
  }
  bool Exists(const std::string& relative) {
    return host_.PathAttributes(destination_root + relative) >= 0;
  }
  // The "de   " and "vers " lines of one handled file.
  std::string Lines(const std::string& relative) {
    return "de   " + root_folder + relative + kCrLf + "vers " + destination_root + relative + kCrLf;
  }

  CopyContext copy_;
};

TEST_F(CopyFolderTest, NestedFoldersLandUnderTheDestinationRootInWalkOrder) {
  Source("Windows Mail\\a\\b\\deep.dll", "deep");
  Source("Windows Mail\\wab.exe", "wab");
  Source("Windows Mail\\fr-FR\\wab.exe.mui", "mui");
  Source("top.txt", "top");
  EXPECT_TRUE(CopyFolder(host_, copy_, root_folder));
  EXPECT_EQ(Copied("Windows Mail\\a\\b\\deep.dll"), "deep");
  EXPECT_EQ(Copied("Windows Mail\\fr-FR\\wab.exe.mui"), "mui");
  EXPECT_EQ(Copied("top.txt"), "top");
  // Depth-first: a subfolder is walked where its entry comes up.
  EXPECT_EQ(copy_.CopyLog, Lines("top.txt") + Lines("Windows Mail\\a\\b\\deep.dll") +
                               Lines("Windows Mail\\fr-FR\\wab.exe.mui") +
                               Lines("Windows Mail\\wab.exe"));
  EXPECT_EQ(host_.commands().size(), 8u);
  EXPECT_EQ(host_.pending_message_rounds(), 8);
}

TEST_F(CopyFolderTest, AccentedNamesWithSpacesReachTheLogTheCopyAndBothCommandsWhole) {
  Source("Données été\\Fichier à copier.dll", "accents");
  EXPECT_TRUE(CopyFolder(host_, copy_, root_folder));
  EXPECT_EQ(Copied("Données été\\Fichier à copier.dll"), "accents");
  EXPECT_EQ(copy_.CopyLog, Lines("Données été\\Fichier à copier.dll"));
  EXPECT_EQ(host_.commands(), RightsLines(destination_root + "Données été\\Fichier à copier.dll"));
}

TEST_F(CopyFolderTest, DotNamesLeaveNoTraceAndADotlessNameStopsItsFolderOnly) {
  Source(".git\\config.txt");
  Source(".hidden.txt");
  Source("Windows Mail\\.cache\\x.dll");
  Source("Windows Mail\\a.dll");
  Source("Windows Mail\\README");
  Source("Windows Mail\\wab.exe");
  Source("zz.txt");
  EXPECT_TRUE(CopyFolder(host_, copy_, root_folder)) << "the parent's result is unaffected";
  EXPECT_EQ(copy_.CopyLog, Lines("Windows Mail\\a.dll") + Lines("zz.txt"));
  for (const char* absent : {".git", ".hidden.txt", "Windows Mail\\.cache", "Windows Mail\\README",
                             "Windows Mail\\wab.exe"})
    EXPECT_FALSE(Exists(absent)) << absent;
  EXPECT_EQ(Boxes(), "");

  copy_.CopyLog.clear();
  EXPECT_FALSE(CopyFolder(host_, copy_, root_folder + "Windows Mail\\"));
}

TEST_F(CopyFolderTest, AMissingSourceRootCopiesNothingAndSucceeds) {
  EXPECT_TRUE(CopyFolder(host_, copy_, "D:\\Setup\\Missing\\"));
  EXPECT_EQ(copy_.CopyLog, "");
  EXPECT_TRUE(host_.commands().empty());
}

// Every failure of a file keeps its two log lines, stops its folder's walk and fails it.
TEST_F(CopyFolderTest, AFailedShellCopyShowsNoBoxOfItsOwn) {
  Source("Windows Mail\\a.dll");
  Source("Windows Mail\\b.dll");
  host_.WriteFile(destination_root + "Windows Mail", "a file where the folder goes");
  EXPECT_FALSE(CopyFolder(host_, copy_, root_folder + "Windows Mail\\"));
  EXPECT_EQ(copy_.CopyLog, Lines("Windows Mail\\a.dll"));
  EXPECT_EQ(Boxes(), "") << "the shell reports its own failures";
}

TEST_F(CopyFolderTest, RightsFailureIsACopyError) {
  Source("wab.exe");
  host_.SetCommandsFail(true);
  EXPECT_FALSE(CopyFolder(host_, copy_, root_folder));
  EXPECT_EQ(copy_.CopyLog, Lines("wab.exe"));
  EXPECT_FALSE(Exists("wab.exe"));
  EXPECT_EQ(Boxes(),
            "SetRights|Le fichier spécifié est introuvable.|none\n"
            "CopyThisFile|Erreur de copie|critical\n");
}

TEST_F(CopyFolderTest, AnErrorDuringTheCopyNamesBothPaths) {
  Source("wab.exe");
  host_.faults().Inject("ShellCopyFile", root_folder + "wab.exe", "Accès refusé.");
  EXPECT_FALSE(CopyFolder(host_, copy_, root_folder));
  EXPECT_EQ(Boxes(), "Movrix18|Copie de " + root_folder + "wab.exe" + kCrLf + " vers " +
                         destination_root + "wab.exe|critical\n");
}

TEST_F(CopyFolderTest, AnErrorBeforeThePathsAreBuiltShowsEmptyParts) {
  copy_.FindData.name = "wab.exe";  // no NUL: not a name field
  EXPECT_FALSE(CopyThisFile(host_, copy_, root_folder));
  EXPECT_EQ(Boxes(), std::string("Movrix18|Copie de ") + kCrLf + " vers |critical\n");
  EXPECT_EQ(copy_.CopyLog, "");
}

}  // namespace
}  // namespace movrix
