// The registry's state before the registration, recorded and put back, on the real registry of
// the throwaway prefix.
#include "registry/prior_state.h"

#include <windows.h>

#include <cstdio>
#include <tuple>

#include "common/sealed_record.h"
#include "registry/key_io.h"
#include "registry/write_registration.h"
#include "tests/logic/registry_fixture.h"
#include "tests/logic/registry_listing.h"

namespace movrix::testing {
namespace {

using PriorStateTest = RegistryTest;

TEST_F(PriorStateTest,
       ThePriorStateIsRecordedOnceAndOnlyWhatStillHoldsTheRegistrationsDataGoesBack) {
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

TEST_F(PriorStateTest, EveryTypeComesBackByteForByteThroughTheMachinesRecordAndTheUsers) {
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

TEST_F(PriorStateTest, AMissingDamagedOrForgedRecordIsRefusedWholeAndNothingIsRestored) {
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

}  // namespace
}  // namespace movrix::testing
