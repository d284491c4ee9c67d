// The one safe form of every record the program writes for a later run to read: a header naming
// its kind and format, its lines, and an end line with the line count and a SHA-256 checksum of
// all that precedes it, every line ended by CR LF. A record cut short by a power cut, filled with
// zeros, rewritten by hand or taken from another place is refused whole: nothing is ever restored
// from part of a record.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"

namespace movrix {

// The sealed text of a record of `kind` holding `lines`, which hold neither CR nor LF.
std::string SealRecord(const std::string& kind, const std::vector<std::string>& lines);

// The lines of the record of `kind` that `text` holds, or nullopt when `text` is anything else:
// another kind or format, a wrong count or checksum, a cut or changed text.
std::optional<std::vector<std::string>> UnsealRecord(const std::string& kind,
                                                     const std::string& text);

// Keeps `text` as the file at `path`, whole or not at all, even across a power cut: written under
// a passing name, flushed to the disk, then renamed over `path` in one step that is itself written
// through. Throws SystemError when it cannot.
void WriteRecordFile(FileSystem& system, const std::string& path, const std::string& text);

// Deletes the record at `path` and whatever a write of it that stopped left under its passing
// name; a file already gone is no failure. Throws SystemError when one stays.
void RemoveRecordFile(FileSystem& system, const std::string& path);

}  // namespace movrix
