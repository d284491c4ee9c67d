#include "registry/get_key_value.h"

#include "common/guard.h"
#include "common/text.h"

namespace movrix {
namespace {

std::string ReadValueText(System& system, KeyHandle key, const std::string& value_name) {
  uint32_t type = 0;
  uint32_t size = 0;
  if (system.QueryRegValue(key, value_name, type, nullptr, size) != kErrorSuccess) return "";
  std::string buffer(size, '\0');
  if (system.QueryRegValue(key, value_name, type, &buffer, size) != kErrorSuccess) return "";
  // A value with no data has no terminator to drop.
  if (size == 0) return "";
  buffer.resize(size);
  // The last byte goes whatever the type: for a string it is the terminator.
  buffer.pop_back();
  return system.FromAnsi(buffer);
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
