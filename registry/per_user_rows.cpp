#include "registry/per_user_rows.h"

namespace movrix {
namespace {

// The record's last value: written once every other one is, so a record cut short is not taken
// for a whole one.
constexpr const char* kCompleteMarker = "complet";

// A key of HKEY_CURRENT_USER, opened (or created) for this module and closed when destroyed.
class UserKey {
 public:
  UserKey(System& system, const std::string& path, bool create) : system_(system) {
    status_ = create ? system.CreateRegKey(kCurrentUser, path, kKeyAccess, handle_)
                     : system.OpenRegKey(kCurrentUser, path, kKeyAccess, handle_);
    if (status_ != kErrorSuccess) handle_ = 0;
  }
  ~UserKey() {
    if (handle_ != 0) system_.CloseRegKey(handle_);
  }
  UserKey(const UserKey&) = delete;
  UserKey& operator=(const UserKey&) = delete;

  bool IsOpen() const { return handle_ != 0; }
  int32_t status() const { return status_; }
  KeyHandle handle() const { return handle_; }

 private:
  System& system_;
  KeyHandle handle_ = 0;
  int32_t status_;
};

// "HKCU\<key> [<name>] : erreur <status>", naming what could not be recorded or put back.
std::string Failure(const std::string& key, const std::string* name, int32_t status) {
  std::string text = "HKCU\\" + key;
  if (name) text += " [" + (name->empty() ? std::string("(par défaut)") : *name) + "]";
  return text + " : erreur " + std::to_string(status);
}

// The type and bytes of a value; the system's status, kErrorFileNotFound when it does not exist.
int32_t ReadValue(System& system, KeyHandle key, const std::string& name, uint32_t& type,
                  std::string& data) {
  uint32_t size = 0;
  int32_t status = system.QueryRegValue(key, name, type, nullptr, size);
  if (status != kErrorSuccess) return status;
  return system.QueryRegValue(key, name, type, &data, size);
}

// The names under which the record keeps a row's value and a row's key.
std::string ValueEntry(const RegistrationEntry& row) {
  return "valeur " + row.key + "|" + row.name;
}
std::string KeyEntry(const std::string& key) {
  return "clef " + key;
}

// A value's state as recorded: nothing for an absent value, else its type (four bytes, least
// significant first) and its bytes.
std::string EncodedState(uint32_t type, const std::string& data) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = char(type >> (8 * i) & 0xFF);
  return bytes + data;
}

std::vector<std::string> DistinctKeys(const std::vector<RegistrationEntry>& rows) {
  std::vector<std::string> keys;
  for (const RegistrationEntry& row : rows)
    if (keys.empty() || keys.back() != row.key) keys.push_back(row.key);
  return keys;
}

// The outermost key of `path` that does not exist (the first one writing `path` creates);
// empty when the whole path exists.
std::string OutermostMissingKey(System& system, const std::string& path) {
  for (size_t end = path.find('\\');; end = path.find('\\', end + 1)) {
    const std::string prefix = path.substr(0, end);
    if (!UserKey(system, prefix, false).IsOpen()) return prefix;
    if (end == std::string::npos) return "";
  }
}

// Writes one entry of the record; names it in `failures` when the system refuses.
void Record(System& system, const UserKey& record, const std::string& entry,
            const std::string& bytes, std::vector<std::string>& failures) {
  int32_t status =
      system.SetRegValue(record.handle(), entry, kRegBinary, bytes, uint32_t(bytes.size()));
  if (status != kErrorSuccess) failures.push_back(Failure(kPriorStateKey, &entry, status));
}

// The recorded state of one row's value, read from where it is now.
std::string PresentState(System& system, const RegistrationEntry& row) {
  UserKey key(system, row.key, false);
  uint32_t type = 0;
  std::string data;
  if (!key.IsOpen() || ReadValue(system, key.handle(), row.name, type, data) != kErrorSuccess)
    return "";
  return EncodedState(type, data);
}

// Gives one row's value the state the record holds for it.
void PutBack(System& system, const RegistrationEntry& row, const std::string& state,
             std::vector<std::string>& failures) {
  UserKey key(system, row.key, !state.empty());
  if (!key.IsOpen()) {
    // A key that is gone holds no value to delete.
    if (!state.empty() || key.status() != kErrorFileNotFound)
      failures.push_back(Failure(row.key, nullptr, key.status()));
    return;
  }
  int32_t status;
  if (state.empty()) {
    status = system.DeleteRegValue(key.handle(), row.name);
    if (status == kErrorFileNotFound) status = kErrorSuccess;
  } else {
    uint32_t type = 0;
    for (int i = 0; i < 4; ++i) type |= uint32_t(uint8_t(state[i])) << (8 * i);
    const std::string data = state.substr(4);
    status = system.SetRegValue(key.handle(), row.name, type, data, uint32_t(data.size()));
  }
  if (status != kErrorSuccess) failures.push_back(Failure(row.key, &row.name, status));
}

// Deletes the key at `path` when it holds neither values nor sub keys. True when it is gone (or
// was already); false when it stays, a refusal named in `failures`.
bool DeleteIfEmpty(System& system, const std::string& path, std::vector<std::string>& failures) {
  {
    UserKey key(system, path, false);
    if (!key.IsOpen()) return key.status() == kErrorFileNotFound;
    uint32_t sub_keys = 0, values = 0;
    if (system.CountRegKeyContents(key.handle(), sub_keys, values) != kErrorSuccess ||
        sub_keys + values > 0)
      return false;
  }
  int32_t status = system.DeleteRegKey(kCurrentUser, path, kKeyWow64_64Key);
  if (status == kErrorSuccess) return true;
  failures.push_back(Failure(path, nullptr, status));
  return false;
}

// Deletes `path` and its parents up to `outermost`, each once it is empty.
void DeleteCreatedKeys(System& system, std::string path, const std::string& outermost,
                       std::vector<std::string>& failures) {
  while (DeleteIfEmpty(system, path, failures) && path.size() > outermost.size())
    path = path.substr(0, path.rfind('\\'));
}

// Puts back every row and key the open `record` covers.
void PutBackAll(System& system, const UserKey& record, std::vector<std::string>& failures) {
  const std::vector<RegistrationEntry> rows = CurrentUserRegistration();
  uint32_t type = 0;
  for (const RegistrationEntry& row : rows) {
    std::string state;
    int32_t status = ReadValue(system, record.handle(), ValueEntry(row), type, state);
    if (status == kErrorSuccess)
      PutBack(system, row, state, failures);
    else
      failures.push_back(Failure(kPriorStateKey, &row.key, status));
  }
  const std::vector<std::string> keys = DistinctKeys(rows);
  for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
    std::string outermost;
    if (ReadValue(system, record.handle(), KeyEntry(*key), type, outermost) == kErrorSuccess)
      DeleteCreatedKeys(system, *key, outermost, failures);
  }
}

}  // namespace

