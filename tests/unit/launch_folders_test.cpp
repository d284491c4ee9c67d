// The folder renaming phase on the stand-in.
#include "files/launch_folders.h"

#include <gtest/gtest.h>

#include <algorithm>

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
    EXPECT_TRUE(Launch_Folders(host_, state_, c.is_64_bit)) << Boxes();
    EXPECT_EQ(state_.ReportText, c.report);
    for (const std::string& folder : c.renamed) {
      EXPECT_FALSE(IsFolder(folder)) << folder;
      EXPECT_EQ(host_.ReadFile(folder + ".orlo\\wab.exe"), folder) << "the folder itself moved";
    }
    if (c.renamed.empty()) {
      EXPECT_EQ(host_.ReadFile(mail + ".orlo\\wab.exe"), mail + ".orlo") << "backup untouched";
    }
  }
  EXPECT_EQ(Boxes(), "");
}

struct FailureCase {
  const char* name;
  bool is_64_bit;
  std::vector<std::string> existing;
  std::string file_at_backup;  // a file laid where a backup would go, if any
  const char* fault_call;      // a system call made to fail, if any
  std::string fault_path, boxes, report;
  std::vector<std::string> renamed;  // folders renamed before the failure
};

TEST_F(LaunchFoldersTest, FailuresAreTitledByTheirStep) {
  const std::string mail = kProgramFiles + "Windows Mail";
  const std::string mail_x86 = kProgramFilesX86 + "Windows Mail";
  const FailureCase cases[] = {
      {"missing program folder",
       true,
       {mail_x86},
       "",
       nullptr,
       "",
       "Launch_Folders 1||critical\n",
       "before"},
      {"missing (x86) program folder",
       true,
       {mail},
       "",
       nullptr,
       "",
       "Launch_Folders 2||critical\n",
       "before"},
      {"missing on 32-bit", false, {}, "", nullptr, "", "Launch_Folders 1||critical\n", "before"},
      {"a file taking the backup name",
       false,
       {mail},
       mail + ".orlo",
       nullptr,
       "",
       "Launch_Folders 4|Impossible de créer un fichier déjà existant.|critical\n",
       "before"},
      {"an error of a folder test",
       true,
       {mail, mail_x86},
       "",
       "PathAttributes",
       "",
       "Launch_Folders 1|Accès refusé.|critical\n",
       "before"},
      {"a failed second rename keeps the first and its line",
       true,
       {mail, mail_x86},
       "",
       "Rename",
       mail_x86,
       "Launch_Folders 5|Accès refusé.|critical\n",
       kHeader + kLine,
       {mail}},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(host_.HostPath("C:\\"));
    HostSystem host(root_);
    for (const std::string& folder : c.existing) host.WriteFile(folder + "\\wab.exe", folder);
    if (!c.file_at_backup.empty()) host.WriteFile(c.file_at_backup, "a file, not a backup");
    if (c.fault_call) host.faults().Inject(c.fault_call, c.fault_path, "Accès refusé.");
    state_.ReportText = "before";
    EXPECT_FALSE(Launch_Folders(host, state_, c.is_64_bit));
    EXPECT_EQ(testing::ShownBoxes(host), c.boxes);
    EXPECT_EQ(state_.ReportText, c.report);
    for (const std::string& folder : c.existing) {
      const bool renamed = std::count(c.renamed.begin(), c.renamed.end(), folder) > 0;
      EXPECT_EQ(IsFolder(folder), !renamed) << folder;
    }
  }
  // After the failed second rename, the next run finds no program folder and stops at once.
  EXPECT_FALSE(Launch_Folders(host_, state_, true));
  EXPECT_EQ(Boxes(), "Launch_Folders 1||critical\n");
}

}  // namespace
}  // namespace movrix
