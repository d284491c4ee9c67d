#include "app/win_ver.h"

#include "app/get_key_value.h"
#include "common/guard.h"
#include "common/text.h"

namespace movrix {
namespace {

constexpr const char* kNtVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";
constexpr const char* kOlderVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
constexpr const char* kVersionLabel = "Version          ";

// The version key, open for the reads and closed exactly once, whatever happens.
class VersionKey {
 public:
  explicit VersionKey(System& system) : system_(system) {}
  VersionKey(const VersionKey&) = delete;
  VersionKey& operator=(const VersionKey&) = delete;
  // A failure is already being reported when the key is closed here: a second one would add
  // nothing the user can act on.
  ~VersionKey() {
    try {
      Close();
    } catch (const std::exception&) {
    }
  }

  // False when the system refuses the key.
  bool Open(const std::string& path) {
    open_ = system_.OpenRegKey(kLocalMachine, path, kKeyAccess, handle_) == kErrorSuccess;
    return open_;
  }
  void Close() {
    if (!open_) return;
    open_ = false;
    system_.CloseRegKey(handle_);
  }
  KeyHandle& handle() { return handle_; }

 private:
  System& system_;
  KeyHandle handle_ = 0;
  bool open_ = false;
};

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

// The character at 1-based `position` of a UTF-8 text; empty past its end.
std::string CharacterAt(const std::string& text, size_t position) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    bool starts_character = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    if (!starts_character || ++count != position) continue;
    size_t end = i + 1;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    return text.substr(i, end - i);
  }
  return "";
}

// The edition that the sixth character of an older-family version number stands for.
std::string EditionSuffix(const std::string& version) {
  std::string sixth = CharacterAt(version, 6);
  if (sixth == "1") return " PE";
  if (sixth == "2") return " SE";
  return "";
}

Findings ReadNtFamily(System& system, VersionKey& key, WinVerResult& window,
                      const std::function<void()>& close_window) {
  if (!key.Open(kNtVersionKey)) FailWithoutDescription();
  auto read = [&](const char* name) {
    return GetKeyValue(system, key.handle(), name, close_window);
  };
  Findings found;
  // One read after the other: the operands of a single expression may be read in any order.
  const std::string version = read("CurrentVersion");
  const std::string build = read("CurrentBuildNumber");
  found.version = version + "." + build + " " + read("CSDVersion");
  window.ProcessorBits = ProcessorBitsOf(system.GetEnv("PROCESSOR_IDENTIFIER"), window.Is64Bit);
  found.product_name = read("ProductName");
  return found;
}

Findings ReadOlderFamily(System& system, VersionKey& key,
                         const std::function<void()>& close_window) {
  if (!key.Open(kOlderVersionKey)) FailWithoutDescription();
  auto read = [&](const char* name) {
    return GetKeyValue(system, key.handle(), name, close_window);
  };
  Findings found;
  found.version = read("VersionNumber");
  found.product_name = read("ProductName") + EditionSuffix(found.version);
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
              const std::function<void()>& close_window) {
  window.Is64Bit = false;
  VersionKey key(system);
  Findings found = system.GetEnv("OS") == "Windows_NT"
                       ? ReadNtFamily(system, key, window, close_window)
                       : ReadOlderFamily(system, key, close_window);
  key.Close();
  SetWindowsFlags(found.product_name, run, window);
  window.txtSys =
      found.product_name + window.ProcessorBits + kCrLf + kVersionLabel + found.version + kCrLf;
}

}  // namespace

void Win_Ver(System& system, RunState& run, WinVerResult& window,
             const std::function<void()>& close_window) {
  Guarded([&] { Identify(system, run, window, close_window); },
          [&](const std::string& description) {
            system.ShowMessage(description, "Win_Ver", Buttons::kOk, Icon::kCritical);
            close_window();
          });
}

}  // namespace movrix
