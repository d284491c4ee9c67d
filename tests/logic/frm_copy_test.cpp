// The start-up and the installation run, from a program folder laid out in a scratch folder, on
// the prefix's Windows 10.
#include "app/frm_copy.h"

#include <windows.h>

#include "app/logged_system.h"
#include "files/mod_file_mngr.h"
#include "process/mod_process.h"
#include "tests/logic/fixture.h"

namespace movrix::testing {
namespace {

const std::string kRefusedAdmin =
    "Movrix doit être lancé en mode Administrateur. Il va être fermé. !\r\n\r\n"
    "Pour le relancer, cliquer-droite sur Movrix et choisir\r\n"
    "l'option 'Exécuter en tant qu'administrateur'.";

class FormLoadTest : public LogicTest {
 protected:
  FormLoadTest() {
    system_.executable = At("Setup\\Movrix18.exe");
    system_.environment = {{"ProgramFiles", At("PF")},
                           {"windir", At("Windows")},
                           {"PROCESSOR_IDENTIFIER", "Intel64 Family 6 Model 85"}};
    LayOut();
  }

  // The program beside its sources, on a system with its "Windows Mail" folders.
  void LayOut() {
    Write(At("Setup\\Movrix18.exe"), "exe");
    for (const char* tree : {"WM_32", "WM_64"})
      Write(At("Setup\\") + tree + "\\Windows Mail\\WinMail.exe", tree);
    for (const char* folder : {"system32\\", "syswow64\\"}) {
      for (const char* file : {"msoeacct.dll", "msidcrl30.dll", "acctres.dll", "inetres.dll",
                               "fr-FR\\acctres.dll.mui", "fr-FR\\inetres.dll.mui"})
        Write(At("Setup\\") + folder + file, "new");
      MakeFolder(At("Windows\\") + folder + "fr-FR");
    }
    MakeFolder(At("PF\\Windows Mail"));
    MakeFolder(At("PF (x86)\\Windows Mail"));
  }

