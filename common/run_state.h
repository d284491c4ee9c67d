// The state one installation run shares between the window and the phases. The run owns it and
// hands it down; every field has one writer.
#pragma once

#include <cstdint>
#include <string>

#include "platform/system.h"

namespace movrix {

// What the tree copy shares between CopyFolder and CopyThisFile.
struct CopyContext {
  int16_t SourceRootLen = 0;  // characters of the source root, its final backslash included
  std::string DestRoot;       // destination root, ending in a backslash
  std::string CopyLog;        // two lines per handled file, a third when it failed
  int FailedFiles = 0;        // files and system files that were not copied
  movrix::FindData FindData;  // the one search record of the whole walk
};

struct RunState {
  // Written at start-up. Folder texts end in a backslash.
  std::string AppFolder;
  std::string ProgramFilesFolder;
  std::string ProgramFilesX86Folder;
  std::string System32Folder;
  std::string SysWow64Folder;
  // Written by the system identification.
  bool IsWindows8 = false;
  bool IsWindows10 = false;
  // The report of the last phase that left one: the renaming report, then the copy log.
  std::string ReportText;
  // Registry keys and values the registration could not write.
  int FailedRegistryWrites = 0;
  CopyContext Copy;
};

}  // namespace movrix
