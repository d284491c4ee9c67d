// The registry routines through which the registration writes: open or create a key, write one
// value of a given type.
#pragma once

#include <cstdint>
#include <string>

#include "platform/system.h"

namespace movrix {

// The value handed to SetKeyValue: a text, a whole number or null.
struct Variant {
  enum class Kind { kText, kNumber, kNull };
  Kind kind = Kind::kNull;
  std::string text;
  int64_t number = 0;

  static Variant Text(std::string value) { return {Kind::kText, std::move(value), 0}; }
  static Variant Number(int64_t value) { return {Kind::kNumber, {}, value}; }
  static Variant Null() { return {}; }
};

// "HKCR", "HKCU" or "HKLM": how messages and logs name a root key.
inline const char* RootAbbreviation(KeyHandle root) {
  return root == kClassesRoot ? "HKCR" : root == kCurrentUser ? "HKCU" : "HKLM";
}

// A key as messages and logs name it, such as "HKCR\mailto".
inline std::string KeyName(KeyHandle root, const std::string& path) {
  return std::string(RootAbbreviation(root)) + "\\" + path;
}

// Reads the type and whole data of the value `name` (empty: the default value) of the open `key`:
// its size first, then its data. Returns the system's status, kErrorFileNotFound when the value
// does not exist.
int32_t ReadKeyValue(Registry& system, KeyHandle key, const std::string& name, uint32_t& type,
                     std::string& data);

// Opens `path` below `root` with the access mask 0x13F into `result`; when that fails and
// `create` is set, creates the key and opens it again. Returns the system's status of the key:
// that of the creation when the creation failed, otherwise that of the last opening. A key that
// could be neither opened nor created leaves `result` unset; its caller tells the user.
int32_t OpenKey(Registry& system, KeyHandle root, const std::string& path, KeyHandle& result,
                bool create);

// Creates `path` below `root` with every missing key on the way. Returns the system's status.
int32_t CreateKey(Registry& system, KeyHandle root, const std::string& path);

// True when `path` below `root` exists (in the 64-bit view on a 64-bit system).
bool KeyExists(Registry& system, KeyHandle root, const std::string& path);

// Writes one value (empty name: the default value) of type code `type` into the open `key`.
// Returns the system's status; type codes above 4 write nothing and return 0. Throws DataError
// when the datum cannot be stored as its type asks (its description says why).
int32_t SetKeyValue(Registry& system, KeyHandle key, const std::string& name, uint32_t type,
                    const Variant& value);

// The data SetKeyValue stores for `value` as `type` (a type code of 4 at most), as the registry
// then reads it back. Throws DataError as SetKeyValue does.
std::string StoredData(uint32_t type, const Variant& value);

// Throws a SystemError for any `status` but success, with its code and a description that names
// `name` (the key or value concerned) before the system's words.
void ThrowUnlessSuccess(Registry& system, int32_t status, const std::string& name);

}  // namespace movrix
