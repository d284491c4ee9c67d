// The checksum of the records and of every file the installation wrote.
#include "common/sha256.h"

#include <gtest/gtest.h>

namespace movrix::testing {
namespace {

TEST(Sha256Test, KnownVectors) {
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

}  // namespace
}  // namespace movrix::testing
