// The start of a run: its log, opened once, never through a link nor under a name known
// beforehand; the lock that keeps a second run out, which only administrators reach; an
// uninstallation started without the rights. Most runs stop at the rights test, after the start-up
// made the program's own folder current.
#include "app/run_program.h"

#include <windows.h>

#include <deque>
#include <filesystem>

#include "app/run_end.h"
#include "app/window_run.h"
#include "tests/logic/fixture.h"

namespace movrix::testing {
namespace {

const std::string kMark = "\xEF\xBB\xBF";
const std::string kTime = "2026-01-05 14:22:33";
const std::string kStartLine = "Début : " + kTime + ", Movrix18 version 2.18.0.1\r\n";
const std::string kRightsBox =
    "Message « Movrix18 » : Movrix doit être lancé en mode Administrateur";
const std::string kRightsBoxLine = "Movrix18|" + std::string(kNeedsAdministrator) + "|critical\n";
const std::string kDeviceRefusal =
    "un chemin réseau ou de périphérique (\\\\serveur\\partage, \\\\?\\, \\\\.\\) n'est pas "
    "accepté.";
const std::string kLanguageBox =
    "Form_Load|Movrix non compatible avec la langue de Windows ou Système corrompu|critical\n";
const std::string kBusy =
    "Movrix18 est déjà en cours d'exécution sur cet ordinateur.\r\n"
    "Attendre la fin de l'installation en cours avant de le relancer.";

// What Wine cannot show: a file or folder that is a link (a reparse point). Also a fixed clock,
// and random bytes that a test draws first.
class LinkingSystem : public ForwardingSystem {
 public:
  using ForwardingSystem::ForwardingSystem;
  std::string link;        // a path reported as a link
  std::string redirected;  // a path that a link higher up leads to kElsewhere
  std::deque<std::string> drawn;
  static constexpr const char* kElsewhere = "C:\\ailleurs\\run.log";

  std::string LocalTimeText() override { return kTime; }
  std::string RandomBytes(size_t count) override {
    if (drawn.empty()) return next_.RandomBytes(count);
    const std::string bytes = drawn.front();
    drawn.pop_front();
    return bytes;
  }
  int64_t PathAttributes(const std::string& path) override {
    const int64_t attributes = next_.PathAttributes(path);
    return path == link ? attributes | kAttributeReparsePoint : attributes;
  }
  std::unique_ptr<AppendableFile> OpenToAppend(const std::string& path, bool new_file) override {
    struct Linked : AppendableFile {
      std::unique_ptr<AppendableFile> file;
      bool is_link;
      OpenFileFacts Facts() override {
        OpenFileFacts facts = file->Facts();
        if (is_link)
          facts.attributes |= kAttributeReparsePoint;
        else
          facts.final_path = kElsewhere;
        return facts;
      }
      void Append(const std::string& bytes) override { file->Append(bytes); }
      void Flush() override { file->Flush(); }
    };
    auto file = next_.OpenToAppend(path, new_file);
    if (path != link && path != redirected) return file;
    auto linked = std::make_unique<Linked>();
    linked->file = std::move(file);
    linked->is_link = path == link;
    return linked;
  }
};

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    paths.push_back(entry.path().string());
  return paths;
}

class RunProgramTest : public LogicTest {
 protected:
  RunProgramTest() {
    system_.admin = AdministratorsGroup::kAbsent;
    system_.language = 0x040C;
    system_.executable = At("Setup\\Movrix18.exe");
    system_.environment["TEMP"] = At("temp");
    Write(At("Setup\\Movrix18.exe"), "exe");
    MakeFolder(At("temp"));
  }

  int Run(const std::vector<std::string>& arguments) { return RunProgram(linking_, arguments); }

  // Checks that `log` holds, after `before`, one whole run that shows `part` and ends with `code`.
  static void ExpectWholeRun(const std::string& log, const std::string& before,
                             const std::string& part, int code) {
    EXPECT_EQ(log.substr(0, before.size() + kStartLine.size()), before + kStartLine);
    EXPECT_TRUE(Contains(log, part)) << log;
    const std::string end = ", code de sortie " + std::to_string(code) + "\r\n";
    EXPECT_EQ(log.substr(log.size() - std::min(log.size(), end.size())), end) << log;
  }

