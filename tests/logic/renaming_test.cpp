// The renaming phase on a system laid out in a scratch folder.
#include "files/file_exists.h"
#include "files/launch_folders.h"
#include "tests/logic/phase_fixture.h"

namespace movrix::testing {
namespace {

using LaunchFoldersTest = PhaseTest;

TEST_F(LaunchFoldersTest, AFirstRunRenamesEachFolderAndReportsIt) {
  const std::string header =
      Lines({"Renommer le ou les dossiers programmes Windows Mail", std::string(92, '-')});
  ASSERT_TRUE(Launch_Folders(system_, state_, true));
  EXPECT_EQ(state_.ReportText,
            header + Lines({"Renommer le dossier Program Files\\Windows Mail",
                            "Renommer le dossier Program Files (x86)\\Windows Mail"}));
  EXPECT_TRUE(FolderExists(system_, At("Program Files (x86)\\Windows Mail.orlo")));
}

TEST_F(LaunchFoldersTest, ALaterRunLeavesTheBackupsAloneEvenWithAFolderMissing) {
  ASSERT_TRUE(Launch_Folders(system_, state_, true));
  Write(At("Program Files (x86)\\Windows Mail.orlo\\kept.txt"), "the system's own");
  MakeFolder(At("Program Files (x86)\\Windows Mail"));
  RunState second = state_;
  second.ReportText.clear();
  ASSERT_TRUE(Launch_Folders(system_, second, true));
  EXPECT_EQ(second.ReportText, "");
  EXPECT_TRUE(FolderExists(system_, At("Program Files (x86)\\Windows Mail")));
  EXPECT_EQ(Read(At("Program Files (x86)\\Windows Mail.orlo\\kept.txt")), "the system's own");
  EXPECT_EQ(system_.BoxLines(), "");
}

TEST_F(LaunchFoldersTest, FailuresAreTitledByTheirStep) {
  Write(At("Program Files\\Windows Mail.orlo"), "a file is no backup");
  EXPECT_FALSE(Launch_Folders(system_, state_, true));
  MakeFolder(At("Other"));
  state_.ProgramFilesX86Folder = At("Other\\");
  EXPECT_FALSE(Launch_Folders(system_, state_, true));
  state_.ProgramFilesFolder = At("Other\\");
  EXPECT_FALSE(Launch_Folders(system_, state_, false));
  const std::string boxes = system_.BoxLines();
  EXPECT_EQ(boxes.substr(0, boxes.find('|')), "Launch_Folders 4");
  EXPECT_NE(boxes.find("\nLaunch_Folders 2||critical\nLaunch_Folders 1||critical\n"),
            std::string::npos)
      << boxes;
}

}  // namespace
}  // namespace movrix::testing
