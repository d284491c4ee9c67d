// Helpers of the system-file replacement shared by CopyAdd and the copy phase.
#pragma once

#include <string>

#include "platform/system.h"

namespace movrix {

// Renames `destination` to `destination` + ".orlo" when it exists (longer than 0 bytes) and no
// such backup exists yet, so that the first original is kept across runs. Errors reach the caller.
void BackUpOnce(System& system, const std::string& destination);

}  // namespace movrix
