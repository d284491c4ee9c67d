#include "registry/write_registration.h"

#include <string>
#include <vector>

#include "common/box_titles.h"
#include "common/guard.h"
#include "common/scoped_key.h"
#include "common/text.h"
#include "registry/key_io.h"
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

// The registration of one run. It owns the block it has reached, whose number titles its box when
// it stops ("Write_Reg   Ligne 12").
class RegistrationPhase {
 public:
  RegistrationPhase(Registry& system, Reporter& boxes, Outcome& outcome)
      : system_(system), boxes_(boxes), outcome_(outcome), key_(system) {}

  // Writes each list of rows in turn; where it stopped when it could not go on.
  std::optional<Stop> Run(std::initializer_list<const std::vector<RegistrationEntry>*> lists) {
    return step_.Run([&]() -> std::optional<Stop> {
      for (const std::vector<RegistrationEntry>* entries : lists) WriteBlocks(*entries);
      return std::nullopt;
    });
  }

 private:
  // Writes the values of rows [first, end) into the open key; each one that fails is a failure in
  // the outcome. A datum its type cannot hold is told at once, then recorded.
  void WriteValues(const std::vector<RegistrationEntry>& entries, size_t first, size_t end) {
    for (size_t i = first; i < end; ++i) {
      const RegistrationEntry& entry = entries[i];
      if (entry.key_only) continue;
      try {
        const int32_t status =
            SetKeyValue(system_, key_.get(), entry.name, entry.type, entry.value);
        if (status != kErrorSuccess)
          outcome_.Fail(NotWritten(entry), system_.ErrorText(uint32_t(status)));
      } catch (const DataError& fault) {
        boxes_.Report(kValueTitle, fault.what(), Icon::kNone);
        outcome_.Fail(NotWritten(entry), "la donnée ne convient pas au type de la valeur");
      }
    }
  }

  // Opens (creating when missing) each key of `entries` in turn, writes its values and closes it.
  // A key that could be neither opened nor created is told at once; the sequence goes on without
  // writing into it.
  void WriteBlocks(const std::vector<RegistrationEntry>& entries) {
    for (size_t first = 0; first < entries.size();) {
      const RegistrationEntry& entry = entries[first];
      const size_t end = EndOfKey(entries, first);
      step_.Mark(std::to_string(entry.step));
      const int32_t status = OpenKey(system_, entry.root, entry.key, key_.Receive(), true);
      if (key_.valid()) {
        WriteValues(entries, first, end);
        key_.Close();
      } else {
        boxes_.Report(kKeyTitle, "Impossible de créer la clef", Icon::kNone);
        outcome_.Fail("la clé " + KeyName(entry) + " n'a pas été créée",
                      system_.ErrorText(uint32_t(status)));
      }
      first = end;
    }
  }

  Registry& system_;
  Reporter& boxes_;
  Outcome& outcome_;
  ScopedKey key_;
  StepMarker step_{"0"};
};

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

std::optional<Stop> WriteRegistration(Registry& system, Reporter& boxes, bool is_64_bit_system,
                                      Outcome& outcome, bool user_state_recorded) {
  RegistrationPhase phase(system, boxes, outcome);
  const std::vector<RegistrationEntry> main =
      user_state_recorded ? MainRegistration() : WithoutUserRows(outcome);
  if (!is_64_bit_system) return phase.Run({&main});
  const std::vector<RegistrationEntry> mirror = Wow64Registration();
  return phase.Run({&main, &mirror});
}

std::optional<Stop> WriteRegistrationRows(Registry& system, Reporter& boxes,
                                          const std::vector<RegistrationEntry>& entries,
                                          Outcome& outcome) {
  return RegistrationPhase(system, boxes, outcome).Run({&entries});
}

}  // namespace movrix
