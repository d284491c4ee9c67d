// The registry routines on the stand-in: stored forms, creation, and each routine's own messages.
#include "registry/mod_key.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/host/host_system.h"

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
  EXPECT_TRUE(host_.boxes().empty());
}

TEST_F(ModKeyTest, TypeCodesAboveFourWriteNothing) {
  KeyHandle key = OpenCreating(kCurrentUser, kKey);
  for (uint32_t type : {5u, 7u, 11u}) {
    EXPECT_EQ(SetKeyValue(host_, key, "v", type, Variant::Text("x")), 0) << type;
  }
  EXPECT_EQ(host_.reg_writes().size(), 0u);
}

struct UnconvertibleCase {
  Variant value;
  std::string description;
};

TEST_F(ModKeyTest, AnUnconvertibleDwordIsAFaultOfSetKeyValue) {
  const UnconvertibleCase cases[] = {
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
  for (const UnconvertibleCase& c : cases) {
    size_t boxes_before = host_.boxes().size();
    EXPECT_NE(SetKeyValue(host_, key, "v", kRegDword, c.value), kErrorSuccess) << c.description;
    ASSERT_EQ(host_.boxes().size(), boxes_before + 1) << c.description;
    const HostSystem::Box& box = host_.boxes().back();
    EXPECT_EQ(box.text, c.description);
    EXPECT_EQ(box.title, "SetKeyValue");
    EXPECT_EQ(box.icon, Icon::kNone);
  }
  EXPECT_EQ(host_.reg_writes().size(), 0u);
}

TEST_F(ModKeyTest, AFailedWriteIsReportedAndNotTakenForSuccess) {
  KeyHandle key = OpenCreating(kCurrentUser, kKey);
  host_.faults().Inject("SetRegValue", "Name", "Erreur de lecture.");
  EXPECT_NE(SetKeyValue(host_, key, "Name", kRegSz, Variant::Text("x")), kErrorSuccess);
  ASSERT_EQ(host_.boxes().size(), 1u);
  EXPECT_EQ(host_.boxes()[0].text, "Erreur de lecture.");
  EXPECT_EQ(host_.boxes()[0].title, "SetKeyValue");
  EXPECT_EQ(host_.boxes()[0].buttons, Buttons::kOk);
  EXPECT_EQ(host_.boxes()[0].icon, Icon::kNone);
  EXPECT_FALSE(host_.RegValue(kCurrentUser, kKey, "Name").has_value());
}

TEST_F(ModKeyTest, OpenKeyReachesTheNativeViewOfA64BitSystem) {
  KeyHandle key = OpenCreating(kLocalMachine, "SOFTWARE\\Clients\\Mail\\Windows Mail");
  SetKeyValue(host_, key, "", kRegSz, Variant::Text("Windows Mail"));
  host_.CloseRegKey(key);
  EXPECT_TRUE(host_.RegKeyExists(kLocalMachine, "SOFTWARE\\Clients\\Mail\\Windows Mail"));
  EXPECT_FALSE(host_.RegKeyExists(kLocalMachine, "SOFTWARE\\Wow6432Node"));
  ASSERT_EQ(host_.reg_writes().size(), 1u);
  EXPECT_EQ(host_.reg_writes()[0].key, "SOFTWARE\\Clients\\Mail\\Windows Mail");
}

TEST_F(ModKeyTest, ARefusedCreationIsReportedOnceAndLeavesNoUsableHandle) {
  host_.RefuseKeyCreation(kClassesRoot, "mailto");
  KeyHandle handle = 77;
  EXPECT_EQ(OpenKey(host_, kClassesRoot, "mailto\\shell", handle, true), 0);
  EXPECT_EQ(handle, 0u);
  ASSERT_EQ(host_.boxes().size(), 1u);
  EXPECT_EQ(host_.boxes()[0].text, "Impossible de créer la clef");
  EXPECT_EQ(host_.boxes()[0].title, "CreateKey");
  EXPECT_EQ(host_.boxes()[0].icon, Icon::kNone);
  EXPECT_FALSE(host_.RegKeyExists(kClassesRoot, "mailto"));
  // The writes that follow fail unseen.
  EXPECT_EQ(SetKeyValue(host_, handle, "", kRegSz, Variant::Text("x")), kErrorInvalidHandle);
  EXPECT_EQ(host_.boxes().size(), 1u);
}

TEST_F(ModKeyTest, AnExistingKeyIsOpenedWithoutCreation) {
  host_.SetRegValueDirect(kClassesRoot, "mailto", "", kRegSz, "URL:MailTo");
  host_.RefuseKeyCreation(kClassesRoot, "mailto");
  KeyHandle handle = 0;
  int32_t opened = OpenKey(host_, kClassesRoot, "MAILTO", handle, true);
  EXPECT_NE(handle, 0u);
  EXPECT_EQ(opened, int32_t(handle));
  EXPECT_TRUE(host_.boxes().empty());
}

TEST_F(ModKeyTest, AFaultWhileOpeningGivesMinusOneAfterTheOpenKeyBox) {
  host_.faults().Inject("OpenRegKey", kKey, "Le handle spécifié n'est pas valide.");
  KeyHandle handle = 0;
  EXPECT_EQ(OpenKey(host_, kCurrentUser, kKey, handle, true), -1);
  ASSERT_EQ(host_.boxes().size(), 1u);
  EXPECT_EQ(host_.boxes()[0].text, "Le handle spécifié n'est pas valide.");
  EXPECT_EQ(host_.boxes()[0].title, "OpenKey");
  EXPECT_EQ(host_.boxes()[0].icon, Icon::kNone);
}

TEST_F(ModKeyTest, AFaultWhileCreatingIsCreateKeysOwnAndOpenKeyGoesOn) {
  host_.faults().Inject("CreateRegKey", kKey, "Mémoire insuffisante.");
  KeyHandle handle = 5;
  EXPECT_EQ(OpenKey(host_, kCurrentUser, kKey, handle, true), 0);
  ASSERT_EQ(host_.boxes().size(), 1u);
  EXPECT_EQ(host_.boxes()[0].text, "Mémoire insuffisante.");
  EXPECT_EQ(host_.boxes()[0].title, "CreateKey");
  EXPECT_FALSE(host_.RegKeyExists(kCurrentUser, kKey));
}

TEST_F(ModKeyTest, AFaultClosingTheNewKeyStillLeavesTheKeyToOpen) {
  host_.faults().Inject("CloseRegKey", kKey, "Erreur de fermeture.");
  KeyHandle handle = 0;
  int32_t opened = OpenKey(host_, kCurrentUser, kKey, handle, true);
  ASSERT_EQ(host_.boxes().size(), 1u);
  EXPECT_EQ(host_.boxes()[0].title, "CreateKey");
  EXPECT_EQ(host_.boxes()[0].text, "Erreur de fermeture.");
  EXPECT_NE(handle, 0u);
  EXPECT_EQ(opened, int32_t(handle));
}

}  // namespace
}  // namespace movrix
