// The copy phase on a system laid out in a scratch folder.
#include "files/copy_add.h"
#include "files/copy_program_files.h"
#include "files/file_exists.h"
#include "tests/logic/phase_fixture.h"

namespace movrix::testing {
namespace {

using CopyProgramFilesTest = PhaseTest;

TEST_F(CopyProgramFilesTest, Windows10On64BitReplacesTwelveSystemFilesKeepingABackupOfEach) {
  const ProgramFileCopy copy = CopyProgramFiles(system_, state_, boxes_, true);
  ASSERT_EQ(copy.stop, std::nullopt);
  EXPECT_EQ(system_.BoxLines(), "");
  EXPECT_EQ(Read(At("Program Files (x86)\\Windows Mail\\WinMail.exe")), "WM_32");
  EXPECT_EQ(Read(At("Program Files\\Windows Mail\\WinMail.exe")), "WM_64");
  for (const char* folder : {"system32", "syswow64"}) {
    for (const std::string file : kSystemFiles) {
      EXPECT_EQ(System(folder, file), "new " + file) << folder << "\\" << file;
      EXPECT_EQ(System(folder, file + ".orlo"), "original " + file) << folder << "\\" << file;
    }
  }
  const std::string& log = copy.log;
  const std::string head =
      Lines({"Copier les fichiers dans Program Files (x86)", std::string(67, '-'),
             "de   " + At("Setup\\WM_32\\Windows Mail\\WinMail.exe"),
             "vers " + At("Program Files (x86)\\Windows Mail\\WinMail.exe"), "",
             "Copier les fichiers dans Program Files", std::string(58, '-')});
  EXPECT_EQ(log.substr(0, head.size()), head);
  const std::string tail =
      Lines({"", std::string(12, '='), "Copier les DLL et DLL.MUI", std::string(24, '-'),
             "copie de msoeacct.dll sous System32 et SysWOW64",
             "copie de msidcrl30.dll sous System32 et SysWOW64",
             "copie de acctres.dll sous System32 et SysWOW64",
             "copie de inetres.dll sous System32 et SysWOW64",
             "copie de acctres.dll.mui sous System32\\fr-FR\\ et SysWOW64\\fr-FR\\",
             "copie de inetres.dll.mui sous System32\\fr-FR\\ et SysWOW64\\fr-FR\\"});
  EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
  // Every row goes through the rights step, awaited; the two new tree files need none.
  ASSERT_EQ(system_.commands.size(), 2u * 12);
  for (const TestSystem::Command& command : system_.commands)
    EXPECT_EQ(command.wait, 30000u) << command.arguments;
}

TEST_F(CopyProgramFilesTest, ASecondRunReplacesTheSystemFilesAndKeepsTheFirstBackup) {
  ASSERT_EQ(CopyProgramFiles(system_, state_, boxes_, true).stop, std::nullopt);
  Write(At("Setup\\system32\\msoeacct.dll"), "newer");
  ASSERT_EQ(CopyProgramFiles(system_, state_, boxes_, true).stop, std::nullopt);
  EXPECT_EQ(System("system32", "msoeacct.dll"), "newer");
  EXPECT_EQ(System("system32", "msoeacct.dll.orlo"), "original msoeacct.dll");
}

TEST_F(CopyProgramFilesTest, Windows7CopiesTheTreesOnly) {
  state_.identity.family = WindowsFamily::kWindows7;
  const ProgramFileCopy copy = CopyProgramFiles(system_, state_, boxes_, true);
  EXPECT_EQ(Read(At("Program Files\\Windows Mail\\WinMail.exe")), "WM_64");
  EXPECT_EQ(System("system32", "msoeacct.dll"), "original msoeacct.dll");
  EXPECT_EQ(System("system32", "msoeacct.dll.orlo"), "<missing>");
  EXPECT_EQ(copy.log.find("DLL"), std::string::npos);
}

TEST_F(CopyProgramFilesTest, A32BitWindows8FillsSystem32FromTheSyswow64Sources) {
  state_.identity.family = WindowsFamily::kWindows8;
  const ProgramFileCopy copy = CopyProgramFiles(system_, state_, boxes_, false);
  EXPECT_EQ(System("system32", "msoeacct.dll"), "new msoeacct.dll") << "from syswow64";
  EXPECT_EQ(System("syswow64", "msoeacct.dll"), "original msoeacct.dll");
  EXPECT_EQ(copy.log.rfind("Copier les fichiers dans Program Files\r\n", 0), 0u) << copy.log;
  EXPECT_NE(copy.log.find(Lines(
                {"", std::string(27, '='), "Copie des DLL et DLL.MUI", std::string(27, '-')})),
            std::string::npos);
  EXPECT_EQ(copy.log.substr(copy.log.size() - 43),
            "copie de inetres.dll sous System32\\fr-FR\\\r\n");
}

TEST_F(CopyProgramFilesTest, AMissingWM64CopiesNothingAndMissingFrFRFoldersAreMade) {
  Remove(At("Setup\\WM_64"));
  Remove(At("Windows\\syswow64\\fr-FR"));
  ASSERT_EQ(CopyProgramFiles(system_, state_, boxes_, true).stop, std::nullopt);
  EXPECT_EQ(System("syswow64", "fr-FR\\inetres.dll.mui"), "new fr-FR\\inetres.dll.mui");
  EXPECT_EQ(Read(At("Program Files\\Windows Mail\\WinMail.exe")), "<missing>");
  EXPECT_EQ(system_.BoxLines(), "");
}

TEST_F(CopyProgramFilesTest, AMissingSystemFileSourceFailsItsRowOnlyWithTheOriginalInPlace) {
  Remove(At("Setup\\syswow64\\fr-FR\\inetres.dll.mui"));
  EXPECT_EQ(CopyProgramFiles(system_, state_, boxes_, true).stop, std::nullopt);
  EXPECT_EQ(System("syswow64", "fr-FR\\inetres.dll.mui"), "original fr-FR\\inetres.dll.mui");
  EXPECT_EQ(System("syswow64", "fr-FR\\inetres.dll.mui.orlo"), "<missing>");
  EXPECT_EQ(System("syswow64", "fr-FR\\acctres.dll.mui"), "new fr-FR\\acctres.dll.mui");
  const std::string destination = state_.syswow64_folder + "fr-FR\\inetres.dll.mui";
  EXPECT_EQ(system_.BoxLines(), "CopyAdd|Copie de " +
                                    At("Setup\\syswow64\\fr-FR\\inetres.dll.mui") + " vers " +
                                    destination + "|critical\n");
  EXPECT_EQ(SortedFailures(state_.outcome),
            destination + " n'a pas été remplacé: " + DescribeError(2) + "\n");
}

TEST_F(CopyProgramFilesTest, AFileFailingAtTheTopOfATreeEndsThePhaseWithAnEmptyBox) {
  Write(At("Setup\\WM_32\\top.dll"), "t");
  system_.Fail(Call::kShellCopyFile, "top.dll");
  const ProgramFileCopy copy = CopyProgramFiles(system_, state_, boxes_, true);
  ASSERT_NE(copy.stop, std::nullopt);
  EXPECT_EQ(copy.stop->step + "|" + copy.stop->description, "1|");
}

TEST_F(CopyProgramFilesTest, ASystemFolderThatCannotBeMadeFailsItsOwnRowsOnly) {
  Remove(At("Windows\\syswow64\\fr-FR"));
  Write(At("Windows\\syswow64\\fr-FR"), "a file in the way");
  EXPECT_EQ(CopyProgramFiles(system_, state_, boxes_, true).stop, std::nullopt);
  const std::string not_made = " n'a pas été remplacé: le dossier " +
                               At("Windows\\syswow64\\fr-FR") +
                               " n'a pas pu être créé : " + DescribeError(183) + "\n";
  EXPECT_EQ(SortedFailures(state_.outcome),
            At("Windows\\syswow64\\fr-FR\\acctres.dll.mui") + not_made +
                At("Windows\\syswow64\\fr-FR\\inetres.dll.mui") + not_made);
}

TEST_F(CopyProgramFilesTest, CopyAddTakesNoBackupOfAnEmptyFileAndKeepsTheOriginalWhenRightsFail) {
  Outcome outcome;
  Write(At("Windows\\system32\\acctres.dll"), "");
  EXPECT_TRUE(CopyAdd(system_, outcome, boxes_, At("Setup\\system32\\acctres.dll"),
                      At("Windows\\system32\\acctres.dll")));
  EXPECT_EQ(System("system32", "acctres.dll"), "new acctres.dll");
  EXPECT_EQ(System("system32", "acctres.dll.orlo"), "<missing>");

  system_.Fail(Call::kStartProgram, "system32\\inetres.dll\"");
  EXPECT_FALSE(CopyAdd(system_, outcome, boxes_, At("Setup\\system32\\inetres.dll"),
                       At("Windows\\system32\\inetres.dll")));
  EXPECT_EQ(System("system32", "inetres.dll"), "original inetres.dll");
  EXPECT_EQ(system_.boxes.size(), 1u) << "only the rights step's own box";
  EXPECT_EQ(SortedFailures(outcome),
            At("Windows\\system32\\inetres.dll") +
                " n'a pas été écrit, faute de droits: " + DescribeError(5) + "\n");
}

// A copy that fails at once, or part-way with a piece of the new file left, puts back the backup
// it took. Each box comes with the redirection on, though the rows run with it off.
TEST_F(CopyProgramFilesTest, AFailedReplacementPutsBackTheBackupItTook) {
  Remove(At("Setup\\system32\\msoeacct.dll"));
  system_.Fail(Call::kCopyFileOver, "system32\\msidcrl30.dll");
  ASSERT_EQ(CopyProgramFiles(system_, state_, boxes_, true).stop, std::nullopt);
  for (const std::string file : {"msoeacct.dll", "msidcrl30.dll"}) {
    EXPECT_EQ(System("system32", file), "original " + file);
    EXPECT_EQ(System("system32", file + ".orlo"), "<missing>");
  }
  const std::string system32 = At("Windows\\system32\\");
  EXPECT_EQ(SortedFailures(state_.outcome),
            system32 + "msidcrl30.dll n'a pas été remplacé: " + DescribeError(5) + "\n" + system32 +
                "msoeacct.dll n'a pas été remplacé: " + DescribeError(2) + "\n");
  ASSERT_EQ(system_.boxes.size(), 2u) << system_.BoxLines();
  for (const TestSystem::Box& box : system_.boxes) EXPECT_FALSE(box.redirection_off) << box.title;
}

}  // namespace
}  // namespace movrix::testing
