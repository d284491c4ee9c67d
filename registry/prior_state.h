// The registry as it was before the first installation, and as the registration left it: two
// records of the keys and values a list of registration entries touches. The first is taken once,
// before the first write; the second after each registration. The way back puts back, from both,
// only what still holds what the registration wrote. One record format and one restore serve the
// machine, whose records are files that only administrators can write, and each user, whose
// records live in their own hive. Every record is sealed (common/sealed_record.h) and names only
// the rows of its own list: anything else is refused whole and nothing is restored from it.
#pragma once

#include <string>
#include <vector>

#include "common/restore_report.h"
#include "platform/system.h"
#include "registry/registration_table.h"

namespace movrix {

// Every entry the installation writes on `system` outside the users' own hives: where it
// registers, the main blocks without their HKEY_CURRENT_USER rows, and on a 64-bit system their
// 32-bit mirror; everywhere, the event source whose message file is the kept `program`. Each
// user's rows have records of their own, in their hive: restored into another user's hive, the
// installing user's state would overwrite theirs.
std::vector<RegistrationEntry> MachineRegistration(const SystemIdentity& system,
                                                   const std::string& program);

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
  // A record that is not kept is the first installation's to take, never a damaged one.
  virtual bool Exists() = 0;
  // The record's text. Throws SystemError when it cannot be read.
  virtual std::string Read() = 0;
  // Keeps `text` as the record, whole or not at all. Throws SystemError when it cannot.
  virtual void Write(const std::string& text) = 0;
};

// A machine record: the file at `path`, written under a passing name, flushed, then renamed.
class PriorStateFile : public PriorStateStore {
 public:
  PriorStateFile(FileSystem& system, std::string path) : system_(system), path_(std::move(path)) {}
  std::string Name() const override { return path_; }
  bool Exists() override;
  std::string Read() override;
  void Write(const std::string& text) override;

 private:
  FileSystem& system_;
  std::string path_;
};

// One record of the current user: a binary value of a key of their own hive, which a single write
// sets whole. The value `kValue` holds the state before the installation, `kWrittenValue` what the
// registration wrote.
class UserPriorStateKey : public PriorStateStore {
 public:
  static constexpr const char* kKey = "Software\\Movrix18\\Etat avant installation";
  static constexpr const char* kParentKey = "Software\\Movrix18";
  static constexpr const char* kValue = "registre";
  static constexpr const char* kWrittenValue = "registre installe";

  explicit UserPriorStateKey(Registry& system, const char* value = kValue)
      : system_(system), value_(value) {}
  std::string Name() const override;
  bool Exists() override;
  std::string Read() override;
  void Write(const std::string& text) override;
  // Deletes the user's records, their key, and the parent key when nothing else is left in it.
  // Throws SystemError when a record or its key cannot be deleted.
  void Remove();

 private:
  // Deletes the parent key when nothing else is left in it. Throws SystemError when it cannot.
  void RemoveEmptyParent();

  Registry& system_;
  const char* value_;
};

// Records in `prior`, unless it holds a record already (which describes the state before the first
// installation), whether each key of `entries` and each of its parent keys exists, and the type
// and data of each value of `entries` that exists. Keys are only read, so that a key that
// administrators may not change costs only its own rows. Throws SystemError when a key or value
// cannot be read or the record cannot be kept; the entries must not be written then.
void RecordPriorState(Registry& system, const std::vector<RegistrationEntry>& entries,
                      PriorStateStore& prior);

// Records in `written`, replacing any earlier record, the type and data that each value of
// `entries` will hold once the registration has written it, before it writes anything: an
// installation stopped anywhere in the registration then leaves both records for the way back. A
// value whose row writes nothing is recorded as it is now. Throws SystemError when a value cannot
// be read or the record cannot be kept.
void RecordStateToWrite(Registry& system, const std::vector<RegistrationEntry>& entries,
                        PriorStateStore& written);

// Records in `written`, replacing any earlier record, the type and data that each value of
// `entries` holds now that the registration has written it. Throws SystemError when a value cannot
// be read or the record cannot be kept.
void RecordWrittenState(Registry& system, const std::vector<RegistrationEntry>& entries,
                        PriorStateStore& written);

// The way back of one list of entries, from its two records.
class RegistryWayBack {
 public:
  enum class Records {
    kNone,     // nothing was registered: no record of what the registration writes is kept
    kRefused,  // a record is missing, damaged or names what is not a row of the list
    kChecked,  // both records are whole and name only rows of the list
  };

  struct Line;

  RegistryWayBack(Registry& system, std::vector<RegistrationEntry> entries, PriorStateStore& prior,
                  PriorStateStore& written);
  ~RegistryWayBack();

  // Reads and checks both records, changing nothing. A refused record is named in `report`.
  Records Load(RestoreReport& report);
  // What the last Load() found.
  Records records() const { return records_; }
  // Only once Load() has checked both records: puts each value that still holds what the
  // registration wrote back as it was before the first installation (deleting it when it did not
  // exist), then deletes each key that did not exist once it is empty, children before parents. A
  // value that something else changed since stays as it is, with a warning; what cannot be put back
  // is named in `report`, and the rest goes on.
  void Restore(RestoreReport& report);
  // Once Load() has checked both records, changing nothing: one line for each value that no longer
  // holds what the registration wrote, naming it and what it holds now.
  std::vector<std::string> ChangedSinceRegistration();

 private:
  Records Checked(RestoreReport& report);

  Registry& system_;
  std::vector<RegistrationEntry> entries_;
  PriorStateStore& prior_;
  PriorStateStore& written_;
  Records records_ = Records::kNone;
  std::vector<Line> prior_lines_, written_lines_;
};

}  // namespace movrix
