// The registry layer on the system under test: the same assertions hold on the stand-in and on
// the real registry under Wine. Each test works below its own scratch key of HKEY_CURRENT_USER.
#include <gtest/gtest.h>

#include <optional>

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

TEST(RegistryContract, EachTypeIsStoredInItsOwnFormAndTextsReadBackWhole) {
  struct Case {
    const char* name;
    uint32_t type;
    Variant value;
    std::optional<std::string> stored;  // nullopt: no value at all
    const char* read;                   // what GetKeyValue gives back; nullptr: not a text
  };
  const Case cases[] = {
      {"Empty", kRegSz, Variant::Text(""), std::string("\0", 1), ""},
      {"Three", kRegSz, Variant::Text("abc"), std::string("abc\0", 4), "abc"},
      {"Accents", kRegSz, Variant::Text("Clé été"), std::string("Cl\xE9 \xE9t\xE9\0", 8),
       "Clé été"},
      {"Expand", kRegExpandSz, Variant::Text("%ProgramFiles%\\Windows Mail\\WinMail.exe"),
       std::string("%ProgramFiles%\\Windows Mail\\WinMail.exe\0", 40),
       "%ProgramFiles%\\Windows Mail\\WinMail.exe"},
      {"NoneOfNull", kRegNone, Variant::Null(), "", ""},
      {"NoneOfText", kRegNone, Variant::Text("Windows Mail"), "", ""},
      {"EditFlags", kRegDword, Variant::Number(524288), std::string("\x00\x00\x08\x00", 4),
       nullptr},
      {"Bytes", kRegBinary, Variant::Text("\u00FA\u0071\u0045\u0036\u00D1\u00CD\u00CF\u0001"),
       "\xFA\x71\x45\x36\xD1\xCD\xCF\x01", nullptr},
      {"TypeSeven", 7, Variant::Text("a"), std::nullopt, ""},
  };
  OpenedKey key(kCurrentUser, contract::ScratchKey("Types"));
  int closes = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SetKeyValue(contract::TheSystem(), key.handle(), c.name, c.type, c.value),
              kErrorSuccess);
    RawValue stored = ReadRaw(key.handle(), c.name);
    EXPECT_EQ(stored.status, c.stored ? kErrorSuccess : kErrorFileNotFound);
    if (c.stored) {
      EXPECT_EQ(stored.type, c.type);
      EXPECT_EQ(stored.data, *c.stored);
    }
    if (c.read) {
      EXPECT_EQ(Read(key, c.name, closes), c.read);
    }
  }
  EXPECT_EQ(Read(key, "Absent", closes), "") << "a missing value reads as empty text";
  EXPECT_EQ(closes, 0) << "and no read closed the window";
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
  // Whatever the case, and with a final backslash, the path names the same key.
  OpenedKey again(kCurrentUser, scratch + "\\a\\b\\c\\");
  int closes = 0;
  EXPECT_EQ(Read(again, "HERE", closes), "yes");
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

TEST(RegistryContract, TheRawInterfaceAnswersAsTheSystemDoes) {
  System& system = contract::TheSystem();
  const std::string scratch = contract::ScratchKey("Raw");
  OpenedKey key(kCurrentUser, scratch);
  SetKeyValue(system, key.handle(), "Ten", kRegSz, Variant::Text("123456789"));
  // A handle without the right to set values writes nothing.
  KeyHandle read_only = 0;
  ASSERT_EQ(system.OpenRegKey(kCurrentUser, scratch, 0x20019 /* KEY_READ */, read_only),
            kErrorSuccess);
  EXPECT_EQ(SetKeyValue(system, read_only, "v", kRegSz, Variant::Text("x")), kErrorAccessDenied);
  system.CloseRegKey(read_only);
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
// in the 32-bit program's own view (Wow6432Node). tests/wine/contract_under_wine.py reads it back
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
