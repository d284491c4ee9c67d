// The registry routines, the system identification and the registration, on the real registry of
// the throwaway prefix.
#include <windows.h>

#include <cstdio>
#include <tuple>

#include "app/win_ver.h"
#include "common/sealed_record.h"
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
  KeyHandle key = kNoKey;
  ASSERT_EQ(OpenKey(system_, kCurrentUser, Key() + "\\a\\b", key, true), 0);
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
  // A datum its type cannot hold: the box of the value, then its failure.
  Outcome outcome;
  const RegistrationEntry bad{1,         kCurrentUser, Key() + "\\a\\b",    "bad",
                              kRegDword, false,        Variant::Text("12a")};
  EXPECT_EQ(WriteRegistrationRows(system_, boxes_, {bad}, outcome), std::nullopt);
  EXPECT_EQ(system_.BoxLines(), "SetKeyValue|Incompatibilité de type|none\n");
  ASSERT_EQ(outcome.failures.size(), 1u);
  EXPECT_EQ(outcome.failures[0].reason, "la donnée ne convient pas au type de la valeur");
  system_.CloseRegKey(key);

  // GetKeyValue drops the last byte, the terminator of a text.
  ASSERT_EQ(OpenKey(system_, kCurrentUser, Key() + "\\a\\b", key, false), 0);
  EXPECT_EQ(GetKeyValue(system_, key, ""), "Messagerie é");
  EXPECT_EQ(GetKeyValue(system_, key, "binary"), "a");
  EXPECT_EQ(GetKeyValue(system_, key, "missing"), "");
  system_.CloseRegKey(key);
}

TEST_F(RegistryTest, AMissingKeyIsCreatedOnlyWhenAskedAndARefusalIsReported) {
  KeyHandle key = kNoKey;
  EXPECT_EQ(OpenKey(system_, kCurrentUser, Key() + "\\new", key, false), kErrorFileNotFound);
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, Key() + "\\new", "x"), "<no key>");
  system_.Fail(Call::kOpenRegKey, "refused");
  system_.Fail(Call::kCreateRegKey, "refused");
  EXPECT_EQ(OpenKey(system_, kCurrentUser, Key() + "\\refused", key, true), 5);
  EXPECT_TRUE(key == kNoKey);
}

TEST_F(RegistryTest, TheAccessMaskReachesTheNativeView) {
  SKIP_UNLESS_WOW64();
  KeyHandle key = kNoKey;
  ASSERT_EQ(OpenKey(system_, kLocalMachine, "SOFTWARE\\MovrixTests", key, true), 0);
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
  ASSERT_EQ(Write_Reg(system_, boxes_, false, outcome), std::nullopt);
  EXPECT_EQ(Stored(HKEY_CLASSES_ROOT, mirror, ""), "<no key>");
  Put(HKEY_CLASSES_ROOT, "mailto", "Kept", "yes");
  ASSERT_EQ(Write_Reg(system_, boxes_, true, outcome), std::nullopt);
  EXPECT_EQ(SortedFailures(outcome), "");
  ExpectRegistryAsListed(listing_);
  // The machine's classes are written where they are the machine's, whatever the user has.
  for (const std::string& key : system_.keys_opened) EXPECT_NE(key.substr(0, 5), "HKCR\\") << key;
  EXPECT_EQ(Stored(HKEY_CLASSES_ROOT, "mailto", "Kept"), "1:" + std::string("yes", 4));
  EXPECT_EQ(system_.BoxLines(), "");
}

