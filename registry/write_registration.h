// The registration sequence: every registry entry of the installed program, in its fixed order.
#pragma once

#include <optional>
#include <vector>

#include "common/guard.h"
#include "common/reporter.h"
#include "common/run_state.h"
#include "platform/system.h"
#include "registry/registration_table.h"

namespace movrix {

// Writes the registration blocks in order; the 32-bit mirror only when `is_64_bit_system`. Every
// key that could not be made and every value that could not be written is a failure in `outcome`,
// with the system's reason. Without `user_state_recorded` the HKEY_CURRENT_USER rows are not
// written, each a failure: what the user had there could never come back. A key not made and a
// datum its type cannot hold are told through `boxes` at once. Returns where a failure stopped
// it, the step being the number of the block it was writing.
std::optional<Stop> WriteRegistration(Registry& system, Reporter& boxes, bool is_64_bit_system,
                                      Outcome& outcome, bool user_state_recorded = true);

// Writes some rows of the registration (in their order) as WriteRegistration writes its blocks,
// with the same reports and the same failures in `outcome`.
std::optional<Stop> WriteRegistrationRows(Registry& system, Reporter& boxes,
                                          const std::vector<RegistrationEntry>& entries,
                                          Outcome& outcome);

}  // namespace movrix
