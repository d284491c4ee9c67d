// The registry routines, the system identification and the registration, on the real registry of
// the throwaway prefix.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/get_key_value.h"
#include "app/win_ver.h"
#include "registry/mod_key.h"
#include "registry/write_reg.h"
#include "tests/logic/fixture.h"

namespace movrix::testing {
namespace {

HKEY Root(const std::string& name) {
  return name == "HKCR"   ? HKEY_CLASSES_ROOT
         : name == "HKCU" ? HKEY_CURRENT_USER
                          : HKEY_LOCAL_MACHINE;
}

// A value as the registry holds it in the given view: "<type>:<bytes>", "<no key>" or "<no value>".
std::string Stored(HKEY root, const std::string& key, const std::string& name,
                   REGSAM view = KEY_WOW64_64KEY) {
  HKEY opened;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &opened)) return "<no key>";
  DWORD type = 0, size = 4096;
  std::string data(size, '\0');
  LONG status = RegQueryValueExA(opened, name.empty() || name == "@" ? nullptr : name.c_str(),
                                 nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
  RegCloseKey(opened);
  return status ? "<no value>" : std::to_string(type) + ":" + data.substr(0, size);
}

void Put(HKEY root, const std::string& key, const std::string& name, const std::string& text) {
  HKEY opened;
  ASSERT_EQ(RegOpenKeyExA(root, key.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &opened), 0)
      << key;
  RegSetValueExA(opened, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 DWORD(text.size() + 1));
  RegCloseKey(opened);
}

class RegistryTest : public LogicTest {
 protected:
  ~RegistryTest() override { RegDeleteTreeA(HKEY_CURRENT_USER, Key().c_str()); }
  static std::string Key() { return "Software\\MovrixTests"; }
};

TEST_F(RegistryTest, EachTypeIsStoredInItsOwnForm) {
  KeyHandle key = 0;
  ASSERT_GT(OpenKey(system_, kCurrentUser, Key() + "\\a\\b", key, true), 0);
  const std::string nul(1, '\0');
  struct Case {
    const char* name;
    uint32_t type;
    Variant value;
    std::string stored;
  } cases[] = {
      {"", kRegSz, Variant::Text("Messagerie é"), "1:Messagerie \xE9" + nul},
      {"expand", kRegExpandSz, Variant::Text("%ProgramFiles%"), "2:%ProgramFiles%" + nul},
      {"binary", kRegBinary, Variant::Text("ab"), "3:ab"},
      {"dword", kRegDword, Variant::Number(0x01020304), "4:\x04\x03\x02\x01"},
      {"dword text", kRegDword, Variant::Text(" -1 "), "4:\xFF\xFF\xFF\xFF"},
      {"none", kRegNone, Variant::Text("ignored"), "0:"},
      {"type 5", 5, Variant::Number(1), "<no value>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SetKeyValue(system_, key, c.name, c.type, c.value), 0) << c.name;
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, Key() + "\\a\\b", c.name), c.stored) << c.name;
  }
  EXPECT_EQ(SetKeyValue(system_, key, "bad", kRegDword, Variant::Text("12a")), -1);
  EXPECT_EQ(system_.BoxLines(), "SetKeyValue|Incompatibilité de type|none\n");
  system_.CloseRegKey(key);

  // GetKeyValue drops the last byte, the terminator of a text.
  ASSERT_EQ(OpenKey(system_, kCurrentUser, Key() + "\\a\\b", key, false), int32_t(key));
  EXPECT_EQ(GetKeyValue(system_, key, "", [] {}), "Messagerie é");
  EXPECT_EQ(GetKeyValue(system_, key, "binary", [] {}), "a");
  EXPECT_EQ(GetKeyValue(system_, key, "missing", [] {}), "");
  system_.CloseRegKey(key);
}

TEST_F(RegistryTest, AMissingKeyIsCreatedOnlyWhenAskedAndARefusalIsShown) {
  KeyHandle key = 0;
  EXPECT_EQ(OpenKey(system_, kCurrentUser, Key() + "\\new", key, false), 0);
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, Key() + "\\new", "x"), "<no key>");
  system_.Fail("OpenRegKey", "refused");
  system_.Fail("CreateRegKey", "refused");
  EXPECT_EQ(OpenKey(system_, kCurrentUser, Key() + "\\refused", key, true), 0);
  EXPECT_EQ(system_.BoxLines(), "CreateKey|Impossible de créer la clef|none\n");
}

