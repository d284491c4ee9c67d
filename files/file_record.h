// What the installation wrote as files, kept sealed beside the registry's record for the way back
// and for a later check: each file it wrote (every file of both program trees, every system file)
// with its size and SHA-256; each system-file destination where nothing was, or an empty file,
// before the first installation; and the folders it created for them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/run_state.h"
#include "platform/system.h"

namespace movrix {

struct WrittenFile {
  int64_t size = 0;
  std::string sha256;
};

struct FileRecord {
  std::map<std::string, WrittenFile> written;  // by full path
  std::set<std::string> absent;                // nothing was there before
  std::set<std::string> empty;                 // an empty file was there before
  std::vector<std::string> created_folders;    // parents before their children

  // True when the destination held no original that a backup keeps.
  bool Added(const std::string& path) const { return absent.count(path) || empty.count(path); }
};

// The record kept at `path`; an empty one when there is none, as after an older build. Nullopt when
// the file is not a whole record of ours, or names what the installation never writes on this
// system: anything but its system files, their folders and the files of its program trees.
// Throws SystemError when it cannot be read.
std::optional<FileRecord> ReadFileRecord(FileSystem& system, const std::string& path,
                                         const RunState& state, bool is_64_bit);

// Keeps `record` at `path`, whole or not at all. Throws SystemError when it cannot.
void WriteFileRecord(FileSystem& system, const std::string& path, const FileRecord& record);

// Notes, before any system file is replaced, each destination of this system's rows where nothing
// is or an empty file, and each folder of them that is missing or that the system deletes at the
// next restart. What an earlier installation
// noted stays: a file it added is not an original now. Errors reach the caller.
void NoteSystemFilesBefore(FileSystem& system, Environment& process, const RunState& state,
                           bool is_64_bit, FileRecord& record);

// Notes the size and SHA-256 of every file of the installed program trees and of every system file
// of this system's rows. Errors reach the caller.
void NoteWrittenFiles(FileSystem& system, Environment& process, const RunState& state,
                      bool is_64_bit, FileRecord& record);

// True when `path` still holds what the record says the installation wrote there, or when the
// record knows nothing of it.
bool HoldsWhatWasWritten(FileSystem& system, const FileRecord& record, const std::string& path);

// Each file below the installed `folder` (no final backslash) that the installation did not write
// there, or that holds something else now; links are not followed. Nothing when the record knows
// no file of that folder, as an older build's. Errors reach the caller.
std::vector<std::string> TreeDifferences(FileSystem& system, const FileRecord& record,
                                         const std::string& folder);

// What differs from the record, changing nothing: one line for each file the installation wrote
// that is missing, holds something else now (such as a system file put back to its original) or
// cannot be read. Paths below the system folder are read in the native view.
std::vector<std::string> FileDifferences(FileSystem& system, Environment& process,
                                         const FileRecord& record);

}  // namespace movrix