  // Starts the program; the window, if it is still loaded, is recorded and closed with OK.
  FrmCopy& Start() {
    forms_.push_back(std::make_unique<FrmCopy>(system_));
    forms_.back()->Form_Load();
    forms_.back()->Show();
    return *forms_.back();
  }
  std::vector<std::unique_ptr<FrmCopy>> forms_;
  PinnedVersionValue product_{"ProductName", "Microsoft Windows 10"};
};

TEST_F(FormLoadTest, OnlyTheListedEnglishAndFrenchLanguagesAreAccepted) {
  system_.admin = false;  // an accepted language goes on to the rights test, and stops there
  for (uint16_t id : {0x0409, 0x0809, 0x0C09, 0x1009, 0x1409, 0x1809, 0x1C09, 0x2009,
                      0x2409, 0x2809, 0x2C09, 0x3009, 0x3409, 0x040C, 0x080C, 0x0C0C,
                      0x100C, 0x140C, 0x180C, 0x0407, 0x0C0A, 0x4009, 0x040D, 0x0000}) {
    system_.language = id;
    system_.boxes.clear();
    FrmCopy& form = Start();
    const bool accepted =
        (id & 0xFF) != 0x07 && (id & 0xFF) != 0x0A && id != 0x4009 && id != 0x040D && id != 0;
    EXPECT_EQ(system_.BoxLines(),
              accepted ? "Movrix18|" + kRefusedAdmin + "|critical\n"
                       : "Form_Load|Movrix non compatible avec la langue de Windows ou Système "
                         "corrompu|critical\n")
        << std::hex << id;
    EXPECT_EQ(form.caption().empty(), !accepted) << std::hex << id;
    EXPECT_FALSE(system_.shown_window.has_value());
  }
}

TEST_F(FormLoadTest, AFirstAndASecondRunOnWindows10ShowTheStepsThenTheCopyLog) {
  FrmCopy& form = Start();
  ASSERT_EQ(system_.BoxLines(), "");
  ASSERT_TRUE(system_.shown_window.has_value());
  EXPECT_EQ(form.caption(), BuildCaption(system_.FileDateShortText(At("Setup\\Movrix18.exe"))));
  EXPECT_EQ(form.state().AppFolder, At("Setup\\"));
  EXPECT_EQ(form.state().ProgramFilesX86Folder, At("PF (x86)\\"));
  EXPECT_EQ(form.state().SysWow64Folder, At("Windows\\syswow64\\"));
  EXPECT_EQ(form.text(kTxtOK),
            "Les fichiers programmes de Windows Mail ont été correctement installés.\r\n"
            "Il vous suffit, si vous ne l'avez pas déjà fait, de lancer Quillset");
  EXPECT_EQ(form.text(kTxtSys).substr(0, form.text(kTxtSys).find('\r')),
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
  EXPECT_EQ(form.text(kTxtOutput).substr(0, first.size()), first);
  EXPECT_EQ(system_.shown_window->texts[kTxtOutput], form.text(kTxtOutput));
  EXPECT_EQ(Read(At("PF\\Windows Mail\\WinMail.exe")), "WM_64");
  EXPECT_EQ(Read(At("Windows\\system32\\msoeacct.dll")), "new");

  const std::string second = heading + Lines({""}) + steps;
  EXPECT_EQ(Start().text(kTxtOutput).substr(0, second.size()), second);
  EXPECT_EQ(system_.BoxLines(), "");
}

TEST_F(FormLoadTest, AnyFailureMakesBothStatusLinesSaySoAndTheOutputNamesEachOne) {
  system_.Fail("ShellCopyFile", "WM_64");
  system_.Fail("SetRegValue", "EditFlags");
  FrmCopy& form = Start();
  ASSERT_TRUE(system_.shown_window.has_value()) << system_.BoxLines();
  EXPECT_EQ(form.text(kTxtOK),
            "L'installation de Windows Mail est incomplète.\r\n"
            "Les erreurs sont indiquées dans le journal ci-dessous.");
  EXPECT_EQ(system_.shown_window->texts[kText1], "L'installation de Windows Mail est incomplète.");
  EXPECT_EQ(form.ExitCode(), kExitFailed);
  const std::string& output = form.text(kTxtOutput);
  for (const std::string& line :
       {"ÉCHEC : " + At("PF\\Windows Mail\\WinMail.exe") +
            " n'a pas été copié : " + DescribeError(5) + " (code 5)",
        "ÉCHEC : la valeur EditFlags de HKCR\\mailto n'a pas été écrite : " + DescribeError(5)})
    EXPECT_TRUE(Contains(output, kCrLf + line + kCrLf)) << line << " in\n" << output;
}

// A silent run that a phase stops: nothing may wait for an answer, and the log keeps what was
// done so far and the status.
TEST_F(FormLoadTest, ASilentRunStoppedByAPhaseStillLogsItsOutputAndStatus) {
  Remove(At("Setup\\syswow64\\fr-FR\\inetres.dll.mui"));
  RunLog log(system_, At("run.log"));
  LoggedSystem silent(system_, log, true);
  FrmCopy form(silent, &log, true);
  form.Form_Load();
  form.Show();
  EXPECT_EQ(form.ExitCode(), kExitFailed);
  EXPECT_EQ(system_.boxes.size(), 0u) << system_.BoxLines();
  EXPECT_EQ(system_.unattended_copies, 2) << "one WinMail.exe in each tree";
  const std::string logged = Read(At("run.log"));
  for (const std::string& line : {"de   " + At("Setup\\WM_64\\Windows Mail\\WinMail.exe"),
                                  std::string("Message « Launch_Copy 5 » : ") + DescribeError(2),
                                  std::string("Statut : L'installation de Windows Mail a échoué.")})
    EXPECT_TRUE(Contains(logged, line)) << line << " in\n" << logged;
}

TEST_F(FormLoadTest, EachStopShowsItsMessageAndNeverTheWindow) {
  struct Case {
    std::vector<std::string> remove;
    std::string boxes;
    const char* processor = "Intel64 Family 6 Model 85";
  } cases[] = {
      {{"Setup\\WM_32", "Setup\\WM_64"},
       "Movrix18|Le dossiers WM_32 et WM_64 n'ont pas été installés.|none\n"},
      {{"Setup\\WM_64"}, "Movrix18|Le dossier WM_64 n'a pas été installé.|none\n"},
      // A tree without the program counts as missing, on a 32-bit system too.
      {{"Setup\\WM_32\\Windows Mail\\WinMail.exe"},
       "Movrix18|Le dossier WM_32 n'a pas été installé.|none\n"},
      {{"Setup\\WM_32\\Windows Mail", "Setup\\WM_64\\Windows Mail\\WinMail.exe"},
       "Movrix18|Le dossiers WM_32 et WM_64 n'ont pas été installés.|none\n"},
      {{"Setup\\WM_32"}, "Movrix18|Le dossier WM_32 n'a pas été installé.|none\n", "x86 Family 6"},
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
    system_.environment["PROCESSOR_IDENTIFIER"] = c.processor;
    FrmCopy& form = Start();
    // The boxes of the file test show the system's own description of the missing file.
    for (TestSystem::Box& box : system_.boxes) {
      if (box.title == "Movrix18" && box.text.rfind("Le ", 0) != 0) box.text = "<description>";
    }
    EXPECT_EQ(system_.BoxLines(), c.boxes);
    EXPECT_EQ(form.text(kTxtOutput), "");
    EXPECT_FALSE(system_.shown_window.has_value());
    EXPECT_FALSE(FolderExists(system_, At("PF\\Windows Mail.orlo"))) << "renamed: " << c.boxes;
  }
  // A folder test that fails for another reason than absence stops the run with its description.
  system_.boxes.clear();
  system_.Fail("PathAttributes", "WM_32");
  Start();
  EXPECT_EQ(system_.BoxLines(), "RunInstall|" + DescribeError(5) + "|critical\n");
  // An executable whose date cannot be read still gives a caption.
  system_.admin = false;
  system_.boxes.clear();
  system_.Fail("FileDateShortText");
  EXPECT_EQ(Start().caption(), "Movrix18 (version 2.18.0.1 du date inconnue)");
  EXPECT_EQ(system_.BoxLines(), "Movrix18|" + kRefusedAdmin + "|critical\n");
}

TEST_F(FormLoadTest, A32BitProcessReadsProgramFilesAsTheX86Folder) {
  if (sizeof(void*) == 8) GTEST_SKIP() << "only a 32-bit process reads this; this one is 64-bit";
  const bool wow64 = IsWow64();
  system_.environment.erase("ProgramFiles");
  EXPECT_EQ(system_.GetEnv("ProgramFiles"),
            wow64 ? "C:\\Program Files (x86)" : "C:\\Program Files");
  system_.admin = false;
  FrmCopy& form = Start();
  EXPECT_EQ(form.state().ProgramFilesFolder, "C:\\Program Files\\");
  EXPECT_EQ(form.state().ProgramFilesX86Folder, "C:\\Program Files (x86)\\");
}

TEST(ProcessTest, FindsWholeNamesIgnoringCaseAndEndsTheProcessBeforeReturning) {
  TestSystem system;
  const std::string exe = system.ExecutablePath();
  const std::string mail = exe.substr(0, exe.rfind('\\')) + "\\WinMail.exe";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  ASSERT_TRUE(CreateProcessA(mail.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &started))
      << mail;
  EXPECT_EQ(FindProcess(system, "WINMAIL.EXE"), int32_t(started.dwProcessId));
  EXPECT_EQ(FindProcess(system, "WinMail.ex"), 0);
  EXPECT_EQ(FindProcess(system, "WinMail.exe.mui"), 0);
  KillProcess(system, int32_t(started.dwProcessId));
  EXPECT_EQ(WaitForSingleObject(started.hProcess, 0), WAIT_OBJECT_0) << "still running";
  CloseHandle(started.hProcess);
  CloseHandle(started.hThread);
  KillProcess(system, 0x7FFFFFF0);  // no such process: nothing happens
}

}  // namespace
}  // namespace movrix::testing