TEST_F(WriteRegTest, EachKeyAndValueThatCannotBeWrittenIsNamedWithTheSystemsReason) {
  system_.Fail(Call::kOpenRegKey, "WindowsMail.Url.mailto");
  system_.Fail(Call::kCreateRegKey, "WindowsMail.Url.mailto");
  system_.Fail(Call::kSetRegValue, "EditFlags");
  Outcome outcome;
  EXPECT_EQ(Write_Reg(system_, boxes_, true, outcome), std::nullopt);
  EXPECT_NE(system_.BoxLines().find("CreateKey|Impossible de créer la clef|none\n"),
            std::string::npos);
  size_t keys = 0, values = 0;
  for (const Failure& failure : outcome.failures) {
    EXPECT_EQ(failure.reason, DescribeError(5)) << failure.what;
    keys += failure.what.rfind("la clé HKLM\\SOFTWARE\\Classes\\WindowsMail.Url.mailto", 0) == 0;
    values += failure.what.rfind("la valeur EditFlags de HK", 0) == 0 &&
              Contains(failure.what, " n'a pas été écrite");
  }
  // The three keys of the mailto ProgID, and the eleven EditFlags values outside them.
  EXPECT_EQ(keys, 3u);
  EXPECT_EQ(values, 11u);
  EXPECT_EQ(keys + values, outcome.failures.size()) << SortedFailures(outcome);
}

TEST_F(RegistryTest, ThePriorStateIsRecordedOnceAndOnlyWhatStillHoldsTheRegistrationsDataGoesBack) {
  const std::string kept = Key() + "\\Kept", made = kept + "\\Made", locked = Key() + "\\Locked";
  const std::string binary("\1\0\2", 4);
  Put(HKEY_CURRENT_USER, kept, "Old", binary.substr(0, 3), REG_BINARY);
  for (const char* name : {"Refused", "Changed"}) Put(HKEY_CURRENT_USER, kept, name, "old");
  Put(HKEY_CURRENT_USER, kept, "Other", "not ours");
  Put(HKEY_CURRENT_USER, locked, "V", "TrustedInstaller's");
  system_.read_only_keys = {locked};
  auto entry = [&](const std::string& key, const std::string& name, bool key_only = false) {
    return RegistrationEntry{1, kCurrentUser, key, name, kRegSz, key_only, Variant::Text("new")};
  };
  const std::vector<RegistrationEntry> entries = {entry(kept, "Old"),
                                                  entry(kept, "Refused"),
                                                  entry(kept, "New"),
                                                  entry(kept, "Changed"),
                                                  entry(locked, "V"),
                                                  entry(made + "\\Deep", "V"),
                                                  entry(kept + "\\Empty", "", true)};
  PriorStateFile prior(system_, At("prior.txt")), written(system_, At("written.txt"));
  RecordPriorState(system_, entries, prior);
  const std::string first = Read(At("prior.txt"));
  // The installation writes every entry but the locked one, and a second one finds the record
  // already taken.
  Outcome outcome;
  ASSERT_EQ(WriteRegistrationRows(system_, boxes_, entries, outcome), std::nullopt);
  EXPECT_EQ(outcome.failures.size(), 1u) << SortedFailures(outcome);
  RecordPriorState(system_, entries, prior);
  RecordWrittenState(system_, entries, written);
  EXPECT_EQ(Read(At("prior.txt")), first);
  outcome.failures.clear();

  // Another program's value stays; a value that cannot be put back is named and the rest goes
  // on; a created key that something else has filled since stays.
  Put(HKEY_CURRENT_USER, kept, "Changed", "another program's");
  Put(HKEY_CURRENT_USER, made, "Foreign", "x");
  system_.Fail(Call::kSetRegValue, "Refused", 5);
  RestoreReport report(outcome);
  RegistryWayBack way_back(system_, entries, prior, written);
  ASSERT_EQ(way_back.Load(report), RegistryWayBack::Records::kChecked) << SortedFailures(outcome);
  EXPECT_EQ(way_back.ChangedSinceRegistration(),
            std::vector<std::string>{"HKCU\\" + kept + "\\Changed : changée"});
  way_back.Restore(report);
  EXPECT_EQ(SortedFailures(outcome),
            "valeur non rétablie : HKCU\\" + kept + "\\Refused: " + DescribeError(5) + "\n");
  EXPECT_EQ(outcome.warnings,
            std::vector<std::string>{"valeur laissée telle quelle, changée depuis l'installation : "
                                     "HKCU\\" +
                                     kept + "\\Changed"});
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, kept, "Old"), "3:" + binary);
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, kept, "New"), "<no value>");
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, kept, "Changed"),
            "1:another program's" + binary.substr(1, 1));
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
  PriorStateFile machine(system_, At("état 日本 😀.txt")), machine_written(system_, At("écrit.txt"));
  UserPriorStateKey user(system_), user_written(system_, UserPriorStateKey::kWrittenValue);
  const std::pair<PriorStateStore*, PriorStateStore*> stores[] = {{&machine, &machine_written},
                                                                  {&user, &user_written}};
  for (const auto& [store, written] : stores) {
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
    ASSERT_EQ(WriteRegistrationRows(system_, boxes_, entries, outcome), std::nullopt);
    EXPECT_EQ(StoredBytes(HKEY_CURRENT_USER, keys[1], "mot"), "1:" + Utf16Bytes("✉ 😀") + nul2);
    RecordWrittenState(system_, entries, *written);
    RestoreReport report(outcome);
    RegistryWayBack way_back(system_, entries, *store, *written);
    ASSERT_EQ(way_back.Load(report), RegistryWayBack::Records::kChecked) << SortedFailures(outcome);
    way_back.Restore(report);
    EXPECT_EQ(SortedFailures(outcome), "");
    for (const std::string& key : keys) {
      for (const auto& [name, type, data] : values)
        EXPECT_EQ(StoredBytes(HKEY_CURRENT_USER, key, name), std::to_string(type) + ":" + data)
            << key << "\\" << name;
    }
  }
  user.Remove();
}

