#include <windows.h>

#include <fstream>
#include <sstream>

#include "platform/win32/win32_system.h"
#include "tests/contract/contract_env.h"

namespace movrix::contract {
namespace {

Win32System& Real() {
  static Win32System system;
  return system;
}

void RemoveTree(const std::string& ansi_folder) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((ansi_folder + "*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = ansi_folder + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path + "\\");
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryA(ansi_folder.c_str());
}

// Creates every missing folder above the file `ansi_path`, as the stand-in does.
void CreateFoldersOf(const std::string& ansi_path) {
  for (size_t end = ansi_path.find('\\', 3); end != std::string::npos;
       end = ansi_path.find('\\', end + 1))
    CreateDirectoryA(ansi_path.substr(0, end).c_str(), nullptr);
}

}  // namespace

System& TheSystem() {
  return Real();
}

bool Is64BitSystem() {
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  return wow64 != FALSE;
}

std::string ScratchFolder(const std::string& test_name) {
  std::string folder = "C:\\movrix-contract\\" + test_name + "\\";
  std::string ansi = Real().ToAnsi(folder);
  RemoveTree(ansi);
  CreateDirectoryA("C:\\movrix-contract", nullptr);
  CreateDirectoryA(ansi.c_str(), nullptr);
  return folder;
}

void WriteFileDirect(const std::string& windows_path, const std::string& content) {
  PVOID redirection = nullptr;
  Wow64DisableWow64FsRedirection(&redirection);
  const std::string ansi = Real().ToAnsi(windows_path);
  CreateFoldersOf(ansi);
  std::ofstream(ansi, std::ios::binary) << content;
  Wow64RevertWow64FsRedirection(redirection);
}

std::string ReadFileDirect(const std::string& windows_path) {
  PVOID redirection = nullptr;
  Wow64DisableWow64FsRedirection(&redirection);
  std::ostringstream content;
  content << std::ifstream(Real().ToAnsi(windows_path), std::ios::binary).rdbuf();
  Wow64RevertWow64FsRedirection(redirection);
  return content.str();
}

std::string ScratchKey(const std::string& test_name) {
  std::string key = "Software\\MovrixContract\\" + test_name;
  RegDeleteTreeA(HKEY_CURRENT_USER, Real().ToAnsi(key).c_str());
  return key;
}

}  // namespace movrix::contract
