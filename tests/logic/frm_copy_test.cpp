// The start-up and the installation run, from a program folder laid out in a scratch folder, on
// the prefix's Windows 10.
#include <windows.h>

#include <functional>
#include <optional>
#include <tuple>

#include "app/form_load.h"
#include "app/logged_system.h"
#include "app/run_end.h"
#include "app/run_program.h"
#include "common/sealed_record.h"
#include "files/file_exists.h"
#include "files/file_record.h"
#include "files/file_security.h"
#include "registry/active_setup.h"
#include "registry/mod_key.h"
#include "registry/prior_state.h"
#include "registry/uninstall_entry.h"
#include "tests/logic/fixture.h"
#include "tests/logic/registry_listing.h"
#include "tests/logic/run_fixture.h"

namespace movrix::testing {
namespace {

const std::string kRefusedAdmin =
    "Movrix doit être lancé en mode Administrateur. Il va être fermé. !\r\n\r\n"
    "Pour le relancer, cliquer-droite sur Movrix et choisir\r\n"
    "l'option 'Exécuter en tant qu'administrateur'.";

TEST(LanguageTest, OnlyTheListedEnglishAndFrenchLanguagesAreAccepted) {
  for (uint16_t id :
       {0x0409, 0x0809, 0x0C09, 0x1009, 0x1409, 0x1809, 0x1C09, 0x2009, 0x2409, 0x2809, 0x2C09,
        0x3009, 0x3409, 0x040C, 0x080C, 0x0C0C, 0x100C, 0x140C, 0x180C})
    EXPECT_TRUE(IsAcceptedLanguage(id)) << std::hex << id;
  // German, Spanish, English (India), Hebrew, neutral, and a French one the list leaves out.
  for (uint16_t id : {0x0407, 0x0C0A, 0x4009, 0x040D, 0x0000, 0x1C0C, 0x0009, 0x000C})
    EXPECT_FALSE(IsAcceptedLanguage(id)) << std::hex << id;
}

TEST_F(FormLoadTest, ARefusedLanguageStopsTheRunBeforeTheRightsTest) {
  system_.admin = AdministratorsGroup::kAbsent;
  system_.language = 0x0407;
  WindowRun& run = Start();
  EXPECT_EQ(system_.BoxLines(),
            "Form_Load|Movrix non compatible avec la langue de Windows ou Système corrompu|"
            "critical\n");
  EXPECT_EQ(run.form.caption(), "");
  EXPECT_FALSE(system_.shown_window.has_value());
}

TEST_F(FormLoadTest, AFirstAndASecondRunOnWindows10ShowTheStepsThenTheCopyLog) {
  WindowRun& run = Start();
  ASSERT_EQ(system_.BoxLines(), "");
  ASSERT_TRUE(system_.shown_window.has_value());
  EXPECT_EQ(run.form.caption(), BuildCaption(system_.FileDateShortText(At("Setup\\Movrix18.exe"))));
  EXPECT_EQ(run.state.AppFolder, At("Setup\\"));
  EXPECT_EQ(run.state.ProgramFilesX86Folder, At("PF (x86)\\"));
  EXPECT_EQ(run.state.SysWow64Folder, At("Windows\\syswow64\\"));
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
TEST_F(FormLoadTest, AnUnreadableVersionValueClosesTheWindowAndTheRunGoesOn) {
  system_.Fail(Call::kQueryRegValue, "CurrentBuildNumber");
  EXPECT_EQ(Start().ExitCode(), kExitInstalled);
  EXPECT_EQ(system_.BoxLines(), "Movrix18|" + DescribeError(5) + "|none\n");
  EXPECT_FALSE(system_.shown_window.has_value());
}

TEST_F(FormLoadTest, AnyFailureMakesBothStatusLinesSaySoAndTheOutputNamesEachOne) {
  system_.Fail(Call::kShellCopyFile, "WM_64");
  system_.Fail(Call::kSetRegValue, "EditFlags");
  WindowRun& run = Start();
  ASSERT_TRUE(system_.shown_window.has_value()) << system_.BoxLines();
  EXPECT_EQ(run.form.text(kTxtOK),
            "L'installation de Windows Mail est incomplète.\r\n"
            "Les erreurs sont indiquées dans le journal ci-dessous.");
  EXPECT_EQ(system_.shown_window->texts[kText1], "L'installation de Windows Mail est incomplète.");
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
TEST_F(FormLoadTest, ASilentRunStoppedByAPhaseStillLogsItsOutputAndStatus) {
  // A file at the top of the first tree that cannot be copied ends the copy phase.
  Write(At("Setup\\WM_32\\top.dll"), "t");
  system_.Fail(Call::kShellCopyFile, "top.dll");
  RunLog log;
  ASSERT_EQ(log.Open(system_, At("run.log")), "");
  LoggedSystem silent(system_, log, true);
  WindowRun run(silent, &log, {true});
  Form_Load(run);
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

TEST_F(FormLoadTest, EachStopShowsItsMessageAndNeverTheWindow) {
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

TEST_F(FormLoadTest, AFolderTestFailingForAnotherReasonThanAbsenceStopsWithItsDescription) {
  system_.Fail(Call::kPathAttributes, "WM_32");
  Start();
  EXPECT_EQ(system_.BoxLines(), "RunInstall|" + DescribeError(5) + "|critical\n");
  EXPECT_FALSE(system_.shown_window.has_value());
}

TEST_F(FormLoadTest, AnExecutableWhoseDateCannotBeReadStillGivesACaption) {
  system_.admin = AdministratorsGroup::kAbsent;
  system_.Fail(Call::kFileDateShortText);
  EXPECT_EQ(Start().form.caption(), "Movrix18 (version 2.18.0.1 du date inconnue)");
  EXPECT_EQ(system_.BoxLines(), "Movrix18|" + kRefusedAdmin + "|critical\n");
}

TEST_F(FormLoadTest, EveryInstallationKeepsItselfAndHasEveryUserRunItOnce) {
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kActiveSetupKey, KEY_WOW64_64KEY, 0);
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

TEST_F(FormLoadTest, WithoutTheUsersPriorStateNoneOfTheirRowsIsWrittenAndEachIsNamed) {
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_64KEY, 0);
  RegDeleteTreeA(HKEY_CURRENT_USER, UserPriorStateKey::kParentKey);
  Put(HKEY_CURRENT_USER, "Software\\Clients\\Mail", "", "Autre messagerie");
  system_.Fail(Call::kSetRegValue, UserPriorStateKey::kValue);
  WindowRun& run = Start();
  EXPECT_EQ(run.ExitCode(), kExitFailed);
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, "Software\\Clients\\Mail", ""),
            "1:Autre messagerie" + std::string(1, '\0'));
  int rows_named = 0;
  for (const Failure& failure : run.state.Outcome.failures)
    rows_named += Contains(failure.what, " de HKCU\\") &&
                  failure.reason == "l'état antérieur de l'utilisateur n'a pas pu être enregistré";
  EXPECT_EQ(rows_named, 6) << run.form.text(kTxtOutput);
  EXPECT_FALSE(KeyExists(system_, kLocalMachine, kUninstallKey));
}

TEST_F(FormLoadTest, WhereNobodyCanSeeTheRunIsSilentAndLogged) {
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

TEST_F(FormLoadTest, TheFoldersComeFromTheSystemWhateverTheEnvironmentSays) {
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
  EXPECT_EQ(state.ProgramFilesFolder, "C:\\Program Files\\");
  EXPECT_EQ(state.ProgramFilesX86Folder,
            Is64BitSystem() ? "C:\\Program Files (x86)\\" : "C:\\Program Files\\");
  EXPECT_EQ(state.System32Folder, std::string(windows) + "\\system32\\");
  EXPECT_EQ(state.SysWow64Folder, std::string(windows) + "\\syswow64\\");
}

TEST_F(FormLoadTest, YesEndsOnlyTheWinMailThatWasFoundAndNeverTheProgramThatTookItsId) {
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

TEST_F(FormLoadTest, EveryWinMailIsEndedAndTheLogNamesThoseNotClosedOnRequest) {
  system_.admin = AdministratorsGroup::kAbsent;  // the run stops at the rights test, after the guard
  const auto logged_after_yes = [&] {
    Remove(At("journal.txt"));
    RunLog log;
    EXPECT_EQ(log.Open(system_, At("journal.txt")), "");
    WindowRun run(system_, &log, {});
    Form_Load(run);
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

// The one line of `log` that starts with `head`, without its end; "<none>" when there is none,
// "<several>" when there are more.
std::string LogLine(const std::string& log, const std::string& head) {
  const size_t at = log.find(kCrLf + head);
  if (at == std::string::npos) return "<none>";
  if (log.find(kCrLf + head, at + 2) != std::string::npos) return "<several>";
  const size_t start = at + 2 + head.size();
  return log.substr(start, log.find(kCrLf, start) - start);
}

// What a whole run ends with, whatever ended it: the exit code, and in the log the status line
// and the end line that carries the same code.
TEST_F(FormLoadTest, EachWayARunEndsGivesItsExitCodeStatusAndEndLine) {
  const std::string log_path = At("run.log");
  const std::string incomplete = "L'installation de Windows Mail est incomplète.";
  const struct Case {
    const char* name;
    std::function<void()> arrange;
    std::vector<std::string> switches;
    int code;
    std::string status;  // the first line of the status
  } cases[] = {
      {"complete",
       [] {},
       {"/S"},
       0,
       "Les fichiers programmes de Windows Mail ont été correctement installés."},
      {"a stop",
       [&] { Remove(At("Setup\\WM_64")); },
       {"/S"},
       1603,
       "L'installation de Windows Mail a échoué."},
      {"a file failure",
       [&] { system_.Fail(Call::kShellCopyFile, "WM_64"); },
       {"/S"},
       1603,
       incomplete},
      {"a registry failure",
       [&] { system_.Fail(Call::kSetRegValue, "EditFlags"); },
       {"/S"},
       1603,
       incomplete},
      {"WinMail running, silent",
       [] {},
       {"/S"},
       1618,
       "Rien n'a été modifié : Windows Mail est en service."},
      {"No to ending WinMail",
       [&] { system_.answers = {Answer::kNo}; },
       {},
       1602,
       "Rien n'a été modifié : la réponse a été Non."},
      {"an unknown switch", [] {}, {"/S", "/bogus"}, 87, "Rien n'a été modifié."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LayOut();
    Remove(log_path);
    system_.ForgetFailures();
    system_.answers.clear();
    c.arrange();
    std::optional<FakeMail> mail;
    if (std::string(c.name).find("WinMail") != std::string::npos) mail.emplace();
    std::vector<std::string> arguments = c.switches;
    arguments.push_back("/journal=" + log_path);
    EXPECT_EQ(RunProgram(system_, arguments), c.code);
    const std::string log = Read(log_path);
    EXPECT_EQ(LogLine(log, "Statut : "), c.status) << log;
    const std::string end = LogLine(log, "Fin : ");
    EXPECT_EQ(end.substr(end.find(", ") + 2), "code de sortie " + std::to_string(c.code)) << log;
  }
  // A log that cannot be opened ends the run before it writes anything anywhere.
  EXPECT_EQ(RunProgram(system_, {"/S", "/journal=" + At("absent\\run.log")}), 1622);
  EXPECT_EQ(Read(At("absent\\run.log")), "<missing>");
}

TEST_F(UninstallTest, NothingInstalledChangesNothingAndEnds1605) {
  WindowRun& run = Start(true, true);
  EXPECT_EQ(run.ExitCode(), kExitNothingInstalled);
  EXPECT_EQ(system_.BoxLines(),
            "Movrix18|Aucune installation de Windows Mail par Movrix18 n'a été trouvée.\r\n"
            "Rien n'a été modifié.|information\n");
  EXPECT_TRUE(FolderExists(system_, At("PF\\Windows Mail")));
  EXPECT_EQ(Read(At("Windows\\system32\\msoeacct.dll")), "original");
  EXPECT_FALSE(FolderExists(system_, At("PF\\Movrix18")));
}

TEST_F(UninstallTest, WithoutItsRegistryRecordNothingChangesAndNoTraceIsTakenForNothing) {
  ASSERT_EQ(Start().ExitCode(), 0) << system_.BoxLines();
  Remove(At("PF\\Movrix18\\registre-origine.txt"));
  system_.boxes.clear();
  WindowRun& run = Start(true, true);
  EXPECT_EQ(run.ExitCode(), kExitFailed);
  EXPECT_TRUE(
      Contains(run.form.text(kTxtOutput), "ÉCHEC : aucun enregistrement de l'état d'origine : " +
                                              At("PF\\Movrix18\\registre-origine.txt") + "\r\n"))
      << run.form.text(kTxtOutput);
  EXPECT_EQ(Read(At("Windows\\system32\\msoeacct.dll")), "new");
  EXPECT_TRUE(EntryExists());
  // A component that still installs is a trace of its own, never "nothing installed".
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_64KEY, 0);
  for (const char* folder : {"system32\\", "syswow64\\"})
    for (const char* file : kSystemFiles) Remove(At("Windows\\") + folder + file + ".orlo");
  Remove(At("PF\\Windows Mail.orlo"));
  Remove(At("PF (x86)\\Windows Mail.orlo"));
  Remove(At("PF\\Movrix18"));
  RegDeleteTreeA(HKEY_CURRENT_USER, UserPriorStateKey::kParentKey);
  EXPECT_EQ(Start(true, true).ExitCode(), kExitFailed);
}

TEST_F(UninstallTest, AfterOneQuestionEverythingReturnsAtOnceAndOnlyAFileInUseWaitsForTheRestart) {
  Write(At("PF\\Windows Mail\\mine.txt"), "the system's own");
  // A library a program has loaded can be renamed, never deleted.
  WindowRun& run =
      InstallThenUninstall({{Call::kRemoveFile, "system32\\msoeacct.dll.supprimer", 5}});
  EXPECT_EQ(run.ExitCode(), kExitRestartNeeded) << run.form.text(kTxtOutput);
  EXPECT_EQ(system_.boxes.size(), 1u);
  EXPECT_EQ(system_.boxes[0].buttons, Buttons::kYesNo);
  const std::string aside = At("Windows\\system32\\msoeacct.dll.supprimer-1");
  EXPECT_EQ(system_.moves_at_restart, std::vector<std::string>{aside + " -> "});
  EXPECT_EQ(Read(aside), "new");
  EXPECT_NE(run.form.text(kTxtOutput).find("Au prochain redémarrage : " + aside + "\r\n"),
            std::string::npos);
  EXPECT_EQ(run.form.text(kText1),
            "Windows Mail sera entièrement désinstallé au prochain redémarrage.");
  for (const char* folder : {"system32\\", "syswow64\\"}) {
    for (const char* file : kSystemFiles) {
      const std::string path = At("Windows\\") + folder + file;
      EXPECT_EQ(Read(path), "original") << path;
      EXPECT_EQ(Read(path + ".orlo"), "<missing>") << path;
    }
  }
  EXPECT_EQ(Read(At("PF\\Windows Mail\\mine.txt")), "the system's own");
  EXPECT_EQ(Read(At("PF\\Windows Mail\\WinMail.exe")), "<missing>");
  EXPECT_FALSE(FolderExists(system_, At("PF (x86)\\Windows Mail.orlo")));
  EXPECT_FALSE(EntryExists());
  // Every user gets their own state back at their next sign-in, from the program kept for it.
  EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kActiveSetupKey, "StubPath"),
            "1:\"" + At("PF\\Movrix18\\Movrix18.exe") + "\" /utilisateur /desinstaller" +
                std::string(1, '\0'));
  EXPECT_EQ(Read(At("PF\\Movrix18\\registre-origine.txt")), "<missing>");
  EXPECT_NE(Read(At("PF\\Movrix18\\Movrix18.exe")), "<missing>");
  // Everything is back at once: a second way back before the restart finds nothing to undo, and
  // asks for nothing more.
  EXPECT_EQ(Start(true, true).ExitCode(), kExitNothingInstalled);
  EXPECT_EQ(system_.moves_at_restart.size(), 1u);
}

TEST_F(UninstallTest, ARestoreFailingHalfWayNamesItKeepsItsBackupAndCanBeRetried) {
  const std::string failing = At("Windows\\syswow64\\acctres.dll");
  WindowRun& run = InstallThenUninstall({{Call::kRename, "syswow64\\acctres.dll.orlo", 87}});
  EXPECT_EQ(run.ExitCode(), kExitFailed);
  EXPECT_NE(
      run.form.text(kTxtOutput)
          .find("ÉCHEC : fichier non rétabli : " + failing + " : " + DescribeError(87) + "\r\n"),
      std::string::npos)
      << run.form.text(kTxtOutput);
  EXPECT_EQ(Read(failing), "new");
  EXPECT_EQ(Read(failing + ".orlo"), "original");
  EXPECT_TRUE(system_.moves_at_restart.empty());
  EXPECT_TRUE(EntryExists()) << "the way back stays for a second attempt";
  EXPECT_TRUE(FolderExists(system_, At("PF\\Movrix18")));

  system_.ForgetFailures();
  EXPECT_EQ(Start(true, true).ExitCode(), kExitInstalled);
  EXPECT_EQ(Read(failing), "original");
  EXPECT_FALSE(EntryExists());
}

TEST_F(UninstallTest, ReadOnlyFilesGoAndOnlyASharingViolationWaitsForTheRestart) {
  // Installed read-only too, the system files set aside are deleted at once all the same.
  const std::string sources[] = {At("Setup\\WM_64\\Windows Mail\\lecture seule.txt"),
                                 At("Setup\\system32\\msoeacct.dll"),
                                 At("Setup\\syswow64\\msoeacct.dll")};
  Write(sources[0], "from read-only media");
  for (const std::string& source : sources)
    SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_READONLY);
  const std::string denied = At("Windows\\system32\\inetres.dll");
  WindowRun& run = InstallThenUninstall({{Call::kMoveReplacing, "system32\\inetres.dll", 5},
                                         {Call::kRename, "system32\\inetres.dll", 5},
                                         {Call::kRemoveFile, "acctres.dll.supprimer", 32}});
  for (const std::string& source : sources)
    SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(run.ExitCode(), kExitFailed);
  EXPECT_EQ(SortedFailures(run.state.Outcome),
            "fichier non rétabli : " + denied + ": " + DescribeError(5) + "\n");
  EXPECT_EQ(Read(denied), "new");
  EXPECT_EQ(system_.moves_at_restart.size(), 2u) << "the aside copies of acctres.dll";
  EXPECT_FALSE(FolderExists(system_, At("PF\\Windows Mail.supprimer-1")));
  EXPECT_TRUE(FolderExists(system_, At("PF\\Windows Mail")));
}

TEST_F(UninstallTest, WithWindowsMailRunningNothingChangesAndATreeThatStaysIsSetAside) {
  Write(At("PF\\Windows Mail\\mine.txt"), "the system's own");
  ASSERT_EQ(Start().ExitCode(), 0);
  {
    FakeMail mail;
    system_.answers = {Answer::kNo};
    EXPECT_EQ(Start(true, true).ExitCode(), kExitMailRunning);
    EXPECT_EQ(Read(At("PF\\Windows Mail\\WinMail.exe")), "WM_64");
  }
  system_.Fail(Call::kRemoveFile, "PF\\Windows Mail.supprimer-1\\WinMail.exe", 32);
  WindowRun& run = Start(true, true);
  EXPECT_EQ(Read(At("PF\\Windows Mail\\mine.txt")), "the system's own");
  EXPECT_EQ(SortedFailures(run.state.Outcome),
            "non supprimé : " + At("PF\\Windows Mail.supprimer-1\\WinMail.exe") + ": " +
                DescribeError(32) + "\n");
  EXPECT_TRUE(EntryExists());
}

TEST_F(UninstallTest, TheOriginalOwnerAndAccessListComeBackWithTheFileOnce) {
  const std::string file = At("Windows\\system32\\msoeacct.dll");
  system_.file_security[file] = "owner TrustedInstaller";
  ASSERT_EQ(Start().ExitCode(), 0);
  system_.file_security[file] = "owner Administrators, as takeown left it";
  ASSERT_EQ(Start().ExitCode(), 0);
  EXPECT_EQ(Start(true, true).ExitCode(), 0);
  EXPECT_EQ(system_.file_security[file], "owner TrustedInstaller");
  EXPECT_EQ(Read(file), "original");
  EXPECT_EQ(Read(SavedSecurityPath(file)), "<missing>");
}

TEST_F(UninstallTest, OnWindows7TheRunningKeptProgramIsSetAsideBeforeItsDeletionWaits) {
  PinnedVersionValue windows7{"ProductName", "Microsoft Windows 7"};
  ASSERT_EQ(Start().ExitCode(), 0);
  const std::string kept = At("PF\\Movrix18\\Movrix18.exe");
  system_.executable = kept;
  EXPECT_EQ(Start(true, true).ExitCode(), 0);
  EXPECT_EQ(system_.moves_at_restart,
            (std::vector<std::string>{kept + ".supprimer-1 -> ", At("PF\\Movrix18 -> ")}));
  EXPECT_EQ(Read(kept), "<missing>");
  EXPECT_EQ(Read(At("PF\\Movrix18\\fichiers-installes.txt")), "<missing>");
  EXPECT_FALSE(EntryExists());
}

// A reader holding a record open, as any user may: that step fails with its reason, everything
// stays where the entry points, and a rerun once the reader has gone finishes without the records
// the first run already deleted.
TEST_F(UninstallTest, ARecordHeldOpenFailsItsStepAndARerunFinishesWithoutIt) {
  const std::string kept = At("PF\\Movrix18\\Movrix18.exe");
  const std::string record = At("PF\\Movrix18\\fichiers-installes.txt");
  for (const bool windows7 : {false, true}) {
    SCOPED_TRACE(windows7 ? "Windows 7" : "Windows 10");
    std::optional<PinnedVersionValue> version;
    if (windows7) version.emplace("ProductName", "Microsoft Windows 7");
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kActiveSetupKey, KEY_WOW64_64KEY, 0);
    system_.executable = At("Setup\\Movrix18.exe");
    ASSERT_EQ(Start().ExitCode(), 0) << system_.BoxLines();
    if (windows7) system_.executable = kept;
    HANDLE reader = CreateFileA(record.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    WindowRun& run = Start(true, true);
    EXPECT_EQ(run.ExitCode(), kExitFailed);
    EXPECT_TRUE(Contains(run.form.text(kTxtOutput), "ÉCHEC : fichier non supprimé : " + record))
        << run.form.text(kTxtOutput);
    EXPECT_TRUE(EntryExists());
    EXPECT_EQ(Read(kept), "exe") << "the program the entry points at";
    CloseHandle(reader);
    WindowRun& rerun = Start(true, true);
    EXPECT_EQ(rerun.ExitCode(), 0) << rerun.form.text(kTxtOutput);
    EXPECT_FALSE(EntryExists());
    EXPECT_EQ(Read(record), "<missing>");
    EXPECT_EQ(Read(At("PF\\Movrix18\\desinstallation.txt")), "<missing>");
    EXPECT_EQ(Read(At("Windows\\system32\\msoeacct.dll")), "original");
  }
}

// A folder the installation created, left for the restart because a library in it was in use,
// and filled again by a reinstallation before that restart: it is still one to remove.
TEST_F(UninstallTest, AFolderCreatedStaysCreatedThroughAReinstallationBeforeTheRestart) {
  const std::string folder = At("Windows\\syswow64\\fr-FR");
  Remove(folder);
  ASSERT_EQ(InstallThenUninstall({{Call::kRemoveFile, "fr-FR\\acctres.dll.mui.supprimer", 32}})
                .ExitCode(),
            kExitRestartNeeded);
  system_.ForgetFailures();
  ASSERT_EQ(Start().ExitCode(), 0);
  // The restart: the copy that waited for it goes; the folder, no longer empty, stays.
  Remove(folder + "\\acctres.dll.mui.supprimer-1");
  EXPECT_EQ(Start(true, true).ExitCode(), 0);
  EXPECT_FALSE(FolderExists(system_, folder));
}

// An installation killed half-way through its registration: both records were sealed before its
// first value, and the way back undoes what it wrote.
TEST_F(UninstallTest, AnInstallationKilledDuringItsRegistrationIsUndone) {
  struct Killed : ForwardingSystem {
    using ForwardingSystem::ForwardingSystem;
    int32_t SetRegValue(KeyHandle key, const std::string& name, uint32_t type,
                        const std::string& data, uint32_t size) override {
      if (++writes > 200) throw std::logic_error("killed");
      return next_.SetRegValue(key, name, type, data, size);
    }
    int writes = 0;
  } killed{system_};
  const std::string client = "SOFTWARE\\Clients\\Mail\\Windows Mail";
  Put(HKEY_LOCAL_MACHINE, client, "", "Autre messagerie");
  runs_on_ = &killed;
  EXPECT_THROW(Start(), std::logic_error);
  runs_on_ = &system_;
  ASSERT_EQ(Stored(HKEY_LOCAL_MACHINE, client, ""), "1:Windows Mail" + std::string(1, '\0'));
  WindowRun& run = Start(true, true);
  EXPECT_EQ(run.ExitCode(), 0) << run.form.text(kTxtOutput);
  EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, client, ""), "1:Autre messagerie" + std::string(1, '\0'));
  EXPECT_EQ(Read(At("Windows\\system32\\msoeacct.dll")), "original");
}

// What a run stopped between setting a copy aside and deleting it left: the check counts it, and
// the next installation or way back deletes it.
TEST_F(UninstallTest, EveryCopyAStoppedRunSetAsideIsCountedAndDeletedByTheNextRun) {
  const std::string copies[] = {At("Windows\\system32\\msoeacct.dll.supprimer-1"),
                                At("Windows\\syswow64\\fr-FR\\inetres.dll.mui.supprimer-2"),
                                At("PF (x86)\\Windows Mail.supprimer-1\\WinMail.exe"),
                                At("PF\\Movrix18\\Movrix18.exe.supprimer-1")};
  const std::string log = At("verifier.log");
  ASSERT_EQ(Start().ExitCode(), 0);
  for (const bool uninstall : {false, true}) {
    for (const std::string& copy : copies) Write(copy, "set aside");
    EXPECT_EQ(RunProgram(system_, {"/verifier", "/journal=" + log}), 1);
    EXPECT_TRUE(Contains(Read(log), "DIFFÉRENCE : copie mise de côté, jamais supprimée : " +
                                        At("PF (x86)\\Windows Mail.supprimer-1\r\n")))
        << Read(log);
    EXPECT_EQ(Start(uninstall, true).ExitCode(), 0);
    for (const std::string& copy : copies) EXPECT_EQ(Read(copy), "<missing>") << copy;
    EXPECT_FALSE(FolderExists(system_, At("PF (x86)\\Windows Mail.supprimer-1")));
  }
}

// A system file or a program folder that someone replaced since, as a system update does: it
// stays with its backup, everything else comes back, and nothing claims the system did.
TEST_F(UninstallTest, AFileOrFolderReplacedSinceStaysWithItsBackupAndTheRestComesBack) {
  const std::string system_file = At("Windows\\system32\\inetres.dll");
  const std::string folder = At("PF (x86)\\Windows Mail");
  const struct {
    std::string left, changed;
  } cases[] = {
      {system_file, system_file},
      {folder, folder + "\\WinMail.exe"},
      // A feature update's file, which the installation never wrote.
      {folder, folder + "\\fr-FR\\mise à jour.dll"},
  };
  // Another program's subkey under a key the first installation created.
  const std::string client = "SOFTWARE\\Clients\\Mail\\Windows Mail";
  HKEY mail;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients\\Mail", 0, nullptr, 0,
                            KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &mail, nullptr),
            0);
  RegDeleteTreeA(mail, "Windows Mail");
  RegCloseKey(mail);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.changed);
    ASSERT_EQ(Start().ExitCode(), 0);
    Put(HKEY_LOCAL_MACHINE, client + "\\Autre", "Réglage", "le sien");
    Write(c.changed, "a system update");
    WindowRun& run = Start(true, true);
    EXPECT_EQ(run.ExitCode(), 0);
    EXPECT_EQ(Read(c.changed), "a system update");
    EXPECT_TRUE(PathExists(system_, c.left + ".orlo"));
    const std::string output = run.form.text(kTxtOutput);
    EXPECT_TRUE(Contains(output, "ATTENTION : " + c.left +
                                     " a changé depuis l'installation : laissé tel quel, avec "
                                     "sa sauvegarde " +
                                     c.left + ".orlo\r\n"))
        << output;
    EXPECT_FALSE(Contains(output, "rétabli : " + c.left + "\r\n")) << output;
    EXPECT_EQ(Read(At("Windows\\syswow64\\inetres.dll")), "original");
    EXPECT_EQ(Read(At("PF\\Windows Mail\\WinMail.exe")), "<missing>");
    EXPECT_TRUE(EntryExists()) << "the record that tells it apart stays";
    // Every other user still gets their values back, and nothing claims the system came back.
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kActiveSetupKey, "StubPath"),
              "1:\"" + At("PF\\Movrix18\\Movrix18.exe") + "\" /utilisateur /desinstaller" +
                  std::string(1, '\0'));
    EXPECT_TRUE(Contains(run.form.text(kText1), c.left)) << run.form.text(kText1);
    EXPECT_FALSE(Contains(run.form.text(kTxtOK), "retrouvé son état")) << run.form.text(kTxtOK);
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, client + "\\Autre", "Réglage"),
              "1:le sien" + std::string(1, '\0'));
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, client, ""), "<no value>");
    Remove(c.changed);
  }
}

