#include "registry/key_io.h"

#include <limits>

#include "common/guard.h"
#include "common/scoped_key.h"

namespace movrix {
namespace {

// Why a value's datum cannot be stored as its type asks, as its box says it.
constexpr const char* kTypeMismatch = "Incompatibilité de type";
constexpr const char* kOverflow = "Dépassement de capacité";

// The bytes and byte count handed to the system for one value.
struct StoredForm {
  std::string data;
  uint32_t size = 0;
};

// The variant as text: a null is empty text, a number its decimal digits.
std::string AsText(const Variant& value) {
  switch (value.kind) {
    case Variant::Kind::kText:
      return value.text;
    case Variant::Kind::kNumber:
      return std::to_string(value.number);
    case Variant::Kind::kNull:
      break;
  }
  return "";
}

int32_t CheckedInt32(int64_t number) {
  if (number < std::numeric_limits<int32_t>::min() || number > std::numeric_limits<int32_t>::max())
    throw DataError(kOverflow);
  return int32_t(number);
}

// A DWORD row always carries a number; any other datum is a fault of its row.
int32_t AsInt32(const Variant& value) {
  if (value.kind != Variant::Kind::kNumber) throw DataError(kTypeMismatch);
  return CheckedInt32(value.number);
}

std::string LittleEndian(int32_t number) {
  uint32_t bits = uint32_t(number);
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = char(bits >> (8 * i) & 0xFF);
  return bytes;
}

// A binary row's text holds one character per byte of its value: code points 0 to 255.
std::string OneBytePerCharacter(const std::string& text) {
  std::string bytes;
  for (size_t at = 0; at < text.size();) {
    const char32_t code = NextCodePoint(text, at);
    if (code > 0xFF) throw DataError(kOverflow);
    bytes += char(code);
  }
  return bytes;
}

// How each accepted type code is stored: a text as the UTF-16LE the system keeps, its size
// counting the bytes of that form and of its terminator.
StoredForm StoredFormOf(uint32_t type, const Variant& value) {
  switch (type) {
    case kRegNone:
      // The text is passed but the size of 0 stores a value with no data.
      return {AsText(value) + '\0', 0};
    case kRegSz:
    case kRegExpandSz: {
      std::string bytes = RegSzBytes(AsText(value));
      return {bytes, uint32_t(bytes.size())};
    }
    case kRegBinary: {
      std::string bytes = OneBytePerCharacter(AsText(value));
      return {bytes, uint32_t(bytes.size())};
    }
    default: {
      std::string bytes = LittleEndian(AsInt32(value));
      return {bytes, uint32_t(bytes.size())};
    }
  }
}

}  // namespace

int32_t OpenKey(Registry& system, KeyHandle root, const std::string& path, KeyHandle& result,
                bool create) {
  const int32_t opened = system.OpenRegKey(root, path, kKeyAccess, result);
  if (!create || opened == kErrorSuccess) return opened;
  const int32_t created = CreateKey(system, root, path);
  const int32_t reopened = system.OpenRegKey(root, path, kKeyAccess, result);
  return created != kErrorSuccess ? created : reopened;
}

int32_t CreateKey(Registry& system, KeyHandle root, const std::string& path) {
  KeyHandle created = kNoKey;
  const int32_t status = system.CreateRegKey(root, path, kKeyAccess, created);
  // The caller opens the key itself.
  if (status == kErrorSuccess) system.CloseRegKey(created);
  return status;
}

std::string StoredData(uint32_t type, const Variant& value) {
  const StoredForm form = StoredFormOf(type, value);
  return form.data.substr(0, form.size);
}

int32_t SetKeyValue(Registry& system, KeyHandle key, const std::string& name, uint32_t type,
                    const Variant& value) {
  if (type > kRegDword) return kErrorSuccess;
  StoredForm form = StoredFormOf(type, value);
  return system.SetRegValue(key, name, type, form.data, form.size);
}

void ThrowUnlessSuccess(Registry& system, int32_t status, const std::string& name) {
  if (status != kErrorSuccess)
    throw SystemError(name + " : " + system.ErrorText(uint32_t(status)), uint32_t(status));
}

int32_t ReadKeyValue(Registry& system, KeyHandle key, const std::string& name, uint32_t& type,
                     std::string& data) {
  uint32_t size = 0;
  const int32_t status = system.QueryRegValue(key, name, type, nullptr, size);
  if (status != kErrorSuccess) return status;
  return system.QueryRegValue(key, name, type, &data, size);
}

bool KeyExists(Registry& system, KeyHandle root, const std::string& path) {
  ScopedKey key(system);
  // Reading is all a test of existence needs, and all some callers have.
  return system.OpenRegKey(root, path, kKeyReadAccess, key.Receive()) == kErrorSuccess;
}

}  // namespace movrix
