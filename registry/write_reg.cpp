#include "registry/write_reg.h"

#include <string>
#include <vector>

#include "common/guard.h"
#include "common/text.h"
#include "registry/mod_key.h"
#include "registry/registration_table.h"

namespace movrix {
namespace {

// The one key handle of the sequence, reused from key to key. A key left open by a fault is
// closed when the sequence ends.
class ReusedKey {
 public:
  explicit ReusedKey(System& system) : system_(system) {}
  ~ReusedKey() {
    if (!IsOpen()) return;
    try {
      system_.CloseRegKey(handle_);
    } catch (...) {
      // A close that fails while a fault is already being reported has nothing to add.
    }
  }
  ReusedKey(const ReusedKey&) = delete;
  ReusedKey& operator=(const ReusedKey&) = delete;

  // Cleared before each open, so that a key that could be neither opened nor created leaves no
  // stale handle of the previous key to write into.
  KeyHandle& Reset() {
    handle_ = 0;
    return handle_;
  }
  bool IsOpen() const { return handle_ != 0; }
  KeyHandle handle() const { return handle_; }
  // Closes the key; its status is not looked at.
  void Close() {
    KeyHandle open = handle_;
    handle_ = 0;
    system_.CloseRegKey(open);
  }

 private:
  System& system_;
  KeyHandle handle_ = 0;
};

void ShowOpenFailure(System& system, const RegistrationEntry& entry) {
  system.ShowMessage(
      std::string("Impossible d'ouvrir la clé ") + RootAbbreviation(entry.root) + " " + entry.key,
      kProgramTitle, Buttons::kOk, Icon::kNone);
}

bool SameKey(const RegistrationEntry& a, const RegistrationEntry& b) {
  return a.step == b.step && a.root == b.root && a.key == b.key;
}

// Index past the rows of the key that starts at `first`.
size_t EndOfKey(const std::vector<RegistrationEntry>& entries, size_t first) {
  size_t end = first + 1;
  while (end < entries.size() && SameKey(entries[end], entries[first])) ++end;
  return end;
}

// Writes the values of rows [first, end) into the open `key`; returns how many failed.
int WriteValues(System& system, KeyHandle key, const std::vector<RegistrationEntry>& entries,
                size_t first, size_t end) {
  int failed = 0;
  for (size_t i = first; i < end; ++i) {
    const RegistrationEntry& entry = entries[i];
    if (!entry.key_only &&
        SetKeyValue(system, key, entry.name, entry.type, entry.value) != kErrorSuccess)
      ++failed;
  }
  return failed;
}

// Opens (creating when missing) each key of `entries` in turn, writes its values and closes it.
// `step` follows the block being written. False after an open fault, once its box is shown.
bool WriteBlocks(System& system, const std::vector<RegistrationEntry>& entries, uint8_t& step,
                 ReusedKey& key, int& failed_writes) {
  for (size_t first = 0; first < entries.size();) {
    const RegistrationEntry& entry = entries[first];
    const size_t end = EndOfKey(entries, first);
    step = entry.step;
    if (OpenKey(system, entry.root, entry.key, key.Reset(), true) == -1) {
      ShowOpenFailure(system, entry);
      return false;
    }
    // A key that could be neither opened nor created has had CreateKey's box; the sequence goes
    // on without writing into it.
    if (key.IsOpen()) {
      failed_writes += WriteValues(system, key.handle(), entries, first, end);
      key.Close();
    } else {
      ++failed_writes;
    }
    first = end;
  }
  return true;
}

// Runs `write` (which follows the block being written in its step) guarded: a fault shows its
// box, titled with the step, and stops the sequence.
template <typename Write>
bool GuardedSequence(System& system, Write&& write) {
  uint8_t step = 0;
  return Guarded([&] { return write(step); },
                 [&](const std::string& description) {
                   system.ShowMessage(description, "Write_Reg   Ligne " + std::to_string(step),
                                      Buttons::kOk, Icon::kNone);
                   return false;
                 });
}

}  // namespace

bool Write_Reg(System& system, const bool& Is64Bit, int& failed_writes) {
  return GuardedSequence(system, [&](uint8_t& step) {
    ReusedKey key(system);
    if (!WriteBlocks(system, MainRegistration(), step, key, failed_writes)) return false;
    if (!Is64Bit) return true;
    return WriteBlocks(system, Wow64Registration(), step, key, failed_writes);
  });
}

bool WriteRegistrationRows(System& system, const std::vector<RegistrationEntry>& entries,
                           int& failed_writes) {
  return GuardedSequence(system, [&](uint8_t& step) {
    ReusedKey key(system);
    return WriteBlocks(system, entries, step, key, failed_writes);
  });
}

}  // namespace movrix
