#include "app/identify_windows.h"

#include <optional>

#include "common/box_titles.h"
#include "common/guard.h"
#include "common/scoped_key.h"
#include "common/text.h"
#include "registry/get_key_value.h"

namespace movrix {
namespace {

constexpr const char* kNtVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";
constexpr const char* kVersionLabel = "Version          ";

// What the registry says before the product name is tested.
struct Findings {
  std::string version;
  std::string product_name;
  std::string installation_type;  // "Client", or "Server" (and "Server Core") for a server edition
};

// " 32 bits" / " 64 bits" on the processors the program trees are made for; the name of any other.
std::string ProcessorBitsOf(Machine machine) {
  switch (machine) {
    case Machine::kX86:
      return " 32 bits";
    case Machine::kX64:
      return " 64 bits";
    case Machine::kArm64:
      return " ARM64";
    case Machine::kOther:
      break;
  }
  return "";
}

// Reads the version key's values; empty when the system refuses the key, which stops the
// identification. `window_stays` turns false when a value's box is shown.
std::optional<Findings> ReadVersionKey(System& system, bool& window_stays, uint32_t key_access) {
  ScopedKey key(system);
  if (system.OpenRegKey(kLocalMachine, kNtVersionKey, key_access, key.Receive()) != kErrorSuccess)
    return std::nullopt;
  // A value that cannot be read is told and reads as empty text: the identification goes on, and
  // the window is to be closed after it.
  auto read = [&](const char* name) {
    return Guarded([&] { return GetKeyValue(system, key.get(), name); },
                   [&](const std::string& description) {
                     system.ShowMessage(description, kProgramTitle, Buttons::kOk, Icon::kNone);
                     window_stays = false;
                     return std::string();
                   });
  };
  Findings found;
  // One read after the other: the operands of a single expression may be read in any order.
  const std::string version = read("CurrentVersion");
  const std::string build = read("CurrentBuildNumber");
  found.version = version + "." + build + " " + read("CSDVersion");
  found.product_name = read("ProductName");
  found.installation_type = read("InstallationType");
  key.Close();
  return found;
}

// The product-name tests, in order; the first that matches decides.
WindowsFamily FamilyOf(const std::string& product_name) {
  if (Contains(product_name, "XP")) return WindowsFamily::kOther;
  if (Contains(product_name, "7")) return WindowsFamily::kWindows7;
  if (Contains(product_name, "8")) return WindowsFamily::kWindows8;
  if (Contains(product_name, "Windows 10")) return WindowsFamily::kWindows10;
  return WindowsFamily::kOther;
}

// The trees hold x86 and x64 programs only.
bool ForTheProgramTrees(Machine machine) {
  return machine == Machine::kX86 || machine == Machine::kX64;
}

// A server edition's product name says nothing the family tests can rely on: "Windows Server 2008
// R2" holds an "8".
bool IsServer(const std::string& installation_type) {
  return Contains(installation_type, "Server");
}

// Identifies the system into `identity` and `window`; the description of what stopped it, empty
// when the version key was refused, which the system does not describe.
std::optional<std::string> Identify(System& system, SystemIdentity& identity,
                                    WindowsDescription& window, bool& window_stays,
                                    uint32_t key_access) {
  identity.is_64_bit = false;
  identity.family = WindowsFamily::kOther;
  // Every system the installer accepts is of the NT family, whose version key this is.
  const std::optional<Findings> found = ReadVersionKey(system, window_stays, key_access);
  if (!found) return std::string();
  const Machine machine = system.NativeMachine();
  window.processor_bits = ProcessorBitsOf(machine);
  identity.is_64_bit = machine == Machine::kX64;
  if (ForTheProgramTrees(machine) && !IsServer(found->installation_type))
    identity.family = FamilyOf(found->product_name);
  window.system_text =
      found->product_name + window.processor_bits + kCrLf + kVersionLabel + found->version + kCrLf;
  return std::nullopt;
}

}  // namespace

bool IdentifyWindows(System& system, SystemIdentity& identity, WindowsDescription& window,
                     uint32_t key_access) {
  bool window_stays = true;
  const std::optional<std::string> stopped = Guarded(
      [&] { return Identify(system, identity, window, window_stays, key_access); },
      [&](const std::string& description) { return std::optional<std::string>(description); });
  if (stopped) {
    system.ShowMessage(*stopped, kIdentificationTitle, Buttons::kOk, Icon::kCritical);
    window_stays = false;
  }
  return window_stays;
}

}  // namespace movrix
