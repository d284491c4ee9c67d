// The registry routines on the stand-in: stored forms, creation, and each routine's own messages.
#include "registry/mod_key.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/host/host_system.h"
#include "tests/unit/host_fixture.h"

namespace movrix {
namespace {

const std::string kKey = "Software\\MovrixTest\\Key";

class ModKeyTest : public ::testing::Test {
 protected:
  ModKeyTest() : host_(std::filesystem::temp_directory_path() / "movrix-mod-key-test") {}

  KeyHandle OpenCreating(KeyHandle root, const std::string& path) {
    KeyHandle handle = 0;
    OpenKey(host_, root, path, handle, true);
    return handle;
  }

  HostSystem host_;
};

struct StoredCase {
  const char* label;
  uint32_t type;
  Variant value;
  std::string stored;
};

TEST_F(ModKeyTest, EachTypeIsStoredInItsOwnForm) {
  const StoredCase cases[] = {
      {"sz", kRegSz, Variant::Text("abc"), std::string("abc\0", 4)},
      {"empty sz", kRegSz, Variant::Text(""), std::string("\0", 1)},
      {"null sz", kRegSz, Variant::Null(), std::string("\0", 1)},
      {"number as sz", kRegSz, Variant::Number(42), std::string("42\0", 3)},
      {"accents in ANSI", kRegSz, Variant::Text("été €"), std::string("\xE9t\xE9 \x80\0", 6)},
      {"expand sz unexpanded", kRegExpandSz, Variant::Text("%ProgramFiles%\\a"),
       std::string("%ProgramFiles%\\a\0", 17)},
      {"none with text", kRegNone, Variant::Text("ignored"), ""},
      {"none with null", kRegNone, Variant::Null(), ""},
      {"binary", kRegBinary, Variant::Text("\u00FA\u0071\u0045\u0036\u00D1\u00CD\u00CF\u0001"),
       "\xFA\x71\x45\x36\xD1\xCD\xCF\x01"},
      {"dword", kRegDword, Variant::Number(524288), std::string("\0\0\x08\0", 4)},
      {"negative dword", kRegDword, Variant::Number(-2), "\xFE\xFF\xFF\xFF"},
      {"dword from text", kRegDword, Variant::Text(" -3 "), "\xFD\xFF\xFF\xFF"},
      {"largest dword", kRegDword, Variant::Text("2147483647"), "\xFF\xFF\xFF\x7F"},
  };
  KeyHandle key = OpenCreating(kCurrentUser, kKey);
  for (const StoredCase& c : cases) {
    EXPECT_EQ(SetKeyValue(host_, key, c.label, c.type, c.value), kErrorSuccess) << c.label;
    auto stored = host_.RegValue(kCurrentUser, kKey, c.label);
    ASSERT_TRUE(stored.has_value()) << c.label;
    EXPECT_EQ(stored->first, c.type) << c.label;
    EXPECT_EQ(stored->second, c.stored) << c.label;
  }
  EXPECT_EQ(testing::ShownBoxes(host_), "");
}

TEST_F(ModKeyTest, TypeCodesAboveFourWriteNothing) {
  KeyHandle key = OpenCreating(kCurrentUser, kKey);
  for (uint32_t type : {5u, 7u, 11u})
    EXPECT_EQ(SetKeyValue(host_, key, "v", type, Variant::Text("x")), 0) << type;
  EXPECT_EQ(host_.reg_writes().size(), 0u);
}

// A value SetKeyValue cannot convert, or a write that fails, shows the routine's own box and
// writes nothing.
TEST_F(ModKeyTest, FaultsOfSetKeyValueAreItsOwnAndNotTakenForSuccess) {
  const std::pair<Variant, std::string> unconvertible[] = {
      {Variant::Text("abc"), "Incompatibilité de type"},
      {Variant::Text("12a"), "Incompatibilité de type"},
      {Variant::Text(""), "Incompatibilité de type"},
      {Variant::Text("-"), "Incompatibilité de type"},
      {Variant::Text("2147483648"), "Dépassement de capacité"},
      {Variant::Text("99999999999999999999999"), "Dépassement de capacité"},
      {Variant::Number(int64_t(1) << 31), "Dépassement de capacité"},
      {Variant::Null(), "Utilisation incorrecte de Null"},
  };
  KeyHandle key = OpenCreating(kCurrentUser, kKey);
  std::string boxes;
  for (const auto& [value, description] : unconvertible) {
    EXPECT_NE(SetKeyValue(host_, key, "v", kRegDword, value), kErrorSuccess) << description;
    boxes += "SetKeyValue|" + description + "|none\n";
  }
  host_.faults().Inject("SetRegValue", "Name", "Erreur de lecture.");
  EXPECT_NE(SetKeyValue(host_, key, "Name", kRegSz, Variant::Text("x")), kErrorSuccess);
  boxes += "SetKeyValue|Erreur de lecture.|none\n";
  EXPECT_EQ(testing::ShownBoxes(host_), boxes);
  EXPECT_EQ(host_.reg_writes().size(), 0u);
  EXPECT_FALSE(host_.RegValue(kCurrentUser, kKey, "Name").has_value());
}

struct OpenCase {
  const char* name;
  const char* fault_call;  // nullptr: the creation of "mailto" is refused
  std::string fault_path;
  int32_t result;  // what OpenKey returns; 1: the handle it gave
  std::string boxes;
  bool key_exists;
};

TEST_F(ModKeyTest, FaultsOfOpenKeyAreShownUnderTheRoutineThatMetThem) {
  const std::string path = "mailto\\shell";
  const OpenCase cases[] = {
      {"refused creation", nullptr, "", 0, "CreateKey|Impossible de créer la clef|none\n", false},
      {"fault while opening", "OpenRegKey", path, -1,
       "OpenKey|Le handle spécifié n'est pas valide.|none\n", false},
      {"fault while creating", "CreateRegKey", path, 0,
       "CreateKey|Le handle spécifié n'est pas valide.|none\n", false},
      // The new key exists, and OpenKey goes on to open it.
      {"fault closing the new key", "CloseRegKey", path, 1,
       "CreateKey|Le handle spécifié n'est pas valide.|none\n", true},
  };
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(c.name);
    HostSystem host(std::filesystem::temp_directory_path() / "movrix-mod-key-test");
    if (c.fault_call) {
      host.faults().Inject(c.fault_call, c.fault_path, "Le handle spécifié n'est pas valide.");
    } else {
      host.RefuseKeyCreation(kClassesRoot, "mailto");
    }
    KeyHandle handle = 77;
    const int32_t opened = OpenKey(host, kClassesRoot, path, handle, true);
    EXPECT_EQ(opened, c.result == 1 ? int32_t(handle) : c.result);
    if (c.result >= 0) {
      EXPECT_EQ(handle != 0, c.result == 1) << handle;
    }
    EXPECT_EQ(testing::ShownBoxes(host), c.boxes);
    EXPECT_EQ(host.RegKeyExists(kClassesRoot, "mailto"), c.key_exists);
    // The writes through a handle that is not usable fail unseen.
    if (c.result == 0) {
      EXPECT_EQ(SetKeyValue(host, handle, "", kRegSz, Variant::Text("x")), kErrorInvalidHandle);
      EXPECT_EQ(testing::ShownBoxes(host), c.boxes);
    }
  }
}

TEST_F(ModKeyTest, AnExistingKeyIsOpenedWithoutCreation) {
  host_.SetRegValueDirect(kClassesRoot, "mailto", "", kRegSz, "URL:MailTo");
  host_.RefuseKeyCreation(kClassesRoot, "mailto");
  KeyHandle handle = 0;
  int32_t opened = OpenKey(host_, kClassesRoot, "MAILTO", handle, true);
  EXPECT_NE(handle, 0u);
  EXPECT_EQ(opened, int32_t(handle));
  EXPECT_EQ(testing::ShownBoxes(host_), "");
}

}  // namespace
}  // namespace movrix
