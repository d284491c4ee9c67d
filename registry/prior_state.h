// The registry as it was before the first installation: the state of every key and value a list
// of registration entries touches, recorded once before the first of them is written, and put
// back by the way back. One record format and one restore serve the machine, whose record is a
// file that only administrators can write, and each user, whose record lives in their own hive.
#pragma once

#include <string>
#include <vector>

#include "common/restore_report.h"
#include "platform/system.h"
#include "registry/registration_table.h"

namespace movrix {

// Every entry the registration writes on this system outside the users' own hives: the main
// blocks without their HKEY_CURRENT_USER rows, and on a 64-bit system their 32-bit mirror. Each
// user's rows have a record of their own, in their hive: restored into another user's hive, the
// installing user's state would overwrite theirs.
std::vector<RegistrationEntry> MachineRegistration(bool is_64_bit);

// The HKEY_CURRENT_USER rows of the registration, in write order: what each user needs in their
// own hive for Windows Mail to be their mail and news client.
std::vector<RegistrationEntry> CurrentUserRegistration();

// Where one record is kept. A record is kept whole or not at all, so that a run stopped half-way
// never leaves a partial record that a later run would take for the state before the installation.
class PriorStateStore {
 public:
  virtual ~PriorStateStore() = default;
  // How failures name the record.
  virtual std::string Name() const = 0;
  // True when a record is kept.
  virtual bool Exists() = 0;
  // The record's text. Throws SystemError when it cannot be read.
  virtual std::string Read() = 0;
  // Keeps `text` as the record, whole or not at all. Throws SystemError when it cannot.
  virtual void Write(const std::string& text) = 0;
};

// The machine's record: the file at `path`, written under a passing name and then renamed.
class PriorStateFile : public PriorStateStore {
 public:
  PriorStateFile(System& system, std::string path) : system_(system), path_(std::move(path)) {}
  std::string Name() const override { return path_; }
  bool Exists() override;
  std::string Read() override;
  void Write(const std::string& text) override;

 private:
  System& system_;
  std::string path_;
};

// The current user's record: one binary value of a key of their own hive, which a single write
// sets whole.
class UserPriorStateKey : public PriorStateStore {
 public:
  static constexpr const char* kKey = "Software\\Movrix18\\Etat avant installation";
  static constexpr const char* kParentKey = "Software\\Movrix18";
  static constexpr const char* kValue = "registre";

  explicit UserPriorStateKey(System& system) : system_(system) {}
  std::string Name() const override;
  bool Exists() override;
  std::string Read() override;
  void Write(const std::string& text) override;
  // Deletes the record, its key, and the parent key when nothing else is left in it. Throws
  // SystemError when the record or its key cannot be deleted.
  void Remove();

 private:
  System& system_;
};

// Records in `store`, unless it holds a record already (which describes the state before the first
// installation), whether each key of `entries` and each of its parent keys exists, and the type
// and data of each value of `entries` that exists. Throws SystemError when a key or value cannot
// be read or the record cannot be kept; the entries must not be written then.
void RecordPriorState(System& system, const std::vector<RegistrationEntry>& entries,
                      PriorStateStore& store);

// Puts back the state the record in `store` holds: each value that existed gets its type and data
// again, each that did not is deleted, then each key that did not exist is deleted when it is
// empty, children before parents. Keys that existed stay. Each thing that cannot be put back, the
// record itself included, is named in `report`, and the rest goes on. False, changing nothing,
// when `store` holds no record.
bool RestorePriorState(System& system, PriorStateStore& store, RestoreReport& report);

}  // namespace movrix
