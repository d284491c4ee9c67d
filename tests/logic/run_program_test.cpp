// The start of a run: its log, opened once and never through a link, and the lock that keeps a
// second run out. Each run stops at the rights test, after the start-up made the program's own
// folder current.
#include "app/run_program.h"

#include <windows.h>

#include "tests/logic/fixture.h"

namespace movrix::testing {
namespace {

const std::string kMark = "\xEF\xBB\xBF";
const std::string kTime = "2026-01-05 14:22:33";
const std::string kStartLine = "Début : " + kTime + ", Movrix18 version 2.18.0.1\r\n";
const std::string kRightsBox =
    "Message « Movrix18 » : Movrix doit être lancé en mode Administrateur";
const std::string kBusy =
    "Movrix18 est déjà en cours d'exécution sur cet ordinateur.\r\n"
    "Attendre la fin de l'installation en cours avant de le relancer.";

// What Wine cannot show: a file or folder that is a link (a reparse point). Also a fixed clock.
class LinkingSystem : public ForwardingSystem {
 public:
  using ForwardingSystem::ForwardingSystem;
  std::string link;  // a path reported as a link

  std::string LocalTimeText() override { return kTime; }
  int64_t PathAttributes(const std::string& path) override {
    const int64_t attributes = next_.PathAttributes(path);
    return path == link ? attributes | kAttributeReparsePoint : attributes;
  }
  std::unique_ptr<AppendableFile> OpenToAppend(const std::string& path, bool new_file) override {
    struct Linked : AppendableFile {
      std::unique_ptr<AppendableFile> file;
      OpenFileFacts Facts() override {
        OpenFileFacts facts = file->Facts();
        facts.attributes |= kAttributeReparsePoint;
        return facts;
      }
      void Append(const std::string& bytes) override { file->Append(bytes); }
      void Flush() override { file->Flush(); }
    };
    auto file = next_.OpenToAppend(path, new_file);
    if (path != link) return file;
    auto linked = std::make_unique<Linked>();
    linked->file = std::move(file);
    return linked;
  }
};

// True when no run holds the lock, as another process would find it.
bool LockIsFree() {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, "Global\\Movrix18");
  const bool free = mutex && GetLastError() != ERROR_ALREADY_EXISTS;
  CloseHandle(mutex);
  return free;
}

class RunProgramTest : public LogicTest {
 protected:
  RunProgramTest() {
    system_.admin = false;
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
  for (const auto& [name, before] : {std::pair<std::string, std::string>{"new.log", kMark},
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
    std::string path, link, reason;
  } cases[] = {
      {At("absent\\run.log"), "", "son dossier n'existe pas."},
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

TEST_F(RunProgramTest, ASilentRunWithoutALogPathMakesANewFileAndLeavesTheOthersAlone) {
  const std::string base = At("temp\\Movrix18-20260105-142233");
  Write(base + ".log", "planted");
  EXPECT_EQ(Run({"/S"}), 1603);
  EXPECT_EQ(Run({"-s"}), 1603);
  EXPECT_EQ(Read(base + ".log"), "planted");
  ExpectWholeRun(Read(base + "-2.log"), kMark, kRightsBox, 1603);
  ExpectWholeRun(Read(base + "-3.log"), kMark, kRightsBox, 1603);
}

TEST_F(RunProgramTest, ASecondRunSaysAnotherIsUnderWayAndTheLockLastsTheWholeRun) {
  HANDLE other_run = CreateMutexA(nullptr, FALSE, "Global\\Movrix18");
  EXPECT_EQ(Run({}), 1618);
  EXPECT_EQ(system_.BoxLines(), "Movrix18|" + kBusy + "|critical\n");
  // Silent, into the log the other run holds open.
  HANDLE others_log =
      CreateFileA(At("shared.log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, CREATE_NEW, 0, nullptr);
  DWORD written = 0;
  WriteFile(others_log, "other\r\n", 7, &written, nullptr);
  EXPECT_EQ(Run({"/S", "/journal=" + At("shared.log")}), 1618);
  CloseHandle(others_log);
  CloseHandle(other_run);
  const std::string log = Read(At("shared.log"));
  ExpectWholeRun(log, "other\r\n", "Message « Movrix18 » : Movrix18 est déjà en cours", 1618);

  // Alone, a run holds the lock until its end, and then lets it go.
  struct Watching : LinkingSystem {
    using LinkingSystem::LinkingSystem;
    std::vector<bool> free_at_boxes;
    Answer ShowMessage(const std::string& text, const std::string& title, Buttons buttons,
                       Icon icon) override {
      free_at_boxes.push_back(LockIsFree());
      return next_.ShowMessage(text, title, buttons, icon);
    }
  } watching{system_};
  EXPECT_EQ(RunProgram(watching, {}), 1603);
  EXPECT_EQ(watching.free_at_boxes, std::vector<bool>{false});
  EXPECT_TRUE(LockIsFree());
}

TEST_F(RunProgramTest, AnInvalidLogPathIsRefusedWithoutLosingTheSwitchesItSwallowed) {
  // /LOG="C:\Logs\" /S reaches the program as one argument.
  EXPECT_EQ(Run({"/LOG=C:\\Logs\" /S"}), 87);
  EXPECT_EQ(system_.BoxLines(), "");
  const std::string log = Read(At("temp\\Movrix18-20260105-142233.log"));
  ExpectWholeRun(log, kMark, "Chemin de journal non valide : C:\\Logs\" /S / ", 87);
  EXPECT_EQ(Run({"/journal=C:\\Logs\\<date>.log"}), 87);
  EXPECT_EQ(system_.boxes.size(), 1u) << system_.BoxLines();
}

}  // namespace
}  // namespace movrix::testing
