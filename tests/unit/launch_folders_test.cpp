// The folder renaming phase on the stand-in.
#include "files/launch_folders.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "tests/unit/host_fixture.h"

namespace movrix {
namespace {

const std::string kHeader = std::string("Renommer le ou les dossiers programmes Windows Mail") +
                            kCrLf + std::string(92, '-') + kCrLf;
const std::string kLine = std::string("Renommer le dossier Program Files\\Windows Mail") + kCrLf;
const std::string kLineX86 =
    std::string("Renommer le dossier Program Files (x86)\\Windows Mail") + kCrLf;

// The folders a case lays, one bit each; a backup bit lays the program folder's backup.
enum Folders : int { kMail = 1, kMailX86 = 2, kBackup = 4, kBackupX86 = 8, kNone = 0 };
const std::string kFolderPaths[] = {
    "C:\\Program Files\\Windows Mail", "C:\\Program Files (x86)\\Windows Mail",
    "C:\\Program Files\\Windows Mail.orlo", "C:\\Program Files (x86)\\Windows Mail.orlo"};

class LaunchFoldersTest : public testing::HostTest {
 protected:
  LaunchFoldersTest() {
    state_.ProgramFilesFolder = "C:\\Program Files\\";
    state_.ProgramFilesX86Folder = "C:\\Program Files (x86)\\";
  }

  // A fresh drive C with the given folders, each holding one file named after its folder, so
  // that a rename can be seen to move the folder itself.
  void Lay(int folders) {
    std::filesystem::remove_all(host_.HostPath("C:\\"));
    for (int bit = 0; bit < 4; ++bit)
      if (folders & (1 << bit)) host_.WriteFile(kFolderPaths[bit] + "\\wab.exe", kFolderPaths[bit]);
    state_.ReportText = "before";
  }
  // The folders present now, as bits.
  int Present() {
    int folders = 0;
    for (int bit = 0; bit < 4; ++bit)
      if (host_.PathAttributes(kFolderPaths[bit]) > 0 &&
          (host_.PathAttributes(kFolderPaths[bit]) & kAttributeDirectory))
        folders |= 1 << bit;
    return folders;
  }

  RunState state_;
};

TEST_F(LaunchFoldersTest, RenamesEachFolderOnceAndReportsIt) {
  struct Case {
    const char* name;
    bool is_64_bit;
    int before;
    std::string report;
    int after;
  } cases[] = {
      {"first run, 32-bit", false, kMail, kHeader + kLine, kBackup},
      {"first run, 64-bit", true, kMail | kMailX86, kHeader + kLine + kLineX86,
       kBackup | kBackupX86},
      {"second run", true, kMail | kMailX86 | kBackup | kBackupX86, "before",
       kMail | kMailX86 | kBackup | kBackupX86},
      {"only the (x86) backup", true, kMail | kMailX86 | kBackupX86, kHeader + kLine,
       kMailX86 | kBackup | kBackupX86},
      {"only the backup of Program Files", true, kMail | kMailX86 | kBackup, kHeader + kLineX86,
       kMail | kBackup | kBackupX86},
      {"32-bit, (x86) folders never looked at", false, kMail | kBackup, "before", kMail | kBackup},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Lay(c.before);
    EXPECT_TRUE(Launch_Folders(host_, state_, c.is_64_bit)) << Boxes();
    EXPECT_EQ(state_.ReportText, c.report);
    EXPECT_EQ(Present(), c.after);
    for (int bit : {0, 1}) {
      if (c.after & ~c.before & (kBackup << bit)) {
        EXPECT_EQ(host_.ReadFile(kFolderPaths[bit + 2] + "\\wab.exe"), kFolderPaths[bit]);
      }
    }
    if (c.before & kBackup) {
      EXPECT_EQ(host_.ReadFile(kFolderPaths[2] + "\\wab.exe"), kFolderPaths[2]) << "untouched";
    }
  }
  EXPECT_EQ(Boxes(), "");
}

TEST_F(LaunchFoldersTest, FailuresAreTitledByTheirStep) {
  struct Case {
    const char* name;
    bool is_64_bit;
    int before;
    const char* fault_call;  // a system call made to fail with "Accès refusé.", if any
    std::string fault_path, box, report;
    int after;
  } cases[] = {
      {"missing program folder", true, kMailX86, nullptr, "", "Launch_Folders 1|", "before",
       kMailX86},
      {"missing (x86) program folder", true, kMail, nullptr, "", "Launch_Folders 2|", "before",
       kMail},
      {"missing on 32-bit", false, kNone, nullptr, "", "Launch_Folders 1|", "before", kNone},
      {"an error of a folder test", true, kMail | kMailX86, "PathAttributes", "",
       "Launch_Folders 1|Accès refusé.", "before", kMail | kMailX86},
      {"a failed second rename keeps the first and its line", true, kMail | kMailX86, "Rename",
       kFolderPaths[1], "Launch_Folders 5|Accès refusé.", kHeader + kLine, kMailX86 | kBackup},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Lay(c.before);
    if (c.fault_call) host_.faults().Inject(c.fault_call, c.fault_path, "Accès refusé.");
    const std::string boxes_before = Boxes();
    EXPECT_FALSE(Launch_Folders(host_, state_, c.is_64_bit));
    host_.faults().Clear();
    EXPECT_EQ(Boxes(), boxes_before + c.box + "|critical\n");
    EXPECT_EQ(state_.ReportText, c.report);
    EXPECT_EQ(Present(), c.after);
  }
  // After the failed second rename, the next run finds no program folder and stops at once.
  EXPECT_FALSE(Launch_Folders(host_, state_, true));
  EXPECT_EQ(Boxes().substr(Boxes().rfind("Launch_Folders")), "Launch_Folders 1||critical\n");
}

TEST_F(LaunchFoldersTest, AFileTakingTheBackupNameMakesTheRenameFail) {
  Lay(kMail);
  host_.WriteFile(kFolderPaths[2], "a file, not a backup");
  EXPECT_FALSE(Launch_Folders(host_, state_, false));
  EXPECT_EQ(Boxes(), "Launch_Folders 4|Impossible de créer un fichier déjà existant.|critical\n");
  EXPECT_EQ(state_.ReportText, "before");
  EXPECT_EQ(Present(), kMail);
}

}  // namespace
}  // namespace movrix
