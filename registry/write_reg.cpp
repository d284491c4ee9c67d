#include "registry/write_reg.h"

#include <string>
#include <vector>

#include "common/guard.h"
#include "common/scoped_key.h"
#include "common/text.h"
#include "registry/mod_key.h"
#include "registry/registration_table.h"

namespace movrix {
namespace {

bool SameKey(const RegistrationEntry& a, const RegistrationEntry& b) {
  return a.step == b.step && a.root == b.root && a.key == b.key;
}

// Index past the rows of the key that starts at `first`.
size_t EndOfKey(const std::vector<RegistrationEntry>& entries, size_t first) {
  size_t end = first + 1;
  while (end < entries.size() && SameKey(entries[end], entries[first])) ++end;
  return end;
}

// The key of `entry` as the log names it, such as "HKCR\mailto".
std::string KeyName(const RegistrationEntry& entry) {
  return movrix::KeyName(entry.root, entry.key);
}

// The failure of a value that was not written.
std::string NotWritten(const RegistrationEntry& entry) {
  const std::string value = entry.name.empty() ? "la valeur par défaut" : "la valeur " + entry.name;
  return value + " de " + KeyName(entry) + " n'a pas été écrite";
}

// Writes the values of rows [first, end) into the open `key`; each one that fails is a failure in
// `outcome`. A datum its type cannot hold has its box, then its failure.
void WriteValues(System& system, KeyHandle key, const std::vector<RegistrationEntry>& entries,
                 size_t first, size_t end, Outcome& outcome) {
  for (size_t i = first; i < end; ++i) {
    const RegistrationEntry& entry = entries[i];
    if (entry.key_only) continue;
    try {
      const int32_t status = SetKeyValue(system, key, entry.name, entry.type, entry.value);
      if (status != kErrorSuccess)
        outcome.Fail(NotWritten(entry), system.ErrorText(uint32_t(status)));
    } catch (const SystemError& fault) {
      ShowValueFault(system, fault);
      outcome.Fail(NotWritten(entry), "la donnée ne convient pas au type de la valeur");
    }
  }
}

// Opens (creating when missing) each key of `entries` in turn, writes its values and closes it.
// `step` follows the block being written.
void WriteBlocks(System& system, const std::vector<RegistrationEntry>& entries, uint8_t& step,
                 ScopedKey& key, Outcome& outcome) {
  for (size_t first = 0; first < entries.size();) {
    const RegistrationEntry& entry = entries[first];
    const size_t end = EndOfKey(entries, first);
    step = entry.step;
    const int32_t status = OpenKey(system, entry.root, entry.key, key.Receive(), true);
    // A key that could be neither opened nor created is told to the user; the sequence goes on
    // without writing into it.
    if (key.valid()) {
      WriteValues(system, key.get(), entries, first, end, outcome);
      key.Close();
    } else {
      ShowKeyNotCreated(system);
      outcome.Fail("la clé " + KeyName(entry) + " n'a pas été créée",
                   system.ErrorText(uint32_t(status)));
    }
    first = end;
  }
}

// Runs `write` (which follows the block being written in its step) guarded: a fault shows its
// box, titled with the step, and stops the sequence. The title, with its three spaces before
// "Ligne", is required as it is.
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

// The main blocks without the HKEY_CURRENT_USER rows, each of which is a failure in `outcome`.
std::vector<RegistrationEntry> WithoutUserRows(Outcome& outcome) {
  std::vector<RegistrationEntry> kept;
  for (const RegistrationEntry& entry : MainRegistration()) {
    if (entry.root != kCurrentUser)
      kept.push_back(entry);
    else if (!entry.key_only)
      outcome.Fail(NotWritten(entry),
                   "l'état antérieur de l'utilisateur n'a pas pu être enregistré");
  }
  return kept;
}

}  // namespace

bool Write_Reg(System& system, bool is_64_bit_system, Outcome& outcome, bool user_state_recorded) {
  return GuardedSequence(system, [&](uint8_t& step) {
    ScopedKey key(system);
    const std::vector<RegistrationEntry> main =
        user_state_recorded ? MainRegistration() : WithoutUserRows(outcome);
    WriteBlocks(system, main, step, key, outcome);
    if (is_64_bit_system) WriteBlocks(system, Wow64Registration(), step, key, outcome);
    return true;
  });
}

bool WriteRegistrationRows(System& system, const std::vector<RegistrationEntry>& entries,
                           Outcome& outcome) {
  return GuardedSequence(system, [&](uint8_t& step) {
    ScopedKey key(system);
    WriteBlocks(system, entries, step, key, outcome);
    return true;
  });
}

}  // namespace movrix
