// The checksum and the sealed form of the records a later run reads back.
#include "common/sealed_record.h"

#include "common/sha256.h"
#include "tests/logic/fixture.h"

namespace movrix::testing {
namespace {

TEST(Sha256, KnownVectors) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // 56 bytes: the length no longer fits in the first block.
  EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  // The same million bytes in pieces that start and end anywhere within a block.
  const std::string as(1600, 'a');
  Sha256 digest;
  for (size_t added = 0, piece = 1; added < 1000000; added += piece, piece = piece * 7 % 1531 + 1)
    digest.Add(as.data(), piece = std::min(piece, 1000000 - added));
  EXPECT_EQ(digest.Hex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(SealedRecord, OnlyTheWholeRecordOfItsKindIsTakenBack) {
  const std::vector<std::string> lines = {"K\t1\tab", "", "V\t2\t\xC3\xA9"};
  const std::string sealed = SealRecord("essai", lines);
  EXPECT_EQ(sealed.substr(0, 25), "Movrix18 essai format 1\r\n");
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

TEST_F(LogicTest, ARecordFileReplacesTheOldOneAndLeavesNoPassingFile) {
  Write(At("record.txt"), "old");
  Write(At("record.txt.partiel"), "left by a stopped run");
  WriteRecordFile(system_, At("record.txt"), "new\r\n");
  EXPECT_EQ(Read(At("record.txt")), "new\r\n");
  EXPECT_EQ(Read(At("record.txt.partiel")), "<missing>");
}

}  // namespace
}  // namespace movrix::testing