TEST_F(RegistryTest, TheAccessMaskReachesTheNativeView) {
  SKIP_UNLESS_WOW64();
  KeyHandle key = 0;
  ASSERT_GT(OpenKey(system_, kLocalMachine, "SOFTWARE\\MovrixTests", key, true), 0);
  SetKeyValue(system_, key, "view", kRegSz, Variant::Text("native"));
  system_.CloseRegKey(key);
  EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, "SOFTWARE\\MovrixTests", "view"),
            "1:native" + std::string(1, '\0'));
  EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, "SOFTWARE\\MovrixTests", "view", KEY_WOW64_32KEY),
            "<no key>");
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\MovrixTests", KEY_WOW64_64KEY, 0);
}

// One value of the listing written by hand from the registration tables.
struct Listed {
  int line;
  std::string root, key, name, type, data;
};

std::vector<Listed> ReadListing(const std::string& path) {
  std::ifstream file(path);
  EXPECT_TRUE(file.good()) << path;
  std::vector<Listed> listing;
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Listed value{number, "", "", "", "", ""};
    std::string step;
    for (std::string* field :
         {&step, &value.root, &value.key, &value.name, &value.type, &value.data})
      std::getline(fields, *field, '\t');
    listing.push_back(value);
  }
  return listing;
}

// What the registry holds for a listed value, worked out from the listing alone.
std::string Expected(const Listed& value) {
  static const std::vector<std::string> types = {"REG_NONE", "REG_SZ", "REG_EXPAND_SZ",
                                                 "REG_BINARY", "REG_DWORD"};
  const size_t type = std::find(types.begin(), types.end(), value.type) - types.begin();
  std::string bytes;
  if (type == kRegSz || type == kRegExpandSz) bytes = value.data + '\0';
  for (int shift = 0; type == kRegDword && shift < 32; shift += 8)
    bytes += char(std::stoul(value.data) >> shift & 0xFF);
  std::istringstream hex(value.data);
  for (unsigned byte; type == kRegBinary && hex >> std::hex >> byte;) bytes += char(byte);
  return std::to_string(type) + ":" + bytes;
}

// Every listed value holds what the listing says; a 32-bit system has no 32-bit mirror.
void ExpectRegistryAsListed(const std::vector<Listed>& listing) {
  for (const Listed& value : listing) {
    if (!Is64BitSystem() && value.key.rfind("Wow6432Node\\", 0) == 0) continue;
    const std::string where = "line " + std::to_string(value.line) + ": " + value.root + "\\" +
                              value.key + " [" + value.name + "]";
    if (value.type == "KEY")
      EXPECT_NE(Stored(Root(value.root), value.key, "no value"), "<no key>") << where;
    else
      EXPECT_EQ(Stored(Root(value.root), value.key, value.name), Expected(value)) << where;
  }
}

class WriteRegTest : public RegistryTest {
 protected:
  std::vector<Listed> listing_ =
      ReadListing(system_.ExecutablePath().substr(0, system_.ExecutablePath().rfind('\\')) +
                  "\\registration.tsv");
};

TEST_F(WriteRegTest, EveryListedValueIsWrittenAndOnlyA64BitSystemGetsTheMirror) {
  ASSERT_GT(listing_.size(), 290u);
  const std::string clsid = "{0A522732-A626-11D0-8D60-00C04FD6202B}";
  const std::string mirror = "Wow6432Node\\CLSID\\" + clsid;
  HKEY mirror_classes;  // other tests may have left the mirror there
  if (!RegOpenKeyExA(HKEY_CLASSES_ROOT, "Wow6432Node\\CLSID", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                     &mirror_classes)) {
    RegDeleteTreeA(mirror_classes, clsid.c_str());
    RegCloseKey(mirror_classes);
  }
  Outcome outcome;
  ASSERT_TRUE(Write_Reg(system_, false, outcome));
  EXPECT_EQ(Stored(HKEY_CLASSES_ROOT, mirror, ""), "<no key>");
  Put(HKEY_CLASSES_ROOT, "mailto", "Kept", "yes");
  const DWORD started = GetTickCount();
  ASSERT_TRUE(Write_Reg(system_, true, outcome));
  const DWORD took = GetTickCount() - started;
  std::printf("Write_Reg, %zu values: %lu ms\n", listing_.size(), took);
  EXPECT_LE(took, 100u) << "the registration is meant to take 100 ms at most";
  EXPECT_EQ(SortedFailures(outcome), "");
  ExpectRegistryAsListed(listing_);
  EXPECT_EQ(Stored(HKEY_CLASSES_ROOT, "mailto", "Kept"), "1:" + std::string("yes", 4));
  EXPECT_EQ(system_.BoxLines(), "");
}

