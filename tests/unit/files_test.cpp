// The file primitives on the stand-in: existence tests with their boxes, the rights commands,
// StripNull, and the tree walk with its log.
#include <gtest/gtest.h>

#include "common/text.h"
#include "files/mod_file_mngr.h"
#include "tests/unit/host_fixture.h"

namespace movrix {
namespace {

const std::string kComspec = "C:\\Windows\\system32\\cmd.exe";

std::string TakeownLine(const std::string& path) {
  return kComspec + " /c takeown /a /f \"" + path + "\"";
}
std::string IcaclsLine(const std::string& path) {
  return kComspec + " /c icacls \"" + path + "\" /grant *S-1-5-32-544:F";
}

// The two log lines of one handled file.
std::string LogLines(const std::string& source, const std::string& destination) {
  return "de   " + source + kCrLf + "vers " + destination + kCrLf;
}

class FilesTest : public testing::HostTest {};

TEST_F(FilesTest, FileExistsShowsTheQuerysDescriptionOnlyWhenAsked) {
  host_.WriteFile("D:\\Setup\\empty.dll", "");
  host_.WriteFile("D:\\Setup\\full.dll", "MZ");
  struct Case {
    std::string path;
    bool show_message;
    bool exists;
    int boxes;
    std::string text;
  } cases[] = {
      {"D:\\Setup\\full.dll", true, true, 0, ""},
      {"D:\\Setup\\empty.dll", true, false, 1, ""},
      {"D:\\Setup\\missing.dll", true, false, 1, "Le fichier spécifié est introuvable."},
      {"D:\\Nowhere\\missing.dll", true, false, 1, "Le chemin d'accès spécifié est introuvable."},
      {"D:\\Setup\\empty.dll", false, false, 0, ""},
      {"D:\\Setup\\missing.dll", false, false, 0, ""},
  };
  for (const Case& c : cases) {
    const size_t before = host_.boxes().size();
    EXPECT_EQ(FileExists(host_, c.path, c.show_message), c.exists) << c.path;
    ASSERT_EQ(host_.boxes().size() - before, size_t(c.boxes)) << c.path << "\n" << BoxTitles();
    if (c.boxes == 0) continue;
    const HostSystem::Box& box = host_.boxes().back();
    EXPECT_EQ(box.text, c.text) << c.path;
    EXPECT_EQ(box.title, "Movrix18");
    EXPECT_EQ(box.icon, Icon::kNone);
    EXPECT_EQ(box.buttons, Buttons::kOk);
  }
}

TEST_F(FilesTest, FolderExistsLetsErrorsOfTheTestReachTheCaller) {
  host_.faults().Inject("PathAttributes", "E:\\Setup\\", "Le périphérique n'est pas prêt.");
  EXPECT_THROW(FolderExists(host_, "E:\\Setup\\"), SystemError);
  EXPECT_TRUE(host_.boxes().empty()) << BoxTitles();
}

TEST_F(FilesTest, SetRightsStartsBothCommandsWithThePathWholeAndLetsTheWindowBreathe) {
  const std::string path = "C:\\Program Files (x86)\\Windows Mail\\Café été.txt";
  EXPECT_TRUE(SetRights(host_, path));
  EXPECT_EQ(host_.commands(), (std::vector<std::string>{TakeownLine(path), IcaclsLine(path)}));
  EXPECT_EQ(host_.pending_message_rounds(), 2);
  EXPECT_TRUE(host_.boxes().empty()) << BoxTitles();
}

TEST_F(FilesTest, SetRightsReportsACommandThatCannotStart) {
  host_.SetCommandsFail(true);
  EXPECT_FALSE(SetRights(host_, "C:\\x.dll"));
  ASSERT_EQ(host_.boxes().size(), 1u) << BoxTitles();
  EXPECT_EQ(host_.boxes()[0].title, "SetRights");
  EXPECT_EQ(host_.boxes()[0].text, "Le fichier spécifié est introuvable.");
  EXPECT_EQ(host_.boxes()[0].icon, Icon::kNone);
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
  std::string Lines(const std::string& relative) {
    return LogLines(root_folder + relative, destination_root + relative);
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
  EXPECT_EQ(Copied("Windows Mail\\wab.exe"), "wab");
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
  const std::string destination = destination_root + "Données été\\Fichier à copier.dll";
  EXPECT_EQ(host_.ReadFile(destination), "accents");
  EXPECT_EQ(copy_.CopyLog, Lines("Données été\\Fichier à copier.dll"));
  EXPECT_EQ(host_.commands(),
            (std::vector<std::string>{TakeownLine(destination), IcaclsLine(destination)}));
}

TEST_F(CopyFolderTest, NamesBeginningWithADotLeaveNoTrace) {
  Source(".git\\config.txt");
  Source(".hidden.txt");
  Source("Windows Mail\\.cache\\x.dll");
  Source("Windows Mail\\wab.exe");
  EXPECT_TRUE(CopyFolder(host_, copy_, root_folder));
  EXPECT_EQ(copy_.CopyLog, Lines("Windows Mail\\wab.exe"));
  EXPECT_FALSE(Exists(".git"));
  EXPECT_FALSE(Exists(".hidden.txt"));
  EXPECT_FALSE(Exists("Windows Mail\\.cache"));
}

TEST_F(CopyFolderTest, ADotlessNameStopsItsFolderOnlyAndLogsNothing) {
  Source("Windows Mail\\a.dll");
  Source("Windows Mail\\README");
  Source("Windows Mail\\wab.exe");
  Source("zz.txt");
  EXPECT_TRUE(CopyFolder(host_, copy_, root_folder)) << "the parent's result is unaffected";
  EXPECT_EQ(copy_.CopyLog, Lines("Windows Mail\\a.dll") + Lines("zz.txt"));
  EXPECT_FALSE(Exists("Windows Mail\\README"));
  EXPECT_FALSE(Exists("Windows Mail\\wab.exe")) << "the walk of its folder stopped";
  EXPECT_TRUE(host_.boxes().empty()) << BoxTitles();

  copy_.CopyLog.clear();
  EXPECT_FALSE(CopyFolder(host_, copy_, root_folder + "Windows Mail\\"));
}

TEST_F(CopyFolderTest, AFailedShellCopyKeepsBothLinesAndStopsTheFolder) {
  Source("Windows Mail\\a.dll");
  Source("Windows Mail\\b.dll");
  host_.WriteFile(destination_root + "Windows Mail", "a file where the folder goes");
  EXPECT_FALSE(CopyFolder(host_, copy_, root_folder + "Windows Mail\\"));
  EXPECT_EQ(copy_.CopyLog, Lines("Windows Mail\\a.dll"));
  EXPECT_TRUE(host_.boxes().empty()) << "the shell reports its own failures\n" << BoxTitles();
}

TEST_F(CopyFolderTest, AMissingSourceRootCopiesNothingAndSucceeds) {
  EXPECT_TRUE(CopyFolder(host_, copy_, "D:\\Setup\\Missing\\"));
  EXPECT_EQ(copy_.CopyLog, "");
  EXPECT_TRUE(host_.commands().empty());
}

TEST_F(CopyFolderTest, RightsFailureIsACopyError) {
  Source("wab.exe");
  host_.SetCommandsFail(true);
  EXPECT_FALSE(CopyFolder(host_, copy_, root_folder));
  EXPECT_EQ(copy_.CopyLog, Lines("wab.exe"));
  EXPECT_FALSE(Exists("wab.exe"));
  ASSERT_EQ(host_.boxes().size(), 2u) << BoxTitles();
  EXPECT_EQ(host_.boxes()[0].title, "SetRights");
  EXPECT_EQ(host_.boxes()[1].title, "CopyThisFile");
  EXPECT_EQ(host_.boxes()[1].text, "Erreur de copie");
  EXPECT_EQ(host_.boxes()[1].icon, Icon::kCritical);
}

TEST_F(CopyFolderTest, AnErrorDuringTheCopyNamesBothPaths) {
  Source("wab.exe");
  host_.faults().Inject("ShellCopyFile", root_folder + "wab.exe", "Accès refusé.");
  EXPECT_FALSE(CopyFolder(host_, copy_, root_folder));
  ASSERT_EQ(host_.boxes().size(), 1u) << BoxTitles();
  EXPECT_EQ(host_.boxes()[0].text, "Copie de " + root_folder + "wab.exe" + kCrLf + " vers " +
                                       destination_root + "wab.exe");
  EXPECT_EQ(host_.boxes()[0].title, "Movrix18");
  EXPECT_EQ(host_.boxes()[0].icon, Icon::kCritical);
}

TEST_F(CopyFolderTest, AnErrorBeforeThePathsAreBuiltShowsEmptyParts) {
  copy_.FindData.name = "wab.exe";  // no NUL: not a name field
  EXPECT_FALSE(CopyThisFile(host_, copy_, root_folder));
  ASSERT_EQ(host_.boxes().size(), 1u) << BoxTitles();
  EXPECT_EQ(host_.boxes()[0].text, std::string("Copie de ") + kCrLf + " vers ");
  EXPECT_EQ(copy_.CopyLog, "");
}

}  // namespace
}  // namespace movrix