TEST_F(RegistryTest, AMissingDamagedOrForgedRecordIsRefusedWholeAndNothingIsRestored) {
  const std::string key = Key() + "\\Row";
  Put(HKEY_CURRENT_USER, key, "V", "old");
  const std::vector<RegistrationEntry> entries = {
      {1, kCurrentUser, key, "V", kRegSz, false, Variant::Text("new")}};
  PriorStateFile prior(system_, At("prior.txt")), written(system_, At("written.txt"));
  RecordPriorState(system_, entries, prior);
  Outcome outcome;
  ASSERT_EQ(WriteRegistrationRows(system_, boxes_, entries, outcome), std::nullopt);
  RecordWrittenState(system_, entries, written);
  const std::string good = Read(At("prior.txt"));
  // The same record with a line of a machine key added, sealed as the program seals it.
  const std::string kind = good.substr(9, good.find(" format ") - 9);
  std::vector<std::string> lines = *UnsealRecord(kind, good);
  std::string hex;
  for (unsigned char c : std::string("SOFTWARE\\Policies"))
    hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
  lines.push_back("K\t" + std::to_string(uint32_t(kLocalMachine)) + "\t" + hex + "\t0");
  const struct {
    std::string prior, failure;
  } cases[] = {
      {good.substr(0, good.size() - 3), "enregistrement endommagé, rien n'en est rétabli : "},
      {std::string(good.size(), '\0'), "enregistrement endommagé, rien n'en est rétabli : "},
      {SealRecord(kind, lines), "enregistrement refusé, rien n'en est rétabli : "},
      {"", "aucun enregistrement de l'état d'origine : "},
  };
  for (const auto& c : cases) {
    if (c.prior.empty())
      Remove(At("prior.txt"));
    else
      Write(At("prior.txt"), c.prior);
    outcome.failures.clear();
    RestoreReport report(outcome);
    RegistryWayBack way_back(system_, entries, prior, written);
    EXPECT_EQ(way_back.Load(report), RegistryWayBack::Records::kRefused) << c.failure;
    way_back.Restore(report);
    ASSERT_EQ(outcome.failures.size(), 1u) << SortedFailures(outcome);
    EXPECT_EQ(outcome.failures[0].what.rfind(c.failure + At("prior.txt"), 0), 0u)
        << outcome.failures[0].what;
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, key, "V"), "1:new" + std::string(1, '\0'));
  }
  EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, "SOFTWARE\\Policies", "no value"), "<no value>");
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
  // Identifies a system of this product name on this processor; "7", "8", "10" or "-", and txtSys.
  std::string Identify(const std::string& product, Machine machine) {
    PinnedVersionValue name("ProductName", product);
    system_.machine = machine;
    SystemIdentity identity;
    WinVerResult window;
    EXPECT_TRUE(Win_Ver(system_, identity, window));
    static const char* const kFamilies[] = {"-", "7", "8", "10"};
    return kFamilies[int(identity.family)] + std::string(identity.is_64_bit ? "/64|" : "/32|") +
           window.txtSys;
  }
  PinnedVersionValue version_{"CurrentVersion", "6.3"}, build_{"CurrentBuildNumber", "19045"},
      service_pack_{"CSDVersion", ""}, installation_{"InstallationType", "Client"};
};

