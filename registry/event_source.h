// The event source of the entries each run leaves in the Application event log: the key by which
// the event viewer finds their texts in the kept program, the source's message file.
#pragma once

#include <string>
#include <vector>

#include "registry/registration_table.h"

namespace movrix {

inline constexpr const char* kEventSourceName = "Movrix18";
// Below HKEY_LOCAL_MACHINE, which has one view of it.
inline constexpr const char* kEventSourceKey =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Movrix18";

// The rows that register the source with `program` as its message file, on every system: written,
// recorded and put back like the machine rows of the registration.
std::vector<RegistrationEntry> EventSourceRegistration(const std::string& program);

}  // namespace movrix
