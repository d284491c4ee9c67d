// The program-file copy phase on the stand-in: the trees, the system files with their one-time
// backups, the log, and the failures that end the phase.
#include "files/launch_copy.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "tests/unit/host_fixture.h"

namespace movrix {
namespace {

const std::string kApp = "D:\\Setup\\";
const std::string kNative = "C:\\Windows\\system32\\";  // as seen with the redirection off
const std::string kWow = "C:\\Windows\\syswow64\\";
const char* const kSystemFiles[] = {
    "msoeacct.dll", "msidcrl30.dll",          "acctres.dll",
    "inetres.dll",  "fr-FR\\acctres.dll.mui", "fr-FR\\inetres.dll.mui"};

std::string Header(const std::string& title, size_t dashes) {
  return title + kCrLf + std::string(dashes, '-') + kCrLf;
}

std::string FileLines(const std::string& source, const std::string& destination) {
  return "de   " + source + kCrLf + "vers " + destination + kCrLf;
}

const std::string kBlock64 =
    kCrLf + std::string(12, '=') + kCrLf + Header("Copier les DLL et DLL.MUI", 24) +
    "copie de msoeacct.dll sous System32 et SysWOW64\r\n"
    "copie de msidcrl30.dll sous System32 et SysWOW64\r\n"
    "copie de acctres.dll sous System32 et SysWOW64\r\n"
    "copie de inetres.dll sous System32 et SysWOW64\r\n"
    "copie de acctres.dll.mui sous System32\\fr-FR\\ et SysWOW64\\fr-FR\\\r\n"
    "copie de inetres.dll.mui sous System32\\fr-FR\\ et SysWOW64\\fr-FR\\\r\n";

const std::string kBlock32 = kCrLf + std::string(27, '=') + kCrLf +
                             Header("Copie des DLL et DLL.MUI", 27) +
                             "copie de msoeacct.dll sous System32\r\n"
                             "copie de msidcrl30.dll sous System32\r\n"
                             "copie de acctres.dll sous System32\r\n"
                             "copie de inetres.dll sous System32\r\n"
                             "copie de acctres.dll sous System32\\fr-FR\r\n"
                             "copie de inetres.dll sous System32\\fr-FR\\\r\n";

class LaunchCopyTest : public testing::HostTest {
 protected:
  LaunchCopyTest() {
    state_.AppFolder = kApp;
    state_.ProgramFilesFolder = "C:\\Program Files\\";
    state_.ProgramFilesX86Folder = "C:\\Program Files (x86)\\";
    state_.System32Folder = kNative;
    state_.SysWow64Folder = kWow;
    state_.IsWindows10 = true;
    host_.WriteFile(kApp + "WM_32\\Windows Mail\\wab.exe", "wab 32");
    host_.WriteFile(kApp + "WM_64\\Windows Mail\\wab.exe", "wab 64");
    Sources("v1");
    for (const char* file : kSystemFiles) {
      host_.WriteFile(kNative + file, std::string("original 64 ") + file);
      host_.WriteFile(kWow + file, std::string("original 32 ") + file);
    }
  }

  // The system files beside the program, marked with `version`.
  void Sources(const std::string& version) {
    for (const char* file : kSystemFiles) {
      host_.WriteFile(kApp + "system32\\" + file, version + " 64 " + file);
      host_.WriteFile(kApp + "syswow64\\" + file, version + " 32 " + file);
    }
  }

  void Use32BitSystem() {
    host_.Set64BitSystem(false);
    state_.ProgramFilesFolder = "C:\\Program Files\\";
    for (const char* file : kSystemFiles)
      host_.WriteFile(kNative + file, "original 32 " + std::string(file));
  }

