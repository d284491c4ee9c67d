// The stand-in's registry: three trees (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,
// HKEY_LOCAL_MACHINE), key and value names compared without regard to case but kept as first
// spelled, handles as 32-bit values, and a log of every value written through SetRegValue.
//
// What it models of Windows, because the program or its tests meet it:
// - RegOpenKeyEx/RegCreateKeyEx set the result handle to 0 on failure; an empty path on a root
//   hands back the root itself; final and doubled backslashes are ignored; a leading one is
//   refused, except by an open below HKEY_CLASSES_ROOT.
// - A handle opened without KEY_QUERY_VALUE / KEY_SET_VALUE cannot read / write values.
// - RegQueryValueEx asks for the size with no buffer, and answers ERROR_MORE_DATA with the size
//   needed when the buffer is too small.
// - On a 64-bit system, the 32-bit program's access to HKEY_LOCAL_MACHINE\SOFTWARE without
//   KEY_WOW64_64KEY lands in SOFTWARE\Wow6432Node (the 32-bit view). Nothing else is redirected.
//
// Faults injected with faults().Inject(call, argument, ...) are raised on entry, before anything
// changes: OpenRegKey and CreateRegKey take the key path given, QueryRegValue and SetRegValue the
// value name, CloseRegKey the key path the handle was opened with.
#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <vector>

#include "common/text.h"
#include "platform/host/host_system.h"

namespace movrix {
namespace {

constexpr uint32_t kKeyQueryValue = 0x1;
constexpr uint32_t kKeySetValue = 0x2;
constexpr int32_t kErrorBadPathname = 161;
// Handles handed out look like the small, 4-aligned values Windows gives.
constexpr KeyHandle kFirstHandle = 0x100;
constexpr KeyHandle kHandleStep = 4;

struct Value {
  std::string name;  // as first spelled
  uint32_t type = kRegNone;
  std::string data;
};

struct Key {
  std::string path;  // below its root, as the tree spells it; empty for the root itself
  std::map<std::string, std::unique_ptr<Key>> subkeys;  // by folded name
  std::map<std::string, Value> values;                  // by folded name
};

// The components of a key path: "A\B\" and "A\\B" both give A, B. False for a path that
// starts with a backslash, which the system refuses (an open below HKEY_CLASSES_ROOT forgives it).
bool SplitKeyPath(const std::string& path, bool forgive_leading_backslash,
                  std::vector<std::string>& parts) {
  size_t start = 0;
  if (!path.empty() && path[0] == '\\') {
    if (!forgive_leading_backslash) return false;
    start = 1;
  }
  while (start < path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

std::string JoinKeyPath(const std::string& base, const std::string& name) {
  return base.empty() ? name : base + "\\" + name;
}

Key* FindSubkey(Key& key, const std::string& name) {
  auto found = key.subkeys.find(AsciiLowerCase(name));
  return found == key.subkeys.end() ? nullptr : found->second.get();
}

Key& SubkeyOrNew(Key& key, const std::string& name) {
  std::unique_ptr<Key>& slot = key.subkeys[AsciiLowerCase(name)];
  if (!slot) {
    slot = std::make_unique<Key>();
    slot->path = JoinKeyPath(key.path, name);
  }
  return *slot;
}

Key* Walk(Key& from, const std::vector<std::string>& parts) {
  Key* key = &from;
  for (const std::string& part : parts) {
    key = FindSubkey(*key, part);
    if (!key) return nullptr;
  }
  return key;
}

Key& WalkCreating(Key& from, const std::vector<std::string>& parts) {
  Key* key = &from;
  for (const std::string& part : parts) key = &SubkeyOrNew(*key, part);
  return *key;
}

bool IsRoot(KeyHandle handle) {
  return handle == kClassesRoot || handle == kCurrentUser || handle == kLocalMachine;
}

// True when every component of `prefix` names the same key as the start of `path`.
bool StartsWithKeyPath(const std::vector<std::string>& path,
                       const std::vector<std::string>& prefix) {
  if (prefix.size() > path.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), path.begin(),
                    [](const std::string& a, const std::string& b) {
                      return AsciiLowerCase(a) == AsciiLowerCase(b);
                    });
}

std::vector<std::string> PartsOf(const std::string& tree_path) {
  std::vector<std::string> parts;
  SplitKeyPath(tree_path, true, parts);
  return parts;
}

}  // namespace

struct HostRegistryState {
  struct OpenKeyHandle {
    KeyHandle root;
    Key* key;
    std::string opened_path;  // the path the caller gave, which faults are matched against
    uint32_t access;
  };
  struct Refusal {
    KeyHandle root;
    std::vector<std::string> parts;
  };

