// The programs the installer starts, and the message pump that lets the window breathe between
// them, on the real system.
#include <windows.h>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_system.h"

namespace movrix {

std::optional<uint32_t> Win32System::StartProgram(const std::string& program,
                                                  const std::string& arguments,
                                                  uint32_t wait_milliseconds) {
  const std::wstring wide_program = Wide(program);
  // CreateProcessW may write into the command line, so it gets its own buffer.
  std::wstring command_line = L"\"" + wide_program + L"\" " + Wide(arguments);
  command_line.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  // The commands are console programs that report only on their console: started without any,
  // none flashes by for each file, none waits in front of a run that nobody watches, and no
  // console host process is started beside each of them (CREATE_NO_WINDOW would start one).
  if (!CreateProcessW(wide_program.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                      DETACHED_PROCESS, nullptr, nullptr, &startup, &started))
    ThrowLastError();
  const KernelHandle process(started.hProcess);
  const KernelHandle thread(started.hThread);
  DWORD exit_code = 0;
  if (!wait_milliseconds ||
      WaitForSingleObject(started.hProcess, wait_milliseconds) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(started.hProcess, &exit_code))
    return std::nullopt;
  return exit_code;
}

void Win32System::ProcessPendingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The request to end belongs to the main loop: it is put back, not consumed here.
      PostQuitMessage(int(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace movrix