TEST_F(WriteRegTest, EachKeyAndValueThatCannotBeWrittenIsNamedWithTheSystemsReason) {
  system_.Fail("OpenRegKey", "WindowsMail.Url.mailto");
  system_.Fail("CreateRegKey", "WindowsMail.Url.mailto");
  system_.Fail("SetRegValue", "EditFlags");
  Outcome outcome;
  EXPECT_TRUE(Write_Reg(system_, true, outcome));
  EXPECT_NE(system_.BoxLines().find("CreateKey|Impossible de créer la clef|none\n"),
            std::string::npos);
  size_t keys = 0, values = 0;
  for (const Failure& failure : outcome.failures) {
    EXPECT_EQ(failure.reason, DescribeError(5)) << failure.what;
    keys += failure.what.rfind("la clé HKCR\\WindowsMail.Url.mailto", 0) == 0;
    values += failure.what.rfind("la valeur EditFlags de HK", 0) == 0 &&
              Contains(failure.what, " n'a pas été écrite");
  }
  EXPECT_GT(keys, 0u);
  EXPECT_GT(values, 1u);
  EXPECT_EQ(keys + values, outcome.failures.size()) << SortedFailures(outcome);
}

// Run by the scenarios, in a prefix the installer itself has just registered in.
TEST(Installed, RegistryHoldsTheWholeListing) {
  TestSystem system;
  const std::string exe = system.ExecutablePath();
  ExpectRegistryAsListed(ReadListing(exe.substr(0, exe.rfind('\\')) + "\\registration.tsv"));
}

// The identification reads the version key of the running system; each case pins the values it
// needs there.
class WinVerTest : public LogicTest {
 protected:
  WinVerTest() { system_.environment["OS"] = "Windows_NT"; }
  // Identifies a system of this product name and processor; "7", "8", "10" or "-", and txtSys.
  std::string Identify(const std::string& product, const std::string& processor) {
    PinnedVersionValue name("ProductName", product);
    system_.environment["PROCESSOR_IDENTIFIER"] = processor;
    RunState run;
    WinVerResult window;
    system_.values_read.clear();
    Win_Ver(system_, run, window, [] {});
    EXPECT_EQ(system_.values_read, (std::vector<std::string>{"CurrentVersion", "CurrentBuildNumber",
                                                             "CSDVersion", "ProductName"}));
    std::string flags = window.IsWindows7 ? "7"
                        : run.IsWindows8  ? "8"
                        : run.IsWindows10 ? "10"
                                          : "-";
    return flags + (window.Is64Bit ? "/64|" : "/32|") + window.txtSys;
  }
  PinnedVersionValue version_{"CurrentVersion", "6.3"}, build_{"CurrentBuildNumber", "19045"},
      service_pack_{"CSDVersion", ""};
};

TEST_F(WinVerTest, TheFirstMatchingProductTestAndTheProcessorsFirstWordDecide) {
  const std::string version = "\r\nVersion          6.3.19045 \r\n";
  EXPECT_EQ(Identify("Windows 10 Pro", "Intel64 Family 6 Model 85"),
            "10/64|Windows 10 Pro 64 bits" + version);
  EXPECT_EQ(Identify("Windows 7 Professionnel", "x86 Family 6"),
            "7/32|Windows 7 Professionnel 32 bits" + version);
  EXPECT_EQ(Identify("Windows 8.1 Pro", "AMD64"), "8/64|Windows 8.1 Pro 64 bits" + version);
  EXPECT_EQ(Identify("Windows 10 Entreprise 2017", "ARMv8 (64-bit) Family 8"),
            "7/32|Windows 10 Entreprise 2017 ARMv8" + version)
      << "a 7 anywhere comes first";
  EXPECT_EQ(Identify("Microsoft Windows XP", "ARMv7 Family"),
            "-/32|Microsoft Windows XP ARMv7" + version);
  EXPECT_EQ(system_.BoxLines(), "");
}

TEST_F(WinVerTest, AnUnreadableKeyOrValueShowsItsBoxAndClosesTheWindow) {
  RunState run;
  WinVerResult window;
  int closed = 0;
  // A value that cannot be read: GetKeyValue's box, and the identification reads on.
  system_.Fail("QueryRegValue", "CurrentBuildNumber");
  Win_Ver(system_, run, window, [&] { ++closed; });
  EXPECT_EQ(system_.BoxLines(), "Movrix18|" + DescribeError(5) + "|none\n");
  EXPECT_EQ(window.txtSys.substr(window.txtSys.find("Version")), "Version          6.3. \r\n");
  system_.boxes.clear();
  system_.Fail("OpenRegKey", "Windows NT");
  Win_Ver(system_, run, window, [&] { ++closed; });
  EXPECT_EQ(system_.BoxLines(), "Win_Ver||critical\n");
  EXPECT_EQ(closed, 2);
}

}  // namespace
}  // namespace movrix::testing
