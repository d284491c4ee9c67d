// Which processor the system itself runs on, asked of the system rather than of the environment
// variables that whoever starts the program sets.
#include <windows.h>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_system.h"

namespace movrix {
namespace {

// Windows 10 version 1709 and later: the only call that names the host of an emulated process.
using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);

// Each processor the installer tells apart, as IsWow64Process2 and GetNativeSystemInfo name it.
struct MachineNames {
  Machine machine;
  USHORT image_machine;
  WORD architecture;
};
constexpr MachineNames kMachines[] = {
    {Machine::kX86, IMAGE_FILE_MACHINE_I386, PROCESSOR_ARCHITECTURE_INTEL},
    {Machine::kX64, IMAGE_FILE_MACHINE_AMD64, PROCESSOR_ARCHITECTURE_AMD64},
    {Machine::kArm64, IMAGE_FILE_MACHINE_ARM64, PROCESSOR_ARCHITECTURE_ARM64}};

Machine MachineOfImage(USHORT image_machine) {
  for (const MachineNames& names : kMachines)
    if (names.image_machine == image_machine) return names.machine;
  return Machine::kOther;
}

Machine MachineOfArchitecture(WORD architecture) {
  for (const MachineNames& names : kMachines)
    if (names.architecture == architecture) return names.machine;
  return Machine::kOther;
}

// Systems older than IsWow64Process2. GetNativeSystemInfo describes an emulating host as x86 to an
// x86 process, so a process under WOW64 told "x86" runs on some other processor.
Machine MachineFromSystemInfo() {
  BOOL wow64 = FALSE;
  if (!IsWow64Process(GetCurrentProcess(), &wow64)) ThrowLastError();
  SYSTEM_INFO info{};
  GetNativeSystemInfo(&info);
  const Machine machine = MachineOfArchitecture(info.wProcessorArchitecture);
  return wow64 && machine == Machine::kX86 ? Machine::kOther : machine;
}

}  // namespace

Machine Win32System::NativeMachine() {
  const auto is_wow64_process2 = Kernel32Function<IsWow64Process2Function>("IsWow64Process2");
  if (!is_wow64_process2) return MachineFromSystemInfo();
  USHORT process_machine = 0, native_machine = 0;
  if (!is_wow64_process2(GetCurrentProcess(), &process_machine, &native_machine)) ThrowLastError();
  return MachineOfImage(native_machine);
}

}  // namespace movrix
