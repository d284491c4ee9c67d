#include "registry/prior_state.h"

#include <exception>
#include <set>
#include <utility>

#include "common/scoped_key.h"
#include "common/text.h"
#include "registry/mod_key.h"

namespace movrix {
namespace {

constexpr char kKeyLine = 'K';
constexpr char kValueLine = 'V';
constexpr char kSeparator = '\t';

struct KeyRef {
  KeyHandle root;
  std::string path;
};

std::string KeyName(const KeyRef& key) {
  return movrix::KeyName(key.root, key.path);
}

// Texts and data go into the record as hexadecimal, so that no byte can break its lines.
std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xF];
  }
  return hex;
}

[[noreturn]] void ThrowDamaged() {
  throw SystemError("L'état antérieur du registre est endommagé");
}

int HexDigit(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  ThrowDamaged();
}

std::string Unhex(const std::string& hex) {
  if (hex.size() % 2) ThrowDamaged();
  std::string bytes;
  for (size_t i = 0; i < hex.size(); i += 2)
    bytes += char(HexDigit(hex[i]) << 4 | HexDigit(hex[i + 1]));
  return bytes;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (char c : line) {
    if (c == kSeparator)
      fields.emplace_back();
    else
      fields.back() += c;
  }
  return fields;
}

// A key opened for the time of a scope; `status` says whether it could be.
class OpenedKey : public ScopedKey {
 public:
  OpenedKey(System& system, const KeyRef& key, bool create) : ScopedKey(system) {
    status_ = create ? system.CreateRegKey(key.root, key.path, kKeyAccess, Receive())
                     : system.OpenRegKey(key.root, key.path, kKeyAccess, Receive());
  }

  int32_t status() const { return status_; }
  KeyHandle handle() const { return get(); }

 private:
  int32_t status_;
};

// Throws the system's description of `status` for `what`.
[[noreturn]] void ThrowStatus(System& system, const std::string& what, int32_t status) {
  throw SystemError(what + " : " + system.ErrorText(uint32_t(status)), uint32_t(status));
}

// The keys of `entries`, each after its parent keys, each once: a child always comes after its
// parent, so the reverse order deletes children first.
std::vector<KeyRef> KeysOf(const std::vector<RegistrationEntry>& entries) {
  std::vector<KeyRef> keys;
  std::set<std::pair<KeyHandle, std::string>> seen;
  for (const RegistrationEntry& entry : entries) {
    for (size_t end = entry.key.find('\\');; end = entry.key.find('\\', end + 1)) {
      const std::string path = entry.key.substr(0, end);
      if (seen.insert({entry.root, AsciiLowerCase(path)}).second)
        keys.push_back({entry.root, path});
      if (end == std::string::npos) break;
    }
  }
  return keys;
}

// The record line of one value: whether it exists, and its type and data when it does.
std::string ValueLine(System& system, const OpenedKey& key, const KeyRef& ref,
                      const std::string& name) {
  std::string line = std::string(1, kValueLine) + kSeparator + std::to_string(ref.root) +
                     kSeparator + Hex(ref.path) + kSeparator + Hex(name) + kSeparator;
  uint32_t type = 0;
  std::string data;
  const int32_t status =
      key.handle() ? ReadKeyValue(system, key.handle(), name, type, data) : kErrorFileNotFound;
  if (status == kErrorFileNotFound) return line + "0";
  if (status != kErrorSuccess) ThrowStatus(system, KeyName(ref) + "\\" + name, status);
  return line + "1" + kSeparator + std::to_string(type) + kSeparator + Hex(data);
}

std::string PriorStateText(System& system, const std::vector<RegistrationEntry>& entries) {
  std::string text;
  for (const KeyRef& ref : KeysOf(entries)) {
    OpenedKey key(system, ref, false);
    if (key.status() != kErrorSuccess && key.status() != kErrorFileNotFound)
      ThrowStatus(system, KeyName(ref), key.status());
    text += std::string(1, kKeyLine) + kSeparator + std::to_string(ref.root) + kSeparator +
            Hex(ref.path) + kSeparator + (key.handle() ? "1" : "0") + kCrLf;
  }
  for (const RegistrationEntry& entry : entries) {
    if (entry.key_only) continue;
    const KeyRef ref{entry.root, entry.key};
    OpenedKey key(system, ref, false);
    text += ValueLine(system, key, ref, entry.name) + kCrLf;
  }
  return text;
}

