// The registry as the tests read it, straight through advapi32, and the listing of every value
// the registration writes (tests/data/registration.tsv, written by hand), copied beside the tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace movrix::testing {

HKEY Root(const std::string& name);

// A value as the registry holds it in the given view: "<type>:<bytes>", "<no key>" or "<no value>".
std::string Stored(HKEY root, const std::string& key, const std::string& name,
                   REGSAM view = KEY_WOW64_64KEY);

// Writes `text` and its terminator as the value `name` of `key`, creating the key.
void Put(HKEY root, const std::string& key, const std::string& name, const std::string& text,
         DWORD type = REG_SZ);

// A UTF-8 text as UTF-16LE bytes, converted by the C++ runtime rather than by the program.
std::string Utf16Bytes(const std::string& text);

// A value's type and data exactly as the Unicode functions read them: "<type>:<bytes>",
// "<no key>" or "<no value>". Key and name are UTF-8.
std::string StoredBytes(HKEY root, const std::string& key, const std::string& name);

// Writes `bytes` as they are as the value `name` of `key`, creating the key.
void PutBytes(HKEY root, const std::string& key, const std::string& name, DWORD type,
              const std::string& bytes);

// One value of the listing.
struct Listed {
  int line;
  std::string root, key, name, type, data;
};

// The listing beside the running test program.
std::vector<Listed> ReadListing();

// Every listed value holds what the listing says; a 32-bit system has no 32-bit mirror.
void ExpectRegistryAsListed(const std::vector<Listed>& listing);

}  // namespace movrix::testing