  LinkingSystem linking_{system_};
};

TEST_F(RunProgramTest, ARelativeLogIsTakenFromTheStartingFolderAndKeepsTheWholeRun) {
  MakeFolder(At("start\\logs"));
  ASSERT_TRUE(SetCurrentDirectoryA(At("start").c_str()));
  EXPECT_EQ(Run({"/S", "/journal=logs\\run.log"}), 1603);
  ExpectWholeRun(Read(At("start\\logs\\run.log")), kMark, kRightsBox, 1603);
  EXPECT_EQ(Read(At("Setup\\logs\\run.log")), "<missing>");
}

TEST_F(RunProgramTest, AnEmptyOrNewLogStartsWithTheMarkAndAnOldOneGoesOnAfterItsEnd) {
  Write(At("empty.log"), "");
  Write(At("old.log"), kMark + "previous\r\n");
  // A new log's name in several scripts, beyond the Basic Multilingual Plane too.
  for (const auto& [name, before] : {std::pair<std::string, std::string>{"Łódź 日本 😀.log", kMark},
                                     {"empty.log", kMark},
                                     {"old.log", kMark + "previous\r\n"}}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Run({"/LOG=" + At(name)}), 1603);
    ExpectWholeRun(Read(At(name)), before, kRightsBox, 1603);
  }
}

