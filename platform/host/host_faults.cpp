#include "platform/host/host_faults.h"

#include <cctype>

namespace movrix {

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

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
