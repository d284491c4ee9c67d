// The tree copy on the real file system.
#include "files/copy_folder.h"
#include "files/file_exists.h"
#include "tests/logic/fixture.h"

namespace movrix::testing {
namespace {

class CopyFolderTest : public LogicTest {
 protected:
  // Copies the tree under Source\ to Dest\ and returns the result.
  bool CopySource() {
    copy_.source_root_length = int16_t(At("Source\\").size());
    copy_.destination_root = At("Dest\\");
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
  EXPECT_EQ(copy_.copy_log.size(), (LogOf(deep) + LogOf("top.exe")).size());
  EXPECT_NE(copy_.copy_log.find(LogOf(deep)), std::string::npos) << copy_.copy_log;
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
  EXPECT_EQ(copy_.copy_log.size(), (LogOf("a\\WinMail.exe") + LogOf("z.exe")).size())
      << copy_.copy_log;
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
  EXPECT_EQ(copy_.copy_log, "");
  EXPECT_EQ(SortedFailures(outcome_), "");
}

TEST_F(CopyFolderTest, AFailedCopyIsLoggedAndNamedWithItsReasonWithoutABox) {
  Write(At("Source\\locked.dll"), "x");
  system_.Fail(Call::kShellCopyFile, "locked.dll");
  EXPECT_FALSE(CopySource());
  EXPECT_EQ(copy_.copy_log, LogOf("locked.dll"));
  EXPECT_EQ(SortedFailures(outcome_),
            At("Dest\\locked.dll") + " n'a pas été copié: " + DescribeError(5) + " (code 5)\n");
  EXPECT_EQ(system_.BoxLines(), "");
}

TEST_F(CopyFolderTest, ARootLongerThanItsSixteenBitLengthFailsTheFileAndCopiesNothing) {
  Write(At("Source\\a.dll"), "x");
  copy_.source_root_length = -1;  // a root of 65535 characters
  copy_.destination_root = At("Dest\\");
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

}  // namespace
}  // namespace movrix::testing
