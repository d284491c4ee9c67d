// The registry as it was before the first installation: recorded once, before the registration
// writes anything, and put back by the uninstallation.
#pragma once

#include <string>
#include <vector>

#include "common/restore_report.h"
#include "platform/system.h"
#include "registry/registration_table.h"

namespace movrix {

// Every entry the registration writes on this system: the main blocks, and on a 64-bit system
// their 32-bit mirror.
std::vector<RegistrationEntry> RegistrationEntries(bool is_64_bit);

// Records, in the file `record_path`, whether each key of `entries` and each of its parent keys
// exists, and the type and data of each value of `entries` that exists. Does nothing when the
// record exists already: it describes the state before the first installation. The file appears
// whole or not at all. Throws SystemError when a key or value cannot be read or the file cannot
// be written; the registration must not start then.
void RecordPriorState(System& system, const std::vector<RegistrationEntry>& entries,
                      const std::string& record_path);

// Puts back the state the record at `record_path` holds: each value that existed gets its type
// and data again, each that did not is deleted, then each key that did not exist is deleted when
// it is empty, children before parents. Keys that existed stay. Each thing that cannot be put back
// is named in `report`, and the rest goes on. Throws SystemError when the record cannot be read.
void RestorePriorState(System& system, const std::string& record_path, RestoreReport& report);

}  // namespace movrix
