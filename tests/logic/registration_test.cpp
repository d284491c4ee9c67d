// The registration on the real registry of the throwaway prefix.
#include <windows.h>

#include "registry/write_registration.h"
#include "tests/logic/registry_fixture.h"
#include "tests/logic/registry_listing.h"

namespace movrix::testing {
namespace {

class WriteRegistrationTest : public RegistryTest {
 protected:
  // A 64-bit registration also writes this class in the 32-bit mirror: each test takes it away.
  static constexpr const char* kMirroredClass = "{0A522732-A626-11D0-8D60-00C04FD6202B}";
  ~WriteRegistrationTest() override {
    HKEY mirror_classes;
    if (!RegOpenKeyExA(HKEY_CLASSES_ROOT, "Wow6432Node\\CLSID", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                       &mirror_classes)) {
      RegDeleteTreeA(mirror_classes, kMirroredClass);
      RegCloseKey(mirror_classes);
    }
  }
  std::vector<Listed> listing_ = ReadListing();
};

TEST_F(WriteRegistrationTest, EveryListedValueIsWrittenAndOnlyA64BitSystemGetsTheMirror) {
  ASSERT_GT(listing_.size(), 290u);
  const std::string mirror = "Wow6432Node\\CLSID\\" + std::string(kMirroredClass);
  Outcome outcome;
  ASSERT_EQ(WriteRegistration(system_, boxes_, false, outcome), std::nullopt);
  EXPECT_EQ(Stored(HKEY_CLASSES_ROOT, mirror, ""), "<no key>");
  Put(HKEY_CLASSES_ROOT, "mailto", "Kept", "yes");
  ASSERT_EQ(WriteRegistration(system_, boxes_, true, outcome), std::nullopt);
  EXPECT_EQ(SortedFailures(outcome), "");
  ExpectRegistryAsListed(listing_);
  // The machine's classes are written where they are the machine's, whatever the user has.
  for (const std::string& key : system_.keys_opened) EXPECT_NE(key.rfind("HKCR\\", 0), 0u) << key;
  EXPECT_EQ(Stored(HKEY_CLASSES_ROOT, "mailto", "Kept"), "1:" + std::string("yes", 4));
  EXPECT_EQ(system_.BoxLines(), "");
}

TEST_F(WriteRegistrationTest, EachKeyAndValueThatCannotBeWrittenIsNamedWithTheSystemsReason) {
  system_.Fail(Call::kOpenRegKey, "WindowsMail.Url.mailto");
  system_.Fail(Call::kCreateRegKey, "WindowsMail.Url.mailto");
  system_.Fail(Call::kSetRegValue, "EditFlags");
  Outcome outcome;
  EXPECT_EQ(WriteRegistration(system_, boxes_, true, outcome), std::nullopt);
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

}  // namespace
}  // namespace movrix::testing