// One line of the record, read back.
struct RecordLine {
  char kind = 0;
  KeyRef key{0, ""};
  std::string name;
  bool existed = false;
  uint32_t type = 0;
  std::string data;
};

RecordLine ParseLine(const std::string& line) {
  const std::vector<std::string> fields = Fields(line);
  RecordLine parsed;
  const bool is_key = fields[0] == std::string(1, kKeyLine) && fields.size() == 4;
  const bool is_value = fields[0] == std::string(1, kValueLine) && fields.size() >= 5;
  if (!is_key && !is_value) ThrowDamaged();
  parsed.kind = fields[0][0];
  parsed.key = {KeyHandle(std::stoul(fields[1])), Unhex(fields[2])};
  parsed.existed = fields[is_key ? 3 : 4] == "1";
  if (is_value) parsed.name = Unhex(fields[3]);
  if (is_value && parsed.existed) {
    if (fields.size() != 7) ThrowDamaged();
    parsed.type = uint32_t(std::stoul(fields[5]));
    parsed.data = Unhex(fields[6]);
  }
  return parsed;
}

std::vector<RecordLine> ParseRecord(const std::string& text) {
  std::vector<RecordLine> lines;
  size_t start = 0;
  for (size_t end = text.find(kCrLf); end != std::string::npos; end = text.find(kCrLf, start)) {
    lines.push_back(ParseLine(text.substr(start, end - start)));
    start = end + 2;
  }
  return lines;
}

// Puts one value back as it was; true when it is.
bool RestoreValue(System& system, const RecordLine& line, RestoreReport& report) {
  const std::string where = KeyName(line.key) + "\\" + line.name;
  OpenedKey key(system, line.key, line.existed);
  int32_t status = key.status();
  if (!line.existed && status == kErrorFileNotFound) return true;
  if (status == kErrorSuccess) {
    status = line.existed ? system.SetRegValue(key.handle(), line.name, line.type, line.data,
                                               uint32_t(line.data.size()))
                          : system.DeleteRegValue(key.handle(), line.name);
  }
  if (status == kErrorSuccess || (!line.existed && status == kErrorFileNotFound)) return true;
  report.Fail(line.existed ? "valeur non rétablie" : "valeur non supprimée", where,
              system.ErrorText(uint32_t(status)));
  return false;
}

// Deletes the key `ref` when nothing is left in it; a key that something else has filled since
// stays. The system's status: kErrorSuccess when the key is gone, was gone already, or stays
// because it is not empty.
int32_t DeleteIfEmpty(System& system, const KeyRef& ref) {
  {
    OpenedKey key(system, ref, false);
    if (key.status() == kErrorFileNotFound) return kErrorSuccess;
    if (key.status() != kErrorSuccess) return key.status();
    uint32_t subkeys = 0, values = 0;
    const int32_t status = system.CountRegKeyContents(key.handle(), subkeys, values);
    if (status != kErrorSuccess || subkeys || values) return status;
  }
  const int32_t status = system.DeleteRegKey(ref.root, ref.path, kKeyAccess);
  return status == kErrorFileNotFound ? kErrorSuccess : status;
}

// Deletes a key the first installation created, once it is empty.
void RemoveCreatedKey(System& system, const KeyRef& ref, RestoreReport& report) {
  const int32_t status = DeleteIfEmpty(system, ref);
  if (status != kErrorSuccess)
    report.Fail("clé non supprimée", KeyName(ref), system.ErrorText(uint32_t(status)));
}

const KeyRef kUserRecordKey{kCurrentUser, UserPriorStateKey::kKey};

}  // namespace

