// The attributes and the security of files on the real system.
#include <windows.h>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_system.h"

namespace movrix {
namespace {

// What a saved descriptor holds and puts back: the owner, the group and the access list.
constexpr SECURITY_INFORMATION kOwnerGroupAndAccess =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// Switches on, for this process, the privileges an administrator holds but does not use by
// default: without them a file cannot be handed back to an owner that is not the caller, such as
// the system's own TrustedInstaller service.
void EnableOwnerPrivileges() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
    ThrowLastError();
  const KernelHandle closed(token);
  for (const wchar_t* name : {SE_RESTORE_NAME, SE_TAKE_OWNERSHIP_NAME}) {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) ThrowLastError();
    // A privilege the token lacks is no failure here: the write below then says what it refuses.
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  }
}

}  // namespace

void Win32System::SetPathAttributes(const std::string& path, uint32_t attributes) {
  if (!SetFileAttributesW(Wide(path).c_str(), attributes)) ThrowLastError();
}

std::string Win32System::FileSecurity(const std::string& path) {
  const std::wstring wide = Wide(path);
  DWORD size = 0;
  GetFileSecurityW(wide.c_str(), kOwnerGroupAndAccess, nullptr, 0, &size);
  if (size == 0) ThrowLastError();
  std::string descriptor(size, '\0');
  if (!GetFileSecurityW(wide.c_str(), kOwnerGroupAndAccess, descriptor.data(), size, &size))
    ThrowLastError();
  descriptor.resize(size);
  return descriptor;
}

void Win32System::PutFileSecurity(const std::string& path, const std::string& descriptor) {
  // A copy the system may read as a descriptor: the record it came from is only bytes.
  std::string copy = descriptor;
  if (copy.size() < sizeof(SECURITY_DESCRIPTOR_RELATIVE) ||
      !IsValidSecurityDescriptor(copy.data()) ||
      GetSecurityDescriptorLength(copy.data()) > copy.size())
    throw SystemError(DescribeError(ERROR_INVALID_SECURITY_DESCR), ERROR_INVALID_SECURITY_DESCR);
  EnableOwnerPrivileges();
  if (!SetFileSecurityW(Wide(path).c_str(), kOwnerGroupAndAccess, copy.data())) ThrowLastError();
}

}  // namespace movrix
