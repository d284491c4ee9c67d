// Reading one registry value as text, for the window's system identification.
#pragma once

#include <string>

#include "platform/system.h"

namespace movrix {

// Reads the value `value_name` (empty name: the default value) of the open key `key` and returns
// its data as text less its last byte (the terminator of a string value). A missing value, an
// unusable handle or a value with no data gives empty text. A failure of the system is thrown
// to the caller.
std::string GetKeyValue(Registry& system, KeyHandle key, const std::string& value_name);

}  // namespace movrix
