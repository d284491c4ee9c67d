#include "registry/prior_state.h"

#include <map>
#include <optional>
#include <set>
#include <utility>

#include "common/guard.h"
#include "common/scoped_key.h"
#include "common/sealed_record.h"
#include "common/text.h"
#include "registry/event_source.h"
#include "registry/key_io.h"

namespace movrix {
namespace {

constexpr char kKeyLine = 'K';
constexpr char kValueLine = 'V';
constexpr char kSeparator = '\t';
constexpr const char* kPriorKind = "etat du registre avant installation";
constexpr const char* kWrittenKind = "valeurs ecrites par l'installation";

struct KeyRef {
  KeyHandle root;
  std::string path;
};

std::string KeyName(const KeyRef& key) {
  return movrix::KeyName(key.root, key.path);
}

// A decimal number of at most 32 bits; nullopt for anything else.
std::optional<uint32_t> Number(const std::string& text) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != text.npos)
    return std::nullopt;
  const unsigned long long value = std::stoull(text);
  if (value > 0xFFFFFFFFull) return std::nullopt;
  return uint32_t(value);
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
  OpenedKey(Registry& system, const KeyRef& key, uint32_t access, bool create = false)
      : ScopedKey(system) {
    status_ = create ? system.CreateRegKey(key.root, key.path, access, Receive())
                     : system.OpenRegKey(key.root, key.path, access, Receive());
  }

  int32_t status() const { return status_; }
  KeyHandle handle() const { return get(); }

 private:
  int32_t status_;
};

// Throws the system's description of `status` for `what`.
[[noreturn]] void ThrowStatus(Registry& system, const std::string& what, int32_t status) {
  throw SystemError(what + " : " + system.ErrorText(uint32_t(status)), uint32_t(status));
}

// The keys of `entries`, each after its parent keys, each once: a child always comes after its
// parent, so the reverse order visits children first.
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

}  // namespace

// One line of a record: a key and whether it exists, or a row's value (named with the root, key,
// name and type of its row) and whether it exists, with its type and data when it does.
struct RegistryWayBack::Line {
  char kind = kValueLine;
  KeyRef key{kNoKey, ""};
  std::string name;
  uint32_t row_type = 0;
  bool exists = false;
  uint32_t type = 0;
  std::string data;

  std::string Where() const { return KeyName(key) + (kind == kValueLine ? "\\" + name : ""); }

  std::string Text() const {
    std::string text = std::string(1, kind) + kSeparator + std::to_string(uint32_t(key.root)) +
                       kSeparator + HexOf(key.path) + kSeparator;
    if (kind == kValueLine)
      text += HexOf(name) + kSeparator + std::to_string(row_type) + kSeparator;
    text += exists ? "1" : "0";
    if (kind == kValueLine && exists)
      text += kSeparator + std::to_string(type) + kSeparator + HexOf(data);
    return text;
  }

  // What the line is about, without the state it records: two lines of one record never share it.
  std::string Identity() const {
    Line bare = *this;
    bare.exists = false;
    return bare.Text();
  }

  bool SameState(const Line& other) const {
    return exists == other.exists && (!exists || (type == other.type && data == other.data));
  }

  // The line `text` holds; nullopt unless it is exactly as Text() writes it.
  static std::optional<Line> Parse(const std::string& text) {
    const std::vector<std::string> fields = Fields(text);
    if (fields.size() < 4 || fields[0].size() != 1) return std::nullopt;
    Line line;
    line.kind = fields[0][0];
    const bool is_value = line.kind == kValueLine;
    const size_t state = is_value ? 5 : 3;
    const std::optional<uint32_t> root = Number(fields[1]);
    const std::optional<std::string> path = BytesOfHex(fields[2]);
    if (!root || !path || fields.size() <= state) return std::nullopt;
    line.key = {KeyHandle{*root}, *path};
    line.exists = fields[state] == "1";
    if (is_value) {
      const std::optional<std::string> name = BytesOfHex(fields[3]);
      const std::optional<uint32_t> row_type = Number(fields[4]);
      if (!name || !row_type) return std::nullopt;
      line.name = *name;
      line.row_type = *row_type;
    }
    if (is_value && line.exists && fields.size() == 8) {
      const std::optional<uint32_t> type = Number(fields[6]);
      const std::optional<std::string> data = BytesOfHex(fields[7]);
      if (!type || !data) return std::nullopt;
      line.type = *type;
      line.data = *data;
    }
    if (line.Text() != text) return std::nullopt;
    return line;
  }
};

