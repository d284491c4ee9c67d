#include "registry/get_key_value.h"

#include "common/text.h"
#include "registry/key_io.h"

namespace movrix {
std::string GetKeyValue(Registry& system, KeyHandle key, const std::string& value_name) {
  uint32_t type = 0;
  std::string data;
  // A value with no data has no terminator to drop.
  if (ReadKeyValue(system, key, value_name, type, data) != kErrorSuccess || data.empty()) return "";
  if (type == kRegSz || type == kRegExpandSz) return RegSzText(data);
  // Other data is read as one character per byte, less its last byte.
  std::string text;
  for (size_t at = 0; at + 1 < data.size(); ++at)
    AppendUtf8(static_cast<unsigned char>(data[at]), text);
  return text;
}

}  // namespace movrix
