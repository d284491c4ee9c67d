// The program's entry point on Windows: one run, from the command line to the exit code.
#include <windows.h>

#include <cstdlib>

#include "app/run_program.h"
#include "platform/win32/win32_system.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  movrix::RestrictLibrarySearchToSystemFolder();
  movrix::PreloadSystemLibraries();
  movrix::Win32System system;
  std::vector<std::string> arguments;
  for (int i = 1; i < __argc; ++i) arguments.push_back(system.FromAnsi(__argv[i]));
  return movrix::RunProgram(system, arguments);
}
