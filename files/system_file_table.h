// The system files the installation replaces, one row each, in the order they are replaced. The
// copy phase and the uninstallation read the same rows, so that what is restored is exactly
// what was replaced.
#pragma once

#include <string>
#include <vector>

#include "common/run_state.h"

namespace movrix {

enum class Bits { k64, k32 };
enum class SystemFolder { kSystem32, kSysWow64 };

struct SystemFileRow {
  Bits system;
  const char* step;
  const char* source;  // relative to app_folder
  SystemFolder folder;
  const char* destination;  // relative to `folder`
};

// The system files, in the order they are replaced. Each one goes through the rights step, its
// one-time backup and its copy: every one of them, the 32-bit French inetres.dll.mui of a 64-bit
// system included, belongs to TrustedInstaller on a French system, which alone may change it.
inline constexpr SystemFileRow kSystemFileRows[] = {
    {Bits::k64, "4", "system32\\msoeacct.dll", SystemFolder::kSystem32, "msoeacct.dll"},
    {Bits::k64, "4", "system32\\msidcrl30.dll", SystemFolder::kSystem32, "msidcrl30.dll"},
    {Bits::k64, "4", "system32\\acctres.dll", SystemFolder::kSystem32, "acctres.dll"},
    {Bits::k64, "4", "system32\\inetres.dll", SystemFolder::kSystem32, "inetres.dll"},
    {Bits::k64, "4", "system32\\fr-FR\\acctres.dll.mui", SystemFolder::kSystem32,
     "fr-FR\\acctres.dll.mui"},
    {Bits::k64, "4", "system32\\fr-FR\\inetres.dll.mui", SystemFolder::kSystem32,
     "fr-FR\\inetres.dll.mui"},
    {Bits::k64, "5", "syswow64\\msoeacct.dll", SystemFolder::kSysWow64, "msoeacct.dll"},
    {Bits::k64, "5", "syswow64\\msidcrl30.dll", SystemFolder::kSysWow64, "msidcrl30.dll"},
    {Bits::k64, "5", "syswow64\\acctres.dll", SystemFolder::kSysWow64, "acctres.dll"},
    {Bits::k64, "5", "syswow64\\inetres.dll", SystemFolder::kSysWow64, "inetres.dll"},
    {Bits::k64, "5", "syswow64\\fr-FR\\acctres.dll.mui", SystemFolder::kSysWow64,
     "fr-FR\\acctres.dll.mui"},
    {Bits::k64, "5", "syswow64\\fr-FR\\inetres.dll.mui", SystemFolder::kSysWow64,
     "fr-FR\\inetres.dll.mui"},
    {Bits::k32, "9", "syswow64\\msoeacct.dll", SystemFolder::kSystem32, "msoeacct.dll"},
    {Bits::k32, "9", "syswow64\\msidcrl30.dll", SystemFolder::kSystem32, "msidcrl30.dll"},
    {Bits::k32, "9", "syswow64\\acctres.dll", SystemFolder::kSystem32, "acctres.dll"},
    {Bits::k32, "9", "syswow64\\inetres.dll", SystemFolder::kSystem32, "inetres.dll"},
    {Bits::k32, "9", "syswow64\\fr-FR\\acctres.dll.mui", SystemFolder::kSystem32,
     "fr-FR\\acctres.dll.mui"},
    {Bits::k32, "9", "syswow64\\fr-FR\\inetres.dll.mui", SystemFolder::kSystem32,
     "fr-FR\\inetres.dll.mui"},
};

// The system folder a row's destination lies in.
inline const std::string& FolderOf(const RunState& state, SystemFolder folder) {
  return folder == SystemFolder::kSystem32 ? state.system32_folder : state.syswow64_folder;
}

// The rows of a 64-bit system, or of a 32-bit one.
inline Bits BitsOf(bool is_64_bit) {
  return is_64_bit ? Bits::k64 : Bits::k32;
}

// The destinations of this system's rows.
inline std::vector<std::string> SystemFiles(const RunState& state, bool is_64_bit) {
  std::vector<std::string> files;
  for (const SystemFileRow& row : kSystemFileRows) {
    if (row.system == BitsOf(is_64_bit))
      files.push_back(FolderOf(state, row.folder) + row.destination);
  }
  return files;
}

}  // namespace movrix
