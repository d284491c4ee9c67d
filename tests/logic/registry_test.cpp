// The registry routines on the real registry of the throwaway prefix.
#include <windows.h>

#include "registry/get_key_value.h"
#include "registry/key_io.h"
#include "registry/write_registration.h"
#include "tests/logic/registry_fixture.h"
#include "tests/logic/registry_listing.h"

namespace movrix::testing {
namespace {

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

}  // namespace
}  // namespace movrix::testing