std::vector<RegistrationEntry> CurrentUserRegistration() {
  std::vector<RegistrationEntry> rows;
  for (const RegistrationEntry& row : MainRegistration())
    if (row.root == kCurrentUser) rows.push_back(row);
  return rows;
}

bool RecordCurrentUserState(System& system, std::vector<std::string>& failures) {
  UserKey record(system, kPriorStateKey, true);
  if (!record.IsOpen()) {
    failures.push_back(Failure(kPriorStateKey, nullptr, record.status()));
    return false;
  }
  uint32_t type = 0;
  std::string marker;
  if (ReadValue(system, record.handle(), kCompleteMarker, type, marker) == kErrorSuccess)
    return true;
  const size_t failures_before = failures.size();
  const std::vector<RegistrationEntry> rows = CurrentUserRegistration();
  for (const std::string& key : DistinctKeys(rows)) {
    const std::string outermost = OutermostMissingKey(system, key);
    if (!outermost.empty()) Record(system, record, KeyEntry(key), outermost, failures);
  }
  for (const RegistrationEntry& row : rows)
    Record(system, record, ValueEntry(row), PresentState(system, row), failures);
  if (failures.size() != failures_before) return false;
  Record(system, record, kCompleteMarker, "1", failures);
  return failures.size() == failures_before;
}

RestoreResult RestoreCurrentUserState(System& system, std::vector<std::string>& failures) {
  const size_t failures_before = failures.size();
  {
    UserKey record(system, kPriorStateKey, false);
    uint32_t type = 0;
    std::string marker;
    if (!record.IsOpen() ||
        ReadValue(system, record.handle(), kCompleteMarker, type, marker) != kErrorSuccess)
      return RestoreResult::kNoRecord;
    PutBackAll(system, record, failures);
  }
  if (failures.size() != failures_before) return RestoreResult::kIncomplete;
  int32_t status = system.DeleteRegKey(kCurrentUser, kPriorStateKey, kKeyWow64_64Key);
  if (status != kErrorSuccess) {
    failures.push_back(Failure(kPriorStateKey, nullptr, status));
    return RestoreResult::kIncomplete;
  }
  DeleteIfEmpty(system, kPriorStateParent, failures);
  return failures.size() == failures_before ? RestoreResult::kRestored : RestoreResult::kIncomplete;
}

}  // namespace movrix
