#include "tests/logic/registry_listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/system.h"
#include "tests/logic/fixture.h"

namespace movrix::testing {

HKEY Root(const std::string& name) {
  return name == "HKCR"   ? HKEY_CLASSES_ROOT
         : name == "HKCU" ? HKEY_CURRENT_USER
                          : HKEY_LOCAL_MACHINE;
}

void Put(HKEY root, const std::string& key, const std::string& name, const std::string& text,
         DWORD type) {
  HKEY opened;
  ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                            nullptr, &opened, nullptr),
            0)
      << key;
  RegSetValueExA(opened, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                 DWORD(text.size() + 1));
  RegCloseKey(opened);
}

std::string Stored(HKEY root, const std::string& key, const std::string& name, REGSAM view) {
  HKEY opened;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &opened)) return "<no key>";
  DWORD type = 0, size = 4096;
  std::string data(size, '\0');
  LONG status = RegQueryValueExA(opened, name.empty() || name == "@" ? nullptr : name.c_str(),
                                 nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
  RegCloseKey(opened);
  return status ? "<no value>" : std::to_string(type) + ":" + data.substr(0, size);
}

// UTF-8 to UTF-16 by the C++ runtime, not by the program under test.
std::wstring Wide(const std::string& text) {
  return std::filesystem::u8path(text).wstring();
}

std::string Utf16Bytes(const std::string& text) {
  std::string bytes;
  for (wchar_t unit : Wide(text)) bytes += {char(unit & 0xFF), char(unit >> 8)};
  return bytes;
}

std::string StoredBytes(HKEY root, const std::string& key, const std::string& name) {
  HKEY opened;
  if (RegOpenKeyExW(root, Wide(key).c_str(), 0, KEY_READ, &opened)) return "<no key>";
  DWORD type = 0, size = 4096;
  std::string data(size, '\0');
  // RegQueryValueExW, not RegGetValueW, which would add a missing terminator.
  LONG status = RegQueryValueExW(opened, Wide(name).c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(data.data()), &size);
  RegCloseKey(opened);
  return status ? "<no value>" : std::to_string(type) + ":" + data.substr(0, size);
}

void PutBytes(HKEY root, const std::string& key, const std::string& name, DWORD type,
              const std::string& bytes) {
  // Non-null bytes past the data, or the system would count a terminator there as forgotten.
  const std::string padded = bytes + "\xFF\xFF";
  EXPECT_EQ(RegSetKeyValueW(root, Wide(key).c_str(), Wide(name).c_str(), type, padded.data(),
                            DWORD(bytes.size())),
            0);
}

std::vector<Listed> ReadListing() {
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string path = exe;
  path = path.substr(0, path.rfind('\\')) + "\\registration.tsv";
  std::ifstream file(path);
  EXPECT_TRUE(file.good()) << path;
  std::vector<Listed> listing;
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Listed value{number, "", "", "", "", ""};
    std::string step;
    for (std::string* field :
         {&step, &value.root, &value.key, &value.name, &value.type, &value.data})
      std::getline(fields, *field, '\t');
    listing.push_back(value);
  }
  return listing;
}

namespace {

// What the registry holds for a listed value, worked out from the listing alone.
std::string Expected(const Listed& value) {
  static const std::vector<std::string> types = {"REG_NONE", "REG_SZ", "REG_EXPAND_SZ",
                                                 "REG_BINARY", "REG_DWORD"};
  const size_t type = std::find(types.begin(), types.end(), value.type) - types.begin();
  std::string bytes;
  if (type == kRegSz || type == kRegExpandSz) bytes = value.data + '\0';
  for (int shift = 0; type == kRegDword && shift < 32; shift += 8)
    bytes += char(std::stoul(value.data) >> shift & 0xFF);
  std::istringstream hex(value.data);
  for (unsigned byte; type == kRegBinary && hex >> std::hex >> byte;) bytes += char(byte);
  return std::to_string(type) + ":" + bytes;
}

}  // namespace

void ExpectRegistryAsListed(const std::vector<Listed>& listing) {
  for (const Listed& value : listing) {
    if (!Is64BitSystem() && value.key.rfind("Wow6432Node\\", 0) == 0) continue;
    const std::string where = "line " + std::to_string(value.line) + ": " + value.root + "\\" +
                              value.key + " [" + value.name + "]";
    if (value.type == "KEY")
      EXPECT_NE(Stored(Root(value.root), value.key, "no value"), "<no key>") << where;
    else
      EXPECT_EQ(Stored(Root(value.root), value.key, value.name), Expected(value)) << where;
  }
}

}  // namespace movrix::testing