TEST_F(WinVerTest, TheFirstMatchingProductTestAndTheSystemsOwnProcessorDecide) {
  const std::string version = "\r\nVersion          6.3.19045 \r\n";
  // Whoever starts the program sets the environment: its processor says nothing.
  system_.environment["PROCESSOR_IDENTIFIER"] = "x86 Family 6";
  EXPECT_EQ(Identify("Windows 10 Pro", Machine::kX64), "10/64|Windows 10 Pro 64 bits" + version);
  system_.environment["PROCESSOR_IDENTIFIER"] = "AMD64 Family 23";
  EXPECT_EQ(Identify("Windows 7 Professionnel", Machine::kX86),
            "7/32|Windows 7 Professionnel 32 bits" + version);
  EXPECT_EQ(Identify("Windows 8.1 Pro", Machine::kX64), "8/64|Windows 8.1 Pro 64 bits" + version);
  EXPECT_EQ(Identify("Windows 10 Entreprise 2017", Machine::kX64),
            "7/64|Windows 10 Entreprise 2017 64 bits" + version)
      << "a 7 anywhere comes first";
  EXPECT_EQ(Identify("Microsoft Windows XP", Machine::kX86),
            "-/32|Microsoft Windows XP 32 bits" + version);
  // The program trees hold x86 and x64 programs only.
  EXPECT_EQ(Identify("Windows 10 Pro", Machine::kArm64), "-/32|Windows 10 Pro ARM64" + version);
  EXPECT_EQ(system_.BoxLines(), "");
}

TEST_F(WinVerTest, AServerEditionIsNoneOfTheFamiliesWhateverItsNameHolds) {
  PinnedVersionValue server("InstallationType", "Server");
  EXPECT_EQ(Identify("Windows Server 2008 R2 Standard", Machine::kX64),
            "-/64|Windows Server 2008 R2 Standard 64 bits\r\nVersion          6.3.19045 \r\n");
}

TEST_F(WinVerTest, AnUnreadableKeyOrValueShowsItsBoxAndClosesTheWindow) {
  SystemIdentity identity;
  WinVerResult window;
  // A value that cannot be read: GetKeyValue's box, and the identification reads on.
  system_.Fail(Call::kQueryRegValue, "CurrentBuildNumber");
  EXPECT_FALSE(Win_Ver(system_, identity, window));
  EXPECT_EQ(system_.BoxLines(), "Movrix18|" + DescribeError(5) + "|none\n");
  EXPECT_EQ(window.txtSys.substr(window.txtSys.find("Version")), "Version          6.3. \r\n");
  system_.boxes.clear();
  system_.Fail(Call::kOpenRegKey, "Windows NT");
  EXPECT_FALSE(Win_Ver(system_, identity, window));
  EXPECT_EQ(system_.BoxLines(), "Win_Ver||critical\n");
}

}  // namespace
}  // namespace movrix::testing
