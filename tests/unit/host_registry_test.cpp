// What the stand-in's registry models beyond the contract tests: the 32-bit view of a 64-bit
// system, refused creations and the write log.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/host/host_system.h"

namespace movrix {
namespace {

constexpr uint32_t kWithout64BitView = kKeyAccess & ~kKeyWow64_64Key;

class HostRegistryTest : public ::testing::Test {
 protected:
  HostRegistryTest() : host_(std::filesystem::temp_directory_path() / "movrix-host-reg-test") {}

  KeyHandle Create(KeyHandle root, const std::string& path, uint32_t access = kKeyAccess) {
    KeyHandle handle = 0;
    EXPECT_EQ(host_.CreateRegKey(root, path, access, handle), kErrorSuccess) << path;
    return handle;
  }

  HostSystem host_;
};

struct ViewCase {
  bool is64_system;
  KeyHandle root;
  const char* path;
  uint32_t access;
  const char* lands_in;
};

TEST_F(HostRegistryTest, OnlyMachineSoftwareWithoutThe64BitFlagIsRedirected) {
  const ViewCase cases[] = {
      {true, kLocalMachine, "SOFTWARE\\A", kWithout64BitView, "SOFTWARE\\Wow6432Node\\A"},
      // The existing SOFTWARE key keeps its spelling.
      {true, kLocalMachine, "software\\B", kWithout64BitView, "SOFTWARE\\Wow6432Node\\B"},
      {true, kLocalMachine, "SOFTWARE\\C", kKeyAccess, "SOFTWARE\\C"},
      {true, kLocalMachine, "SOFTWARE\\Wow6432Node\\D", kWithout64BitView,
       "SOFTWARE\\Wow6432Node\\D"},
      {true, kLocalMachine, "SYSTEM\\E", kWithout64BitView, "SYSTEM\\E"},
      {true, kCurrentUser, "Software\\F", kWithout64BitView, "Software\\F"},
      {false, kLocalMachine, "SOFTWARE\\G", kWithout64BitView, "SOFTWARE\\G"},
  };
  for (const ViewCase& c : cases) {
    host_.Set64BitSystem(c.is64_system);
    KeyHandle handle = Create(c.root, c.path, c.access);
    host_.SetRegValue(handle, "v", kRegSz, std::string("x\0", 2), 2);
    host_.CloseRegKey(handle);
    EXPECT_TRUE(host_.RegKeyExists(c.root, c.lands_in)) << c.path;
    EXPECT_EQ(host_.reg_writes().back().key, c.lands_in) << c.path;
    KeyHandle reopened = 0;
    EXPECT_EQ(host_.OpenRegKey(c.root, c.path, c.access, reopened), kErrorSuccess) << c.path;
  }
}

TEST_F(HostRegistryTest, ARefusedKeyAndEverythingBelowItCannotBeCreated) {
  host_.RefuseKeyCreation(kClassesRoot, "CLSID\\{X}");
  KeyHandle handle = 7;
  EXPECT_EQ(host_.CreateRegKey(kClassesRoot, "clsid\\{x}", kKeyAccess, handle), kErrorAccessDenied);
  EXPECT_EQ(handle, 0u);
  EXPECT_EQ(host_.CreateRegKey(kClassesRoot, "CLSID\\{X}\\InprocServer32", kKeyAccess, handle),
            kErrorAccessDenied);
  EXPECT_FALSE(host_.RegKeyExists(kClassesRoot, "CLSID"));
  // The same path below another root, and a sibling, are not refused.
  Create(kCurrentUser, "CLSID\\{X}");
  Create(kClassesRoot, "CLSID\\{Y}");
}

TEST_F(HostRegistryTest, TheLogKeepsEveryWriteInOrderAsTheTreeSpellsIt) {
  KeyHandle first = Create(kCurrentUser, "Software\\Clients\\Mail");
  KeyHandle again = Create(kCurrentUser, "SOFTWARE\\CLIENTS\\MAIL\\Sub");
  host_.SetRegValue(first, "Name", kRegSz, std::string("a\0", 2), 2);
  host_.SetRegValue(again, "", kRegNone, std::string("ignored\0", 8), 0);
  host_.SetRegValue(first, "NAME", kRegDword, std::string("\x01\0\0\0junk", 8), 4);
  const auto& log = host_.reg_writes();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].key, "Software\\Clients\\Mail");
  EXPECT_EQ(log[1].key, "Software\\Clients\\Mail\\Sub");
  EXPECT_EQ(log[1].data, "");
  EXPECT_EQ(log[2].name, "Name");
  EXPECT_EQ(log[2].type, kRegDword);
  EXPECT_EQ(log[2].data, std::string("\x01\0\0\0", 4));
  EXPECT_EQ(host_.RegValue(kCurrentUser, "software\\clients\\mail", "name")->second,
            std::string("\x01\0\0\0", 4));
}

}  // namespace
}  // namespace movrix
