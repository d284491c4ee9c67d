#include "app/win_ver.h"

#include "common/guard.h"
#include "common/scoped_key.h"
#include "common/text.h"
#include "registry/get_key_value.h"

namespace movrix {
namespace {

constexpr const char* kNtVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";
constexpr const char* kVersionLabel = "Version          ";

// What the registry and the environment say before the product name is tested.
struct Findings {
  std::string version;
  std::string product_name;
};

// " 32 bits" / " 64 bits" from the first word of the processor identifier; any other first word
// is kept after a blank, and an identifier without a blank is kept whole.
std::string ProcessorBitsOf(const std::string& identifier, bool& is64) {
  std::string bits = identifier;
  size_t blank = identifier.find(' ');
  if (blank != std::string::npos) bits = " " + identifier.substr(0, blank);
  if (Contains(bits, "86")) return " 32 bits";
  if (Contains(bits, "64")) {
    is64 = true;
    return " 64 bits";
  }
  return bits;
}

// Reads the version key's values; a key the system refuses stops the identification.
// `window_stays` turns false when a value's box is shown.
Findings ReadVersionKey(System& system, SystemIdentity& identity, WinVerResult& window,
                        bool& window_stays, uint32_t key_access) {
  ScopedKey key(system);
  if (system.OpenRegKey(kLocalMachine, kNtVersionKey, key_access, key.Receive()) != kErrorSuccess)
    FailWithoutDescription();
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
  window.ProcessorBits = ProcessorBitsOf(system.GetEnv("PROCESSOR_IDENTIFIER"), identity.is_64_bit);
  found.product_name = read("ProductName");
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

void Identify(System& system, SystemIdentity& identity, WinVerResult& window, bool& window_stays,
              uint32_t key_access) {
  identity.is_64_bit = false;
  identity.family = WindowsFamily::kOther;
  // Every system the installer accepts is of the NT family, whose version key this is.
  const Findings found = ReadVersionKey(system, identity, window, window_stays, key_access);
  identity.family = FamilyOf(found.product_name);
  window.txtSys =
      found.product_name + window.ProcessorBits + kCrLf + kVersionLabel + found.version + kCrLf;
}

}  // namespace

bool Win_Ver(System& system, SystemIdentity& identity, WinVerResult& window, uint32_t key_access) {
  bool window_stays = true;
  Guarded([&] { Identify(system, identity, window, window_stays, key_access); },
          [&](const std::string& description) {
            system.ShowMessage(description, "Win_Ver", Buttons::kOk, Icon::kCritical);
            window_stays = false;
          });
  return window_stays;
}

}  // namespace movrix
