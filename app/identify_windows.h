// Which Windows is running: the flags the later steps test and the two-line description of the
// system shown in the window.
#pragma once

#include <string>

#include "platform/system.h"

namespace movrix {

// What the identification leaves in the window.
struct WindowsDescription {
  // " 32 bits", " 64 bits", or " ARM64": the processor of the system itself.
  std::string processor_bits;
  // The text of txtSys: the product name with processor_bits, then the version line.
  std::string system_text;
};

// Identifies the system from its native processor and the version key of HKEY_LOCAL_MACHINE, read
// in its 64-bit view. Sets `window` and the family and width of `identity`: a processor the
// program trees are not made for, or a server edition, leaves the family kOther. On a failure (the
// version key cannot be opened, or anything failing while it runs) it shows a critical box titled
// "Win_Ver" with the failure's description (empty text for the key) and returns; the family is then
// kOther and txtSys untouched. A value that cannot be read has its box and reads as empty text. The
// key is opened with `key_access`: the installation's own mask, or only the right to read it for a
// run that may lack the rights to change it. Returns false after any box: the window is then to be
// closed, though the identification may have gone on.
bool IdentifyWindows(System& system, SystemIdentity& identity, WindowsDescription& window,
                     uint32_t key_access = kKeyAccess);

}  // namespace movrix
