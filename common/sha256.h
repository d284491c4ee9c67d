// SHA-256 (FIPS 180-4), written out so that the program needs no cryptographic library: it only
// checks that a record it wrote earlier, or a file it put in place, is still what it was.
#pragma once

#include <string>

namespace movrix {

// The SHA-256 digest of `bytes`, as 64 lower-case hexadecimal digits.
std::string Sha256Hex(const std::string& bytes);

}  // namespace movrix
