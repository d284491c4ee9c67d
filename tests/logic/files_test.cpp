// The file primitives and the tree copy, on the real file system.
#include "files/copy_add.h"
#include "files/copy_folder.h"
#include "files/file_exists.h"
#include "files/native_files.h"
#include "files/set_rights.h"
#include "tests/logic/fixture.h"

namespace movrix::testing {
namespace {

using FilesTest = LogicTest;

TEST_F(FilesTest, AFileExistsOnlyWhenItHoldsSomethingAndOnlyAMissingOneHasASystemReason) {
  Write(At("full.dll"), "x");
  Write(At("empty.dll"), "");
  EXPECT_TRUE(FileExists(system_, At("full.dll")));
  EXPECT_FALSE(FileExists(system_, At("empty.dll")));
  EXPECT_FALSE(FileExists(system_, At("missing.dll")));
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

TEST_F(FilesTest, AFolderExistsWithOrWithoutItsBackslashAndAFileIsNoFolder) {
  Write(At("full.dll"), "x");
  EXPECT_TRUE(FolderExists(system_, root_));
  EXPECT_TRUE(FolderExists(system_, root_.substr(0, root_.size() - 1)));
  EXPECT_FALSE(FolderExists(system_, At("full.dll")));
  EXPECT_FALSE(FolderExists(system_, At("missing\\")));
}

TEST_F(FilesTest, RightsStepStartsBothSystemCommandsDirectlyWithThePathWhole) {
  // A legal name that an interpreter would take for commands.
  const std::string path = At("Dossier à espaces\\%CMDCMDLINE%&calc&rem é.dll");
  Outcome outcome;
  SetRights(system_, system_, outcome, path);
  SetRights(system_, system_, outcome, path, true);
  ASSERT_EQ(system_.commands.size(), 4u);
  // Never the 32-bit copy, which would see SysWOW64 under the name of system32.
  const std::string folder =
      system_.GetEnv("windir") + (IsWow64() ? "\\Sysnative\\" : "\\system32\\");
  for (int i : {0, 2}) {
    EXPECT_EQ(system_.commands[i].program, folder + "takeown.exe");
    EXPECT_EQ(system_.commands[i].arguments, "/a /f \"" + path + "\"");
    EXPECT_EQ(system_.commands[i + 1].program, folder + "icacls.exe");
    EXPECT_EQ(system_.commands[i + 1].arguments, "\"" + path + "\" /grant *S-1-5-32-544:F");
  }
  EXPECT_EQ(system_.commands[1].wait, 0u);
  EXPECT_EQ(system_.commands[3].wait, 30000u);
  EXPECT_EQ(outcome.warnings.size() + outcome.failures.size(), 0u);
}

TEST_F(FilesTest, AnAwaitedRightsCommandStillRunningAfterItsWaitIsAWarning) {
  const std::string path = At("still running.dll");
  Outcome outcome;
  system_.Fail(Call::kProgramEnd, "icacls");
  SetRights(system_, system_, outcome, path, true);
  EXPECT_EQ(
      outcome.warnings,
      std::vector<std::string>{"icacls.exe \"" + path +
                               "\" /grant *S-1-5-32-544:F tournait encore après 30 s d'attente"});
  EXPECT_EQ(outcome.failures.size(), 0u);
}

TEST_F(FilesTest, ARightsCommandThatCannotStartFailsTheFileWithTheSystemsReason) {
  const std::string path = At("refused.dll");
  Write(At("new.dll"), "new");
  Write(path, "original");
  Outcome outcome;
  system_.Fail(Call::kStartProgram, "icacls");
  // The step only reports; the one that asked shows the box and fails the file.
  try {
    SetRights(system_, system_, outcome, path);
    ADD_FAILURE() << "no failure";
  } catch (const SystemError& failure) {
    EXPECT_EQ(failure.code(), 5u) << failure.what();
  }
  EXPECT_EQ(system_.BoxLines() + SortedFailures(outcome), "");
  EXPECT_FALSE(CopyAdd(system_, outcome, boxes_, At("new.dll"), path, true));
  EXPECT_EQ(system_.BoxLines(), "SetRights|" + DescribeError(5) + "|none\n");
  EXPECT_EQ(SortedFailures(outcome),
            path + " n'a pas été écrit, faute de droits: " + DescribeError(5) + "\n");
  EXPECT_EQ(Read(path), "original");
}

TEST_F(FilesTest, AnAwaitedRightsCommandThatFailsLeavesItsFileUnwrittenAndNamesItsCode) {
  const std::string path = At("kept by its owner.dll");
  Write(At("new.dll"), "new");
  Write(path, "original");
  Outcome outcome;
  system_.Fail(Call::kProgramExitCode, "takeown", 1);
  EXPECT_FALSE(CopyAdd(system_, outcome, boxes_, At("new.dll"), path, true));
  const std::string reason = "takeown.exe /a /f \"" + path + "\" a échoué (code de sortie 1)";
  EXPECT_EQ(system_.BoxLines(), "SetRights|" + reason + "|none\n");
  EXPECT_EQ(SortedFailures(outcome),
            path + " n'a pas été écrit, faute de droits: " + reason + "\n");
  EXPECT_EQ(system_.commands.size(), 1u) << "icacls ran after takeown failed";
  EXPECT_EQ(Read(path), "original");
}

class CopyFolderTest : public LogicTest {
 protected:
  // Copies the tree under Source\ to Dest\ and returns the result.
  bool CopySource() {
    copy_.SourceRootLen = int16_t(At("Source\\").size());
    copy_.DestRoot = At("Dest\\");
    return CopyFolder(system_, copy_, outcome_, boxes_, At("Source\\"));
  }
  std::string LogOf(const std::string& relative) {
    return Lines({"de   " + At("Source\\" + relative), "vers " + At("Dest\\" + relative)});
  }
  CopyContext copy_;
  Outcome outcome_;
};

TEST_F(CopyFolderTest, NestedFoldersLandUnderTheDestinationWithTwoLogLinesPerFile) {
  // Names from several scripts, one character beyond the Basic Multilingual Plane among them.
  const std::string deep = "a\\Папка 邮件 ✉\\Łódź 日本 😀.dll";
  Write(At("Source\\" + deep), "deep");
  Write(At("Source\\top.exe"), "top");
  EXPECT_TRUE(CopySource());
  EXPECT_EQ(Read(At("Dest\\" + deep)), "deep");
  EXPECT_EQ(Read(At("Dest\\top.exe")), "top");
  EXPECT_EQ(copy_.CopyLog.size(), (LogOf(deep) + LogOf("top.exe")).size());
  EXPECT_NE(copy_.CopyLog.find(LogOf(deep)), std::string::npos) << copy_.CopyLog;
  EXPECT_EQ(SortedFailures(outcome_), "");
  EXPECT_EQ(system_.commands.size(), 0u) << "new destinations have no rights to take over";
  EXPECT_EQ(system_.BoxLines(), "");
}

TEST_F(CopyFolderTest, EachExistingDestinationGoesThroughTheRightsStepFirst) {
  Write(At("Source\\a\\b\\deep é.dll"), "deep");
  Write(At("Source\\top.exe"), "top");
  Write(At("Dest\\top.exe"), "old");
  EXPECT_TRUE(CopySource());
  ASSERT_EQ(system_.commands.size(), 2u) << "takeown and icacls for top.exe only";
  EXPECT_EQ(system_.commands[0].arguments, "/a /f \"" + At("Dest\\top.exe") + "\"");
  EXPECT_EQ(Read(At("Dest\\top.exe")), "top");
}

TEST_F(CopyFolderTest, DotNamesAndDotlessNamesAreSkippedAndTheWalkGoesOn) {
  Write(At("Source\\.hidden.dll"), "h");
  Write(At("Source\\.git\\config.txt"), "g");
  Write(At("Source\\LICENSE"), "l");
  Write(At("Source\\a\\README"), "r");
  Write(At("Source\\a\\WinMail.exe"), "w");
  Write(At("Source\\z.exe"), "z");
  EXPECT_TRUE(CopySource());
  EXPECT_EQ(copy_.CopyLog.size(), (LogOf("a\\WinMail.exe") + LogOf("z.exe")).size())
      << copy_.CopyLog;
  EXPECT_EQ(Read(At("Dest\\a\\WinMail.exe")), "w");
  EXPECT_EQ(Read(At("Dest\\z.exe")), "z");
  EXPECT_EQ(Read(At("Dest\\.hidden.dll")), "<missing>");
  EXPECT_EQ(SortedFailures(outcome_), "");
}

TEST_F(CopyFolderTest, UnreadableFoldersAndLinksAreFailuresAndTheWalkGoesOn) {
  Write(At("Source\\sub\\x.dll"), "x");
  Write(At("Source\\cut\\a.dll"), "a");
  Write(At("Source\\cut\\b.dll"), "b");
  Write(At("Source\\linked\\secret.dll"), "s");
  Write(At("Source\\ok.dll"), "ok");
  system_.Fail(Call::kFindFirst, "sub");
  system_.Fail(Call::kFindNext, "cut");
  system_.links = {"linked"};
  EXPECT_TRUE(CopySource());
  EXPECT_EQ(SortedFailures(outcome_),
            At("Source\\linked") +
                " n'a été ni suivi ni copié: c'est un lien (jonction ou lien symbolique) vers un "
                "autre emplacement\n"
                "le dossier " +
                At("Source\\cut\\") + " n'a pas pu être lu en entier: " + DescribeError(5) +
                "\nle dossier " + At("Source\\sub\\") +
                " n'a pas pu être lu en entier: " + DescribeError(5) + "\n");
  EXPECT_EQ(Read(At("Dest\\ok.dll")), "ok");
  EXPECT_EQ(Read(At("Dest\\linked\\secret.dll")), "<missing>");
}

TEST_F(CopyFolderTest, AMissingRootCopiesNothing) {
  EXPECT_TRUE(CopySource());
  EXPECT_EQ(copy_.CopyLog, "");
  EXPECT_EQ(SortedFailures(outcome_), "");
}

TEST_F(CopyFolderTest, AFailedCopyIsLoggedAndNamedWithItsReasonWithoutABox) {
  Write(At("Source\\locked.dll"), "x");
  system_.Fail(Call::kShellCopyFile, "locked.dll");
  EXPECT_FALSE(CopySource());
  EXPECT_EQ(copy_.CopyLog, LogOf("locked.dll"));
  EXPECT_EQ(SortedFailures(outcome_),
            At("Dest\\locked.dll") + " n'a pas été copié: " + DescribeError(5) + " (code 5)\n");
  EXPECT_EQ(system_.BoxLines(), "");
}

TEST_F(CopyFolderTest, ARootLongerThanItsSixteenBitLengthFailsTheFileAndCopiesNothing) {
  Write(At("Source\\a.dll"), "x");
  copy_.SourceRootLen = -1;  // a root of 65535 characters
  copy_.DestRoot = At("Dest\\");
  EXPECT_FALSE(CopyFolder(system_, copy_, outcome_, boxes_, At("Source\\")));
  EXPECT_EQ(SortedFailures(outcome_),
            At("Source\\a.dll") + " n'a pas été copié: " + DescribeError(87) + "\n");
  EXPECT_EQ(system_.BoxLines(),
            "Movrix18|Copie de " + At("Source\\a.dll") + "\r\n vers |critical\n");
}

TEST_F(CopyFolderTest, ACopyTheShellAbandonsWhileReportingSuccessIsAFailure) {
  Write(At("Source\\given up.dll"), "x");
  system_.Fail(Call::kShellCopyAborted, "given up.dll");
  EXPECT_FALSE(CopySource());
  EXPECT_EQ(SortedFailures(outcome_),
            At("Dest\\given up.dll") + " n'a pas été copié: " + DescribeError(1223) + "\n");
}

TEST_F(CopyFolderTest, AnExistingDestinationWhoseRightsCannotBeTakenShowsTheCopyError) {
  Write(At("Source\\given up.dll"), "x");
  system_.Fail(Call::kStartProgram, "given up.dll");
  Write(At("Dest\\given up.dll"), "there");
  EXPECT_FALSE(CopySource());
  EXPECT_EQ(system_.BoxLines(),
            "SetRights|" + DescribeError(5) + "|none\nCopyThisFile|Erreur de copie|critical\n");
  EXPECT_EQ(Read(At("Dest\\given up.dll")), "there");
}

TEST_F(FilesTest, NativeFileCallsReachTheNativeSystemFolderAndOnlyForTheCall) {
  SKIP_UNLESS_WOW64();
  const std::string probe = system_.GetEnv("windir") + "\\system32\\movrix-probe.txt";
  Write(At("probe.txt"), "native");
  NativeFiles native(system_);
  native.CopyFileOver(At("probe.txt"), probe);
  EXPECT_EQ(native.ReadWholeFile(probe), "native");
  EXPECT_EQ(Read(probe), "<missing>") << "a 32-bit process sees SysWOW64 as system32";
  native.RemoveFile(probe);
  EXPECT_FALSE(native.PathAttributes(probe) >= 0);
}

}  // namespace
}  // namespace movrix::testing
