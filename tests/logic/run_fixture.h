// The runs of the program, from a program folder laid out in a scratch folder, on the prefix's
// Windows 10: what the tests of the installation and of the way back stand on.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "app/start_up.h"
#include "registry/active_setup.h"
#include "registry/prior_state.h"
#include "registry/uninstall_entry.h"
#include "tests/logic/fixture.h"

namespace movrix::testing {

class RunTest : public LogicTest {
 protected:
  RunTest() {
    system_.executable = At("Setup\\Movrix18.exe");
    system_.identity = {At("PF"), At("PF (x86)"), At("Windows")};
    system_.machine = Machine::kX64;
    LayOut();
  }
  // The entry, the component and the user's records that its runs leave are the real ones: each
  // test takes its own away, as it does its scratch folder.
  ~RunTest() override {
    for (const char* key : {kUninstallKey, kActiveSetupKey})
      RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY, 0);
    RegDeleteTreeA(HKEY_CURRENT_USER, UserPriorStateKey::kParentKey);
  }

  // The program beside its sources, on a system with its "Windows Mail" folders.
  void LayOut() {
    Write(At("Setup\\Movrix18.exe"), "exe");
    for (const char* tree : {"WM_32", "WM_64"})
      Write(At("Setup\\") + tree + "\\Windows Mail\\WinMail.exe", tree);
    for (const char* folder : {"system32\\", "syswow64\\"}) {
      for (const char* file : kSystemFiles) Write(At("Setup\\") + folder + file, "new");
      MakeFolder(At("Windows\\") + folder + "fr-FR");
    }
    MakeFolder(At("PF\\Windows Mail"));
    MakeFolder(At("PF (x86)\\Windows Mail"));
  }

  // Starts the program; the window, if it is still loaded, is recorded and closed with OK.
  WindowRun& Start(bool uninstall = false, bool silent = false) {
    runs_.push_back(std::make_unique<WindowRun>(*runs_on_, nullptr, RunOptions{silent, uninstall}));
    StartUp(*runs_.back());
    runs_.back()->form.Show(system_);
    return *runs_.back();
  }
  std::vector<std::unique_ptr<WindowRun>> runs_;
  // The system the runs see: the test system, or a layer over it.
  System* runs_on_ = &system_;
  PinnedVersionValue product_{"ProductName", "Microsoft Windows 10"};
};

class UninstallTest : public RunTest {
 protected:
  // Every file with its content and every folder ("<folder>") below the system's folders: what a
  // run changed. Nothing there may be left read-only.
  std::map<std::string, std::string> MachineFiles() {
    std::map<std::string, std::string> files;
    for (const char* folder : {"PF", "PF (x86)", "Windows"}) Collect(At(folder), files);
    return files;
  }
  void Collect(const std::string& folder, std::map<std::string, std::string>& files) {
    FindData entry;
    std::unique_ptr<FileSearch> search = system_.FindFirst(folder + "\\*", entry);
    if (!search) return;
    do {
      if (entry.name == "." || entry.name == "..") continue;
      const std::string path = folder + "\\" + entry.name;
      EXPECT_FALSE(entry.attributes & kAttributeReadOnly) << path << " was left read-only";
      files[path] = entry.attributes & kAttributeDirectory ? "<folder>" : Read(path);
      if (entry.attributes & kAttributeDirectory) Collect(path, files);
    } while (search->Next(entry));
  }

  UninstallTest() {
    for (const char* folder : {"system32\\", "syswow64\\"}) {
      for (const char* file : kSystemFiles) Write(At("Windows\\") + folder + file, "original");
    }
  }
  // Installs, then uninstalls with the given failures (call, path part, code); returns the
  // uninstallation.
  WindowRun& InstallThenUninstall(
      std::initializer_list<std::tuple<Call, const char*, uint32_t>> failures) {
    EXPECT_EQ(Start().ExitCode(), 0) << system_.BoxLines();
    for (const auto& [call, path, code] : failures) system_.Fail(call, path, code);
    system_.boxes.clear();
    return Start(true);
  }
  static bool EntryExists() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | KEY_WOW64_64KEY, &key))
      return false;
    RegCloseKey(key);
    return true;
  }
};

}  // namespace movrix::testing
