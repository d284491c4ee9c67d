// The sealed form of the records a later run reads back.
#include "common/sealed_record.h"

#include "tests/logic/fixture.h"

namespace movrix::testing {
namespace {

using SealedRecordTest = LogicTest;

TEST_F(SealedRecordTest, OnlyTheWholeRecordOfItsKindIsTakenBack) {
  const std::vector<std::string> lines = {"K\t1\tab", "", "V\t2\t\xC3\xA9"};
  const std::string sealed = SealRecord("essai", lines);
  EXPECT_EQ(sealed.rfind("Movrix18 essai format 1\r\n", 0), 0u) << sealed;
  EXPECT_EQ(UnsealRecord("essai", sealed), lines);
  EXPECT_EQ(UnsealRecord("vide", SealRecord("vide", {})), std::vector<std::string>());

  std::string lf_only, changed = sealed, recounted = sealed;
  for (char c : sealed)
    if (c != '\r') lf_only += c;
  changed[30] ^= 1;
  recounted.replace(recounted.find("fin 3"), 5, "fin 2");
  const size_t last_line = sealed.rfind("V\t");
  const std::string damaged[] = {
      "",
      sealed.substr(0, last_line),          // cut at a line end
      sealed.substr(0, last_line + 3),      // cut within a line
      sealed.substr(0, sealed.size() - 2),  // its last line end lost
      lf_only,
      std::string(sealed.size(), '\0'),
      std::string("\x8f\x11\xfe\r\n\x02", 6),
      changed,
      recounted,
      sealed + "V\t9\r\n",  // a line added after the end
      SealRecord("autre", lines),
  };
  for (const std::string& text : damaged)
    EXPECT_EQ(UnsealRecord("essai", text), std::nullopt) << text;
}

TEST_F(SealedRecordTest, ARecordFileReplacesTheOldOneAndLeavesNoPassingFile) {
  Write(At("record.txt"), "old");
  Write(At("record.txt.partiel"), "left by a stopped run");
  WriteRecordFile(system_, At("record.txt"), "new\r\n");
  EXPECT_EQ(Read(At("record.txt")), "new\r\n");
  EXPECT_EQ(Read(At("record.txt.partiel")), "<missing>");
}

}  // namespace
}  // namespace movrix::testing
