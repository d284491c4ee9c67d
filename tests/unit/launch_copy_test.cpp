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
  std::string TreeLog64() {
    return Header("Copier les fichiers dans Program Files (x86)", 67) +
           Tree32Into("C:\\Program Files (x86)\\") + kCrLf +
           Header("Copier les fichiers dans Program Files", 58) +
           FileLines(kApp + "WM_64\\Windows Mail\\wab.exe",
                     "C:\\Program Files\\Windows Mail\\wab.exe");
  }

  RunState state_;
};

TEST_F(LaunchCopyTest, Windows10On64BitBacksUpTwelveSystemFilesOnceAndReplacesThemEachRun) {
  for (const std::string version : {"v1", "v2"}) {
    SCOPED_TRACE(version);
    Sources(version);
    EXPECT_TRUE(Launch_Copy(host_, state_, true));
    EXPECT_EQ(Boxes(), "");
    EXPECT_EQ(state_.ReportText, TreeLog64() + kBlock64) << "the log starts afresh";
    EXPECT_EQ(host_.ReadFile("C:\\Program Files (x86)\\Windows Mail\\wab.exe"), "wab 32");
    EXPECT_EQ(host_.ReadFile("C:\\Program Files\\Windows Mail\\wab.exe"), "wab 64");
    for (const char* file : kSystemFiles) {
      // Rows 1 to 6 reach the native folder only because the redirection was off.
      EXPECT_EQ(host_.ReadFile(kNative + file), version + " 64 " + file);
      EXPECT_EQ(host_.ReadFile(kWow + file), version + " 32 " + file);
      EXPECT_EQ(host_.ReadFile(kNative + file + ".orlo"), std::string("original 64 ") + file);
      EXPECT_EQ(host_.ReadFile(kWow + file + ".orlo"), std::string("original 32 ") + file)
          << "row 12 keeps its backup too";
    }
    EXPECT_FALSE(host_.Wow64RedirectionDisabled());
  }
  // Two commands per tree file and per row but the last, on each run.
  EXPECT_EQ(host_.commands().size(), 2 * (2u * 2 + 2 * 11));
}

TEST_F(LaunchCopyTest, Windows7CopiesTheTreesOnlyAndNeverTouchesTheRedirection) {
  state_.IsWindows10 = false;
  host_.faults().Inject("DisableWow64Redirection", "", "touched");
  EXPECT_TRUE(Launch_Copy(host_, state_, true)) << Boxes();
  EXPECT_EQ(state_.ReportText, TreeLog64());
  EXPECT_EQ(host_.ReadFile(kNative + "msoeacct.dll"), "original 64 msoeacct.dll");
  EXPECT_EQ(host_.PathAttributes(kNative + "msoeacct.dll.orlo"), -1);

  Use32BitSystem();
  EXPECT_TRUE(Launch_Copy(host_, state_, false)) << Boxes();
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
  EXPECT_TRUE(Launch_Copy(host_, state_, false)) << Boxes();
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
  EXPECT_EQ(Boxes(), "Launch_Copy 1||critical\n");
  EXPECT_EQ(state_.ReportText, "");
}

TEST_F(LaunchCopyTest, FailuresInsideTheTreesAndAMissingWm64LetThePhaseGoOn) {
  const std::string x86_header = Header("Copier les fichiers dans Program Files (x86)", 67);
  const std::string native_header = Header("Copier les fichiers dans Program Files", 58);
  host_.WriteFile(kApp + "WM_32\\Windows Mail\\LISEZMOI", "no dot");  // a subfolder of WM_32
  host_.WriteFile(kApp + "WM_64\\LISEZMOI", "no dot");                // the top of WM_64
  EXPECT_TRUE(Launch_Copy(host_, state_, true)) << Boxes();
  EXPECT_EQ(state_.ReportText, x86_header + kCrLf + native_header + kBlock64);

  std::filesystem::remove_all(host_.HostPath(kApp + "WM_32\\Windows Mail\\LISEZMOI"));
  std::filesystem::remove_all(host_.HostPath(kApp + "WM_64"));
  EXPECT_TRUE(Launch_Copy(host_, state_, true)) << Boxes();
  EXPECT_EQ(state_.ReportText, x86_header + Tree32Into("C:\\Program Files (x86)\\") + kCrLf +
                                   native_header + kBlock64);
}

TEST_F(LaunchCopyTest, AMissingFrFrFolderOfSyswow64EndsThePhaseAtRow12WithTheRedirectionBack) {
  std::filesystem::remove_all(host_.HostPath(kWow + "fr-FR"));
  EXPECT_FALSE(Launch_Copy(host_, state_, true));
  EXPECT_EQ(Boxes(), "CopyAdd|Copie de " + kApp + "syswow64\\fr-FR\\acctres.dll.mui vers " + kWow +
                         "fr-FR\\acctres.dll.mui|critical\n"
                         "Launch_Copy 5|Le chemin d'accès spécifié est introuvable.|critical\n");
  EXPECT_FALSE(host_.Wow64RedirectionDisabled());
  EXPECT_EQ(state_.ReportText, "");
  EXPECT_EQ(state_.Copy.CopyLog, TreeLog64()) << "the log keeps what was logged";
  EXPECT_EQ(host_.ReadFile(kWow + "inetres.dll"), "v1 32 inetres.dll") << "row 10 went through";
}

TEST_F(LaunchCopyTest, FaultsOfRow12AndOfTheRestoreAreTitledByTheirStep) {
  host_.faults().Inject("Rename", kWow + "fr-FR\\inetres.dll.mui", "Accès refusé.");
  EXPECT_FALSE(Launch_Copy(host_, state_, true));
  EXPECT_EQ(Boxes(), "Launch_Copy 5|Accès refusé.|critical\n");
  EXPECT_EQ(host_.ReadFile(kWow + "fr-FR\\inetres.dll.mui"), "original 32 fr-FR\\inetres.dll.mui");
  EXPECT_FALSE(host_.Wow64RedirectionDisabled());

  HostSystem restore_fails(root_);
  restore_fails.faults().Inject("RevertWow64Redirection", "", "Fonction incorrecte.");
  EXPECT_FALSE(Launch_Copy(restore_fails, state_, true));
  EXPECT_EQ(testing::ShownBoxes(restore_fails), "Launch_Copy 6|Fonction incorrecte.|critical\n");
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
    EXPECT_TRUE(CopyAdd(host_, source, destination)) << Boxes();
    EXPECT_EQ(host_.ReadFile(destination), "new");
    EXPECT_EQ(host_.PathAttributes(destination + ".orlo"), -1) << "empty " << empty;
  }
}

TEST_F(CopyAddTest, ARightsFailureSkipsTheFileAndAMissingSourceFailsAfterTheBackup) {
  host_.WriteFile(destination, "original");
  host_.SetCommandsFail(true);
  EXPECT_FALSE(CopyAdd(host_, source, destination));
  EXPECT_EQ(host_.ReadFile(destination), "original");
  EXPECT_EQ(host_.PathAttributes(destination + ".orlo"), -1);

  host_.SetCommandsFail(false);
  EXPECT_FALSE(CopyAdd(host_, source + ".missing", destination));
  EXPECT_EQ(Boxes(),
            "SetRights|Le fichier spécifié est introuvable.|none\n"
            "CopyAdd|Copie de " +
                source + ".missing vers " + destination + "|critical\n");
  EXPECT_EQ(host_.ReadFile(destination + ".orlo"), "original");
}

}  // namespace
}  // namespace movrix
