// The renaming phase on a system laid out in a scratch folder.
#include "files/file_exists.h"
#include "files/rename_mail_folders.h"
#include "tests/logic/phase_fixture.h"

namespace movrix::testing {
namespace {

using RenameMailFoldersTest = PhaseTest;

TEST_F(RenameMailFoldersTest, AFirstRunRenamesEachFolderAndReportsIt) {
  const std::string header =
      Lines({"Renommer le ou les dossiers programmes Windows Mail", std::string(92, '-')});
  EXPECT_EQ(RenameMailFolders(system_, state_, true).report,
            header + Lines({"Renommer le dossier Program Files\\Windows Mail",
                            "Renommer le dossier Program Files (x86)\\Windows Mail"}));
  EXPECT_TRUE(FolderExists(system_, At("Program Files (x86)\\Windows Mail.orlo")));
}

TEST_F(RenameMailFoldersTest, ALaterRunLeavesTheBackupsAloneEvenWithAFolderMissing) {
  ASSERT_EQ(RenameMailFolders(system_, state_, true).stop, std::nullopt);
  Write(At("Program Files (x86)\\Windows Mail.orlo\\kept.txt"), "the system's own");
  MakeFolder(At("Program Files (x86)\\Windows Mail"));
  const FolderRenaming second = RenameMailFolders(system_, state_, true);
  EXPECT_TRUE(!second.stop && second.report.empty()) << second.report;
  EXPECT_TRUE(FolderExists(system_, At("Program Files (x86)\\Windows Mail")));
  EXPECT_EQ(Read(At("Program Files (x86)\\Windows Mail.orlo\\kept.txt")), "the system's own");
  EXPECT_EQ(system_.BoxLines(), "");
}

TEST_F(RenameMailFoldersTest, FailuresAreTitledByTheirStep) {
  Write(At("Program Files\\Windows Mail.orlo"), "a file is no backup");
  EXPECT_EQ(RenameMailFolders(system_, state_, true).stop.value_or(Stop()).step, "4");
  MakeFolder(At("Other"));
  state_.program_files_x86_folder = At("Other\\");
  const Stop no_x86 = RenameMailFolders(system_, state_, true).stop.value_or(Stop{"none", ""});
  EXPECT_EQ(no_x86.step + "|" + no_x86.description, "2|");
  state_.program_files_folder = At("Other\\");
  EXPECT_EQ(RenameMailFolders(system_, state_, false).stop.value_or(Stop()).step, "1");
  EXPECT_EQ(system_.BoxLines(), "");
}

}  // namespace
}  // namespace movrix::testing