namespace {

using Line = RegistryWayBack::Line;

Line KeyLineOf(const KeyRef& key) {
  Line line;
  line.kind = kKeyLine;
  line.key = key;
  return line;
}

Line ValueLineOf(const RegistrationEntry& entry) {
  Line line;
  line.key = {entry.root, entry.key};
  line.name = entry.name;
  line.row_type = entry.type;
  return line;
}

// The lines a record of `entries` may hold: each key and parent key when `with_keys`, then each
// value.
std::vector<Line> LinesOf(const std::vector<RegistrationEntry>& entries, bool with_keys) {
  std::vector<Line> lines;
  if (with_keys)
    for (const KeyRef& key : KeysOf(entries)) lines.push_back(KeyLineOf(key));
  for (const RegistrationEntry& entry : entries)
    if (!entry.key_only) lines.push_back(ValueLineOf(entry));
  return lines;
}

// Fills the state `line` names as the registry holds it now, only reading. Returns the system's
// status: kErrorSuccess whether or not the key or value exists.
int32_t ReadState(Registry& system, Line& line) {
  OpenedKey key(system, line.key, kKeyReadAccess);
  line.exists = key.status() == kErrorSuccess;
  if (key.status() == kErrorFileNotFound) return kErrorSuccess;
  if (key.status() != kErrorSuccess || line.kind == kKeyLine) return key.status();
  const int32_t status = ReadKeyValue(system, key.handle(), line.name, line.type, line.data);
  line.exists = status == kErrorSuccess;
  return status == kErrorFileNotFound ? kErrorSuccess : status;
}

// The sealed record of the state of `lines` as the registry holds it now.
std::string StateRecord(Registry& system, const char* kind, std::vector<Line> lines) {
  std::vector<std::string> texts;
  for (Line& line : lines) {
    const int32_t status = ReadState(system, line);
    if (status != kErrorSuccess) ThrowStatus(system, line.Where(), status);
    texts.push_back(line.Text());
  }
  return SealRecord(kind, texts);
}

// Puts one value back as it was; true when it is.
bool RestoreValue(Registry& system, const Line& line, RestoreReport& report) {
  OpenedKey key(system, line.key, kKeyAccess, line.exists);
  int32_t status = key.status();
  if (!line.exists && status == kErrorFileNotFound) return true;
  if (status == kErrorSuccess) {
    status = line.exists ? system.SetRegValue(key.handle(), line.name, line.type, line.data,
                                              uint32_t(line.data.size()))
                         : system.DeleteRegValue(key.handle(), line.name);
  }
  if (status == kErrorSuccess || (!line.exists && status == kErrorFileNotFound)) return true;
  report.Fail(line.exists ? "valeur non rétablie" : "valeur non supprimée", line.Where(),
              system.ErrorText(uint32_t(status)));
  return false;
}

// Deletes the key `ref` when nothing is left in it; a key that something else has filled since
// stays. The system's status: kErrorSuccess when the key is gone, was gone already, or stays
// because it is not empty.
int32_t DeleteIfEmpty(Registry& system, const KeyRef& ref) {
  {
    OpenedKey key(system, ref, kKeyReadAccess);
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
void RemoveCreatedKey(Registry& system, const KeyRef& ref, RestoreReport& report) {
  const int32_t status = DeleteIfEmpty(system, ref);
  if (status != kErrorSuccess)
    report.Fail("clé non supprimée", KeyName(ref), system.ErrorText(uint32_t(status)));
}

// The lines of the record `text` of `kind`, each one of `allowed` and none twice; nullopt, named
// in `report`, for a damaged record or one that names anything else.
std::optional<std::vector<Line>> CheckedLines(const std::string& kind, const std::string& text,
                                              const std::vector<Line>& allowed,
                                              const std::string& name, RestoreReport& report) {
  const std::optional<std::vector<std::string>> texts = UnsealRecord(kind, text);
  if (!texts) {
    report.Fail("enregistrement endommagé, rien n'en est rétabli", name, "");
    return std::nullopt;
  }
  std::set<std::string> unused;
  for (const Line& line : allowed) unused.insert(line.Identity());
  std::vector<Line> lines;
  for (const std::string& line_text : *texts) {
    const std::optional<Line> line = Line::Parse(line_text);
    if (!line || !unused.erase(line->Identity())) {
      report.Fail("enregistrement refusé, rien n'en est rétabli", name,
                  "il nomme ce qui n'est pas une ligne de sa liste : " +
                      (line ? line->Where() : line_text.substr(0, 80)));
      return std::nullopt;
    }
    lines.push_back(*line);
  }
  return lines;
}

const KeyRef kUserRecordKey{kCurrentUser, UserPriorStateKey::kKey};

}  // namespace

std::vector<RegistrationEntry> MachineRegistration(const SystemIdentity& system,
                                                   const std::string& program) {
  std::vector<RegistrationEntry> entries;
  if (system.CompletedBySystemFiles()) {
    for (const RegistrationEntry& row : MainRegistration())
      if (row.root != kCurrentUser) entries.push_back(row);
  }
  if (system.CompletedBySystemFiles() && system.is_64_bit) {
    std::vector<RegistrationEntry> mirror = Wow64Registration();
    entries.insert(entries.end(), mirror.begin(), mirror.end());
  }
  std::vector<RegistrationEntry> source = EventSourceRegistration(program);
  entries.insert(entries.end(), source.begin(), source.end());
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
  WriteRecordFile(system_, path_, text);
}

std::string UserPriorStateKey::Name() const {
  return KeyName(kUserRecordKey) + "\\" + value_;
}

bool UserPriorStateKey::Exists() {
  OpenedKey key(system_, kUserRecordKey, kKeyReadAccess);
  uint32_t type = 0, size = 0;
  int32_t status = key.status();
  if (status == kErrorSuccess)
    status = system_.QueryRegValue(key.handle(), value_, type, nullptr, size);
  if (status != kErrorSuccess && status != kErrorFileNotFound) ThrowStatus(system_, Name(), status);
  return status == kErrorSuccess;
}

std::string UserPriorStateKey::Read() {
  OpenedKey key(system_, kUserRecordKey, kKeyReadAccess);
  uint32_t type = 0;
  std::string text;
  int32_t status = key.status();
  if (status == kErrorSuccess) status = ReadKeyValue(system_, key.handle(), value_, type, text);
  if (status != kErrorSuccess) ThrowStatus(system_, Name(), status);
  return text;
}

void UserPriorStateKey::Write(const std::string& text) {
  OpenedKey key(system_, kUserRecordKey, kKeyAccess, true);
  int32_t status = key.status();
  if (status == kErrorSuccess)
    status = system_.SetRegValue(key.handle(), value_, kRegBinary, text, uint32_t(text.size()));
  if (status != kErrorSuccess) ThrowStatus(system_, Name(), status);
}

void UserPriorStateKey::Remove() {
  const int32_t status = system_.DeleteRegKey(kCurrentUser, kKey, kKeyAccess);
  if (status != kErrorSuccess && status != kErrorFileNotFound)
    ThrowStatus(system_, KeyName(kUserRecordKey), status);
  RemoveEmptyParent();
}

void UserPriorStateKey::RemoveEmptyParent() {
  const int32_t status = DeleteIfEmpty(system_, {kCurrentUser, kParentKey});
  if (status != kErrorSuccess) ThrowStatus(system_, KeyName({kCurrentUser, kParentKey}), status);
}

void RecordPriorState(Registry& system, const std::vector<RegistrationEntry>& entries,
                      PriorStateStore& prior) {
  if (!prior.Exists()) prior.Write(StateRecord(system, kPriorKind, LinesOf(entries, true)));
}

void RecordWrittenState(Registry& system, const std::vector<RegistrationEntry>& entries,
                        PriorStateStore& written) {
  written.Write(StateRecord(system, kWrittenKind, LinesOf(entries, false)));
}

void RecordStateToWrite(Registry& system, const std::vector<RegistrationEntry>& entries,
                        PriorStateStore& written) {
  std::vector<std::string> texts;
  for (const RegistrationEntry& entry : entries) {
    if (entry.key_only) continue;
    Line line = ValueLineOf(entry);
    try {
      line.data = StoredData(entry.type, entry.value);
      line.exists = entry.type <= kRegDword;
      line.type = entry.type;
    } catch (const DataError&) {
      // A datum its type cannot store is refused by the registration too, which writes nothing.
    }
    if (!line.exists) {
      const int32_t status = ReadState(system, line);
      if (status != kErrorSuccess) ThrowStatus(system, line.Where(), status);
    }
    texts.push_back(line.Text());
  }
  written.Write(SealRecord(kWrittenKind, texts));
}

RegistryWayBack::RegistryWayBack(Registry& system, std::vector<RegistrationEntry> entries,
                                 PriorStateStore& prior, PriorStateStore& written)
    : system_(system), entries_(std::move(entries)), prior_(prior), written_(written) {}

RegistryWayBack::~RegistryWayBack() = default;

RegistryWayBack::Records RegistryWayBack::Load(RestoreReport& report) {
  records_ = Checked(report);
  return records_;
}

RegistryWayBack::Records RegistryWayBack::Checked(RestoreReport& report) {
  prior_lines_.clear();
  written_lines_.clear();
  try {
    // What the registration will write is recorded after the prior state and before the first
    // value, and only ever replaced whole: without it, nothing was written.
    if (!written_.Exists()) return Records::kNone;
    if (!prior_.Exists()) {
      report.Fail("aucun enregistrement de l'état d'origine", prior_.Name(), "");
      return Records::kRefused;
    }
    auto prior =
        CheckedLines(kPriorKind, prior_.Read(), LinesOf(entries_, true), prior_.Name(), report);
    if (!prior) return Records::kRefused;
    auto written = CheckedLines(kWrittenKind, written_.Read(), LinesOf(entries_, false),
                                written_.Name(), report);
    if (!written) return Records::kRefused;
    prior_lines_ = std::move(*prior);
    written_lines_ = std::move(*written);
    return Records::kChecked;
  } catch (const SystemError& failure) {
    report.Fail("enregistrement non lu", prior_.Name(), failure.what());
    return Records::kRefused;
  }
}

void RegistryWayBack::Restore(RestoreReport& report) {
  if (records_ != Records::kChecked) return;
  std::map<std::string, const Line*> written;
  for (const Line& line : written_lines_) written[line.Identity()] = &line;
  int values = 0;
  for (const Line& line : prior_lines_) {
    if (line.kind != kValueLine) continue;
    Line now = line;
    const int32_t status = ReadState(system_, now);
    if (status != kErrorSuccess) {
      report.Fail("valeur non lue", line.Where(), system_.ErrorText(uint32_t(status)));
      continue;
    }
    // Already as it was: nothing to write, even into a key that may not be changed.
    if (now.SameState(line)) {
      ++values;
      continue;
    }
    const auto wrote = written.find(line.Identity());
    if (wrote == written.end() || !now.SameState(*wrote->second)) {
      report.outcome().warnings.push_back(
          "valeur laissée telle quelle, changée depuis l'installation : " + line.Where());
      continue;
    }
    if (RestoreValue(system_, line, report)) ++values;
  }
  for (auto line = prior_lines_.rbegin(); line != prior_lines_.rend(); ++line) {
    if (line->kind == kKeyLine && !line->exists) RemoveCreatedKey(system_, line->key, report);
  }
  report.Done("Base de registre : " + std::to_string(values) +
              " valeur(s) remise(s) dans leur état d'origine");
}

std::vector<std::string> RegistryWayBack::ChangedSinceRegistration() {
  std::vector<std::string> changed;
  for (const Line& line : written_lines_) {
    Line now = line;
    const int32_t status = ReadState(system_, now);
    if (status != kErrorSuccess)
      changed.push_back(line.Where() + " : " + system_.ErrorText(uint32_t(status)));
    else if (!now.SameState(line))
      changed.push_back(line.Where() + (now.exists ? " : changée" : " : supprimée"));
  }
  return changed;
}

}  // namespace movrix
