// The registry routines, the system identification and the registration, on the real registry of
// the throwaway prefix.
#include <windows.h>

#include <cstdio>
#include <tuple>

#include "app/win_ver.h"
#include "registry/get_key_value.h"
#include "registry/mod_key.h"
#include "registry/prior_state.h"
#include "registry/write_reg.h"
#include "tests/logic/fixture.h"
#include "tests/logic/registry_listing.h"

namespace movrix::testing {
namespace {

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

class WriteRegTest : public RegistryTest {
 protected:
  std::vector<Listed> listing_ = ReadListing();
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
  ASSERT_TRUE(Write_Reg(system_, true, outcome));
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
  // The three keys of the mailto ProgID, and the eleven EditFlags values outside them.
  EXPECT_EQ(keys, 3u);
  EXPECT_EQ(values, 11u);
  EXPECT_EQ(keys + values, outcome.failures.size()) << SortedFailures(outcome);
}

TEST_F(RegistryTest, ThePriorStateIsRecordedOnceAndPutBackWithTypeAndData) {
  const std::string kept = Key() + "\\Kept", made = kept + "\\Made";
  const std::string binary("\1\0\2", 4);
  Put(HKEY_CURRENT_USER, kept, "Old", binary.substr(0, 3), REG_BINARY);
  Put(HKEY_CURRENT_USER, kept, "Refused", "old");
  Put(HKEY_CURRENT_USER, kept, "Other", "not ours");
  auto entry = [&](const std::string& key, const std::string& name, bool key_only = false) {
    return RegistrationEntry{1, kCurrentUser, key, name, kRegSz, key_only, Variant::Text("new")};
  };
  const std::vector<RegistrationEntry> entries = {entry(kept, "Old"), entry(kept, "Refused"),
                                                  entry(kept, "New"), entry(made + "\\Deep", "V"),
                                                  entry(kept + "\\Empty", "", true)};
  const std::string record = At("record.txt");
  PriorStateFile store(system_, record);
  RecordPriorState(system_, entries, store);
  const std::string first = Read(record);
  // The installation writes every entry, and a second one finds the record already taken.
  Outcome outcome;
  ASSERT_TRUE(WriteRegistrationRows(system_, entries, outcome));
  RecordPriorState(system_, entries, store);
  EXPECT_EQ(Read(record), first);
  EXPECT_EQ(Read(record + ".partiel"), "<missing>");

  // A value that cannot be put back is named and the rest goes on; a created key that something
  // else has filled since stays.
  Put(HKEY_CURRENT_USER, made, "Foreign", "x");
  system_.Fail("SetRegValue", "Refused", 5);
  RestoreReport report(outcome);
  EXPECT_TRUE(RestorePriorState(system_, store, report));
  EXPECT_EQ(SortedFailures(outcome),
            "valeur non rétablie : HKCU\\" + kept + "\\Refused: " + DescribeError(5) + "\n");
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, kept, "Old"), "3:" + binary);
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, kept, "New"), "<no value>");
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, kept, "Other"), "1:" + std::string("not ours", 9));
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, made + "\\Deep", ""), "<no key>");
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, kept + "\\Empty", ""), "<no key>");
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, made, "Foreign"), "1:x" + std::string(1, '\0'));
}

TEST_F(RegistryTest, EveryTypeComesBackByteForByteThroughTheMachinesRecordAndTheUsers) {
  // Keys, names and texts from several scripts, one character beyond the Basic Multilingual Plane.
  const std::string keys[] = {Key() + "\\mailto", Key() + "\\Łódź 日本 😀"};
  const std::string nul2(2, '\0');
  const std::string text = Utf16Bytes("Messagerie Łódź ✉ 日本 😀");
  const std::tuple<std::string, DWORD, std::string> values[] = {
      {"", REG_SZ, text + nul2},
      {"Courrier Почта 邮件 ✉", REG_SZ, Utf16Bytes("Courrier Почта 邮件 ✉") + nul2},
      {"sans zéro final", REG_SZ, text},
      {"octet impair", REG_SZ, text + '\0'},
      {"chemin", REG_EXPAND_SZ, Utf16Bytes("%ProgramFiles%\\Ελληνικά") + nul2},
      {"plusieurs", REG_MULTI_SZ, Utf16Bytes("un") + nul2 + text + nul2 + nul2},
      {"binaire", REG_BINARY, std::string("\xFA\0\x01", 3)},
      {"mot", REG_DWORD, "\x04\x03\x02\x01"},
      {"rien", REG_NONE, ""}};
  PriorStateFile machine(system_, At("état 日本 😀.txt"));
  UserPriorStateKey user(system_);
  for (PriorStateStore* store : std::vector<PriorStateStore*>{&machine, &user}) {
    SCOPED_TRACE(store->Name());
    std::vector<RegistrationEntry> entries;
    for (const std::string& key : keys) {
      for (const auto& [name, type, data] : values) {
        PutBytes(HKEY_CURRENT_USER, key, name, type, data);
        entries.push_back({1, kCurrentUser, key, name, kRegSz, false, Variant::Text("✉ 😀")});
      }
    }
    RecordPriorState(system_, entries, *store);
    Outcome outcome;
    ASSERT_TRUE(WriteRegistrationRows(system_, entries, outcome));
    EXPECT_EQ(StoredBytes(HKEY_CURRENT_USER, keys[1], "mot"), "1:" + Utf16Bytes("✉ 😀") + nul2);
    RestoreReport report(outcome);
    EXPECT_TRUE(RestorePriorState(system_, *store, report));
    EXPECT_EQ(SortedFailures(outcome), "");
    for (const std::string& key : keys) {
      for (const auto& [name, type, data] : values)
        EXPECT_EQ(StoredBytes(HKEY_CURRENT_USER, key, name), std::to_string(type) + ":" + data)
            << key << "\\" << name;
    }
  }
  user.Remove();
}

// Not a logic test: the scenarios run it, in a prefix the installer itself has just registered
// in; the logic test run leaves it out.
TEST(ScenarioCheck, RegistryHoldsTheWholeListing) {
  ExpectRegistryAsListed(ReadListing());
}

// The identification reads the version key of the running system; each case pins the values it
// needs there.
class WinVerTest : public LogicTest {
 protected:
  // Identifies a system of this product name and processor; "7", "8", "10" or "-", and txtSys.
  std::string Identify(const std::string& product, const std::string& processor) {
    PinnedVersionValue name("ProductName", product);
    system_.environment["PROCESSOR_IDENTIFIER"] = processor;
    RunState run;
    WinVerResult window;
    Win_Ver(system_, run, window, [] {});
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
