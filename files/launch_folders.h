// The folder renaming phase: the system's "Windows Mail" program folders are set aside once.
#pragma once

#include "common/run_state.h"
#include "platform/system.h"

namespace movrix {

// The program folder the installation replaces, in each Program Files folder.
inline constexpr const char* kMailFolder = "Windows Mail";

// Renames each "Windows Mail" program folder to "Windows Mail.orlo" unless that backup exists,
// leaving the report in `state.ReportText`. False after its failure box.
bool Launch_Folders(System& system, RunState& state, bool is_64_bit_system);

}  // namespace movrix
