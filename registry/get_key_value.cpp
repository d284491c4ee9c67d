#include "registry/get_key_value.h"

#include "common/guard.h"
#include "common/text.h"
#include "registry/mod_key.h"

namespace movrix {
namespace {

std::string ReadValueText(System& system, KeyHandle key, const std::string& value_name) {
  uint32_t type = 0;
  std::string data;
  // A value with no data has no terminator to drop.
  if (ReadKeyValue(system, key, value_name, type, data) != kErrorSuccess || data.empty()) return "";
  // The last byte goes whatever the type: for a string it is the terminator.
  data.pop_back();
  return system.FromAnsi(data);
}

}  // namespace

std::string GetKeyValue(System& system, KeyHandle key, const std::string& value_name,
                        const std::function<void()>& close_window) {
  return Guarded([&] { return ReadValueText(system, key, value_name); },
                 [&](const std::string& description) {
                   system.ShowMessage(description, kProgramTitle, Buttons::kOk, Icon::kNone);
                   close_window();
                   return std::string();
                 });
}

}  // namespace movrix
