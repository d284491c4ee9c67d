// The program's entry point on Windows: one run, from the command line to the exit code.
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include "app/run_program.h"
#include "platform/win32/win32_system.h"

namespace {

// The arguments after the program's own name, as UTF-8. Read from the system's UTF-16 command
// line: the runtime's narrow copy would have passed every name through the code page.
std::vector<std::string> CommandLineArguments() {
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; words && i < count; ++i) arguments.push_back(movrix::Utf8(words[i]));
  LocalFree(words);
  return arguments;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  movrix::RestrictLibrarySearchToSystemFolder();
  movrix::Win32System system;
  return movrix::RunProgram(system, CommandLineArguments());
}
