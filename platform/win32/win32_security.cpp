// What keeps other users out of an elevated run: the lock only administrators can reach, the
// elevated start, the folders and random bytes taken from the system rather than from anything a
// user sets. Every call is a W function; texts cross this boundary as UTF-8.
#include <windows.h>
// The declarations below need the base types of windows.h.
#include <initguid.h>
#include <knownfolders.h>
#include <ntsecapi.h>
#include <objbase.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_system.h"

namespace movrix {
namespace {

// Who may open the namespace and the mutex: the Administrators group and the system, nobody else.
// Without it the mutex would carry the default access list of whoever made it first, and SYSTEM's
// refuses an administrator's run.
constexpr const wchar_t* kAdministratorsOnly = L"D:P(A;;GA;;;BA)(A;;GA;;;SY)";
// How often a namespace that vanished between its creation by another run and its opening here is
// looked for again.
constexpr int kNamespaceAttempts = 3;

// The built-in Administrators group's identifier, which every system language knows.
class AdministratorsSid {
 public:
  AdministratorsSid() {
    DWORD size = sizeof sid_;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid_, &size)) ThrowLastError();
  }
  PSID get() const { return const_cast<BYTE*>(sid_); }

 private:
  BYTE sid_[SECURITY_MAX_SID_SIZE];
};

// The security attributes of an object only administrators and the system may open. Freed when
// destroyed.
class AdministratorsOnlyAttributes {
 public:
  AdministratorsOnlyAttributes() {
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdministratorsOnly, SDDL_REVISION_1,
                                                              &descriptor_, nullptr))
      ThrowLastError();
    attributes_ = {sizeof attributes_, descriptor_, FALSE};
  }
  ~AdministratorsOnlyAttributes() { LocalFree(descriptor_); }
  AdministratorsOnlyAttributes(const AdministratorsOnlyAttributes&) = delete;
  AdministratorsOnlyAttributes& operator=(const AdministratorsOnlyAttributes&) = delete;
  SECURITY_ATTRIBUTES* get() { return &attributes_; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

// A boundary descriptor holding the Administrators group: only a process in which that group is
// enabled (an elevated one) can create the namespace it bounds.
class AdministratorsBoundary {
 public:
  explicit AdministratorsBoundary(const std::wstring& name) {
    // Whatever code such a failure carries (Wine's may carry none), it means the same: the lock
    // cannot live in a private namespace on this system.
    boundary_ = CreateBoundaryDescriptorW(name.c_str(), 0);
    if (!boundary_) throw SystemError(DescribeError(ERROR_NOT_SUPPORTED), ERROR_NOT_SUPPORTED);
    const AdministratorsSid administrators;
    if (!AddSIDToBoundaryDescriptor(&boundary_, administrators.get())) {
      DeleteBoundaryDescriptor(boundary_);
      throw SystemError(DescribeError(ERROR_NOT_SUPPORTED), ERROR_NOT_SUPPORTED);
    }
  }
  ~AdministratorsBoundary() { DeleteBoundaryDescriptor(boundary_); }
  AdministratorsBoundary(const AdministratorsBoundary&) = delete;
  AdministratorsBoundary& operator=(const AdministratorsBoundary&) = delete;
  HANDLE get() const { return boundary_; }

 private:
  HANDLE boundary_;
};

// An open private namespace, closed by ClosePrivateNamespace.
struct PrivateNamespaceTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle handle) { return handle != nullptr; }
  void Close(Handle handle) { ClosePrivateNamespace(handle, 0); }
};

// A mutex made in a private namespace. The namespace stays open as long as the lock: once its
// last handle closes, other runs could no longer find the mutex by its name. Members close in
// reverse order: the mutex first.
class NamespaceLock : public HeldLock {
 public:
  NamespaceLock(HANDLE space, HANDLE mutex) : space_(space), mutex_(mutex) {}

 private:
  ScopedHandle<PrivateNamespaceTraits> space_;
  KernelHandle mutex_;
};

// Creates the namespace `alias` within `boundary`, or opens it when another run made it first.
HANDLE CreateOrOpenNamespace(const AdministratorsBoundary& boundary, const std::wstring& alias) {
  AdministratorsOnlyAttributes attributes;
  HANDLE space = nullptr;
  DWORD code = ERROR_SUCCESS;
  for (int attempt = 0; !space && attempt < kNamespaceAttempts; ++attempt) {
    space = CreatePrivateNamespaceW(attributes.get(), boundary.get(), alias.c_str());
    code = space ? ERROR_SUCCESS : GetLastError();
    if (code == ERROR_ALREADY_EXISTS) {
      space = OpenPrivateNamespaceW(boundary.get(), alias.c_str());
      code = space ? ERROR_SUCCESS : GetLastError();
    }
  }
  if (!space) throw SystemError(DescribeError(code), code);
  return space;
}

// The path of a known folder, as the system keeps it.
std::string KnownFolder(REFKNOWNFOLDERID folder) {
  PWSTR path = nullptr;
  const HRESULT result = SHGetKnownFolderPath(folder, KF_FLAG_DONT_VERIFY, nullptr, &path);
  const std::string text = SUCCEEDED(result) ? Utf8(path) : "";
  CoTaskMemFree(path);
  if (FAILED(result)) throw SystemError(DescribeError(DWORD(result)), DWORD(result));
  return text;
}

