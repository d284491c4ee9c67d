// Runs stopped at any change they make, as a kill or a power cut stops them: whatever the
// installation or the way back did before, the next way back finishes it and the machine is as it
// was before the first installation.
#include <windows.h>

#include <map>

#include "app/run_end.h"
#include "files/file_exists.h"
#include "registry/active_setup.h"
#include "registry/user_state.h"
#include "tests/logic/registry_listing.h"
#include "tests/logic/run_fixture.h"

namespace movrix::testing {
namespace {

// What a stop throws: nothing of the program catches it, as nothing runs after a kill.
struct Stopped {};

// Counts the calls that change the machine and stops the run at the chosen one, before it is
// made. The rights commands are not started: Wine has none, and they would only slow the hundreds
// of runs down.
class StopAtChange : public ForwardingSystem {
 public:
  StopAtChange(System& next, int stop_at) : ForwardingSystem(next), stop_at_(stop_at) {}
  // One letter per change made so far: 'r' for the registry's, 's' for those of the system files
  // whose rows are like the first one's, 'f' for the others.
  const std::string& changes() const { return changes_; }

  using Text = const std::string&;
  void Rename(Text from, Text to) override { next_.Rename(Changing(from), to); }
  std::unique_ptr<AppendableFile> OpenToAppend(Text path, bool must_be_new) override {
    return next_.OpenToAppend(Changing(path), must_be_new);
  }
  void CreateFolder(Text path) override { next_.CreateFolder(Changing(path)); }
  void CopyFileOver(Text from, Text to) override { next_.CopyFileOver(from, Changing(to)); }
  ShellCopyResult ShellCopyFile(Text from, Text to, bool unattended) override {
    return next_.ShellCopyFile(from, Changing(to), unattended);
  }
  void RemoveFile(Text path) override { next_.RemoveFile(Changing(path)); }
  void RemoveFolder(Text path) override { next_.RemoveFolder(Changing(path)); }
  void MoveReplacing(Text from, Text to) override { next_.MoveReplacing(Changing(from), to); }
  void MoveReplacingWrittenThrough(Text from, Text to) override {
    next_.MoveReplacingWrittenThrough(Changing(from), to);
  }
  void MoveAtRestart(Text from, Text to) override { next_.MoveAtRestart(Changing(from), to); }
  void SetPathAttributes(Text path, uint32_t attributes) override {
    next_.SetPathAttributes(Changing(path), attributes);
  }
  void PutFileSecurity(Text path, Text descriptor) override {
    next_.PutFileSecurity(Changing(path), descriptor);
  }
  std::optional<uint32_t> StartProgram(Text, Text arguments, uint32_t wait_milliseconds) override {
    Changing(arguments);
    return wait_milliseconds ? std::optional<uint32_t>(0) : std::nullopt;
  }
  int32_t CreateRegKey(KeyHandle root, Text path, uint32_t access, KeyHandle& result) override {
    return next_.CreateRegKey(Changing(root), path, access, result);
  }
  int32_t SetRegValue(KeyHandle key, Text name, uint32_t type, Text data, uint32_t size) override {
    return next_.SetRegValue(Changing(key), name, type, data, size);
  }
  int32_t DeleteRegValue(KeyHandle key, Text name) override {
    return next_.DeleteRegValue(Changing(key), name);
  }
  int32_t DeleteRegKey(KeyHandle root, Text path, uint32_t access) override {
    return next_.DeleteRegKey(Changing(root), path, access);
  }

 private:
  // The system files between the first and the last of their folder go through the same changes
  // as the first: only the path differs.
  static char KindOf(const std::string& path) {
    for (const char* file : {"msidcrl30.dll", "acctres.dll", "inetres.dll"})
      for (const char* folder : {"32\\", "64\\"})
        if (Contains(path, folder + std::string(file))) return 's';
    return 'f';
  }
  // Counts the change of `path` or `key`, or stops the run there, before the call; passes it on.
  const std::string& Changing(const std::string& path) {
    Change(KindOf(path));
    return path;
  }
  KeyHandle Changing(KeyHandle key) {
    Change('r');
    return key;
  }
  void Change(char kind) {
    changes_ += kind;
    if (int(changes_.size()) == stop_at_) throw Stopped();
  }
  const int stop_at_;  // 1 for the first change; 0: never
  std::string changes_;
};

class StoppedRunTest : public UninstallTest {
 protected:
  // The files and folders of the system's folders, and every value the installation writes or
  // keeps for the way back.
  std::map<std::string, std::string> Machine() {
    std::map<std::string, std::string> machine = MachineFiles();
    for (const Listed& value : listing_)
      machine[value.root + "\\" + value.key + "|" + value.name] =
          Stored(Root(value.root), value.key, value.name);
    for (const char* key : {kUninstallKey, kActiveSetupKey})
      machine[std::string(key) + "|"] = Stored(HKEY_LOCAL_MACHINE, key, "StubPath");
    machine["user records"] = Stored(HKEY_CURRENT_USER, UserPriorStateKey::kParentKey, "");
    return machine;
  }

