// A registry key the logic holds open, closed through the system that opened it.
#pragma once

#include "platform/scoped_handle.h"
#include "platform/system.h"

namespace movrix {

// Closes an open key through `system`; the close's status has nothing to tell a holder that is
// done with the key.
struct RegistryKeyTraits {
  using Handle = KeyHandle;
  static Handle Invalid() { return kNoKey; }
  static bool IsValid(Handle key) { return key != kNoKey; }
  void Close(Handle key) { system->CloseRegKey(key); }
  System* system;
};

// An open registry key: `ScopedKey key(system); OpenKey(..., key.Receive(), ...)`.
class ScopedKey : public ScopedHandle<RegistryKeyTraits> {
 public:
  explicit ScopedKey(System& system) : ScopedHandle(kNoKey, RegistryKeyTraits{&system}) {}
};

}  // namespace movrix
