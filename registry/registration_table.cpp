// The write order of the registration: its groups, one after another.
#include "registry/registration_table.h"

namespace movrix {
namespace {

// Groups 1 to 20. The step numbers do not follow this order everywhere: after step 77 come 100
// to 109, then 78 to 99, then 110 onward.
constexpr RowList (*const kMainGroups[])() = {
    ExtensionAndApplicationRows,  // 1-2: steps 0-4
    ComClassRows,                 // 3: steps 5-47
    ComInterfaceRows,             // 4: steps 48-53
    MailtoRows,                   // 5: steps 54-56
    MessageTypeRows,              // 6-7: steps 57-76
    NewsProtocolRows,             // 8: steps 77, 100-107
    NwsShellExtensionRows,        // 9: step 108
    ProgIdRows,                   // 10: steps 109, 78-86
    UrlProgIdRows,                // 11: steps 87-98
    MailBeepRows,                 // 12: step 99
    CurrentUserMailClientRows,    // 13: step 110
    NwsOpenWithRows,              // 14: step 111
    MailSetupRows,                // 15: step 112
    MailClientRows,               // 16: steps 113-124
    NewsClientRows,               // 17: steps 125-139
    AppPathRows,                  // 18: steps 140-141
    FolderTypeRows,               // 19: steps 142-143
    RegisteredApplicationRows,    // 20: step 144
};

Variant ValueOf(const RegistrationRow& row) {
  switch (row.kind) {
    case RowKind::kText:
      return Variant::Text(std::string(row.text));
    case RowKind::kNumber:
      return Variant::Number(row.number);
    case RowKind::kNull:
    case RowKind::kKeyOnly:
      break;
  }
  return Variant::Null();
}

constexpr std::string_view kMirrorKey = "Wow6432Node\\";

}  // namespace

RegistrationEntry AtMachineClasses(RegistrationEntry entry) {
  if (entry.root != kClassesRoot) return entry;
  entry.root = kLocalMachine;
  if (entry.key.compare(0, kMirrorKey.size(), kMirrorKey) == 0)
    entry.key = "SOFTWARE\\Wow6432Node\\Classes\\" + entry.key.substr(kMirrorKey.size());
  else
    entry.key = "SOFTWARE\\Classes\\" + entry.key;
  return entry;
}

RegistrationEntry EntryOf(const RegistrationRow& row) {
  RegistrationEntry entry;
  entry.step = row.step;
  entry.root = row.root;
  entry.key = std::string(row.key);
  entry.name = std::string(row.name);
  entry.type = row.type;
  entry.key_only = row.kind == RowKind::kKeyOnly;
  entry.value = ValueOf(row);
  return entry;
}

std::vector<RegistrationEntry> MainRegistration() {
  std::vector<RegistrationEntry> entries;
  for (RowList (*group)() : kMainGroups)
    for (const RegistrationRow& row : group()) entries.push_back(AtMachineClasses(EntryOf(row)));
  return entries;
}

}  // namespace movrix
