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
Findings ReadVersionKey(System& system, WinVerResult& window,
                        const std::function<void()>& close_window, uint32_t key_access) {
  ScopedKey key(system);
  if (system.OpenRegKey(kLocalMachine, kNtVersionKey, key_access, key.Receive()) != kErrorSuccess)
    FailWithoutDescription();
  auto read = [&](const char* name) { return GetKeyValue(system, key.get(), name, close_window); };
  Findings found;
  // One read after the other: the operands of a single expression may be read in any order.
  const std::string version = read("CurrentVersion");
  const std::string build = read("CurrentBuildNumber");
  found.version = version + "." + build + " " + read("CSDVersion");
  window.ProcessorBits = ProcessorBitsOf(system.GetEnv("PROCESSOR_IDENTIFIER"), window.Is64Bit);
  found.product_name = read("ProductName");
  key.Close();
  return found;
}

// The product-name tests, in order; the first that matches decides.
void SetWindowsFlags(const std::string& product_name, RunState& run, WinVerResult& window) {
  window.IsWindows7 = run.IsWindows8 = run.IsWindows10 = false;
  if (Contains(product_name, "XP")) return;
  if (Contains(product_name, "7")) {
    window.IsWindows7 = true;
  } else if (Contains(product_name, "8")) {
    run.IsWindows8 = true;
  } else if (Contains(product_name, "Windows 10")) {
    run.IsWindows10 = true;
  }
}

void Identify(System& system, RunState& run, WinVerResult& window,
              const std::function<void()>& close_window, uint32_t key_access) {
  window.Is64Bit = false;
  // Every system the installer accepts is of the NT family, whose version key this is.
  const Findings found = ReadVersionKey(system, window, close_window, key_access);
  SetWindowsFlags(found.product_name, run, window);
  window.txtSys =
      found.product_name + window.ProcessorBits + kCrLf + kVersionLabel + found.version + kCrLf;
}

}  // namespace

void Win_Ver(System& system, RunState& run, WinVerResult& window,
             const std::function<void()>& close_window, uint32_t key_access) {
  Guarded([&] { Identify(system, run, window, close_window, key_access); },
          [&](const std::string& description) {
            system.ShowMessage(description, "Win_Ver", Buttons::kOk, Icon::kCritical);
            close_window();
          });
}

}  // namespace movrix
