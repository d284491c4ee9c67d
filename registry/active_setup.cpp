#include "registry/active_setup.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "common/scoped_key.h"
#include "common/version.h"
#include "registry/key_io.h"

namespace movrix {
namespace {

constexpr const char* kComponentName = "Windows Mail, messagerie de chaque utilisateur";

// "a,b,c,d" as four numbers; false when `version` is not of that form. Read by hand: the string
// streams would bring in a runtime part that calls the system's ANSI functions.
bool ParseVersion(const std::string& version, std::array<unsigned long, 4>& parts) {
  constexpr unsigned long kLargestBeforeDigit =
      (std::numeric_limits<unsigned long>::max() - 9) / 10;
  size_t at = 0;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0 && (at >= version.size() || version[at++] != ',')) return false;
    const size_t first_digit = at;
    for (parts[i] = 0; at < version.size() && version[at] >= '0' && version[at] <= '9'; ++at) {
      if (parts[i] > kLargestBeforeDigit) return false;
      parts[i] = parts[i] * 10 + unsigned(version[at] - '0');
    }
    if (at == first_digit) return false;
  }
  return at == version.size();
}

// A text value of the open `key` without its terminator; empty when it cannot be read.
std::string ReadText(Registry& system, KeyHandle key, const std::string& name) {
  uint32_t type = 0;
  std::string data;
  if (ReadKeyValue(system, key, name, type, data) != kErrorSuccess || type != kRegSz) return "";
  return RegSzText(data);
}

// Writes the component with `stub_path`. Its version rises whenever the StubPath changes, so
// that every user runs the new one once; rewriting the same StubPath keeps the version, so that
// nobody runs it again for nothing.
void WriteComponent(Registry& system, const std::string& stub_path) {
  const std::string key_name = "HKLM\\" + std::string(kActiveSetupKey);
  ScopedKey key(system);
  ThrowUnlessSuccess(system, OpenKey(system, kLocalMachine, kActiveSetupKey, key.Receive(), true),
                     key_name);
  const std::string version = ReadText(system, key.get(), "Version");
  const std::string next = version.empty() ? VersionText(',')
                           : ReadText(system, key.get(), "StubPath") == stub_path
                               ? version
                               : NextComponentVersion(version);
  // IsInstalled 1: the system runs the StubPath of an installed component only.
  const struct {
    const char* name;
    uint32_t type;
    Variant value;
  } values[] = {{"", kRegSz, Variant::Text(kComponentName)},
                {"Version", kRegSz, Variant::Text(next)},
                {"StubPath", kRegSz, Variant::Text(stub_path)},
                {"IsInstalled", kRegDword, Variant::Number(1)}};
  for (const auto& value : values)
    ThrowUnlessSuccess(system, SetKeyValue(system, key.get(), value.name, value.type, value.value),
                       *value.name ? key_name + "\\" + value.name : key_name);
}

constexpr const char* kUninstallSwitch = " /desinstaller";

std::string Quoted(const std::string& program) {
  return "\"" + program + "\"";
}

}  // namespace

std::string NextComponentVersion(const std::string& version) {
  std::array<unsigned long, 4> parts{}, first{};
  ParseVersion(VersionText(','), first);
  if (!ParseVersion(version, parts) || parts < first) return VersionText(',');
  ++parts[3];
  return std::to_string(parts[0]) + "," + std::to_string(parts[1]) + "," +
         std::to_string(parts[2]) + "," + std::to_string(parts[3]);
}

void WriteActiveSetupComponent(Registry& system, const std::string& program) {
  WriteComponent(system, Quoted(program) + " /utilisateur");
}

void RetireActiveSetupComponent(Registry& system, const std::string& program) {
  WriteComponent(system, Quoted(program) + " /utilisateur" + kUninstallSwitch);
}

bool ActiveSetupComponentInstalls(Registry& system) {
  ScopedKey key(system);
  if (system.OpenRegKey(kLocalMachine, kActiveSetupKey, kKeyReadAccess, key.Receive()) !=
      kErrorSuccess)
    return false;
  const std::string stub_path = ReadText(system, key.get(), "StubPath");
  const size_t end = stub_path.size() - std::min(stub_path.size(), strlen(kUninstallSwitch));
  return stub_path.compare(end, std::string::npos, kUninstallSwitch) != 0;
}

}  // namespace movrix
