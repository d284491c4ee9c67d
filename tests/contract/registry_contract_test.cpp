// The registry layer on the system under test: the same assertions hold on the stand-in and on
// the real registry under Wine. Each test works below its own scratch key of HKEY_CURRENT_USER.
#include <gtest/gtest.h>

#include "app/get_key_value.h"
#include "registry/mod_key.h"
#include "tests/contract/contract_env.h"

namespace movrix {
namespace {

// Access without KEY_WOW64_64KEY: the 32-bit program's own view.
constexpr uint32_t kKeyAccess32BitView = kKeyAccess & ~kKeyWow64_64Key;

// A key opened (created when missing) through OpenKey, closed at the end of the test.
class OpenedKey {
 public:
  OpenedKey(KeyHandle root, const std::string& path) {
    OpenKey(contract::TheSystem(), root, path, handle_, true);
  }
  ~OpenedKey() { contract::TheSystem().CloseRegKey(handle_); }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  KeyHandle& handle() { return handle_; }

 private:
  KeyHandle handle_ = 0;
};

struct RawValue {
  int32_t status = 0;
  uint32_t type = 0;
  std::string data;
};

// The value as stored, read through the raw interface: size query, then read.
RawValue ReadRaw(KeyHandle key, const std::string& name) {
  System& system = contract::TheSystem();
  RawValue value;
  uint32_t size = 0;
  value.status = system.QueryRegValue(key, name, value.type, nullptr, size);
  if (value.status != kErrorSuccess) return value;
  std::string buffer(size, '\0');
  value.status = system.QueryRegValue(key, name, value.type, &buffer, size);
  value.data = buffer.substr(0, size);
  return value;
}

std::string Read(OpenedKey& key, const std::string& name, int& closes) {
  return GetKeyValue(contract::TheSystem(), key.handle(), name, [&closes] { ++closes; });
}

bool KeyOpens(KeyHandle root, const std::string& path, uint32_t access = kKeyAccess) {
  KeyHandle handle = 0;
  if (contract::TheSystem().OpenRegKey(root, path, access, handle) != kErrorSuccess) return false;
  contract::TheSystem().CloseRegKey(handle);
  return true;
}

TEST(RegistryContract, AMissingValueReadsAsEmptyText) {
  OpenedKey key(kCurrentUser, contract::ScratchKey("MissingValue"));
  int closes = 0;
  EXPECT_EQ(Read(key, "Absent", closes), "");
  EXPECT_EQ(ReadRaw(key.handle(), "Absent").status, kErrorFileNotFound);
  EXPECT_EQ(closes, 0);
}

TEST(RegistryContract, StringsAreStoredWithTheirTerminatorAndReadBackWhole) {
  struct Case {
    const char* name;
    const char* text;
    std::string stored;
  };
  const Case cases[] = {
      {"Empty", "", std::string("\0", 1)},
      {"Three", "abc", std::string("abc\0", 4)},
      {"Accents", "Clé été", std::string("Cl\xE9 \xE9t\xE9\0", 8)},
  };
  OpenedKey key(kCurrentUser, contract::ScratchKey("Strings"));
  int closes = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(
        SetKeyValue(contract::TheSystem(), key.handle(), c.name, kRegSz, Variant::Text(c.text)),
        kErrorSuccess);
    RawValue stored = ReadRaw(key.handle(), c.name);
    EXPECT_EQ(stored.type, kRegSz) << c.name;
    EXPECT_EQ(stored.data, c.stored) << c.name;
    EXPECT_EQ(Read(key, c.name, closes), c.text) << c.name;
  }
  EXPECT_EQ(closes, 0);
}

TEST(RegistryContract, ExpandableStringsKeepTheirReferences) {
  OpenedKey key(kCurrentUser, contract::ScratchKey("Expand"));
  SetKeyValue(contract::TheSystem(), key.handle(), "", kRegExpandSz,
              Variant::Text("%ProgramFiles%\\Windows Mail\\WinMail.exe"));
  RawValue stored = ReadRaw(key.handle(), "");
  EXPECT_EQ(stored.type, kRegExpandSz);
  EXPECT_EQ(stored.data, std::string("%ProgramFiles%\\Windows Mail\\WinMail.exe\0", 40));
}

TEST(RegistryContract, NoneStoresAValueWithoutData) {
  OpenedKey key(kCurrentUser, contract::ScratchKey("None"));
  for (const Variant& value : {Variant::Null(), Variant::Text("Windows Mail")}) {
    EXPECT_EQ(SetKeyValue(contract::TheSystem(), key.handle(), "WinMail.exe", kRegNone, value),
              kErrorSuccess);
    RawValue stored = ReadRaw(key.handle(), "WinMail.exe");
    EXPECT_EQ(stored.status, kErrorSuccess);
    EXPECT_EQ(stored.type, kRegNone);
    EXPECT_EQ(stored.data, "");
  }
  int closes = 0;
  EXPECT_EQ(Read(key, "WinMail.exe", closes), "");
}

TEST(RegistryContract, NumbersAndBytesAreStoredExactly) {
  OpenedKey key(kCurrentUser, contract::ScratchKey("Binary"));
  System& system = contract::TheSystem();
  SetKeyValue(system, key.handle(), "EditFlags", kRegDword, Variant::Number(524288));
  SetKeyValue(system, key.handle(), "Bytes", kRegBinary,
              Variant::Text("\u00FA\u0071\u0045\u0036\u00D1\u00CD\u00CF\u0001"));
  RawValue dword = ReadRaw(key.handle(), "EditFlags");
  EXPECT_EQ(dword.type, kRegDword);
  EXPECT_EQ(dword.data, std::string("\x00\x00\x08\x00", 4));
  RawValue bytes = ReadRaw(key.handle(), "Bytes");
  EXPECT_EQ(bytes.type, kRegBinary);
  EXPECT_EQ(bytes.data, "\xFA\x71\x45\x36\xD1\xCD\xCF\x01");
}

TEST(RegistryContract, TypeSevenWritesNothing) {
  OpenedKey key(kCurrentUser, contract::ScratchKey("TypeSeven"));
  EXPECT_EQ(SetKeyValue(contract::TheSystem(), key.handle(), "Multi", 7, Variant::Text("a")), 0);
  EXPECT_EQ(ReadRaw(key.handle(), "Multi").status, kErrorFileNotFound);
}

TEST(RegistryContract, OpenKeyWithoutCreateLeavesAMissingKeyMissing) {
  std::string scratch = contract::ScratchKey("NoCreate");
  KeyHandle handle = 1234;
  EXPECT_EQ(OpenKey(contract::TheSystem(), kCurrentUser, scratch + "\\A\\B", handle, false), 0);
  EXPECT_EQ(handle, 0u);
  EXPECT_FALSE(KeyOpens(kCurrentUser, scratch));
}

TEST(RegistryContract, OpenKeyWithCreateMakesEveryMissingKey) {
  std::string scratch = contract::ScratchKey("Create");
  {
    OpenedKey key(kCurrentUser, scratch + "\\A\\B\\C");
    EXPECT_NE(key.handle(), 0u);
    SetKeyValue(contract::TheSystem(), key.handle(), "Here", kRegSz, Variant::Text("yes"));
  }
  EXPECT_TRUE(KeyOpens(kCurrentUser, scratch + "\\A"));
  EXPECT_TRUE(KeyOpens(kCurrentUser, scratch + "\\A\\B"));
  OpenedKey again(kCurrentUser, scratch + "\\a\\b\\c");
  int closes = 0;
  EXPECT_EQ(Read(again, "HERE", closes), "yes");
}

TEST(RegistryContract, AFinalBackslashNamesTheSameKey) {
  std::string scratch = contract::ScratchKey("FinalBackslash");
  OpenedKey key(kCurrentUser, scratch);
  SetKeyValue(contract::TheSystem(), key.handle(), "v", kRegSz, Variant::Text("x"));
  OpenedKey same(kCurrentUser, scratch + "\\");
  int closes = 0;
  EXPECT_EQ(Read(same, "v", closes), "x");
}

TEST(RegistryContract, KeyPathsAreSpelledAsTheSystemReadsThem) {
  System& system = contract::TheSystem();
  std::string scratch = contract::ScratchKey("Spellings");
  OpenedKey key(kCurrentUser, scratch);
  SetKeyValue(system, key.handle(), "v", kRegSz, Variant::Text("x"));
  KeyHandle handle = 99;
  EXPECT_EQ(system.OpenRegKey(kCurrentUser, "\\" + scratch, kKeyAccess, handle), 161);
  EXPECT_EQ(handle, 0u);
  EXPECT_EQ(system.CreateRegKey(kCurrentUser, "\\" + scratch, kKeyAccess, handle), 161);
  // A doubled backslash separates like a single one.
  std::string doubled_path = scratch;
  doubled_path.insert(doubled_path.find('\\'), "\\");
  OpenedKey doubled(kCurrentUser, doubled_path);
  int closes = 0;
  EXPECT_EQ(Read(doubled, "V", closes), "x");
  // An empty path on a root hands back the root itself.
  EXPECT_EQ(system.OpenRegKey(kCurrentUser, "", kKeyAccess, handle), kErrorSuccess);
  EXPECT_EQ(handle, kCurrentUser);
}

TEST(RegistryContract, AHandleWritesOnlyWithTheRightToSetValues) {
  System& system = contract::TheSystem();
  std::string scratch = contract::ScratchKey("ReadOnly");
  OpenedKey key(kCurrentUser, scratch);
  const uint32_t kKeyRead = 0x20019;
  KeyHandle read_only = 0;
  ASSERT_EQ(system.OpenRegKey(kCurrentUser, scratch, kKeyRead, read_only), kErrorSuccess);
  EXPECT_EQ(SetKeyValue(system, read_only, "v", kRegSz, Variant::Text("x")), kErrorAccessDenied);
  system.CloseRegKey(read_only);
}

TEST(RegistryContract, TheRawInterfaceAnswersAsTheSystemDoes) {
  System& system = contract::TheSystem();
  OpenedKey key(kCurrentUser, contract::ScratchKey("Raw"));
  SetKeyValue(system, key.handle(), "Ten", kRegSz, Variant::Text("123456789"));
  uint32_t type = 0;
  uint32_t size = 4;
  std::string small(4, '\0');
  EXPECT_EQ(system.QueryRegValue(key.handle(), "Ten", type, &small, size), kErrorMoreData);
  EXPECT_EQ(size, 10u);
  // A handle that was never opened.
  KeyHandle bogus = 0x0BAD0;
  size = 0;
  EXPECT_EQ(system.QueryRegValue(bogus, "Ten", type, nullptr, size), kErrorInvalidHandle);
  EXPECT_EQ(system.SetRegValue(bogus, "Ten", kRegSz, std::string("a\0", 2), 2),
            kErrorInvalidHandle);
  EXPECT_EQ(system.CloseRegKey(bogus), kErrorInvalidHandle);
  // The predefined keys stay usable after a close.
  EXPECT_EQ(system.CloseRegKey(kCurrentUser), kErrorSuccess);
  EXPECT_TRUE(KeyOpens(kCurrentUser, "Software"));
}

// The mask 0x13F reaches the native view of a 64-bit system: a value written through it is not
// in the 32-bit program's own view (Wow6432Node). tests/wine/check_registry_view.sh reads it back
// with the 64-bit reg.exe.
TEST(RegistryContract, TheAccessMaskWritesTheNativeView) {
  const std::string path = "SOFTWARE\\MovrixContract\\NativeView";
  {
    OpenedKey key(kLocalMachine, path);
    ASSERT_NE(key.handle(), 0u);
    SetKeyValue(contract::TheSystem(), key.handle(), "Written", kRegSz, Variant::Text("0x13F"));
  }
  EXPECT_TRUE(KeyOpens(kLocalMachine, path));
  EXPECT_EQ(KeyOpens(kLocalMachine, path, kKeyAccess32BitView), !contract::Is64BitSystem());
}

}  // namespace
}  // namespace movrix
