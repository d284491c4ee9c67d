// What the tests of the renaming and copy phases stand on: a run's folders in a scratch folder,
// with the program trees and the system files of the sources and of the system.
#pragma once

#include "common/run_state.h"
#include "tests/logic/fixture.h"

namespace movrix::testing {

class PhaseTest : public LogicTest {
 protected:
  PhaseTest() {
    state_.app_folder = At("Setup\\");
    state_.program_files_folder = At("Program Files\\");
    state_.program_files_x86_folder = At("Program Files (x86)\\");
    state_.system32_folder = At("Windows\\system32\\");
    state_.syswow64_folder = At("Windows\\syswow64\\");
    state_.identity.family = WindowsFamily::kWindows10;
    for (const char* tree : {"WM_32", "WM_64"})
      Write(At("Setup\\") + tree + "\\Windows Mail\\WinMail.exe", tree);
    for (const char* folder : {"system32", "syswow64"}) {
      MakeFolder(At("Windows\\") + folder + "\\fr-FR");
      for (const char* file : kSystemFiles) {
        Write(At("Setup\\") + folder + "\\" + file, std::string("new ") + file);
        Write(At("Windows\\") + folder + "\\" + file, std::string("original ") + file);
      }
    }
    MakeFolder(At("Program Files\\Windows Mail"));
    MakeFolder(At("Program Files (x86)\\Windows Mail"));
  }
  std::string System(const std::string& folder, const std::string& file) {
    return Read(At("Windows\\") + folder + "\\" + file);
  }
  RunState state_;
};

}  // namespace movrix::testing
