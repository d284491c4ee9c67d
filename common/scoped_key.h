// A registry key the logic holds open, closed through the registry that opened it.
#pragma once

#include "platform/scoped_handle.h"
#include "platform/system.h"

namespace movrix {

// Closes an open key through `registry`; the close's status has nothing to tell a holder that is
// done with the key.
struct RegistryKeyTraits {
  using Handle = KeyHandle;
  static Handle Invalid() { return kNoKey; }
  static bool IsValid(Handle key) { return key != kNoKey; }
  void Close(Handle key) { registry->CloseRegKey(key); }
  Registry* registry;
};

// An open registry key: `ScopedKey key(registry); OpenKey(..., key.Receive(), ...)`.
class ScopedKey : public ScopedHandle<RegistryKeyTraits> {
 public:
  explicit ScopedKey(Registry& registry) : ScopedHandle(kNoKey, RegistryKeyTraits{&registry}) {}
};

}  // namespace movrix
