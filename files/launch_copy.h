// The program-file copy phase: the program trees into Program Files, and on Windows 8 and 10 the
// system files, each backed up once.
#pragma once

#include <string>

#include "common/run_state.h"
#include "platform/system.h"

namespace movrix {

// Copies the trees and system files; on success `state.ReportText` holds the copy log. Every file,
// folder and system file that could not be copied is a failure in `state.Outcome`. False after
// its failure box, with `state.ReportText` empty and `state.Copy.CopyLog` as far as it got.
bool Launch_Copy(System& system, RunState& state, bool is_64_bit_system);

}  // namespace movrix
