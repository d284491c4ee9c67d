// Faults a test asks the stand-in to raise: "when `call` is made on `argument`, fail with
// `description`". The argument is the path, key path or value name the call is given.
#pragma once

#include <string>
#include <vector>

#include "platform/system.h"

namespace movrix {

class HostFaults {
 public:
  // Every later call named `call` whose argument equals `argument` (ignoring case) throws
  // SystemError(description). An empty argument matches every argument.
  void Inject(const std::string& call, const std::string& argument, const std::string& description);
  void Clear() { faults_.clear(); }
  // Throws when a fault was injected for this call and argument.
  void Check(const std::string& call, const std::string& argument) const;

 private:
  struct Fault {
    std::string call, argument, description;
  };
  std::vector<Fault> faults_;
};

}  // namespace movrix