TEST_F(RunProgramTest, ALogThatMayBeAnotherFileOrHasNoFolderStopsTheRunBeforeItStarts) {
  Write(At("precious.txt"), "precious");
  ASSERT_TRUE(CreateHardLinkA(At("second-name.log").c_str(), At("precious.txt").c_str(), nullptr));
  Write(At("linked.log"), "linked");
  MakeFolder(At("linked-folder"));
  MakeFolder(At("a-folder.log"));
  const struct {
    std::string path, link, reason, redirected = "";
  } cases[] = {
      {At("absent\\run.log"), "", "son dossier n'existe pas."},
      {"\\\\serveur\\partage\\run.log", "", kDeviceRefusal},
      {"\\\\.\\" + At("run.log"), "", kDeviceRefusal},
      // A junction above the log's own folder, which that folder's attributes do not show.
      {At("redirected.log"), "",
       "le chemin mène, par un lien, à un autre fichier : " +
           std::string(LinkingSystem::kElsewhere),
       At("redirected.log")},
      {At("second-name.log"), "",
       "ce fichier porte plusieurs noms (liens physiques) : il peut être un tout autre fichier."},
      {At("linked.log"), At("linked.log"), "ce fichier est un lien vers un autre fichier."},
      {At("linked-folder\\run.log"), At("linked-folder\\"),
       "son dossier est un lien vers un autre dossier."},
      {At("a-folder.log"), "", "Accès refusé."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    linking_.link = c.link;
    linking_.redirected = c.redirected;
    for (bool silent : {false, true}) {
      SCOPED_TRACE(silent ? "silent" : "interactive");
      system_.boxes.clear();
      const std::string log_switch = "/journal=" + c.path;
      EXPECT_EQ(Run(silent ? std::vector<std::string>{"/S", log_switch} : std::vector{log_switch}),
                1622);
      const std::string box = "Movrix18|Le journal « " + c.path +
                              " » ne peut pas servir : " + c.reason +
                              "\r\nL'installation n'a pas été lancée.|critical\n";
      EXPECT_EQ(system_.BoxLines(), silent ? "" : box);
    }
  }
  EXPECT_EQ(Read(At("precious.txt")), "precious");
  EXPECT_EQ(Read(At("linked.log")), "linked");
  EXPECT_EQ(Read(At("linked-folder\\run.log")), "<missing>");
  EXPECT_EQ(Read(At("absent\\run.log")), "<missing>");
}

TEST_F(RunProgramTest, ASilentRunWithoutALogPathMakesANewFileNobodyCouldNameBeforehand) {
  // Every name of the plain pattern is planted, and so is the name of the first draw.
  const std::string base = At("temp\\Movrix18-20260105-142233");
  const std::vector<std::string> planted = {".log", "-2.log", "-3.log", "-4141414141414141.log"};
  for (const std::string& name : planted) Write(base + name, "planted");
  linking_.drawn = {"AAAAAAAA"};
  EXPECT_EQ(Run({"/S"}), 1603);
  EXPECT_EQ(Run({"-s"}), 1603);
  std::vector<std::string> made;
  for (const std::string& path : FilesIn(At("temp"))) {
    if (Read(path) == "planted") continue;
    made.push_back(path);
    EXPECT_EQ(path.size(), base.size() + 21) << path;
    EXPECT_EQ(path.find_first_not_of("0123456789abcdef", base.size() + 1), path.size() - 4) << path;
    ExpectWholeRun(Read(path), kMark, kRightsBox, 1603);
  }
  EXPECT_EQ(made.size(), 2u);
  for (const std::string& name : planted) EXPECT_EQ(Read(base + name), "planted");
}

TEST_F(RunProgramTest, AnotherRunKeepsARunOutButNoObjectAnyUserMakesFirst) {
  const std::string log = At("shared.log");
  // Any user can make the global name first, as the kept copy's first box left open does.
  HANDLE squatter = CreateMutexA(nullptr, FALSE, "Global\\Movrix18");
  // Without the rights a run never looks for the lock: its rights test ends it.
  EXPECT_EQ(Run({"/journal=" + log}), 1603);
  system_.admin = AdministratorsGroup::kEnabled;
  system_.language = 0x0407;  // a run stops at its language test, once it holds the lock
  // Where the system makes no private namespace, as Wine, the global name stands in, and the log
  // says so.
  EXPECT_EQ(Run({"/journal=" + log}), 1618);
  EXPECT_TRUE(Contains(Read(log), "Le verrou réservé aux administrateurs n'a pas pu être pris ("));
  EXPECT_TRUE(Contains(Read(log), ") : le verrou Global\\Movrix18 le remplace.\r\n")) << Read(log);
  // In the namespace, the lock keeps out a run started while the first is at its box (logging
  // into the same file), and goes with the run that held it.
  system_.private_namespaces = true;
  std::vector<int> during;
  system_.while_shown = [&](const TestSystem::Box&) {
    during.push_back(Run({"/S", "/journal=" + log}));
  };
  EXPECT_EQ(Run({"/journal=" + log}), 1603);
  EXPECT_EQ(Run({"/journal=" + log}), 1603);
  CloseHandle(squatter);
  EXPECT_EQ(during, (std::vector<int>{1618, 1618}));
  EXPECT_EQ(system_.BoxLines(),
            kRightsBoxLine + "Movrix18|" + kBusy + "|critical\n" + kLanguageBox + kLanguageBox);
  ExpectWholeRun(Read(log), kMark, "Message « Movrix18 » : Movrix18 est déjà en cours", 1603);
}

TEST_F(RunProgramTest, AnUninstallWithoutRightsStartsItselfElevatedWhereSomeoneCanBeAsked) {
  MakeFolder(At("mes journaux"));
  ASSERT_TRUE(SetCurrentDirectoryA(At("").c_str()));
  const std::string log = At("mes journaux\\run.log");
  system_.identity = {At("PF"), At("PF (x86)"), At("Windows")};
  MakeFolder(At("PF\\Movrix18"));
  // The restarted run's log, as it left it in the folder only administrators write.
  const std::string marker = "0123456789abcdef";
  const std::string elevated_log = At("PF\\Movrix18\\Movrix18-relance-" + marker + "-x.log");
  Write(elevated_log, kMark + "Début : avec les droits\r\nFin : code de sortie 3010\r\n");
  linking_.drawn = {"\x01\x23\x45\x67\x89\xab\xcd\xef", "\x01\x23\x45\x67\x89\xab\xcd\xef"};
  system_.elevated_exit_code = 3010;
  EXPECT_EQ(Run({"/desinstaller", "/LOG=mes journaux\\run.log"}), 3010);
  system_.elevated_exit_code.reset();  // the user refuses
  EXPECT_EQ(Run({"-Uninstall", "/journal=" + log}), 1602);
  ASSERT_EQ(system_.elevated_starts.size(), 2u);
  EXPECT_EQ(system_.elevated_starts[0].program, At("Setup\\Movrix18.exe"));
  // The restarted run never opens a path the caller chose: it gets none.
  EXPECT_EQ(system_.elevated_starts[0].arguments, "\"/desinstaller\" \"/relance=" + marker + "\"");
  EXPECT_EQ(system_.elevated_starts[1].arguments, "\"-Uninstall\" \"/relance=" + marker + "\"");
  EXPECT_TRUE(
      Contains(Read(log),
               "Journal de la désinstallation avec les droits d'administrateur : " + elevated_log +
                   "\r\n| Début : avec les droits\r\n"
                   "| Fin : code de sortie 3010\r\n"))
      << Read(log);
  EXPECT_TRUE(Contains(Read(log), "les droits d'administrateur ont été refusés.\r\nFin : "));
  // The restarted run logs to a new file of its own there, whatever path it is also given.
  EXPECT_EQ(Run({"/desinstaller", "/relance=" + marker, "/journal=" + At("choisi.log")}), 1603);
  EXPECT_EQ(Read(At("choisi.log")), "<missing>");
  EXPECT_EQ(FilesIn(At("PF\\Movrix18")).size(), 2u);
  EXPECT_EQ(system_.BoxLines(), kRightsBoxLine);
  system_.boxes.clear();
  // Nobody to ask: nothing changes, and the log says why. The installation keeps its box.
  EXPECT_EQ(Run({"/desinstaller", "/S", "/journal=" + log}), 1603);
  EXPECT_TRUE(Contains(Read(log), "La désinstallation demande les droits d'administrateur."));
  EXPECT_EQ(Run({"/desinstaller", "/journal=\\\\serveur\\partage\\x.log"}), 1622);
  EXPECT_EQ(Run({}), 1603);
  EXPECT_EQ(system_.elevated_starts.size(), 2u);
  EXPECT_EQ(
      system_.BoxLines(),
      "Movrix18|Le journal « \\\\serveur\\partage\\x.log » ne peut pas servir : " + kDeviceRefusal +
          "\r\nL'installation n'a pas été lancée.|critical\n" + kRightsBoxLine);
}

TEST_F(RunProgramTest, DeploymentSwitchesEndWindowsMailWithoutAskingAndExpandTheLogPath) {
  ASSERT_TRUE(SetEnvironmentVariableA("MOVRIX_LOGS", root_.c_str()));
  FakeMail mail;
  EXPECT_EQ(Run({"/quiet", "/norestart", "/fermer", "/journal=%MOVRIX_LOGS%run.log"}), 1603);
  EXPECT_EQ(mail.ExitCode(5000), FakeMail::kClosedOnRequest);
  ExpectWholeRun(Read(At("run.log")), kMark,
                 "Windows Mail est en service : il est arrêté, comme demandé par /fermer", 1603);
  // Interactively, and for the way back (which an administrator runs), the switch answers the
  // question too; a language the installer refuses then stops the run.
  FakeMail other;
  system_.admin = AdministratorsGroup::kEnabled;
  system_.language = 0x0407;
  EXPECT_EQ(Run({"/desinstaller", "/closeapplications"}), 1603);
  EXPECT_EQ(other.ExitCode(5000), FakeMail::kClosedOnRequest);
  EXPECT_EQ(system_.boxes.size(), 1u) << "only the language box: " << system_.BoxLines();
  system_.admin = AdministratorsGroup::kAbsent;
  // A name no variable has stays as written, and so names a folder that does not exist.
  EXPECT_EQ(Run({"/S", "/LOG=%MOVRIX_ABSENT%\\run.log"}), 1622);
}

TEST_F(RunProgramTest, AFaultOfTheProgramPassesEveryPhaseToTheGuardOfTheWholeRun) {
  system_.admin = AdministratorsGroup::kEnabled;
  const std::string tree = At("Setup\\WM_32\\Windows Mail\\WinMail.exe");
  system_.Fail(Call::kPathAttributes, tree, TestSystem::kProgramFault);
  EXPECT_EQ(Run({"/journal=" + At("run.log")}), 1603);
  EXPECT_EQ(system_.BoxLines(), "Movrix18|Erreur interne : défaut forcé : " + tree + "|critical\n");
  ExpectWholeRun(Read(At("run.log")), kMark, "Statut : Arrêt sur une erreur interne.", 1603);
}

TEST_F(RunProgramTest, AnInvalidLogPathIsRefusedWithoutLosingTheSwitchesItSwallowed) {
  // /LOG="C:\Logs\" /S reaches the program as one argument.
  EXPECT_EQ(Run({"/LOG=C:\\Logs\" /S"}), 87);
  EXPECT_EQ(system_.BoxLines(), "");
  const std::vector<std::string> logs = FilesIn(At("temp"));
  ASSERT_EQ(logs.size(), 1u);
  const std::string log = Read(logs[0]);
  ExpectWholeRun(log, kMark, "Chemin de journal non valide : C:\\Logs\" /S / ", 87);
  EXPECT_EQ(Run({"/journal=C:\\Logs\\<date>.log"}), 87);
  EXPECT_EQ(system_.boxes.size(), 1u) << system_.BoxLines();
}

TEST_F(RunProgramTest, ACheckWritesNoFileNotEvenALogOfItsOwn) {
  // Detection runs it every hour on every machine: a file per run would fill the disk.
  const std::string user_log = system_.OwnLocalAppDataFolder() + "\\Movrix18\\utilisateur.log";
  const std::string user_log_before = Read(user_log);
  EXPECT_NE(Run({"/verifier", "/S"}), 87);
  EXPECT_NE(Run({"/verify", "/utilisateur"}), 87);
  EXPECT_EQ(FilesIn(At("temp")), std::vector<std::string>{});
  EXPECT_EQ(Read(user_log), user_log_before);
}

TEST_F(RunProgramTest, EachRunEndsWithOneEventEntryOfItsOutcomeThatNoFailureOfItsOwnChanges) {
  using Entry = std::pair<uint32_t, std::vector<std::string>>;
  auto last_entry = [&]() -> Entry {
    if (system_.event_entries.empty()) return {};
    const TestSystem::EventEntry& entry = system_.event_entries.back();
    EXPECT_EQ(entry.source, "Movrix18");
    return {entry.id, entry.inserts};
  };
  EXPECT_EQ(Run({"/S"}), 1603);
  EXPECT_EQ(last_entry(), Entry(1002, {"installation", "2.18.0.1", "1603"}));
  EXPECT_EQ(system_.event_entries.back().kind, EventKind::kError);
  system_.elevated_exit_code = 3010;
  EXPECT_EQ(Run({"/desinstaller"}), 3010);
  EXPECT_EQ(last_entry(), Entry(1001, {"désinstallation", "2.18.0.1", "3010"}));
  system_.elevated_exit_code.reset();
  EXPECT_EQ(Run({"/uninstall"}), 1602);
  EXPECT_EQ(last_entry(), Entry(1003, {"désinstallation", "2.18.0.1", "1602"}));
  EXPECT_EQ(system_.event_entries.back().kind, EventKind::kWarning);
  system_.identity = SystemIdentity{At("PF"), At("PF (x86)"), At("Windows")};
  EXPECT_EQ(Run({"/verifier"}), 1605);
  EXPECT_EQ(last_entry(), Entry(1004, {"vérification", "2.18.0.1", "1605"}));
  const size_t entries = system_.event_entries.size();
  EXPECT_EQ(Run({"/inconnu"}), 87);
  EXPECT_EQ(system_.event_entries.size(), entries) << "a refused switch ran nothing to report";

  system_.Fail(Call::kWriteEventLogEntry, "Movrix18", 1502);  // the event log is full
  EXPECT_EQ(Run({"/S", "/journal=" + At("run.log")}), 1603);
  ExpectWholeRun(Read(At("run.log")), kMark,
                 "Le journal des événements n'a pas reçu l'entrée de cette exécution : ", 1603);
}

}  // namespace
}  // namespace movrix::testing
