// Start-up of the window: the Windows Mail guard, the program folder, the language, the caption,
// the folder values and the closing lines.
#include "app/frm_copy.h"

#include "tests/unit/host_fixture.h"

namespace movrix {
namespace {

constexpr const char* kRefusedAdmin = "Movrix doit être lancé en mode Administrateur.";

class FormLoadTest : public testing::HostTest {
 protected:
  FormLoadTest() {
    host_.WriteFile(host_.ExecutablePath(), "exe");
    // Start-up is what these tests look at: the run stops at once at its first check.
    host_.SetAdmin(false);
  }
  FrmCopy form_{host_};
};

TEST(LanguageTest, AcceptsExactlyTheEnglishAndFrenchVariants) {
  for (uint16_t accepted :
       {0x0409, 0x0809, 0x0C09, 0x1009, 0x1409, 0x1809, 0x1C09, 0x2009, 0x2409, 0x2809, 0x2C09,
        0x3009, 0x3409, 0x040C, 0x080C, 0x0C0C, 0x100C, 0x140C, 0x180C})
    EXPECT_TRUE(IsAcceptedLanguage(accepted)) << std::hex << accepted;
  for (uint16_t refused :
       {0x0000, 0x0009, 0x000C, 0x0407, 0x0C0A, 0x0410, 0x4009, 0x3809, 0x1C0C, 0x3C09, 0x040D})
    EXPECT_FALSE(IsAcceptedLanguage(refused)) << std::hex << refused;
}

TEST(CaptionTest, VersionIsNeverPaddedAndDateIsTakenAsGiven) {
  EXPECT_EQ(BuildCaption("05/12/2026"), "Movrix18 (version 2.18.0.1 du 05/12/2026)");
  EXPECT_EQ(BuildCaption("2026-12-05"), "Movrix18 (version 2.18.0.1 du 2026-12-05)");
}

TEST_F(FormLoadTest, BuildsCaptionFolderValuesAndClosingLines) {
  form_.Form_Load();
  EXPECT_EQ(form_.caption(), BuildCaption(host_.FileDateShortText(host_.ExecutablePath())));
  EXPECT_EQ(form_.state().AppFolder, "D:\\Setup\\");
  EXPECT_EQ(form_.state().SysWow64Folder, "C:\\Windows\\syswow64\\");
  EXPECT_EQ(form_.text(kTxtOK),
            "Les fichiers programmes de Windows Mail ont été correctement installés.\r\n"
            "Il vous suffit, si vous ne l'avez pas déjà fait, de lancer Quillset");
  EXPECT_EQ(Boxes().rfind(std::string("Movrix18|") + kRefusedAdmin, 0), 0u) << Boxes();
  EXPECT_FALSE(form_.loaded());
}

TEST_F(FormLoadTest, FolderValuesFollowTheEnvironment) {
  struct Case {
    const char* program_files;  // nullptr: not set
    const char* windir;
    const char *native, *x86, *system32;
  } cases[] = {
      {"C:\\Program Files", "C:\\Windows", "C:\\Program Files\\", "C:\\Program Files (x86)\\",
       "C:\\Windows\\system32\\"},
      {"D:\\Apps (x86)\\PF (x86)", "E:\\WinNT", "D:\\Apps\\PF\\", "D:\\Apps\\PF (x86)\\",
       "E:\\WinNT\\system32\\"},
      {"C:\\Program Files (X86)", "C:\\Windows", "C:\\Program Files (X86)\\",
       "C:\\Program Files (X86) (x86)\\", "C:\\Windows\\system32\\"},
      {nullptr, nullptr, "\\", " (x86)\\", "\\system32\\"},
  };
  for (const Case& c : cases) {
    HostSystem host(root_);
    host.SetAdmin(false);
    for (auto [name, value] : {std::pair{"ProgramFiles", c.program_files}, {"windir", c.windir}})
      value ? host.SetEnv(name, value) : host.UnsetEnv(name);
    FrmCopy form(host);
    form.Form_Load();
    SCOPED_TRACE(c.program_files ? c.program_files : "(unset)");
    EXPECT_EQ(form.state().ProgramFilesFolder, c.native);
    EXPECT_EQ(form.state().ProgramFilesX86Folder, c.x86);
    EXPECT_EQ(form.state().System32Folder, c.system32);
  }
}

TEST_F(FormLoadTest, TheProgramFolderBecomesItsDrivesCurrentFolder) {
  struct Case {
    const char* executable;
    const char* app_folder;
    const char* current_drive;  // a drive root becomes the current drive as well
  } cases[] = {
      {"E:\\Movrix18.exe", "E:\\", "E:"},
      {"E:\\Outils\\Mail\\Movrix18.exe", "E:\\Outils\\Mail\\", "C:"},
  };
  for (const Case& c : cases) {
    HostSystem host(root_);
    host.SetAdmin(false);
    host.SetExecutablePath(c.executable);
    host.WriteFile(c.executable, "exe");
    FrmCopy form(host);
    form.Form_Load();
    EXPECT_EQ(form.state().AppFolder, c.app_folder);
    if (c.current_drive != std::string("E:")) {
      EXPECT_EQ(host.CurrentFolderOf('E'), c.app_folder);
    }
    EXPECT_EQ(host.CurrentDrive(), c.current_drive);
  }
}

TEST_F(FormLoadTest, UnreadableExecutableDateStillGivesACaption) {
  host_.SetExecutablePath("D:\\Setup\\Renamed.exe");  // its ".exe" file is not there
  form_.Form_Load();
  EXPECT_EQ(form_.caption(), "Movrix18 (version 2.18.0.1 du date inconnue)");
}

TEST_F(FormLoadTest, RefusedLanguageEndsWithItsBoxAndNothingElse) {
  host_.SetLanguage(0x0407);
  form_.Form_Load();
  EXPECT_EQ(Boxes(),
            "Form_Load|Movrix non compatible avec la langue de Windows ou Système corrompu|"
            "critical\n");
  EXPECT_FALSE(form_.loaded());
  EXPECT_EQ(form_.caption(), "");
  EXPECT_EQ(form_.text(kTxtOK), "");
}

TEST_F(FormLoadTest, RunningMailAnsweredNoEndsAtOnceAndYesEndsItAndGoesOn) {
  const std::string question =
      "Windows Mail est en service|Cliquer sur OUI pour arrêter Windows Mail\r\n"
      "ou sur NON si vous désirez le fermer vous-même\r\n"
      "afin de terminer les travaux en cours.|question|yes/no\n";
  int32_t mail = host_.AddProcess("winmail.exe");
  host_.SetLanguage(0x0407);  // would be refused, but the guard comes first
  host_.QueueAnswer(Answer::kNo);
  form_.Form_Load();
  EXPECT_EQ(Boxes(), question);
  EXPECT_TRUE(host_.IsRunning(mail));
  EXPECT_FALSE(form_.loaded());
  EXPECT_EQ(form_.caption(), "");

  HostSystem host(root_);
  host.SetAdmin(false);
  mail = host.AddProcess("WinMail.exe");
  host.QueueAnswer(Answer::kYes);
  FrmCopy form(host);
  form.Form_Load();
  EXPECT_FALSE(host.IsRunning(mail));
  EXPECT_EQ(testing::ShownBoxes(host).rfind(question + "Movrix18|" + kRefusedAdmin, 0), 0u)
      << testing::ShownBoxes(host);
  EXPECT_NE(form.caption(), "");
}

TEST_F(FormLoadTest, OkClosesTheShownWindow) {
  form_.Command1_Click();
  EXPECT_FALSE(form_.loaded());
  form_.Show();
  EXPECT_FALSE(host_.shown_window().has_value()) << "a closed window is never shown";
}

}  // namespace
}  // namespace movrix
