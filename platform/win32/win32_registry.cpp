// The registry through advapi32's Unicode functions: names are UTF-16 there, and value data
// pass as the very bytes those functions read and write. Key handles are the HKEY values
// themselves: a key handle holds 32 significant bits, in a 64-bit process too, so it fits the
// 32-bit KeyHandle.
#include <windows.h>

#include <algorithm>

#include "platform/win32/win32_system.h"

namespace movrix {
namespace {

// The predefined keys are negative 32-bit values that a wider HKEY holds sign-extended.
HKEY AsHkey(KeyHandle handle) {
  return reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<int32_t>(handle)));
}

KeyHandle AsKeyHandle(HKEY key) {
  return static_cast<KeyHandle>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(key)));
}

}  // namespace

int32_t Win32System::OpenRegKey(KeyHandle root, const std::string& path, uint32_t access,
                                KeyHandle& result) {
  // A refused open leaves no handle, as the system itself does since Vista.
  HKEY opened = nullptr;
  LONG status = RegOpenKeyExW(AsHkey(root), Wide(path).c_str(), 0, access, &opened);
  result = AsKeyHandle(opened);
  return status;
}

int32_t Win32System::CreateRegKey(KeyHandle root, const std::string& path, uint32_t access,
                                  KeyHandle& result) {
  HKEY created = nullptr;
  DWORD disposition = 0;
  LONG status = RegCreateKeyExW(AsHkey(root), Wide(path).c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, access, nullptr, &created, &disposition);
  result = AsKeyHandle(created);
  return status;
}

int32_t Win32System::QueryRegValue(KeyHandle key, const std::string& name, uint32_t& type,
                                   std::string* data, uint32_t& size) {
  const std::wstring wide_name = Wide(name);
  DWORD value_type = 0;
  DWORD byte_count = size;
  LONG status;
  if (!data) {
    status = RegQueryValueExW(AsHkey(key), wide_name.c_str(), nullptr, &value_type, nullptr,
                              &byte_count);
  } else {
    std::string buffer(size, '\0');
    status = RegQueryValueExW(AsHkey(key), wide_name.c_str(), nullptr, &value_type,
                              reinterpret_cast<BYTE*>(buffer.data()), &byte_count);
    if (status == ERROR_SUCCESS) {
      buffer.resize(std::min<DWORD>(byte_count, size));
      *data = std::move(buffer);
    }
  }
  type = value_type;
  size = byte_count;
  return status;
}

int32_t Win32System::SetRegValue(KeyHandle key, const std::string& name, uint32_t type,
                                 const std::string& data, uint32_t size) {
  // For a text type, the system takes a null character just past `size` for a terminator the
  // caller forgot to count, and stores it too. A non-null one there keeps the data as given:
  // a value put back without its terminator, or with an odd byte count, stays so.
  const std::string exact = data.substr(0, size) + "\xFF\xFF";
  return RegSetValueExW(AsHkey(key), Wide(name).c_str(), 0, type,
                        reinterpret_cast<const BYTE*>(exact.data()), size);
}

int32_t Win32System::CloseRegKey(KeyHandle key) {
  return RegCloseKey(AsHkey(key));
}

int32_t Win32System::DeleteRegValue(KeyHandle key, const std::string& name) {
  return RegDeleteValueW(AsHkey(key), Wide(name).c_str());
}

int32_t Win32System::DeleteRegKey(KeyHandle root, const std::string& path, uint32_t access) {
  return RegDeleteKeyExW(AsHkey(root), Wide(path).c_str(),
                         access & (KEY_WOW64_64KEY | KEY_WOW64_32KEY), 0);
}

int32_t Win32System::CountRegKeyContents(KeyHandle key, uint32_t& subkeys, uint32_t& values) {
  DWORD subkey_count = 0, value_count = 0;
  LONG status = RegQueryInfoKeyW(AsHkey(key), nullptr, nullptr, nullptr, &subkey_count, nullptr,
                                 nullptr, &value_count, nullptr, nullptr, nullptr, nullptr);
  subkeys = subkey_count;
  values = value_count;
  return status;
}

}  // namespace movrix
