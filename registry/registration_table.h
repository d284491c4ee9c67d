// The registration as data: every registry value the installed program needs, one row per value,
// in the order it is written. Consecutive rows of the same step, root and key form one key of a
// block: the key is opened once and its values are written in row order.
//
// The rows live in three files, one per family of entries (COM classes and interfaces, file types
// and protocols, mail and news clients); MainRegistration puts their groups in write order, and
// Wow64Registration derives the 32-bit mirror of the COM entries from the main rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system.h"
#include "registry/key_io.h"

namespace movrix {

// What a row carries: a value of one of three data kinds, or a key created with no value at all.
enum class RowKind : uint8_t { kText, kNumber, kNull, kKeyOnly };

// One registry value (or one value-less key) of the registration.
struct RegistrationRow {
  uint8_t step;           // the block's number, shown in the fault title
  KeyHandle root;         // kClassesRoot, kCurrentUser or kLocalMachine
  std::string_view key;   // path below the root
  std::string_view name;  // value name; empty for the key's default value
  uint32_t type;          // value type code handed to SetKeyValue
  RowKind kind;
  std::string_view text;  // data of a kText row
  int32_t number;         // data of a kNumber row
};

// Row makers, named after the value type, so that each table line reads as the value it writes.
constexpr RegistrationRow Sz(uint8_t step, KeyHandle root, std::string_view key,
                             std::string_view name, std::string_view text) {
  return {step, root, key, name, kRegSz, RowKind::kText, text, 0};
}
constexpr RegistrationRow ExpandSz(uint8_t step, KeyHandle root, std::string_view key,
                                   std::string_view name, std::string_view text) {
  return {step, root, key, name, kRegExpandSz, RowKind::kText, text, 0};
}
// `text` holds one character per byte of the value (code points 0 to 255).
constexpr RegistrationRow Binary(uint8_t step, KeyHandle root, std::string_view key,
                                 std::string_view name, std::string_view text) {
  return {step, root, key, name, kRegBinary, RowKind::kText, text, 0};
}
constexpr RegistrationRow Dword(uint8_t step, KeyHandle root, std::string_view key,
                                std::string_view name, int32_t number) {
  return {step, root, key, name, kRegDword, RowKind::kNumber, {}, number};
}
// A REG_NONE value written from a null value: stored with no data.
constexpr RegistrationRow NoneNull(uint8_t step, KeyHandle root, std::string_view key,
                                   std::string_view name) {
  return {step, root, key, name, kRegNone, RowKind::kNull, {}, 0};
}
// A key opened (and so created) with no value written into it.
constexpr RegistrationRow KeyOnly(uint8_t step, KeyHandle root, std::string_view key) {
  return {step, root, key, {}, kRegNone, RowKind::kKeyOnly, {}, 0};
}

// A run of consecutive rows held by one of the table files.
struct RowList {
  const RegistrationRow* first;
  size_t count;
  const RegistrationRow* begin() const { return first; }
  const RegistrationRow* end() const { return first + count; }
};

template <size_t N>
constexpr RowList ListOf(const RegistrationRow (&rows)[N]) {
  return {rows, N};
}

// ---- The groups of the write order, each in the file of its family ----
// registration_associations.cpp
RowList ExtensionAndApplicationRows();  // groups 1-2: steps 0-4
RowList MailtoRows();                   // group 5: steps 54-56
RowList MessageTypeRows();              // groups 6-7: steps 57-76
RowList NewsProtocolRows();             // group 8: steps 77, 100-107
RowList NwsShellExtensionRows();        // group 9: step 108
RowList UrlProgIdRows();                // group 11: steps 87-98
RowList NwsOpenWithRows();              // group 14: step 111
// registration_com.cpp
RowList ComClassRows();      // group 3: steps 5-47
RowList ComInterfaceRows();  // group 4: steps 48-53
RowList ProgIdRows();        // group 10: steps 109, 78-86
// registration_clients.cpp
RowList MailBeepRows();               // group 12: step 99
RowList CurrentUserMailClientRows();  // group 13: step 110
RowList MailSetupRows();              // group 15: step 112
RowList MailClientRows();             // group 16: steps 113-124
RowList NewsClientRows();             // group 17: steps 125-139
RowList AppPathRows();                // group 18: steps 140-141
RowList FolderTypeRows();             // group 19: steps 142-143
RowList RegisteredApplicationRows();  // group 20: step 144

// A row ready to be written, owning its texts (the mirror rows are computed, not stored).
struct RegistrationEntry {
  uint8_t step = 0;
  KeyHandle root = kNoKey;
  std::string key;
  std::string name;
  uint32_t type = kRegNone;
  bool key_only = false;
  Variant value;
};

// The row as it is written: its texts owned, its data as the value handed to SetKeyValue.
RegistrationEntry EntryOf(const RegistrationRow& row);

// `entry` moved from HKEY_CLASSES_ROOT to the machine's own classes, HKLM\SOFTWARE\Classes (the
// mirror's Wow6432Node rows to HKLM\SOFTWARE\Wow6432Node\Classes). HKEY_CLASSES_ROOT writes into
// the user's HKCU\Software\Classes wherever that key exists: one user's classes would be taken
// for the machine's state, and another run would write them for everyone. Readers of
// HKEY_CLASSES_ROOT see the machine's classes where the user has none of their own.
RegistrationEntry AtMachineClasses(RegistrationEntry entry);

// Groups 1 to 20, in write order: written on every system, the class rows at the machine's
// classes.
std::vector<RegistrationEntry> MainRegistration();

// Groups 21 and 22, in write order: the COM classes and interfaces again below Wow6432Node, for
// 32-bit programs of a 64-bit system. Steps run from 145 in the order of the main blocks. The
// spam-filter class has no mirror; the in-process server and address-book icon data lose their
// quotation marks (a local server keeps them); the address book's NotInsertable key sits directly
// below the class key; ProgIDs are not mirrored. They are written at the machine's 32-bit classes.
std::vector<RegistrationEntry> Wow64Registration();

}  // namespace movrix