std::vector<RegistrationEntry> MachineRegistration(bool is_64_bit) {
  std::vector<RegistrationEntry> entries;
  for (const RegistrationEntry& row : MainRegistration())
    if (row.root != kCurrentUser) entries.push_back(row);
  if (is_64_bit) {
    std::vector<RegistrationEntry> mirror = Wow64Registration();
    entries.insert(entries.end(), mirror.begin(), mirror.end());
  }
  return entries;
}

std::vector<RegistrationEntry> CurrentUserRegistration() {
  std::vector<RegistrationEntry> rows;
  for (const RegistrationEntry& row : MainRegistration())
    if (row.root == kCurrentUser) rows.push_back(row);
  return rows;
}

bool PriorStateFile::Exists() {
  return system_.PathAttributes(path_) >= 0;
}

std::string PriorStateFile::Read() {
  return system_.ReadWholeFile(path_);
}

void PriorStateFile::Write(const std::string& text) {
  const std::string partial = path_ + ".partiel";
  if (system_.PathAttributes(partial) >= 0) system_.RemoveFile(partial);
  system_.OpenToAppend(partial, true)->Append(text);
  system_.Rename(partial, path_);
}

std::string UserPriorStateKey::Name() const {
  return KeyName(kUserRecordKey) + "\\" + kValue;
}

bool UserPriorStateKey::Exists() {
  OpenedKey key(system_, kUserRecordKey, false);
  uint32_t type = 0, size = 0;
  int32_t status = key.status();
  if (status == kErrorSuccess)
    status = system_.QueryRegValue(key.handle(), kValue, type, nullptr, size);
  if (status != kErrorSuccess && status != kErrorFileNotFound) ThrowStatus(system_, Name(), status);
  return status == kErrorSuccess;
}

std::string UserPriorStateKey::Read() {
  OpenedKey key(system_, kUserRecordKey, false);
  uint32_t type = 0;
  std::string text;
  int32_t status = key.status();
  if (status == kErrorSuccess) status = ReadKeyValue(system_, key.handle(), kValue, type, text);
  if (status != kErrorSuccess) ThrowStatus(system_, Name(), status);
  return text;
}

void UserPriorStateKey::Write(const std::string& text) {
  OpenedKey key(system_, kUserRecordKey, true);
  int32_t status = key.status();
  if (status == kErrorSuccess)
    status = system_.SetRegValue(key.handle(), kValue, kRegBinary, text, uint32_t(text.size()));
  if (status != kErrorSuccess) ThrowStatus(system_, Name(), status);
}

void UserPriorStateKey::Remove() {
  int32_t status = system_.DeleteRegKey(kCurrentUser, kKey, kKeyAccess);
  if (status != kErrorSuccess && status != kErrorFileNotFound)
    ThrowStatus(system_, KeyName(kUserRecordKey), status);
  status = DeleteIfEmpty(system_, {kCurrentUser, kParentKey});
  if (status != kErrorSuccess) ThrowStatus(system_, KeyName({kCurrentUser, kParentKey}), status);
}

void RecordPriorState(System& system, const std::vector<RegistrationEntry>& entries,
                      PriorStateStore& store) {
  if (!store.Exists()) store.Write(PriorStateText(system, entries));
}

bool RestorePriorState(System& system, PriorStateStore& store, RestoreReport& report) {
  std::vector<RecordLine> lines;
  try {
    if (!store.Exists()) return false;
    lines = ParseRecord(store.Read());
  } catch (const std::exception& failure) {
    report.Fail("état du registre non lu", store.Name(), failure.what());
    return true;
  }
  int values = 0;
  for (const RecordLine& line : lines) {
    if (line.kind == kValueLine && RestoreValue(system, line, report)) ++values;
  }
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    if (line->kind == kKeyLine && !line->existed) RemoveCreatedKey(system, line->key, report);
  }
  report.Done("Base de registre : " + std::to_string(values) +
              " valeur(s) remise(s) dans leur état d'origine");
  return true;
}

}  // namespace movrix
