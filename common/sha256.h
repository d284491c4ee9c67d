// SHA-256 (FIPS 180-4), written out so that the program needs no cryptographic library: it only
// checks that a record it wrote earlier, or a file it put in place, is still what it was.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace movrix {

// A digest taken piece by piece, so that a large file can be hashed as it is read rather than
// held whole in memory.
class Sha256 {
 public:
  // Adds the next `size` bytes of the message.
  void Add(const char* bytes, size_t size);
  // The digest of everything added, as 64 lower-case hexadecimal digits. Nothing may be added
  // after it.
  std::string Hex();

 private:
  std::array<uint32_t, 8> state_ = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                    0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::array<unsigned char, 64> pending_{};  // the start of a block still incomplete
  size_t pending_size_ = 0;
  uint64_t length_ = 0;  // bytes added
};

// The SHA-256 digest of `bytes`, as 64 lower-case hexadecimal digits.
std::string Sha256Hex(const std::string& bytes);

}  // namespace movrix
