// The installation run on the stand-in: the checks and their messages, the order of the phases and
// the text the window shows at the end.
#include <gtest/gtest.h>

#include "app/frm_copy.h"
#include "common/text.h"
#include "tests/unit/host_fixture.h"

namespace movrix {
namespace {

const std::string kSetup = "D:\\Setup\\";

class RunInstallTest : public testing::HostTest {
 protected:
  RunInstallTest() {
    host_.WriteFile(host_.ExecutablePath(), "exe");
    LaySources();
    LaySystem();
  }

  void LaySources() {
    host_.WriteFile(kSetup + "WM_32\\Windows Mail\\WinMail.exe", "wm32 winmail");
    host_.WriteFile(kSetup + "WM_64\\Windows Mail\\WinMail.exe", "wm64 winmail");
    for (const char* folder : {"system32\\", "syswow64\\"}) {
      for (const char* file : {"msoeacct.dll", "msidcrl30.dll", "acctres.dll", "inetres.dll",
                               "fr-FR\\acctres.dll.mui", "fr-FR\\inetres.dll.mui"})
        host_.WriteFile(kSetup + folder + file, std::string("new ") + folder + file);
    }
  }

  void LaySystem() {
    host_.MakeFolder("C:\\Program Files\\Windows Mail");
    host_.MakeFolder("C:\\Program Files (x86)\\Windows Mail");
    host_.MakeFolder("C:\\Windows\\system32\\fr-FR");
    host_.MakeFolder("C:\\Windows\\syswow64\\fr-FR");
  }

  void Use32BitSystem() {
    host_.Set64BitSystem(false);
    host_.MakeFolder("C:\\Program Files\\Windows Mail");
  }

  void SetProductName(const std::string& name) {
    host_.SetRegValueDirect(kLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                            "ProductName", kRegSz, name);
  }

  void Run() {
    form_.Form_Load();
    form_.Show();
  }

  // The texts of the boxes shown, in order.
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const HostSystem::Box& box : host_.boxes()) texts.push_back(box.text);
    return texts;
  }

  // The run stopped: the window never appeared and nothing reached the output box.
  void ExpectStopped() {
    EXPECT_FALSE(host_.shown_window().has_value());
    EXPECT_EQ(form_.text(kTxtOutput), "");
  }

  FrmCopy form_{host_};
};

std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + kCrLf;
  return text;
}

TEST_F(RunInstallTest, FirstRunOnWindows10ShowsStepsThenCopyLog) {
  Run();
  EXPECT_TRUE(host_.boxes().empty()) << BoxTitles();
  ASSERT_TRUE(host_.shown_window().has_value());
  EXPECT_EQ(form_.text(kTxtSys), "Windows 10 Pro 64 bits\r\nVersion          6.3.19045 \r\n");

  std::string expected_start =
      Lines({Repeat('=', 51), "Vérifier la présence des dossiers Windows Mail renommés.",
             "Les renommer s'ils ne le sont pas encore", Repeat('=', 51),
             "Renommer le ou les dossiers programmes Windows Mail", Repeat('-', 92),
             "Renommer le dossier Program Files\\Windows Mail",
             "Renommer le dossier Program Files (x86)\\Windows Mail", "", Repeat('=', 57),
             "Compléter la base de registre", Repeat('=', 57), "", Repeat('=', 46),
             "Copier les fichiers programmes de Windows Mail (de Vista)",
             "dans le(s) dossier(s) programmes de Windows W10", Repeat('=', 46),
             "Copier les fichiers dans Program Files (x86)", Repeat('-', 67)});
  const std::string& output = form_.text(kTxtOutput);
  EXPECT_EQ(output.substr(0, expected_start.size()), expected_start);
  EXPECT_NE(output.find("de   D:\\Setup\\WM_32\\Windows Mail\\WinMail.exe\r\n"
                        "vers C:\\Program Files (x86)\\Windows Mail\\WinMail.exe\r\n"),
            std::string::npos)
      << output;
  const std::string last_line = "copie de inetres.dll.mui sous System32\\fr-FR\\ et SysWOW64\\fr-FR\\\r\n";
  ASSERT_GE(output.size(), last_line.size());
  EXPECT_EQ(output.substr(output.size() - last_line.size()), last_line);
  EXPECT_FALSE(host_.reg_writes().empty());
  EXPECT_EQ(host_.ReadFile("C:\\Program Files\\Windows Mail\\WinMail.exe"), "wm64 winmail");
}