  HostRegistryState() {
    for (KeyHandle root : {kClassesRoot, kCurrentUser, kLocalMachine}) roots[root];
  }

  std::map<KeyHandle, Key> roots;
  std::map<KeyHandle, OpenKeyHandle> handles;
  KeyHandle next_handle = kFirstHandle;
  std::vector<HostSystem::RegWrite> writes;
  std::vector<Refusal> refusals;

  // The root and key a handle stands for; null key for an unknown handle.
  std::pair<KeyHandle, Key*> Resolve(KeyHandle handle) {
    if (IsRoot(handle)) return {handle, &roots.at(handle)};
    auto found = handles.find(handle);
    if (found == handles.end()) return {0, nullptr};
    return {found->second.root, found->second.key};
  }

  KeyHandle NewHandle(KeyHandle root, Key& key, const std::string& opened_path, uint32_t access) {
    KeyHandle handle = next_handle;
    next_handle += kHandleStep;
    handles[handle] = {root, &key, opened_path, access};
    return handle;
  }

  bool CreationRefused(KeyHandle root, const Key& parent, const std::vector<std::string>& parts) {
    std::vector<std::string> target = PartsOf(parent.path);
    target.insert(target.end(), parts.begin(), parts.end());
    return std::any_of(refusals.begin(), refusals.end(), [&](const Refusal& refusal) {
      return refusal.root == root && StartsWithKeyPath(target, refusal.parts);
    });
  }
};

HostRegistryState* NewHostRegistryState() {
  return new HostRegistryState();
}
void DeleteHostRegistryState(HostRegistryState* state) {
  delete state;
}

namespace {

// What a 32-bit program reaches on a 64-bit system: HKLM\SOFTWARE without KEY_WOW64_64KEY is the
// 32-bit view below SOFTWARE\Wow6432Node.
void ApplyRegistryView(bool is64_system, KeyHandle parent, uint32_t access,
                       std::vector<std::string>& parts) {
  if (!is64_system || parent != kLocalMachine || (access & kKeyWow64_64Key) || parts.empty())
    return;
  if (AsciiLowerCase(parts[0]) != "software") return;
  if (parts.size() > 1 && AsciiLowerCase(parts[1]) == "wow6432node") return;
  parts.insert(parts.begin() + 1, "Wow6432Node");
}

}  // namespace

int32_t HostSystem::OpenRegKey(KeyHandle root, const std::string& path, uint32_t access,
                               KeyHandle& result) {
  faults_.Check("OpenRegKey", path);
  result = 0;
  auto [tree_root, parent] = registry_->Resolve(root);
  if (!parent) return kErrorInvalidHandle;
  std::vector<std::string> parts;
  if (!SplitKeyPath(path, root == kClassesRoot, parts)) return kErrorBadPathname;
  if (parts.empty() && IsRoot(root)) {
    result = root;
    return kErrorSuccess;
  }
  ApplyRegistryView(is64_, root, access, parts);
  Key* key = Walk(*parent, parts);
  if (!key) return kErrorFileNotFound;
  result = registry_->NewHandle(tree_root, *key, path, access);
  return kErrorSuccess;
}

int32_t HostSystem::CreateRegKey(KeyHandle root, const std::string& path, uint32_t access,
                                 KeyHandle& result) {
  faults_.Check("CreateRegKey", path);
  result = 0;
  auto [tree_root, parent] = registry_->Resolve(root);
  if (!parent) return kErrorInvalidHandle;
  std::vector<std::string> parts;
  if (!SplitKeyPath(path, false, parts)) return kErrorBadPathname;
  ApplyRegistryView(is64_, root, access, parts);
  if (registry_->CreationRefused(tree_root, *parent, parts)) return kErrorAccessDenied;
  Key& key = WalkCreating(*parent, parts);
  result = registry_->NewHandle(tree_root, key, path, access);
  return kErrorSuccess;
}

int32_t HostSystem::QueryRegValue(KeyHandle key, const std::string& name, uint32_t& type,
                                  std::string* data, uint32_t& size) {
  faults_.Check("QueryRegValue", name);
  auto [tree_root, open_key] = registry_->Resolve(key);
  if (!open_key) return kErrorInvalidHandle;
  if (!IsRoot(key) && !(registry_->handles.at(key).access & kKeyQueryValue))
    return kErrorAccessDenied;
  auto found = open_key->values.find(AsciiLowerCase(name));
  if (found == open_key->values.end()) return kErrorFileNotFound;
  const Value& value = found->second;
  type = value.type;
  uint32_t needed = uint32_t(value.data.size());
  bool too_small = data && size < needed;
  size = needed;
  if (too_small) return kErrorMoreData;
  if (data) *data = value.data;
  return kErrorSuccess;
}

int32_t HostSystem::SetRegValue(KeyHandle key, const std::string& name, uint32_t type,
                                const std::string& data, uint32_t size) {
  faults_.Check("SetRegValue", name);
  auto [tree_root, open_key] = registry_->Resolve(key);
  if (!open_key) return kErrorInvalidHandle;
  if (!IsRoot(key) && !(registry_->handles.at(key).access & kKeySetValue))
    return kErrorAccessDenied;
  Value& value = open_key->values[AsciiLowerCase(name)];
  if (value.name.empty()) value.name = name;
  value.type = type;
  value.data = data.substr(0, size);
  registry_->writes.push_back({tree_root, open_key->path, value.name, type, value.data});
  return kErrorSuccess;
}

int32_t HostSystem::CloseRegKey(KeyHandle key) {
  if (IsRoot(key)) return kErrorSuccess;  // the predefined keys are never really closed
  auto found = registry_->handles.find(key);
  if (found == registry_->handles.end()) return kErrorInvalidHandle;
  faults_.Check("CloseRegKey", found->second.opened_path);
  registry_->handles.erase(found);
  return kErrorSuccess;
}

const std::vector<HostSystem::RegWrite>& HostSystem::reg_writes() const {
  return registry_->writes;
}

void HostSystem::RefuseKeyCreation(KeyHandle root, const std::string& path) {
  registry_->refusals.push_back({root, PartsOf(path)});
}

bool HostSystem::RegKeyExists(KeyHandle root, const std::string& path) const {
  auto found = registry_->roots.find(root);
  return found != registry_->roots.end() && Walk(found->second, PartsOf(path)) != nullptr;
}

std::optional<std::pair<uint32_t, std::string>> HostSystem::RegValue(
    KeyHandle root, const std::string& path, const std::string& name) const {
  auto found_root = registry_->roots.find(root);
  if (found_root == registry_->roots.end()) return std::nullopt;
  Key* key = Walk(found_root->second, PartsOf(path));
  if (!key) return std::nullopt;
  auto found = key->values.find(AsciiLowerCase(name));
  if (found == key->values.end()) return std::nullopt;
  return std::make_pair(found->second.type, found->second.data);
}

void HostSystem::SetRegValueDirect(KeyHandle root, const std::string& path, const std::string& name,
                                   uint32_t type, const std::string& data) {
  Key& key = WalkCreating(registry_->roots.at(root), PartsOf(path));
  Value& value = key.values[AsciiLowerCase(name)];
  if (value.name.empty()) value.name = name;
  value.type = type;
  value.data = data;
  // A string seeded as plain text is stored as the system stores a text: with its terminator.
  bool is_string = type == kRegSz || type == kRegExpandSz;
  if (is_string && (data.empty() || data.back() != '\0')) value.data += '\0';
}

}  // namespace movrix
