// The folder renaming phase on the stand-in.
#include "files/launch_folders.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "tests/unit/host_fixture.h"

namespace movrix {
namespace {

const std::string kProgramFiles = "C:\\Program Files\\";
const std::string kProgramFilesX86 = "C:\\Program Files (x86)\\";
const std::string kHeader = std::string("Renommer le ou les dossiers programmes Windows Mail") +
                            kCrLf + std::string(92, '-') + kCrLf;
const std::string kLine = std::string("Renommer le dossier Program Files\\Windows Mail") + kCrLf;
const std::string kLineX86 =
    std::string("Renommer le dossier Program Files (x86)\\Windows Mail") + kCrLf;

class LaunchFoldersTest : public testing::HostTest {
 protected:
  LaunchFoldersTest() {
    state_.ProgramFilesFolder = kProgramFiles;
    state_.ProgramFilesX86Folder = kProgramFilesX86;
  }

  // A program folder holding one file, so that a rename can be seen to keep its content.
  void Folder(const std::string& path) { host_.WriteFile(path + "\\wab.exe", path); }
  bool IsFolder(const std::string& path) {
    return host_.PathAttributes(path) >= 0 && (host_.PathAttributes(path) & kAttributeDirectory);
  }

  RunState state_;
};

struct RunCase {
  const char* name;
  bool is_64_bit;
  std::vector<std::string> existing;  // folders present before the run
  std::string report;
  std::vector<std::string> renamed;  // program folders that became their backup
};

TEST_F(LaunchFoldersTest, RenamesEachFolderOnceAndReportsIt) {
  const std::string mail = kProgramFiles + "Windows Mail";
  const std::string mail_x86 = kProgramFilesX86 + "Windows Mail";
  const RunCase cases[] = {
      {"first run, 32-bit", false, {mail}, kHeader + kLine, {mail}},
      {"first run, 64-bit", true, {mail, mail_x86}, kHeader + kLine + kLineX86, {mail, mail_x86}},
      {"second run", true, {mail, mail_x86, mail + ".orlo", mail_x86 + ".orlo"}, "before", {}},
      {"only the (x86) backup",
       true,
       {mail, mail_x86, mail_x86 + ".orlo"},
       kHeader + kLine,
       {mail}},
      {"only the backup of Program Files",
       true,
       {mail, mail_x86, mail + ".orlo"},
       kHeader + kLineX86,
       {mail_x86}},
      {"32-bit, (x86) folders never looked at", false, {mail, mail + ".orlo"}, "before", {}},
  };
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(host_.HostPath("C:\\"));
    for (const std::string& folder : c.existing) Folder(folder);
    state_.ReportText = "before";
    EXPECT_TRUE(Launch_Folders(host_, state_, c.is_64_bit)) << BoxTitles();
    EXPECT_EQ(state_.ReportText, c.report);
    for (const std::string& folder : c.renamed) {
      EXPECT_FALSE(IsFolder(folder)) << folder;
      EXPECT_EQ(host_.ReadFile(folder + ".orlo\\wab.exe"), folder) << "the folder itself moved";
    }
    if (c.renamed.empty()) {
      EXPECT_EQ(host_.ReadFile(mail + ".orlo\\wab.exe"), mail + ".orlo") << "backup untouched";
    }
  }
  EXPECT_TRUE(host_.boxes().empty()) << BoxTitles();
}

struct FailureCase {
  const char* name;
  bool is_64_bit;
  std::vector<std::string> existing;
  std::string title;
  bool text_empty;
  std::string report;
};

TEST_F(LaunchFoldersTest, FailuresAreTitledByTheirStep) {
  const std::string mail = kProgramFiles + "Windows Mail";
  const std::string mail_x86 = kProgramFilesX86 + "Windows Mail";
  const FailureCase cases[] = {
      {"missing program folder", true, {mail_x86}, "Launch_Folders 1", true, "before"},
      {"missing (x86) program folder", true, {mail}, "Launch_Folders 2", true, "before"},
      {"missing on 32-bit", false, {}, "Launch_Folders 1", true, "before"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(host_.HostPath("C:\\"));
    for (const std::string& folder : c.existing) Folder(folder);
    state_.ReportText = "before";
    const size_t boxes = host_.boxes().size();
    EXPECT_FALSE(Launch_Folders(host_, state_, c.is_64_bit));
    ASSERT_EQ(host_.boxes().size(), boxes + 1) << BoxTitles();
    const HostSystem::Box& box = host_.boxes().back();
    EXPECT_EQ(box.title, c.title);
    EXPECT_EQ(box.text.empty(), c.text_empty) << box.text;
    EXPECT_EQ(box.icon, Icon::kCritical);
    EXPECT_EQ(state_.ReportText, c.report);
    for (const std::string& folder : c.existing) EXPECT_TRUE(IsFolder(folder)) << "not renamed";
  }
}

TEST_F(LaunchFoldersTest, AFileTakingTheBackupNameMakesTheRenameFail) {
  const std::string mail = kProgramFiles + "Windows Mail";
  Folder(mail);
  host_.WriteFile(mail + ".orlo", "a file, not a backup");
  state_.ReportText = "before";
  EXPECT_FALSE(Launch_Folders(host_, state_, false));
  ASSERT_EQ(host_.boxes().size(), 1u) << BoxTitles();
  EXPECT_EQ(host_.boxes()[0].title, "Launch_Folders 4");
  EXPECT_EQ(host_.boxes()[0].text, "Impossible de créer un fichier déjà existant.");
  EXPECT_EQ(state_.ReportText, "before");
  EXPECT_TRUE(IsFolder(mail));
}

TEST_F(LaunchFoldersTest, AFailedSecondRenameKeepsTheFirstAndItsLine) {
  const std::string mail = kProgramFiles + "Windows Mail";
  const std::string mail_x86 = kProgramFilesX86 + "Windows Mail";
  Folder(mail);
  Folder(mail_x86);
  host_.faults().Inject("Rename", mail_x86, "Accès refusé.");
  EXPECT_FALSE(Launch_Folders(host_, state_, true));
  ASSERT_EQ(host_.boxes().size(), 1u) << BoxTitles();
  EXPECT_EQ(host_.boxes()[0].title, "Launch_Folders 5");
  EXPECT_EQ(host_.boxes()[0].text, "Accès refusé.");
  EXPECT_EQ(state_.ReportText, kHeader + kLine);
  EXPECT_TRUE(IsFolder(mail + ".orlo"));

  // The next run finds no program folder and stops at once.
  host_.faults().Clear();
  EXPECT_FALSE(Launch_Folders(host_, state_, true));
  EXPECT_EQ(host_.boxes().back().title, "Launch_Folders 1");
}

TEST_F(LaunchFoldersTest, AnErrorOfAFolderTestReachesTheHandler) {
  host_.faults().Inject("PathAttributes", "", "Le périphérique n'est pas prêt.");
  EXPECT_FALSE(Launch_Folders(host_, state_, true));
  ASSERT_EQ(host_.boxes().size(), 1u) << BoxTitles();
  EXPECT_EQ(host_.boxes()[0].title, "Launch_Folders 1");
  EXPECT_EQ(host_.boxes()[0].text, "Le périphérique n'est pas prêt.");
}

}  // namespace
}  // namespace movrix
