// The installation run on the stand-in: the checks and their messages, the order of the phases and
// the text the window shows at the end.
#include <gtest/gtest.h>

#include "app/frm_copy.h"
#include "common/text.h"
#include "tests/unit/host_fixture.h"

namespace movrix {
namespace {

const std::string kSetup = "D:\\Setup\\";

// The program beside its sources, on a system with its "Windows Mail" folders.
void LayInstallation(HostSystem& host) {
  host.WriteFile(host.ExecutablePath(), "exe");
  host.WriteFile(kSetup + "WM_32\\Windows Mail\\WinMail.exe", "wm32 winmail");
  host.WriteFile(kSetup + "WM_64\\Windows Mail\\WinMail.exe", "wm64 winmail");
  for (const char* folder : {"system32\\", "syswow64\\"}) {
    for (const char* file : {"msoeacct.dll", "msidcrl30.dll", "acctres.dll", "inetres.dll",
                             "fr-FR\\acctres.dll.mui", "fr-FR\\inetres.dll.mui"})
      host.WriteFile(kSetup + folder + file, std::string("new ") + folder + file);
  }
  host.MakeFolder("C:\\Program Files\\Windows Mail");
  host.MakeFolder("C:\\Program Files (x86)\\Windows Mail");
  host.MakeFolder("C:\\Windows\\system32\\fr-FR");
  host.MakeFolder("C:\\Windows\\syswow64\\fr-FR");
}

void SetProductName(HostSystem& host, const std::string& name) {
  host.SetRegValueDirect(kLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                         "ProductName", kRegSz, name);
}

class RunInstallTest : public testing::HostTest {
 protected:
  RunInstallTest() { LayInstallation(host_); }

  void Run() {
    form_.Form_Load();
    form_.Show();
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

TEST_F(RunInstallTest, FirstAndSecondRunOnWindows10ShowStepsThenCopyLog) {
  Run();
  EXPECT_EQ(Boxes(), "");
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
  const std::string last_line =
      "copie de inetres.dll.mui sous System32\\fr-FR\\ et SysWOW64\\fr-FR\\\r\n";
  ASSERT_GE(output.size(), last_line.size());
  EXPECT_EQ(output.substr(output.size() - last_line.size()), last_line);
  EXPECT_FALSE(host_.reg_writes().empty());
  EXPECT_EQ(host_.ReadFile("C:\\Program Files\\Windows Mail\\WinMail.exe"), "wm64 winmail");

  // The second run renames nothing and shows an empty line in place of the renaming.
  FrmCopy second(host_);
  second.Form_Load();
  EXPECT_EQ(Boxes(), "");
  expected_start =
      Lines({Repeat('=', 51), "Vérifier la présence des dossiers Windows Mail renommés.",
             "Les renommer s'ils ne le sont pas encore", Repeat('=', 51), "", Repeat('=', 57)});
  EXPECT_EQ(second.text(kTxtOutput).substr(0, expected_start.size()), expected_start);
}

TEST_F(RunInstallTest, AdministratorRefusalIsTheOnlyBox) {
  host_.SetAdmin(false);
  Run();
  EXPECT_EQ(Boxes(),
            "Movrix18|Movrix doit être lancé en mode Administrateur. Il va être fermé. !\r\n\r\n"
            "Pour le relancer, cliquer-droite sur Movrix et choisir\r\n"
            "l'option 'Exécuter en tant qu'administrateur'.|critical\n");
  EXPECT_EQ(form_.text(kTxtSys), "");
  EXPECT_EQ(host_.PathAttributes("C:\\Program Files\\Windows Mail.orlo"), -1);
  ExpectStopped();
}

TEST_F(RunInstallTest, SystemOtherThan7Or8Or10IsRefused) {
  SetProductName(host_, "Microsoft Windows XP");
  Run();
  EXPECT_EQ(Boxes(), "Movrix18|Le système n'est ni Windows 7, ni Windows 8, ni Windows 10|none\n");
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
    if (!c.syswow64)
      host.WriteFile(kSetup + "syswow64\\msidcrl30.dll", "");  // empty is missing
    else
      host.WriteFile(kSetup + "syswow64\\msidcrl30.dll", "dll");
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
  host_.Set64BitSystem(false);
  host_.WriteFile(kSetup + "syswow64\\msidcrl30.dll", "");
  Run();
  // An empty file raises no error: the file test's box is empty.
  EXPECT_EQ(Boxes(), "Movrix18||none\nMovrix18|Le dossier syswow64 n'a pas été installé.|none\n");
  ExpectStopped();
}

TEST_F(RunInstallTest, Windows7CopiesWithoutRegistrationAnd32BitWindows8UsesItsOwnPaths) {
  struct Case {
    const char* product;
    bool is_64_bit, registers;
    const char* copy_heading;
    const char* system_block;
  } cases[] = {
      {"Windows 7 Professional", true, false, "de Windows 7\r\n", nullptr},
      {"Windows 8.1 Pro", false, true, "de Windows W8\r\n", "Copie des DLL et DLL.MUI"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.product);
    HostSystem host(root_ / c.product);
    LayInstallation(host);
    host.Set64BitSystem(c.is_64_bit);
    SetProductName(host, c.product);
    FrmCopy form(host);
    form.Form_Load();
    form.Show();
    EXPECT_EQ(testing::ShownBoxes(host), "");
    const std::string& output = form.text(kTxtOutput);
    EXPECT_EQ(output.find("Compléter la base de registre") != std::string::npos, c.registers)
        << output;
    EXPECT_NE(output.find(std::string("dans le(s) dossier(s) programmes ") + c.copy_heading),
              std::string::npos)
        << output;
    if (c.system_block) {
      EXPECT_NE(output.find(c.system_block), std::string::npos) << output;
    }
    EXPECT_EQ(host.reg_writes().empty(), !c.registers);
    for (const HostSystem::RegWrite& write : host.reg_writes())
      EXPECT_EQ(write.key.find("Wow6432Node"), std::string::npos) << write.key;
  }
}

TEST_F(RunInstallTest, MissingMailFolderStopsWithTheRepairMessage) {
  std::filesystem::remove_all(host_.HostPath("C:\\Program Files\\Windows Mail"));
  Run();
  EXPECT_EQ(Boxes(),
            "Launch_Folders 1||critical\n"
            "MVX|Le système doit être réparé avant l'installation de Windows Mail|"
            "information\n");
  ExpectStopped();
}

TEST_F(RunInstallTest, FailedTreeCopyStopsWithoutAMessageOfItsOwn) {
  host_.WriteFile(kSetup + "WM_32\\LISEZMOI", "a name without a dot is not copied");
  Run();
  EXPECT_EQ(Boxes(), "Launch_Copy 1||critical\n");
  EXPECT_TRUE(host_.reg_writes().empty()) << "registration comes after the copy";
  ExpectStopped();
}

}  // namespace
}  // namespace movrix