TEST_F(UninstallTest, ADamagedOrForgedFileRecordStopsTheWayBackBeforeAnythingChanges) {
  const std::string record = At("PF\\Movrix18\\fichiers-installes.txt");
  const std::string security = At("Windows\\syswow64\\inetres.dll.orlo.droits");
  const std::string kept = At("ProgramData\\Garder");
  // A row resealed by someone who can write the record: only the program's own list counts.
  const auto add_row = [&](const std::string& row) {
    std::vector<std::string> lines = *UnsealRecord("fichiers installés", Read(record));
    lines.push_back(row);
    Write(record, SealRecord("fichiers installés", lines));
  };
  const struct {
    std::function<void()> spoil;
    std::string refusal;
  } cases[] = {
      {[&] { Write(record, Read(record).substr(0, 300)); }, "enregistrement endommagé : " + record},
      {[&] { add_row("dossier\t" + kept); }, "enregistrement endommagé : " + record},
      {[&] { add_row("absent\t" + kept + "\\a.dll"); }, "enregistrement endommagé : " + record},
      {[&] {
         add_row("fichier\t1\t" + std::string(64, '0') + "\t" + At("PF\\Windows Mail\\..\\x"));
       },
       "enregistrement endommagé : " + record},
      {[&] { Write(security, Read(security).substr(0, 20)); },
       "enregistrement endommagé : " + security},
  };
  ASSERT_EQ(Start().ExitCode(), 0);
  const std::string good = Read(record), good_security = Read(security);
  MakeFolder(kept);
  for (const auto& c : cases) {
    c.spoil();
    WindowRun& run = Start(true, true);
    EXPECT_EQ(run.ExitCode(), kExitFailed) << c.refusal;
    EXPECT_TRUE(Contains(run.form.text(kTxtOutput), "ÉCHEC : " + c.refusal))
        << run.form.text(kTxtOutput);
    EXPECT_EQ(Read(At("Windows\\system32\\msoeacct.dll")), "new") << c.refusal;
    EXPECT_TRUE(FolderExists(system_, kept)) << c.refusal;
    EXPECT_TRUE(EntryExists());
    Write(record, good);
    Write(security, good_security);
  }
}