// The native Program Files of a 64-bit system, which a 32-bit process's known folder does not
// give: the value the system keeps in the registry's native view. Read as the plain text it is,
// never expanded from the environment.
std::string NativeProgramFiles() {
  HKEY key = nullptr;
  LSTATUS status =
      RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                    KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key);
  wchar_t path[MAX_PATH] = {};
  DWORD size = sizeof path;
  if (status == ERROR_SUCCESS) {
    status = RegGetValueW(key, nullptr, L"ProgramFilesDir", RRF_RT_REG_SZ, nullptr, path, &size);
    RegCloseKey(key);
  }
  if (status != ERROR_SUCCESS) throw SystemError(DescribeError(status), status);
  return Utf8(path);
}

// Libraries that the system's own libraries load by name, on demand, without the search restriction
// this program set for itself.
constexpr const wchar_t* kLibrariesLoadedByName[] = {L"msimg32", L"uxtheme", L"version",
                                                     L"dwmapi",  L"userenv", L"cryptbase"};

bool IsWow64Process() {
  BOOL wow64 = FALSE;
  return ::IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// Whether the process token holds `group` for denying access only, as UAC leaves the
// Administrators group to an administrator's unelevated programs.
bool DenyOnlyInToken(PSID group) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) ThrowLastError();
  const KernelHandle held(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (!GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) ThrowLastError();
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    if (EqualSid(groups->Groups[i].Sid, group))
      return (groups->Groups[i].Attributes & SE_GROUP_USE_FOR_DENY_ONLY) != 0;
  }
  return false;
}

}  // namespace

AdministratorsGroup Win32System::AdministratorsInToken() {
  // CheckTokenMembership counts only the groups that are enabled: those whose rights apply.
  const AdministratorsSid administrators;
  BOOL enabled = FALSE;
  if (!CheckTokenMembership(nullptr, administrators.get(), &enabled)) ThrowLastError();
  if (enabled) return AdministratorsGroup::kEnabled;
  return DenyOnlyInToken(administrators.get()) ? AdministratorsGroup::kDenyOnly
                                               : AdministratorsGroup::kAbsent;
}

std::string Win32System::NativeSystemFolder() {
  if (IsWow64Process()) return KnownFolder(FOLDERID_Windows) + "\\Sysnative";
  wchar_t folder[MAX_PATH + 1] = {};
  if (!GetSystemDirectoryW(folder, MAX_PATH)) ThrowLastError();
  return Utf8(folder);
}

void PreloadSystemLibraries() {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (!length || length >= MAX_PATH) return;
  // Kept loaded for the whole run. A library the system lacks cannot be loaded from its folder;
  // the run goes on without it, as it would have.
  for (const wchar_t* name : kLibrariesLoadedByName)
    LoadLibraryExW((std::wstring(folder) + L"\\" + name + L".dll").c_str(), nullptr,
                   LOAD_WITH_ALTERED_SEARCH_PATH);
}

std::unique_ptr<HeldLock> Win32System::TakeAdministratorsLock(const std::string& name) {
  const std::wstring wide = Wide(name);
  const AdministratorsBoundary boundary(wide);
  HANDLE space = CreateOrOpenNamespace(boundary, wide);
  AdministratorsOnlyAttributes attributes;
  HANDLE mutex = CreateMutexW(attributes.get(), FALSE, (wide + L"\\" + wide).c_str());
  const DWORD code = GetLastError();
  auto lock = std::make_unique<NamespaceLock>(space, mutex);
  if (!mutex) throw SystemError(DescribeError(code), code);
  // Another run made the mutex and holds it; this handle only shares it.
  if (code == ERROR_ALREADY_EXISTS) return nullptr;
  return lock;
}

std::optional<uint32_t> Win32System::RunElevated(const std::string& program,
                                                 const std::string& arguments) {
  const std::wstring file = Wide(program), parameters = Wide(arguments);
  SHELLEXECUTEINFOW start{};
  start.cbSize = sizeof start;
  start.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  start.lpVerb = L"runas";
  start.lpFile = file.c_str();
  start.lpParameters = parameters.c_str();
  start.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&start)) {
    if (GetLastError() == ERROR_CANCELLED) return std::nullopt;
    ThrowLastError();
  }
  if (!start.hProcess) throw SystemError(DescribeError(ERROR_INVALID_HANDLE), ERROR_INVALID_HANDLE);
  const KernelHandle process(start.hProcess);
  DWORD exit_code = 0;
  if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.get(), &exit_code))
    ThrowLastError();
  return exit_code;
}

std::string Win32System::RandomBytes(size_t count) {
  std::string bytes(count, '\0');
  if (!RtlGenRandom(bytes.data(), ULONG(count)))
    throw SystemError(DescribeError(ERROR_GEN_FAILURE), ERROR_GEN_FAILURE);
  return bytes;
}

SystemIdentity Win32System::ReadIdentity() {
  SystemIdentity identity;
  identity.program_files =
      IsWow64Process() ? NativeProgramFiles() : KnownFolder(FOLDERID_ProgramFiles);
  identity.program_files_x86 = KnownFolder(FOLDERID_ProgramFilesX86);
  identity.windows = KnownFolder(FOLDERID_Windows);
  return identity;
}

}  // namespace movrix
