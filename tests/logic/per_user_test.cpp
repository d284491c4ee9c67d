// The part each user's sign-in runs (/utilisateur) and its way back, on the prefix's own
// HKEY_CURRENT_USER.
#include <regex>

#include "app/run_program.h"
#include "registry/active_setup.h"
#include "registry/prior_state.h"
#include "tests/logic/fixture.h"
#include "tests/logic/registry_listing.h"

namespace movrix::testing {
namespace {

class PerUserTest : public LogicTest {
 protected:
  // A user who has never had the rows, with a mail client of their own.
  PerUserTest() {
    Put(HKEY_CURRENT_USER, kMailKey, "", "Autre messagerie");
    system_.admin = AdministratorsGroup::kAbsent;
  }
  // The record and the "Windows Mail Setup" key that its runs write: each test takes its own
  // away.
  ~PerUserTest() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, UserPriorStateKey::kParentKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, kSetupKey);
  }
  static std::vector<Listed> CurrentUserListing() {
    std::vector<Listed> rows;
    for (const Listed& row : ReadListing())
      if (row.root == "HKCU") rows.push_back(row);
    return rows;
  }
  static constexpr const char* kMailKey = "Software\\Clients\\Mail";
  static constexpr const char* kSetupKey = "Software\\Microsoft\\Windows Mail Setup";
  const std::string own_client_ = "1:Autre messagerie" + std::string(1, '\0');
  HKEY empty_parent_ = nullptr;
};

TEST_F(PerUserTest, WritesExactlyTheCurrentUsersRowsWithoutRightsOrWindow) {
  ASSERT_EQ(RunProgram(system_, {"/utilisateur"}), 0) << system_.BoxLines();
  const std::vector<Listed> listing = CurrentUserListing();
  ASSERT_EQ(listing.size(), 6u);
  ExpectRegistryAsListed(listing);
  std::vector<std::string> rows_written, listed;
  for (const std::string& value : system_.values_written)
    if (value.find(UserPriorStateKey::kKey) == std::string::npos) rows_written.push_back(value);
  for (const Listed& row : listing)
    listed.push_back("HKCU\\" + row.key + "|" + (row.name == "@" ? "" : row.name));
  EXPECT_EQ(rows_written, listed);
  for (const std::string& key : system_.keys_opened) EXPECT_EQ(key.rfind("HKCU\\", 0), 0u) << key;
  EXPECT_EQ(system_.BoxLines(), "");
  EXPECT_FALSE(system_.shown_window.has_value());
}

TEST_F(PerUserTest, TheWayBackPutsBackWhatTheUserHadBeforeTheFirstRun) {
  ASSERT_EQ(RunProgram(system_, {"/user"}), 0);
  ASSERT_EQ(RunProgram(system_, {"-UTILISATEUR"}), 0) << "a second run keeps the first record";
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, kMailKey, ""), "1:Windows Mail" + std::string(1, '\0'));

  // A way back that cannot write keeps the record, so that the next one can finish.
  TestSystem refusing;
  refusing.Fail(Call::kSetRegValue, "");
  EXPECT_EQ(RunProgram(refusing, {"/utilisateur", "/desinstaller"}), 1603);
  EXPECT_NE(Stored(HKEY_CURRENT_USER, UserPriorStateKey::kKey, UserPriorStateKey::kValue),
            "<no value>");

  ASSERT_EQ(RunProgram(system_, {"/utilisateur", "/desinstaller"}), 0);
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, kMailKey, ""), own_client_);
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, kSetupKey, ""), "<no key>");
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, UserPriorStateKey::kParentKey, ""), "<no key>");
  // Without a record there is nothing to put back, and nothing changes but an empty key that a
  // run stopped between two deletions left.
  Put(HKEY_CURRENT_USER, kMailKey, "", "Windows Mail");
  RegCreateKeyA(HKEY_CURRENT_USER, UserPriorStateKey::kParentKey, &empty_parent_);
  RegCloseKey(empty_parent_);
  EXPECT_EQ(RunProgram(system_, {"/uninstall", "/user"}), 0);
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, UserPriorStateKey::kParentKey, ""), "<no key>");
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, kMailKey, ""), "1:Windows Mail" + std::string(1, '\0'));
  EXPECT_EQ(system_.BoxLines(), "");
}

TEST_F(PerUserTest, LogsItsLastRunsInTheProcessUsersOwnProfileAndWaitsForNothing) {
  const std::string log = system_.OwnLocalAppDataFolder() + "\\Movrix18\\utilisateur.log";
  // The variable may name another user's folder: it is not followed.
  SetEnvironmentVariableA("LOCALAPPDATA", At("other").c_str());
  HANDLE installation_under_way = CreateMutexA(nullptr, FALSE, "Global\\Movrix18");
  for (int run = 0; run < 7; ++run) EXPECT_EQ(RunProgram(system_, {"/utilisateur"}), 0);
  CloseHandle(installation_under_way);
  const std::string text = Read(log);
  EXPECT_EQ(text.rfind("\xEF\xBB\xBF" + std::string("Début : "), 0), 0u) << text;
  const std::regex run_start("Début : ");
  EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), run_start), {}), 5);
  EXPECT_EQ(Read(At("other\\Movrix18\\utilisateur.log")), "<missing>");
  EXPECT_EQ(system_.BoxLines(), "");
  EXPECT_TRUE(system_.commands.empty());
}

TEST_F(PerUserTest, AnUnrecordedStateWritesNoRowAndFailsAndTheNextSignInTriesAgain) {
  Put(HKEY_CURRENT_USER, kUserComponentKey, "Version", "2,18,0,1");
  system_.Fail(Call::kSetRegValue, UserPriorStateKey::kValue);
  const std::string log = At("journal.txt");
  EXPECT_EQ(RunProgram(system_, {"/utilisateur", "/journal=" + log}), 1603);
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, kMailKey, ""), own_client_);
  EXPECT_TRUE(
      Contains(Read(log), "ÉCHEC : état antérieur de l'utilisateur non enregistré : HKCU\\" +
                              std::string(UserPriorStateKey::kKey) + "\\registre : "))
      << Read(log);
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, kUserComponentKey, "Version"), "<no key>");
}

}  // namespace
}  // namespace movrix::testing
