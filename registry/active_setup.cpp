#include "registry/active_setup.h"

#include <array>
#include <sstream>

#include "common/scoped_key.h"
#include "common/version.h"
#include "registry/mod_key.h"

namespace movrix {
namespace {

constexpr const char* kComponentName = "Windows Mail, messagerie de chaque utilisateur";

// "a,b,c,d" as four numbers; false when `version` is not of that form.
bool ParseVersion(const std::string& version, std::array<unsigned long, 4>& parts) {
  std::istringstream in(version);
  for (size_t i = 0; i < parts.size(); ++i) {
    char comma = ',';
    if ((i > 0 && !(in >> comma)) || comma != ',' || !(in >> parts[i])) return false;
  }
  return in.peek() == std::char_traits<char>::eof();
}

// A text value of the open `key` without its terminator; empty when it cannot be read.
std::string ReadText(System& system, KeyHandle key, const std::string& name) {
  uint32_t type = 0;
  std::string data;
  if (ReadKeyValue(system, key, name, type, data) != kErrorSuccess || type != kRegSz) return "";
  return system.FromAnsi(data.substr(0, data.find('\0')));
}

// Writes the component with `stub_path`. Its version rises whenever the StubPath changes, so
// that every user runs the new one once; rewriting the same StubPath keeps the version, so that
// nobody runs it again for nothing.
int WriteComponent(System& system, const std::string& stub_path) {
  ScopedKey key(system);
  if (OpenKey(system, kLocalMachine, kActiveSetupKey, key.Receive(), true) == -1 || !key.valid())
    return 3;
  const std::string version = ReadText(system, key.get(), "Version");
  const std::string next = version.empty() ? VersionText(',')
                           : ReadText(system, key.get(), "StubPath") == stub_path
                               ? version
                               : NextComponentVersion(version);
  int failed = 0;
  const std::pair<const char*, std::string> values[] = {
      {"", kComponentName}, {"Version", next}, {"StubPath", stub_path}};
  for (const auto& [name, text] : values)
    if (SetKeyValue(system, key.get(), name, kRegSz, Variant::Text(text)) != kErrorSuccess)
      ++failed;
  return failed;
}

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

int WriteActiveSetupComponent(System& system, const std::string& program) {
  return WriteComponent(system, Quoted(program) + " /utilisateur");
}

int RetireActiveSetupComponent(System& system, const std::string& program) {
  return WriteComponent(system, Quoted(program) + " /utilisateur /desinstaller");
}

}  // namespace movrix
