// The start-up, before the installation or the way back: the Windows Mail guard, the language,
// the caption and the folder values, and a run nobody can see; from a program folder laid out in
// a scratch folder, on the prefix's Windows 10.
#include <windows.h>

#include <map>

#include "app/run_log.h"
#include "app/run_program.h"
#include "tests/logic/run_fixture.h"

namespace movrix::testing {
namespace {

using StartUpTest = RunTest;

const std::string kRefusedAdmin =
    "Movrix doit être lancé en mode Administrateur. Il va être fermé. !\r\n\r\n"
    "Pour le relancer, cliquer-droite sur Movrix et choisir\r\n"
    "l'option 'Exécuter en tant qu'administrateur'.";

TEST_F(StartUpTest, ARefusedLanguageStopsTheRunBeforeTheRightsTest) {
  system_.admin = AdministratorsGroup::kAbsent;
  system_.language = 0x0407;
  WindowRun& run = Start();
  EXPECT_EQ(system_.BoxLines(),
            "Form_Load|Movrix non compatible avec la langue de Windows ou Système corrompu|"
            "critical\n");
  EXPECT_EQ(run.form.caption(), "");
  EXPECT_FALSE(system_.shown_window.has_value());
}

TEST_F(StartUpTest, AnExecutableWhoseDateCannotBeReadStillGivesACaption) {
  system_.admin = AdministratorsGroup::kAbsent;
  system_.Fail(Call::kFileDateShortText);
  EXPECT_EQ(Start().form.caption(), "Movrix18 (version 2.18.0.1 du date inconnue)");
  EXPECT_EQ(system_.BoxLines(), "Movrix18|" + kRefusedAdmin + "|critical\n");
}

TEST_F(StartUpTest, WhereNobodyCanSeeTheRunIsSilentAndLogged) {
  system_.window_station_visible = false;
  system_.environment["TEMP"] = At("Temp");
  MakeFolder(At("Temp"));
  system_.admin = AdministratorsGroup::kAbsent;
  EXPECT_EQ(RunProgram(system_, {}), 1603);
  EXPECT_EQ(system_.BoxLines(), "");
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(At("Temp\\Movrix18-*.log").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE) << "no log in %TEMP%";
  FindClose(search);
  const std::string log = Read(At("Temp\\") + found.cFileName);
  EXPECT_NE(log.find("Message « Movrix18 » : Movrix doit être lancé en mode Administrateur"),
            std::string::npos)
      << log;
  system_.admin = AdministratorsGroup::kEnabled;
  EXPECT_EQ(RunProgram(system_, {}), 0);
  EXPECT_FALSE(system_.shown_window.has_value());
}

TEST_F(StartUpTest, TheFoldersComeFromTheSystemWhateverTheEnvironmentSays) {
  // What the user who starts the program sets, for this very process too.
  std::map<std::string, std::string> saved;
  for (const char* name : {"ProgramFiles", "ProgramW6432", "windir", "SystemRoot"}) {
    saved[name] = system_.GetEnv(name);
    system_.environment[name] = At("planted");
    SetEnvironmentVariableA(name, At("planted").c_str());
  }
  system_.identity.reset();
  system_.admin = AdministratorsGroup::kAbsent;
  const RunState state = Start().state;
  for (const auto& [name, value] : saved)
    SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  // A 32-bit process on a 64-bit system too gets the native Program Files.
  EXPECT_EQ(state.program_files_folder, "C:\\Program Files\\");
  EXPECT_EQ(state.program_files_x86_folder,
            Is64BitSystem() ? "C:\\Program Files (x86)\\" : "C:\\Program Files\\");
  EXPECT_EQ(state.system32_folder, std::string(windows) + "\\system32\\");
  EXPECT_EQ(state.syswow64_folder, std::string(windows) + "\\syswow64\\");
}

TEST_F(StartUpTest, YesEndsOnlyTheWinMailThatWasFoundAndNeverTheProgramThatTookItsId) {
  const std::string question =
      "Windows Mail est en service|Cliquer sur OUI pour arrêter Windows Mail\r\n"
      "ou sur NON si vous désirez le fermer vous-même\r\n"
      "afin de terminer les travaux en cours.|question|yes/no\n";
  system_.admin =
      AdministratorsGroup::kAbsent;  // the run stops at the rights test, after the guard
  // While the question is shown, the user closes Windows Mail and its id passes to another
  // program: that program must be left alone.
  FakeMail mail, other("", "Other.exe");
  system_.while_shown = [&](const TestSystem::Box&) {
    mail.End(42);
    system_.passed_ids[mail.id()] = other.id();
  };
  Start();
  EXPECT_EQ(system_.BoxLines(), question + "Movrix18|" + kRefusedAdmin + "|critical\n");
  EXPECT_EQ(other.ExitCode(), uint32_t(STILL_ACTIVE)) << "the program that took the id ended";
  EXPECT_EQ(mail.ExitCode(), 42u);
}

TEST_F(StartUpTest, EveryWinMailIsEndedAndTheLogNamesThoseNotClosedOnRequest) {
  system_.admin =
      AdministratorsGroup::kAbsent;  // the run stops at the rights test, after the guard
  const auto logged_after_yes = [&] {
    Remove(At("journal.txt"));
    RunLog log;
    EXPECT_EQ(log.Open(system_, At("journal.txt")), "");
    WindowRun run(system_, &log, {});
    StartUp(run);
    return Read(At("journal.txt"));
  };
  {
    // Another user's sign-in runs its own beside this one's.
    FakeMail mail, elsewhere, stuck("/ignore-close");
    system_.other_session_ids = {elsewhere.id()};
    const std::string log = logged_after_yes();
    EXPECT_EQ(mail.ExitCode(), FakeMail::kClosedOnRequest);
    EXPECT_EQ(elsewhere.ExitCode(), 0u) << "not terminated";
    EXPECT_EQ(stuck.ExitCode(), 0u) << "not terminated";
    for (const std::string& line :
         {"WinMail.exe (processus " + std::to_string(elsewhere.id()) +
              ") a été arrêté sans demande de fermeture : il est dans une autre session.\r\n",
          "WinMail.exe (processus " + std::to_string(stuck.id()) +
              ") a été arrêté de force : il ne s'est pas fermé dans les 5 s suivant la demande de "
              "fermeture.\r\n"})
      EXPECT_TRUE(Contains(log, line)) << line << " in\n" << log;
  }
  FakeMail mail;
  system_.Fail(Call::kOpenProcessToEnd);
  EXPECT_TRUE(Contains(logged_after_yes(),
                       "WinMail.exe n'a pas pu être arrêté : il est toujours en service.\r\n"));
}

}  // namespace
}  // namespace movrix::testing
