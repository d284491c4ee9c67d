// The way back after an installation, from a program folder laid out in a scratch folder, on
// the prefix's Windows 10.
#include <windows.h>

#include <functional>
#include <optional>

#include "app/run_end.h"
#include "app/run_program.h"
#include "common/sealed_record.h"
#include "files/file_exists.h"
#include "files/file_security.h"
#include "tests/logic/registry_listing.h"
#include "tests/logic/run_fixture.h"

namespace movrix::testing {
namespace {

using WayBackTest = UninstallTest;

TEST_F(WayBackTest, NothingInstalledChangesNothingAndEnds1605) {
  WindowRun& run = Start(true, true);
  EXPECT_EQ(run.ExitCode(), kExitNothingInstalled);
  EXPECT_EQ(system_.BoxLines(),
            "Movrix18|Aucune installation de Windows Mail par Movrix18 n'a été trouvée.\r\n"
            "Rien n'a été modifié.|information\n");
  EXPECT_TRUE(FolderExists(system_, At("PF\\Windows Mail")));
  EXPECT_EQ(Read(At("Windows\\system32\\msoeacct.dll")), "original");
  EXPECT_FALSE(FolderExists(system_, At("PF\\Movrix18")));
}

TEST_F(WayBackTest, WithoutItsRegistryRecordNothingChangesAndNoTraceIsTakenForNothing) {
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

TEST_F(WayBackTest, AfterOneQuestionEverythingReturnsAtOnceAndOnlyAFileInUseWaitsForTheRestart) {
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
  EXPECT_EQ(run.form.text(kStatusLine),
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

TEST_F(WayBackTest, ARestoreFailingHalfWayNamesItKeepsItsBackupAndCanBeRetried) {
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

TEST_F(WayBackTest, ReadOnlyFilesGoAndOnlyASharingViolationWaitsForTheRestart) {
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
  EXPECT_EQ(SortedFailures(run.state.outcome),
            "fichier non rétabli : " + denied + ": " + DescribeError(5) + "\n");
  EXPECT_EQ(Read(denied), "new");
  EXPECT_EQ(system_.moves_at_restart.size(), 2u) << "the aside copies of acctres.dll";
  EXPECT_FALSE(FolderExists(system_, At("PF\\Windows Mail.supprimer-1")));
  EXPECT_TRUE(FolderExists(system_, At("PF\\Windows Mail")));
}

TEST_F(WayBackTest, WithWindowsMailRunningNothingChangesAndATreeThatStaysIsSetAside) {
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
  EXPECT_EQ(SortedFailures(run.state.outcome),
            "non supprimé : " + At("PF\\Windows Mail.supprimer-1\\WinMail.exe") + ": " +
                DescribeError(32) + "\n");
  EXPECT_TRUE(EntryExists());
}

TEST_F(WayBackTest, TheOriginalOwnerAndAccessListComeBackWithTheFileOnce) {
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

TEST_F(WayBackTest, OnWindows7TheRunningKeptProgramIsSetAsideBeforeItsDeletionWaits) {
  PinnedVersionValue windows7{"ProductName", "Microsoft Windows 7"};
  ASSERT_EQ(Start().ExitCode(), 0);
  const std::string kept = At("PF\\Movrix18\\Movrix18.exe");
  system_.executable = kept;
  // A record that cannot go, as one a reader holds: the program stays where the entry points.
  system_.Fail(Call::kRemoveFile, "fichiers-installes.txt");
  EXPECT_EQ(Start(true, true).ExitCode(), 1603);
  EXPECT_NE(Read(kept), "<missing>");
  EXPECT_TRUE(EntryExists());
  EXPECT_EQ(system_.moves_at_restart, std::vector<std::string>{});
  system_.ForgetFailures();
  EXPECT_EQ(Start(true, true).ExitCode(), 0);
  EXPECT_EQ(system_.moves_at_restart,
            (std::vector<std::string>{kept + ".supprimer-1 -> ", At("PF\\Movrix18 -> ")}));
  EXPECT_EQ(Read(kept), "<missing>");
  EXPECT_EQ(Read(At("PF\\Movrix18\\fichiers-installes.txt")), "<missing>");
  EXPECT_FALSE(EntryExists());
}

// A folder the installation created, left for the restart because a library in it was in use,
// and filled again by a reinstallation before that restart: it is still one to remove.
TEST_F(WayBackTest, AFolderCreatedStaysCreatedThroughAReinstallationBeforeTheRestart) {
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

// What a run stopped between setting a copy aside and deleting it left: the check counts it, and
// the next installation or way back deletes it.
TEST_F(WayBackTest, EveryCopyAStoppedRunSetAsideIsCountedAndDeletedByTheNextRun) {
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
TEST_F(WayBackTest, AFileOrFolderReplacedSinceStaysWithItsBackupAndTheRestComesBack) {
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
  Put(HKEY_CURRENT_USER, "Software\\Clients\\Mail", "", "la sienne");
  const std::string user_client = Stored(HKEY_CURRENT_USER, "Software\\Clients\\Mail", "");
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
    system_.executable = At("PF\\Movrix18\\Movrix18.exe");
    EXPECT_EQ(RunProgram(system_, {"/utilisateur", "/desinstaller"}), 0) << "the StubPath";
    system_.executable = At("Setup\\Movrix18.exe");
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, "Software\\Clients\\Mail", ""), user_client);
    EXPECT_TRUE(Contains(run.form.text(kStatusLine), c.left)) << run.form.text(kStatusLine);
    EXPECT_FALSE(Contains(run.form.text(kTxtOK), "retrouvé son état")) << run.form.text(kTxtOK);
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, client + "\\Autre", "Réglage"),
              "1:le sien" + std::string(1, '\0'));
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, client, ""), "<no value>");
    Remove(c.changed);
  }
}

TEST_F(WayBackTest, ADamagedOrForgedFileRecordStopsTheWayBackBeforeAnythingChanges) {
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

// On Windows 7 the way back removes the program's folder, where a way back restarted with the
// rights from the setup folder keeps its log open until it ends: the log and the folder go at the
// restart, and the run that waited for it still reads it.
TEST_F(WayBackTest, ARunRestartedWithTheRightsOnWindows7LeavesOnlyItsLogForTheRestart) {
  const PinnedVersionValue pinned("ProductName", "Windows 7 Professional");
  system_.language = 0x040C;
  ASSERT_EQ(Start().ExitCode(), 0);
  EXPECT_EQ(RunProgram(system_, {"/desinstaller", "/S", "/relance=0123456789abcdef"}), 0)
      << system_.BoxLines();
  const std::string folder = At("PF\\Movrix18");
  FindData log;
  ASSERT_TRUE(system_.FindFirst(folder + "\\Movrix18-relance-0123456789abcdef-*.log", log));
  EXPECT_TRUE(Contains(Read(folder + "\\" + log.name), "Dossier supprimé au prochain redémarrage"));
  EXPECT_EQ(system_.moves_at_restart,
            (std::vector<std::string>{folder + "\\" + log.name + " -> ", folder + " -> "}));
  EXPECT_EQ(Read(At("PF\\Movrix18\\Movrix18.exe")), "<missing>");
  EXPECT_FALSE(EntryExists());
}

}  // namespace
}  // namespace movrix::testing