TEST_F(RunInstallTest, SecondRunRenamesNothingAndShowsAnEmptyLine) {
  Run();
  FrmCopy second(host_);
  second.Form_Load();
  EXPECT_TRUE(host_.boxes().empty()) << BoxTitles();
  std::string expected_start =
      Lines({Repeat('=', 51), "Vérifier la présence des dossiers Windows Mail renommés.",
             "Les renommer s'ils ne le sont pas encore", Repeat('=', 51), "", Repeat('=', 57)});
  EXPECT_EQ(second.text(kTxtOutput).substr(0, expected_start.size()), expected_start);
}

TEST_F(RunInstallTest, AdministratorRefusalIsTheOnlyBox) {
  host_.SetAdmin(false);
  Run();
  ASSERT_EQ(host_.boxes().size(), 1u) << BoxTitles();
  const HostSystem::Box& box = host_.boxes()[0];
  EXPECT_EQ(box.text,
            "Movrix doit être lancé en mode Administrateur. Il va être fermé. !\r\n\r\n"
            "Pour le relancer, cliquer-droite sur Movrix et choisir\r\n"
            "l'option 'Exécuter en tant qu'administrateur'.");
  EXPECT_EQ(box.title, "Movrix18");
  EXPECT_EQ(box.icon, Icon::kCritical);
  EXPECT_EQ(form_.text(kTxtSys), "");
  EXPECT_EQ(host_.PathAttributes("C:\\Program Files\\Windows Mail.orlo"), -1);
  ExpectStopped();
}

TEST_F(RunInstallTest, SystemOtherThan7Or8Or10IsRefused) {
  SetProductName("Microsoft Windows XP");
  Run();
  ASSERT_EQ(BoxTexts(), std::vector<std::string>{
                            "Le système n'est ni Windows 7, ni Windows 8, ni Windows 10"});
  EXPECT_EQ(host_.boxes()[0].icon, Icon::kNone);
  EXPECT_EQ(host_.PathAttributes("C:\\Program Files\\Windows Mail.orlo"), -1);
  ExpectStopped();
}

TEST_F(RunInstallTest, MissingSourcesOn64BitSystemGiveTheirMessages) {
  struct Case {
    bool wm32, wm64, system32, syswow64;
    size_t file_boxes;  // boxes of the file test before the run's own message
    const char* message;
  } cases[] = {
      {false, false, true, true, 0, "Le dossiers WM_32 et WM_64 n'ont pas été installés."},
      {false, true, false, false, 0, "Le dossier WM_32 n'a pas été installé."},
      {true, false, false, false, 0, "Le dossier WM_64 n'a pas été installé."},
      {true, true, false, false, 2, "Le dossiers system32 et system64 n'ont pas été installés."},
      {true, true, false, true, 1, "Le dossier system32 n'a pas été installé."},
      {true, true, true, false, 1, "Le dossier syswow64 n'a pas été installé."},
  };
  for (const Case& c : cases) {
    HostSystem host(root_ / std::to_string(&c - cases));
    host.WriteFile(host.ExecutablePath(), "exe");
    if (c.wm32) host.MakeFolder(kSetup + "WM_32");
    if (c.wm64) host.MakeFolder(kSetup + "WM_64");
    if (c.system32) host.WriteFile(kSetup + "system32\\msidcrl30.dll", "dll");
    if (!c.syswow64) host.WriteFile(kSetup + "syswow64\\msidcrl30.dll", "");  // empty is missing
    else host.WriteFile(kSetup + "syswow64\\msidcrl30.dll", "dll");
    FrmCopy form(host);
    form.Form_Load();
    SCOPED_TRACE(c.message);
    ASSERT_EQ(host.boxes().size(), c.file_boxes + 1);
    EXPECT_EQ(host.boxes().back().text, c.message);
    EXPECT_EQ(host.boxes().back().icon, Icon::kNone);
    for (size_t i = 0; i < c.file_boxes; ++i) EXPECT_EQ(host.boxes()[i].title, "Movrix18");
    EXPECT_FALSE(form.loaded());
    EXPECT_EQ(host.PathAttributes("C:\\Program Files\\Windows Mail.orlo"), -1);
  }
}

