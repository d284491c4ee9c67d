// Reading values as text on the stand-in: what each stored form reads back as, and the fault path.
#include "app/get_key_value.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/host/host_system.h"
#include "tests/unit/host_fixture.h"

namespace movrix {
namespace {

const std::string kKey = "Software\\MovrixTest\\Read";

class GetKeyValueTest : public ::testing::Test {
 protected:
  GetKeyValueTest() : host_(std::filesystem::temp_directory_path() / "movrix-get-key-test") {
    host_.SetRegValueDirect(kCurrentUser, kKey, "", kRegSz, "");
    host_.OpenRegKey(kCurrentUser, kKey, kKeyAccess, key_);
  }

  std::string Read(const std::string& name) {
    return GetKeyValue(host_, key_, name, [this] { ++closes_; });
  }

  HostSystem host_;
  KeyHandle key_ = 0;
  int closes_ = 0;
};

struct ReadCase {
  const char* name;
  uint32_t type;
  std::string stored;
  std::string read;
};

TEST_F(GetKeyValueTest, DataReadsBackLessItsLastByte) {
  const ReadCase cases[] = {
      {"three", kRegSz, std::string("abc\0", 4), "abc"},
      {"empty", kRegSz, std::string("\0", 1), ""},
      {"expand", kRegExpandSz, std::string("%windir%\0", 9), "%windir%"},
      {"ansi", kRegSz, std::string("\xE9t\xE9\0", 4), "été"},
      {"dword", kRegDword, std::string("\x41\x42\x43\0", 4), "ABC"},
      {"no data", kRegNone, "", ""},
      {"no data binary", kRegBinary, "", ""},
  };
  for (const ReadCase& c : cases)
    host_.SetRegValueDirect(kCurrentUser, kKey, c.name, c.type, c.stored);
  host_.SetRegValue(key_, "raw", kRegSz, "abc", 3);  // a string stored without its terminator
  for (const ReadCase& c : cases) EXPECT_EQ(Read(c.name), c.read) << c.name;
  EXPECT_EQ(Read("raw"), "ab");
  EXPECT_EQ(testing::ShownBoxes(host_), "");
  EXPECT_EQ(closes_, 0);
}

TEST_F(GetKeyValueTest, AMissingValueOrUnusableHandleReadsEmptyWithoutMessage) {
  EXPECT_EQ(Read("Absent"), "");
  KeyHandle closed = key_;
  host_.CloseRegKey(key_);
  EXPECT_EQ(GetKeyValue(host_, closed, "", [this] { ++closes_; }), "");
  EXPECT_EQ(testing::ShownBoxes(host_), "");
  EXPECT_EQ(closes_, 0);
}

TEST_F(GetKeyValueTest, AFaultIsShownUnderTheProgramTitleAndClosesTheWindow) {
  host_.SetRegValueDirect(kCurrentUser, kKey, "ProductName", kRegSz, std::string("x\0", 2));
  host_.faults().Inject("QueryRegValue", "ProductName", "Accès refusé.");
  EXPECT_EQ(Read("ProductName"), "");
  EXPECT_EQ(testing::ShownBoxes(host_), "Movrix18|Accès refusé.|none\n");
  EXPECT_EQ(closes_, 1);
}

}  // namespace
}  // namespace movrix
