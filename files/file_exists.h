// The existence tests: any path, a file with content, a folder.
#pragma once

#include <string>

#include "platform/system.h"

namespace movrix {

// Returns when the file exists and is longer than 0 bytes. Otherwise throws SystemError with the
// query's error description; an empty file raised no error, so its description is empty
// (required: the box of an empty file has no text).
void RequireFileContent(FileSystem& system, const std::string& path);

// True when `path` names anything: a file, a folder or a link. Errors other than its absence
// reach the caller.
inline bool PathExists(FileSystem& system, const std::string& path) {
  return system.PathAttributes(path) >= 0;
}

// True when the file exists and is longer than 0 bytes; false otherwise, an ordinary answer.
bool HasContent(FileSystem& system, const std::string& path);

// True when `path` (a final backslash allowed) names an existing folder. Guards nothing: errors
// of the listing reach the caller.
bool FolderExists(FileSystem& system, const std::string& path);

// Clears the read-only attribute of the file at `path` when it has it: a file copied from a CD or
// an ISO image keeps that attribute, and the system then refuses to copy over it. Nothing happens
// when `path` does not exist. Errors reach the caller.
void ClearReadOnly(FileSystem& system, const std::string& path);

}  // namespace movrix
