// The installation run, from a program folder laid out in a scratch folder, on the prefix's
// Windows 10: its steps and log, its stops, and what it keeps for the way back.
#include <windows.h>

#include "app/logged_system.h"
#include "app/run_end.h"
#include "files/file_exists.h"
#include "registry/active_setup.h"
#include "registry/key_io.h"
#include "registry/prior_state.h"
#include "registry/uninstall_entry.h"
#include "tests/logic/registry_listing.h"
#include "tests/logic/run_fixture.h"

namespace movrix::testing {
namespace {

using InstallationTest = RunTest;

TEST_F(InstallationTest, AFirstAndASecondRunOnWindows10ShowTheStepsThenTheCopyLog) {
  WindowRun& run = Start();
  ASSERT_EQ(system_.BoxLines(), "");
  ASSERT_TRUE(system_.shown_window.has_value());
  EXPECT_EQ(run.form.caption(), BuildCaption(system_.FileDateShortText(At("Setup\\Movrix18.exe"))));
  EXPECT_EQ(run.state.app_folder, At("Setup\\"));
  EXPECT_EQ(run.state.program_files_x86_folder, At("PF (x86)\\"));
  EXPECT_EQ(run.state.syswow64_folder, At("Windows\\syswow64\\"));
  EXPECT_EQ(run.form.text(kTxtOK),
            "Les fichiers programmes de Windows Mail ont été correctement installés.\r\n"
            "Il vous suffit, si vous ne l'avez pas déjà fait, de lancer Quillset");
  EXPECT_EQ(run.form.text(kTxtSys).substr(0, run.form.text(kTxtSys).find('\r')),
            "Microsoft Windows 10 64 bits");
  const std::string heading =
      Lines({std::string(51, '='), "Vérifier la présence des dossiers Windows Mail renommés.",
             "Les renommer s'ils ne le sont pas encore", std::string(51, '=')});
  const std::string steps =
      Lines({std::string(57, '='), "Compléter la base de registre", std::string(57, '='), "",
             std::string(46, '='), "Copier les fichiers programmes de Windows Mail (de Vista)",
             "dans le(s) dossier(s) programmes de Windows W10", std::string(46, '='),
             "Copier les fichiers dans Program Files (x86)", std::string(67, '-'),
             "de   " + At("Setup\\WM_32\\Windows Mail\\WinMail.exe")});
  const std::string first =
      heading +
      Lines({"Renommer le ou les dossiers programmes Windows Mail", std::string(92, '-'),
             "Renommer le dossier Program Files\\Windows Mail",
             "Renommer le dossier Program Files (x86)\\Windows Mail", ""}) +
      steps;
  EXPECT_EQ(run.form.text(kTxtOutput).substr(0, first.size()), first);
  EXPECT_EQ(system_.shown_window->texts[kTxtOutput], run.form.text(kTxtOutput));
  EXPECT_EQ(Read(At("PF\\Windows Mail\\WinMail.exe")), "WM_64");
  EXPECT_EQ(Read(At("Windows\\system32\\msoeacct.dll")), "new");

  const std::string second = heading + Lines({""}) + steps;
  EXPECT_EQ(Start().form.text(kTxtOutput).substr(0, second.size()), second);
  EXPECT_EQ(system_.BoxLines(), "");
}

// A version value that cannot be read closes the window; the identification and the run go on.
TEST_F(InstallationTest, AnUnreadableVersionValueClosesTheWindowAndTheRunGoesOn) {
  system_.Fail(Call::kQueryRegValue, "CurrentBuildNumber");
  EXPECT_EQ(Start().ExitCode(), kExitInstalled);
  EXPECT_EQ(system_.BoxLines(), "Movrix18|" + DescribeError(5) + "|none\n");
  EXPECT_FALSE(system_.shown_window.has_value());
}

TEST_F(InstallationTest, AnyFailureMakesBothStatusLinesSaySoAndTheOutputNamesEachOne) {
  system_.Fail(Call::kShellCopyFile, "WM_64");
  system_.Fail(Call::kSetRegValue, "EditFlags");
  WindowRun& run = Start();
  ASSERT_TRUE(system_.shown_window.has_value()) << system_.BoxLines();
  EXPECT_EQ(run.form.text(kTxtOK),
            "L'installation de Windows Mail est incomplète.\r\n"
            "Les erreurs sont indiquées dans le journal ci-dessous.");
  EXPECT_EQ(system_.shown_window->texts[kStatusLine],
            "L'installation de Windows Mail est incomplète.");
  EXPECT_EQ(run.ExitCode(), kExitFailed);
  const std::string& output = run.form.text(kTxtOutput);
  for (const std::string& line :
       {"ÉCHEC : " + At("PF\\Windows Mail\\WinMail.exe") +
            " n'a pas été copié : " + DescribeError(5) + " (code 5)",
        "ÉCHEC : la valeur EditFlags de HKLM\\SOFTWARE\\Classes\\mailto n'a pas été écrite : " +
            DescribeError(5)})
    EXPECT_TRUE(Contains(output, kCrLf + line + kCrLf)) << line << " in\n" << output;
}

// A silent run that a phase stops: nothing may wait for an answer, and the log keeps what was
// done so far and the status.
TEST_F(InstallationTest, ASilentRunStoppedByAPhaseStillLogsItsOutputAndStatus) {
  // A file at the top of the first tree that cannot be copied ends the copy phase.
  Write(At("Setup\\WM_32\\top.dll"), "t");
  system_.Fail(Call::kShellCopyFile, "top.dll");
  RunLog log;
  ASSERT_EQ(log.Open(system_, At("run.log")), "");
  LoggedSystem silent(system_, log, true);
  WindowRun run(silent, &log, {true});
  StartUp(run);
  run.form.Show(silent);
  EXPECT_EQ(run.ExitCode(), kExitFailed);
  EXPECT_EQ(system_.boxes.size(), 0u) << system_.BoxLines();
  EXPECT_GE(system_.unattended_copies, 1) << "the shell's copies are unattended";
  const std::string logged = Read(At("run.log"));
  for (const std::string& line :
       {"de   " + At("Setup\\WM_32\\top.dll"), std::string("Message « Launch_Copy 1 » : "),
        std::string("Statut : L'installation de Windows Mail a échoué.")})
    EXPECT_TRUE(Contains(logged, line)) << line << " in\n" << logged;
}

TEST_F(InstallationTest, EachStopShowsItsMessageAndNeverTheWindow) {
  struct Case {
    std::vector<std::string> remove;
    std::string boxes;
    Machine machine = Machine::kX64;
  } cases[] = {
      {{"Setup\\WM_32", "Setup\\WM_64"},
       "Movrix18|Le dossiers WM_32 et WM_64 n'ont pas été installés.|none\n"},
      {{"Setup\\WM_64"}, "Movrix18|Le dossier WM_64 n'a pas été installé.|none\n"},
      // A tree without the program counts as missing, on a 32-bit system too.
      {{"Setup\\WM_32\\Windows Mail\\WinMail.exe"},
       "Movrix18|Le dossier WM_32 n'a pas été installé.|none\n"},
      {{"Setup\\WM_32\\Windows Mail", "Setup\\WM_64\\Windows Mail\\WinMail.exe"},
       "Movrix18|Le dossiers WM_32 et WM_64 n'ont pas été installés.|none\n"},
      {{"Setup\\WM_32"}, "Movrix18|Le dossier WM_32 n'a pas été installé.|none\n", Machine::kX86},
      {{},
       "Movrix18|Le système n'est ni Windows 7, ni Windows 8, ni Windows 10|none\n",
       Machine::kArm64},
      {{"Setup\\system32\\msidcrl30.dll"},
       "Movrix18|<description>|none\nMovrix18|Le dossier system32 n'a pas été installé.|none\n"},
      {{"Setup\\system32\\msidcrl30.dll", "Setup\\syswow64\\msidcrl30.dll"},
       "Movrix18|<description>|none\nMovrix18|<description>|none\n"
       "Movrix18|Le dossiers system32 et system64 n'ont pas été installés.|none\n"},
      {{"PF\\Windows Mail"},
       "Launch_Folders 1||critical\n"
       "MVX|Le système doit être réparé avant l'installation de Windows Mail|information\n"},
  };
  for (const Case& c : cases) {
    LayOut();
    for (const std::string& path : c.remove) Remove(At(path));
    system_.boxes.clear();
    system_.machine = c.machine;
    SCOPED_TRACE(c.boxes);
    WindowRun& run = Start();
    // The boxes of the file test show the system's own description of the missing file.
    for (TestSystem::Box& box : system_.boxes) {
      if (box.title == "Movrix18" && box.text.rfind("Le ", 0) != 0) box.text = "<description>";
    }
    EXPECT_EQ(system_.BoxLines(), c.boxes);
    EXPECT_EQ(run.form.text(kTxtOutput), "");
    EXPECT_FALSE(system_.shown_window.has_value());
    EXPECT_FALSE(FolderExists(system_, At("PF\\Windows Mail.orlo"))) << "renamed";
  }
}

TEST_F(InstallationTest, AFolderTestFailingForAnotherReasonThanAbsenceStopsWithItsDescription) {
  system_.Fail(Call::kPathAttributes, "WM_32");
  Start();
  EXPECT_EQ(system_.BoxLines(), "RunInstall|" + DescribeError(5) + "|critical\n");
  EXPECT_FALSE(system_.shown_window.has_value());
}

TEST_F(InstallationTest, EveryInstallationKeepsItselfAndHasEveryUserRunItOnce) {
  const std::string kept = At("PF\\Movrix18\\Movrix18.exe");
  const auto component = [] {
    std::string values;
    for (const char* name : {"", "Version", "StubPath", "IsInstalled"})
      values += Stored(HKEY_LOCAL_MACHINE, kActiveSetupKey, name) + "|";
    return values;
  };
  const auto expected = [&](const std::string& version, const std::string& switches) {
    const std::string nul(1, '\0');
    return "1:Windows Mail, messagerie de chaque utilisateur" + nul + "|1:" + version + nul +
           "|1:\"" + kept + "\" " + switches + nul + "|4:\1" + std::string(3, '\0') + "|";
  };
  ASSERT_EQ(Start().ExitCode(), 0) << system_.BoxLines();
  EXPECT_EQ(Read(kept), "exe");
  EXPECT_EQ(component(), expected("2,18,0,1", "/utilisateur"));
  ASSERT_EQ(Start().ExitCode(), 0);
  EXPECT_EQ(component(), expected("2,18,0,1", "/utilisateur")) << "nobody runs the same twice";

  // Retired, then installed again: each change reaches every user, who has run the one before.
  RetireActiveSetupComponent(system_, kept);
  EXPECT_EQ(component(), expected("2,18,0,2", "/utilisateur /desinstaller"));
  ASSERT_EQ(Start().ExitCode(), 0);
  EXPECT_EQ(component(), expected("2,18,0,3", "/utilisateur"));
  EXPECT_EQ(NextComponentVersion("2,17,9,9"), "2,18,0,1");
  EXPECT_EQ(NextComponentVersion("2,18,0"), "2,18,0,1");
}

TEST_F(InstallationTest, WithoutTheUsersPriorStateNoneOfTheirRowsIsWrittenAndEachIsNamed) {
  Put(HKEY_CURRENT_USER, "Software\\Clients\\Mail", "", "Autre messagerie");
  system_.Fail(Call::kSetRegValue, UserPriorStateKey::kValue);
  WindowRun& run = Start();
  EXPECT_EQ(run.ExitCode(), kExitFailed);
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, "Software\\Clients\\Mail", ""),
            "1:Autre messagerie" + std::string(1, '\0'));
  int rows_named = 0;
  for (const Failure& failure : run.state.outcome.failures)
    rows_named += Contains(failure.what, " de HKCU\\") &&
                  failure.reason == "l'état antérieur de l'utilisateur n'a pas pu être enregistré";
  EXPECT_EQ(rows_named, 6) << run.form.text(kTxtOutput);
  EXPECT_FALSE(KeyExists(system_, kLocalMachine, kUninstallKey));
}

}  // namespace
}  // namespace movrix::testing
