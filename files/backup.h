// How the installation names what it sets aside.
#pragma once

namespace movrix {

// Added to the name of an original the installation sets aside: its one-time backup.
inline constexpr const char* kBackupSuffix = ".orlo";

}  // namespace movrix