  // Carries out the deletions the runs asked for at the restart, in their order, as the system
  // does when it starts again.
  void Restart() {
    // The runs ended: none of them holds its folder as the current one any longer.
    SetCurrentDirectoryA("C:\\");
    for (const std::string& move : system_.moves_at_restart) {
      const std::string from = move.substr(0, move.find(" -> "));
      if (!DeleteFileA(from.c_str())) RemoveDirectoryA(from.c_str());
    }
    system_.moves_at_restart.clear();
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                       "PendingFileRenameOperations");
  }

  // What differs from `before`, one line each.
  static std::string Differences(const std::map<std::string, std::string>& before,
                                 const std::map<std::string, std::string>& after) {
    std::string lines;
    for (const auto& [what, state] : after)
      if (!before.count(what) || before.at(what) != state)
        lines += "  " + what + ": " + state + "\n";
    for (const auto& [what, state] : before)
      if (!after.count(what)) lines += "  " + what + ": gone\n";
    return lines;
  }

  // Runs the installation then the way back on `layer`; true when it was stopped.
  bool InstallAndWayBack(System& layer, const std::string& kept) {
    runs_on_ = &layer;
    bool stopped = false;
    try {
      system_.executable = At("Setup\\Movrix18.exe");
      EXPECT_EQ(Start(false, true).ExitCode(), kExitInstalled) << system_.BoxLines();
      system_.executable = kept;
      EXPECT_EQ(Start(true, true).ExitCode(), kExitInstalled) << system_.BoxLines();
    } catch (const Stopped&) {
      stopped = true;
    }
    runs_on_ = &system_;
    return stopped;
  }

  // Where to stop, from the changes of a whole run: at every change but those that only repeat
  // another's with another path or value: the middle system files, and among the hundreds of
  // registry writes in a row, all but the first, the last and every 50th.
  static std::vector<int> StopPoints(const std::string& changes) {
    std::vector<int> points;
    for (size_t at = 0, in_row = 0; at < changes.size(); ++at) {
      in_row = changes[at] == 'r' && at > 0 && changes[at - 1] == 'r' ? in_row + 1 : 0;
      const bool last_in_row = at + 1 == changes.size() || changes[at + 1] != 'r';
      if (changes[at] == 'f' || (changes[at] == 'r' && (in_row % 50 == 0 || last_in_row)))
        points.push_back(int(at) + 1);
    }
    return points;
  }

  const std::vector<Listed> listing_ = ReadListing();
};

// The way back that follows a stop runs from the kept program where there is one, as from Programs
// and Features, and from the setup folder where a stop left none.
TEST_F(StoppedRunTest, AStopAtAnyChangeOfTheInstallationOrTheWayBackIsFinishedByTheNextWayBack) {
  // The runs see a 64-bit machine wherever they run: a 32-bit system would only repeat them.
  if (!Is64BitSystem()) GTEST_SKIP() << "the same stops as on a 64-bit system";
  const std::string kept = At("PF\\Movrix18\\Movrix18.exe");
  for (const char* product : {"Windows 7 Professional", "Microsoft Windows 10"}) {
    SCOPED_TRACE(product);
    const PinnedVersionValue pinned("ProductName", product);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kActiveSetupKey, KEY_WOW64_64KEY, 0);
    std::map<std::string, std::string> before = Machine();
    StopAtChange first(system_, 0), counter(system_, 0);
    // The first way back on this system retires the component; the next ones find it retired.
    ASSERT_FALSE(InstallAndWayBack(first, kept));
    ASSERT_FALSE(InstallAndWayBack(counter, kept));
    Restart();
    // Windows 8 and 10 keep the program, and its retired component, for every user's own way
    // back at their next sign-in.
    const std::map<std::string, std::string> kept_for_users = Machine();
    for (const auto& [what, state] : kept_for_users)
      if (what.rfind(At("PF\\Movrix18"), 0) == 0 || what == std::string(kActiveSetupKey) + "|")
        before[what] = state;
    ASSERT_EQ(kept_for_users, before);
    for (const int stop_at : StopPoints(counter.changes())) {
      StopAtChange stopping(system_, stop_at);
      ASSERT_TRUE(InstallAndWayBack(stopping, kept)) << stop_at;
      system_.executable = PathExists(system_, kept) ? kept : At("Setup\\Movrix18.exe");
      StopAtChange never(system_, 0);
      runs_on_ = &never;
      const WindowRun& rerun = Start(true, true);
      runs_on_ = &system_;
      Restart();
      const std::string differences = Differences(before, Machine());
      if (differences.empty() &&
          (rerun.ExitCode() == kExitInstalled || rerun.ExitCode() == kExitNothingInstalled))
        continue;
      // The machine is no longer as before: later stops would only repeat this one.
      FAIL() << "stopped at change " << stop_at << " of " << counter.changes().size()
             << ", the next way back ended " << rerun.ExitCode() << ":\n"
             << rerun.form.text(kTxtOutput) << "\nand left:\n"
             << differences;
    }
  }
}

}  // namespace
}  // namespace movrix::testing