TEST_F(RunInstallTest, On32BitSystemOnlyTheSyswow64LibraryIsRequired) {
  Use32BitSystem();
  host_.WriteFile(kSetup + "syswow64\\msidcrl30.dll", "");
  Run();
  ASSERT_EQ(host_.boxes().size(), 2u) << BoxTitles();
  EXPECT_EQ(host_.boxes()[0].text, "") << "an empty file raised no error";
  EXPECT_EQ(host_.boxes()[1].text, "Le dossier syswow64 n'a pas été installé.");
  ExpectStopped();
}

TEST_F(RunInstallTest, Windows7CopiesWithoutRegistration) {
  SetProductName("Windows 7 Professional");
  Run();
  EXPECT_TRUE(host_.boxes().empty()) << BoxTitles();
  const std::string& output = form_.text(kTxtOutput);
  EXPECT_EQ(output.find("Compléter la base de registre"), std::string::npos) << output;
  EXPECT_NE(output.find("dans le(s) dossier(s) programmes de Windows 7\r\n"), std::string::npos);
  EXPECT_TRUE(host_.reg_writes().empty());
}

TEST_F(RunInstallTest, Windows8On32BitSystemUsesItsOwnPaths) {
  Use32BitSystem();
  SetProductName("Windows 8.1 Pro");
  Run();
  EXPECT_TRUE(host_.boxes().empty()) << BoxTitles();
  const std::string& output = form_.text(kTxtOutput);
  EXPECT_NE(output.find("dans le(s) dossier(s) programmes de Windows W8\r\n"), std::string::npos);
  EXPECT_NE(output.find("Copie des DLL et DLL.MUI"), std::string::npos) << output;
  for (const HostSystem::RegWrite& write : host_.reg_writes())
    EXPECT_EQ(write.key.rfind("Wow6432Node", 0), std::string::npos) << write.key;
}

TEST_F(RunInstallTest, MissingMailFolderStopsWithTheRepairMessage) {
  std::filesystem::remove_all(host_.HostPath("C:\\Program Files\\Windows Mail"));
  Run();
  ASSERT_EQ(host_.boxes().size(), 2u) << BoxTitles();
  EXPECT_EQ(host_.boxes()[0].title, "Launch_Folders 1");
  EXPECT_EQ(host_.boxes()[1].title, "MVX");
  EXPECT_EQ(host_.boxes()[1].text,
            "Le système doit être réparé avant l'installation de Windows Mail");
  EXPECT_EQ(host_.boxes()[1].icon, Icon::kInformation);
  ExpectStopped();
}

TEST_F(RunInstallTest, FailedTreeCopyStopsWithoutAMessageOfItsOwn) {
  host_.WriteFile(kSetup + "WM_32\\LISEZMOI", "a name without a dot is not copied");
  Run();
  ASSERT_FALSE(host_.boxes().empty());
  EXPECT_EQ(host_.boxes().back().title, "Launch_Copy 1") << BoxTitles();
  EXPECT_TRUE(host_.reg_writes().empty()) << "registration comes after the copy";
  ExpectStopped();
}

}  // namespace
}  // namespace movrix
