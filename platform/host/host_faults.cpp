#include "platform/host/host_faults.h"

#include "common/text.h"

namespace movrix {

void HostFaults::Inject(const std::string& call, const std::string& argument,
                        const std::string& description) {
  faults_.push_back({call, argument, description});
}

void HostFaults::Check(const std::string& call, const std::string& argument) const {
  for (const Fault& fault : faults_) {
    if (fault.call == call &&
        (fault.argument.empty() || EqualsIgnoringCase(fault.argument, argument)))
      throw SystemError(fault.description);
  }
}

}  // namespace movrix
