// The runs on a Windows as strict as it is: system files that only TrustedInstaller may change,
// read-only sources, a running kept program, UAC, session 0 and another account's lock.
#include "tests/logic/strict_windows.h"

#include <map>

#include "app/run_end.h"
#include "app/run_program.h"
#include "files/file_exists.h"
#include "tests/logic/run_fixture.h"

namespace movrix::testing {
namespace {

class StrictWindowsTest : public UninstallTest {
 protected:
  StrictWindowsTest() {
    runs_on_ = &strict_;
    system_.environment["TEMP"] = At("temp");
    MakeFolder(At("temp"));
    for (const char* folder : {"Windows\\system32", "Windows\\syswow64"})
      strict_.SystemFilesBelow(At(folder));
    strict_.ReadOnlyBelow(At("Setup"));
  }

  StrictWindows strict_{system_};
};

TEST_F(StrictWindowsTest, InstallRerunAndWayBackHoldOnWindows7AndOnWindows10) {
  // Windows 7 first: the component that Windows 10's way back retires keeps the program.
  for (const char* product : {"Windows 7 Professional", "Microsoft Windows 10"}) {
    SCOPED_TRACE(product);
    const PinnedVersionValue pinned("ProductName", product);
    const bool windows_10 = Contains(product, "10");
    const std::map<std::string, std::string> before = MachineFiles();
    ASSERT_EQ(Start(false, true).ExitCode(), kExitInstalled) << system_.BoxLines();
    if (windows_10) {
      // The twelfth file as well: each one went through the rights step before it changed.
      for (const std::string folder : {"system32\\", "syswow64\\"}) {
        for (const char* file : kSystemFiles) {
          EXPECT_EQ(Read(At("Windows\\") + folder + file), "new") << folder << file;
          EXPECT_EQ(Read(At("Windows\\") + folder + file + ".orlo"), "original") << folder << file;
        }
      }
    }
    // A rerun, as a repair, while a detection script runs the kept program.
    strict_.Running(At("PF\\Movrix18\\Movrix18.exe"));
    const WindowRun& rerun = Start(false, true);
    EXPECT_EQ(rerun.ExitCode(), kExitInstalled) << rerun.form.text(kTxtOutput);
    EXPECT_EQ(Read(At("PF\\Movrix18\\Movrix18.exe")), "exe");
    EXPECT_EQ(Read(At("PF\\Movrix18\\Movrix18.exe.supprimer-1")), "exe") << "left for the restart";
    ASSERT_FALSE(system_.moves_at_restart.empty());
    EXPECT_EQ(system_.moves_at_restart.back(), At("PF\\Movrix18\\Movrix18.exe.supprimer-1 -> "));
    Remove(At("PF\\Movrix18\\Movrix18.exe.supprimer-1"));  // as the restart does
    MachineFiles();  // nothing the installation wrote is left read-only
    strict_.Running("");

    const WindowRun& way_back = Start(true, true);
    EXPECT_EQ(way_back.ExitCode(), kExitInstalled) << way_back.form.text(kTxtOutput);
    std::map<std::string, std::string> after = MachineFiles();
    // Windows 8 and 10 keep the program for every user's own way back at their next sign-in.
    if (windows_10) {
      EXPECT_EQ(after.erase(At("PF\\Movrix18\\Movrix18.exe")) + after.erase(At("PF\\Movrix18")),
                2u);
    }
    EXPECT_EQ(after, before);
    EXPECT_FALSE(EntryExists());
    EXPECT_EQ(system_.boxes.size(), 0u) << system_.BoxLines();
    Remove(At("PF\\Movrix18"));
  }
}

TEST_F(StrictWindowsTest, AFilteredAdministratorGetsTheRightsBoxAndItsUninstallAsksToBeElevated) {
  strict_.FilterAdministrator();
  const std::map<std::string, std::string> before = MachineFiles();
  EXPECT_EQ(Start().ExitCode(), kExitFailed);
  ASSERT_EQ(system_.boxes.size(), 1u);
  EXPECT_EQ(system_.boxes[0].text, kNeedsAdministrator);
  EXPECT_EQ(MachineFiles(), before);
  system_.elevated_exit_code = 0;
  EXPECT_EQ(RunProgram(strict_, {"/desinstaller"}), 0);
  ASSERT_EQ(system_.elevated_starts.size(), 1u);
  EXPECT_EQ(system_.elevated_starts[0].arguments.rfind("\"/desinstaller\" \"/relance=", 0), 0u)
      << system_.elevated_starts[0].arguments;
}

TEST_F(StrictWindowsTest, ASilentRunInSessionZeroShowsNothingAndEnds) {
  // Not even the window at its end: nobody would ever press its OK.
  strict_.RunInServicesSession();
  EXPECT_EQ(RunProgram(strict_, {}), kExitInstalled);
  EXPECT_EQ(system_.BoxLines(), "");
  EXPECT_FALSE(system_.shown_window.has_value());
}

TEST_F(StrictWindowsTest, ARunUnderAnotherAccountWhileOneRunsEnds1618AndChangesNothing) {
  strict_.LockHeldByAnotherAccount();
  const std::map<std::string, std::string> before = MachineFiles();
  EXPECT_EQ(RunProgram(strict_, {"/S"}), kExitAnotherRun);
  EXPECT_EQ(MachineFiles(), before);
  EXPECT_FALSE(FolderExists(system_, At("PF\\Windows Mail.orlo")));
}

}  // namespace
}  // namespace movrix::testing