  std::string Tree32Into(const std::string& program_files) {
    return FileLines(kApp + "WM_32\\Windows Mail\\wab.exe",
                     program_files + "Windows Mail\\wab.exe");
  }
  std::string Tree64() {
    return FileLines(kApp + "WM_64\\Windows Mail\\wab.exe",
                     "C:\\Program Files\\Windows Mail\\wab.exe");
  }
  std::string TreeLog64() {
    return Header("Copier les fichiers dans Program Files (x86)", 67) +
           Tree32Into("C:\\Program Files (x86)\\") + kCrLf +
           Header("Copier les fichiers dans Program Files", 58) + Tree64();
  }

  RunState state_;
};

TEST_F(LaunchCopyTest, FirstRunOn64BitWindows10BacksUpAndReplacesTwelveSystemFiles) {
  EXPECT_TRUE(Launch_Copy(host_, state_, true)) << BoxTitles();
  EXPECT_TRUE(host_.boxes().empty()) << BoxTitles();
  EXPECT_EQ(state_.ReportText, TreeLog64() + kBlock64);
  EXPECT_EQ(host_.ReadFile("C:\\Program Files (x86)\\Windows Mail\\wab.exe"), "wab 32");
  EXPECT_EQ(host_.ReadFile("C:\\Program Files\\Windows Mail\\wab.exe"), "wab 64");
  for (const char* file : kSystemFiles) {
    // Rows 1 to 6 reach the native folder only because the redirection was off.
    EXPECT_EQ(host_.ReadFile(kNative + file), std::string("v1 64 ") + file);
    EXPECT_EQ(host_.ReadFile(kWow + file), std::string("v1 32 ") + file);
    EXPECT_EQ(host_.ReadFile(kNative + file + ".orlo"), std::string("original 64 ") + file);
    EXPECT_EQ(host_.ReadFile(kWow + file + ".orlo"), std::string("original 32 ") + file)
        << "row 12 keeps its backup too";
  }
  EXPECT_FALSE(host_.Wow64RedirectionDisabled());
  // Two commands per tree file and per row but the last.
  EXPECT_EQ(host_.commands().size(), 2u * 2 + 2 * 11);
}

TEST_F(LaunchCopyTest, SecondRunKeepsTheFirstBackupsAndReplacesTheFilesAgain) {
  ASSERT_TRUE(Launch_Copy(host_, state_, true)) << BoxTitles();
  Sources("v2");
  ASSERT_TRUE(Launch_Copy(host_, state_, true)) << BoxTitles();
  EXPECT_EQ(state_.ReportText, TreeLog64() + kBlock64) << "the log starts afresh";
  for (const char* file : kSystemFiles) {
    EXPECT_EQ(host_.ReadFile(kNative + file), std::string("v2 64 ") + file);
    EXPECT_EQ(host_.ReadFile(kWow + file), std::string("v2 32 ") + file);
    EXPECT_EQ(host_.ReadFile(kNative + file + ".orlo"), std::string("original 64 ") + file);
    EXPECT_EQ(host_.ReadFile(kWow + file + ".orlo"), std::string("original 32 ") + file);
  }
}

TEST_F(LaunchCopyTest, Windows7CopiesTheTreesOnlyAndNeverTouchesTheRedirection) {
  state_.IsWindows10 = false;
  host_.faults().Inject("DisableWow64Redirection", "", "touched");
  EXPECT_TRUE(Launch_Copy(host_, state_, true)) << BoxTitles();
  EXPECT_EQ(state_.ReportText, TreeLog64());
  EXPECT_EQ(host_.ReadFile(kNative + "msoeacct.dll"), "original 64 msoeacct.dll");
  EXPECT_EQ(host_.PathAttributes(kNative + "msoeacct.dll.orlo"), -1);
}

TEST_F(LaunchCopyTest, ThirtyTwoBitWindows7CopiesTheOneTree) {
  Use32BitSystem();
  state_.IsWindows10 = false;
  EXPECT_TRUE(Launch_Copy(host_, state_, false)) << BoxTitles();
  EXPECT_EQ(state_.ReportText, Header("Copier les fichiers dans Program Files", 58) +
                                   Tree32Into("C:\\Program Files\\"));
  EXPECT_EQ(host_.ReadFile("C:\\Program Files\\Windows Mail\\wab.exe"), "wab 32");
  EXPECT_EQ(host_.ReadFile(kNative + "msoeacct.dll"), "original 32 msoeacct.dll");
}

TEST_F(LaunchCopyTest, ThirtyTwoBitWindows8PutsTheSyswow64FilesIntoSystem32) {
  Use32BitSystem();
  state_.IsWindows10 = false;
  state_.IsWindows8 = true;
  host_.faults().Inject("DisableWow64Redirection", "", "touched");
  EXPECT_TRUE(Launch_Copy(host_, state_, false)) << BoxTitles();
  EXPECT_EQ(state_.ReportText, Header("Copier les fichiers dans Program Files", 58) +
                                   Tree32Into("C:\\Program Files\\") + kBlock32);
  for (const char* file : kSystemFiles) {
    EXPECT_EQ(host_.ReadFile(kNative + file), std::string("v1 32 ") + file);
    EXPECT_EQ(host_.ReadFile(kNative + file + ".orlo"), std::string("original 32 ") + file);
  }
  EXPECT_EQ(host_.commands().size(), 2u + 2 * 6);
}

TEST_F(LaunchCopyTest, AFileFailingAtTheTopOfWm32EndsThePhaseWithAnEmptyBox) {
  host_.WriteFile(kApp + "WM_32\\LISEZMOI", "no dot");
  EXPECT_FALSE(Launch_Copy(host_, state_, true));
  ASSERT_EQ(host_.boxes().size(), 1u) << BoxTitles();
  EXPECT_EQ(host_.boxes()[0].title, "Launch_Copy 1");
  EXPECT_EQ(host_.boxes()[0].text, "");
  EXPECT_EQ(host_.boxes()[0].icon, Icon::kCritical);
  EXPECT_EQ(state_.ReportText, "");
}

TEST_F(LaunchCopyTest, FailuresInsideTheTreesLetThePhaseGoOn) {
  host_.WriteFile(kApp + "WM_32\\Windows Mail\\LISEZMOI", "no dot");  // a subfolder of WM_32
  host_.WriteFile(kApp + "WM_64\\LISEZMOI", "no dot");                // the top of WM_64
  EXPECT_TRUE(Launch_Copy(host_, state_, true)) << BoxTitles();
  EXPECT_EQ(state_.ReportText, Header("Copier les fichiers dans Program Files (x86)", 67) + kCrLf +
                                   Header("Copier les fichiers dans Program Files", 58) + kBlock64);
}

TEST_F(LaunchCopyTest, AMissingWm64CopiesNothingAndThePhaseGoesOn) {
  std::filesystem::remove_all(host_.HostPath(kApp + "WM_64"));
  EXPECT_TRUE(Launch_Copy(host_, state_, true)) << BoxTitles();
  EXPECT_EQ(state_.ReportText, Header("Copier les fichiers dans Program Files (x86)", 67) +
                                   Tree32Into("C:\\Program Files (x86)\\") + kCrLf +
                                   Header("Copier les fichiers dans Program Files", 58) + kBlock64);
}

TEST_F(LaunchCopyTest, AMissingFrFrFolderOfSyswow64EndsThePhaseAtRow12WithTheRedirectionBack) {
  std::filesystem::remove_all(host_.HostPath(kWow + "fr-FR"));
  EXPECT_FALSE(Launch_Copy(host_, state_, true));
  ASSERT_EQ(host_.boxes().size(), 2u) << BoxTitles();
  EXPECT_EQ(host_.boxes()[0].title, "CopyAdd");
  EXPECT_EQ(host_.boxes()[0].text, "Copie de " + kApp + "syswow64\\fr-FR\\acctres.dll.mui vers " +
                                       kWow + "fr-FR\\acctres.dll.mui");
  EXPECT_EQ(host_.boxes()[0].icon, Icon::kCritical);
  EXPECT_EQ(host_.boxes()[1].title, "Launch_Copy 5");
  EXPECT_EQ(host_.boxes()[1].text, "Le chemin d'accès spécifié est introuvable.");
  EXPECT_FALSE(host_.Wow64RedirectionDisabled());
  EXPECT_EQ(state_.ReportText, "");
  EXPECT_EQ(state_.Copy.CopyLog, TreeLog64()) << "the log keeps what was logged";
  EXPECT_EQ(host_.ReadFile(kWow + "inetres.dll"), "v1 32 inetres.dll") << "row 10 went through";
}

TEST_F(LaunchCopyTest, AFailedRow12BackupEndsThePhaseAndKeepsTheOriginal) {
  host_.faults().Inject("Rename", kWow + "fr-FR\\inetres.dll.mui", "Accès refusé.");
  EXPECT_FALSE(Launch_Copy(host_, state_, true));
  ASSERT_EQ(host_.boxes().size(), 1u) << BoxTitles();
  EXPECT_EQ(host_.boxes()[0].title, "Launch_Copy 5");
  EXPECT_EQ(host_.boxes()[0].text, "Accès refusé.");
  EXPECT_EQ(host_.ReadFile(kWow + "fr-FR\\inetres.dll.mui"), "original 32 fr-FR\\inetres.dll.mui");
  EXPECT_FALSE(host_.Wow64RedirectionDisabled());
}

TEST_F(LaunchCopyTest, AFailedRestoreOfTheRedirectionIsTitledByItsStep) {
  host_.faults().Inject("RevertWow64Redirection", "", "Fonction incorrecte.");
  EXPECT_FALSE(Launch_Copy(host_, state_, true));
  ASSERT_EQ(host_.boxes().size(), 1u) << BoxTitles();
  EXPECT_EQ(host_.boxes()[0].title, "Launch_Copy 6");
}

class CopyAddTest : public testing::HostTest {
 protected:
  const std::string source = "D:\\Setup\\syswow64\\msoeacct.dll";
  const std::string destination = "C:\\Windows\\SysWOW64\\msoeacct.dll";
  void SetUp() override { host_.WriteFile(source, "new"); }
};

TEST_F(CopyAddTest, AnEmptyOrMissingFileIsReplacedWithoutABackup) {
  for (const bool empty : {false, true}) {
    std::filesystem::remove_all(host_.HostPath("C:\\Windows"));
    if (empty)
      host_.WriteFile(destination, "");
    else
      host_.MakeFolder("C:\\Windows\\SysWOW64");
    EXPECT_TRUE(CopyAdd(host_, source, destination)) << BoxTitles();
    EXPECT_EQ(host_.ReadFile(destination), "new");
    EXPECT_EQ(host_.PathAttributes(destination + ".orlo"), -1) << "empty " << empty;
  }
}

TEST_F(CopyAddTest, ARightsFailureSkipsTheFile) {
  host_.WriteFile(destination, "original");
  host_.SetCommandsFail(true);
  EXPECT_FALSE(CopyAdd(host_, source, destination));
  ASSERT_EQ(host_.boxes().size(), 1u) << BoxTitles();
  EXPECT_EQ(host_.boxes()[0].title, "SetRights");
  EXPECT_EQ(host_.ReadFile(destination), "original");
  EXPECT_EQ(host_.PathAttributes(destination + ".orlo"), -1);
}

TEST_F(CopyAddTest, AMissingSourceIsReportedAfterTheBackupWasTaken) {
  host_.WriteFile(destination, "original");
  EXPECT_FALSE(CopyAdd(host_, source + ".missing", destination));
  ASSERT_EQ(host_.boxes().size(), 1u) << BoxTitles();
  EXPECT_EQ(host_.boxes()[0].text, "Copie de " + source + ".missing vers " + destination);
  EXPECT_EQ(host_.ReadFile(destination + ".orlo"), "original");
}

}  // namespace
}  // namespace movrix
