// The two existence tests: a file with content, a folder.
#pragma once

#include <string>

#include "platform/system.h"

namespace movrix {

// True when the file exists and is longer than 0 bytes. Otherwise false, after a box showing the
// query's error description (empty for an empty file) when `show_message` is set.
bool FileExists(System& system, const std::string& path, bool show_message);

// True when `path` (a final backslash allowed) names an existing folder. Guards nothing: errors
// of the listing reach the caller.
bool FolderExists(System& system, const std::string& path);

}  // namespace movrix