// The check of what the installation wrote: from the kept program, without the rights or the setup
// folder, it names each difference on a line of the log and changes nothing.
TEST_F(UninstallTest, TheCheckNamesEachDifferenceAndChangesNothing) {
  const std::string log = At("verifier.log");
  const auto check = [&](std::vector<std::string> switches, int code,
                         std::vector<std::string> differences = {}) {
    Remove(log);
    switches.push_back("/journal=" + log);
    EXPECT_EQ(RunProgram(system_, switches), code) << Read(log);
    for (const std::string& line : differences)
      EXPECT_TRUE(Contains(Read(log), "\r\nDIFFÉRENCE : " + line)) << line << Read(log);
  };
  check({"/verifier"}, 1605);
  check({"/utilisateur", "/verify"}, 1605);
  ASSERT_EQ(Start().ExitCode(), 0);
  // The setup folder itself stays the current folder the start-up made it.
  for (const char* part : {"Movrix18.exe", "WM_32", "WM_64", "system32", "syswow64"})
    Remove(At("Setup\\") + part);
  system_.executable = At("PF\\Movrix18\\Movrix18.exe");
  system_.admin = AdministratorsGroup::kAbsent;
  system_.read_only_keys = {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\", kUninstallKey};
  system_.values_written.clear();
  check({"/VÉRIFIER"}, 0);
  check({"/user", "-vérifier"}, 0);

  const std::string tree_file = At("PF\\Windows Mail\\WinMail.exe");
  const std::string put_back = At("Windows\\system32\\inetres.dll");
  const std::string client = "SOFTWARE\\Clients\\Mail\\Windows Mail";
  Write(tree_file, "changed");
  Remove(At("PF (x86)\\Windows Mail\\WinMail.exe"));
  Write(put_back, "original");
  Put(HKEY_LOCAL_MACHINE, client, "", "Autre messagerie");
  RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Clients\\Mail", "");
  check({"/verifier"}, 1,
        {"modifié : " + tree_file, "manquant : " + At("PF (x86)\\Windows Mail\\WinMail.exe"),
         "modifié : " + put_back, "HKLM\\" + client + "\\ : changée"});
  check({"/utilisateur", "/verifier"}, 1, {"HKCU\\Software\\Clients\\Mail\\ : supprimée"});
  // A record that cannot be trusted, an entry or a component that is gone: no more intact.
  const std::string record = At("PF\\Movrix18\\fichiers-installes.txt");
  Write(record, Read(record).substr(0, 300));
  for (const char* key : {kUninstallKey, kActiveSetupKey})
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY, 0);
  check({"/verifier"}, 1,
        {"enregistrement endommagé : " + record + "\r\n", "aucune entrée de Programmes",
         "composant absent ou retiré"});
  check({"/verifier", "/desinstaller"}, 87);
  EXPECT_EQ(system_.BoxLines(), "");
  EXPECT_EQ(system_.values_written, std::vector<std::string>{});
}

}  // namespace
}  // namespace movrix::testing
