#include "files/file_record.h"

#include "common/sealed_record.h"
#include "common/sha256.h"
#include "common/text.h"
#include "files/backup.h"
#include "files/file_exists.h"
#include "files/native_files.h"
#include "files/rename_mail_folders.h"
#include "files/restart_moves.h"
#include "files/system_file_table.h"

namespace movrix {
namespace {

constexpr const char* kRecordKind = "fichiers installés";
constexpr char kSeparator = '\t';
// Small enough for the stack and the processor's cache, large enough that the calls cost little.
constexpr size_t kReadBlockSize = 64 * 1024;

// The fields of a line, split at each tab.
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t tab = line.find(kSeparator); tab != std::string::npos;
       start = tab + 1, tab = line.find(kSeparator, start))
    fields.push_back(line.substr(start, tab - start));
  fields.push_back(line.substr(start));
  return fields;
}

bool IsNumber(const std::string& text) {
  return !text.empty() && text.size() < 19 &&
         text.find_first_not_of("0123456789") == std::string::npos;
}

// True when `relative`, a path inside a tree, names nothing or climbs out of it: "." and ".."
// parts, empty parts and the other separator the system accepts.
bool ClimbsOut(const std::string& relative) {
  const std::string framed = "\\" + relative + "\\";
  return relative.empty() || Contains(relative, "/") || Contains(framed, "\\.\\") ||
         Contains(framed, "\\..\\") || Contains(framed, "\\\\");
}

// What the rows of a record may name: this system's system files and their folders, and the files
// of its program trees. A row naming anything else was not written by the installation, and would
// have the way back delete or restore what is not ours.
struct OwnFiles {
  std::set<std::string> system_files;
  std::set<std::string> folders;
  std::vector<std::string> trees;  // each ending in a backslash

  bool InTree(const std::string& path) const {
    for (const std::string& tree : trees)
      if (path.compare(0, tree.size(), tree) == 0 && !ClimbsOut(path.substr(tree.size())))
        return true;
    return false;
  }
};

std::string FolderOfFile(const std::string& path) {
  return path.substr(0, path.find_last_of('\\'));
}

OwnFiles OwnFilesOf(const RunState& state, bool is_64_bit) {
  OwnFiles own;
  for (const std::string& file : SystemFiles(state, is_64_bit)) {
    own.system_files.insert(file);
    own.folders.insert(FolderOfFile(file));
  }
  own.trees.push_back(state.program_files_folder + kMailFolder + "\\");
  if (is_64_bit) own.trees.push_back(state.program_files_x86_folder + kMailFolder + "\\");
  return own;
}

// Adds one line to `record`; false for a line no record of ours holds.
bool Take(const std::vector<std::string>& fields, const OwnFiles& own, FileRecord& record) {
  const std::string& kind = fields[0];
  const std::string& path = fields.back();
  const bool system_file = own.system_files.count(path) > 0;
  if (fields.size() == 2 && kind == "absent" && system_file)
    return record.absent.insert(path).second;
  if (fields.size() == 2 && kind == "vide" && system_file) return record.empty.insert(path).second;
  if (fields.size() == 2 && kind == "dossier" && own.folders.count(path)) {
    record.created_folders.push_back(path);
    return true;
  }
  if (fields.size() != 4 || kind != "fichier" || !IsNumber(fields[1]) || fields[2].size() != 64 ||
      !(system_file || own.InTree(path)))
    return false;
  record.written[path] = {std::stoll(fields[1]), fields[2]};
  return true;
}

// The size and SHA-256 of the file at `path`, hashed block by block as one handle reads it: a
// whole program file held in memory would cost more than reading and hashing it.
WrittenFile Facts(FileSystem& system, const std::string& path) {
  const std::unique_ptr<ReadableFile> file = system.OpenToRead(path);
  Sha256 digest;
  WrittenFile facts;
  char block[kReadBlockSize];
  for (size_t read = file->Read(block, sizeof block); read > 0;
       read = file->Read(block, sizeof block)) {
    digest.Add(block, read);
    facts.size += int64_t(read);
  }
  facts.sha256 = digest.Hex();
  return facts;
}

bool Listed(const std::vector<std::string>& list, const std::string& item) {
  for (const std::string& listed : list)
    if (listed == item) return true;
  return false;
}

// Calls `visit` with the path of every file below `folder` (no final backslash); links are
// neither followed nor visited, as the installation's copy neither follows nor copies them.
template <typename Visit>
void ForEachTreeFile(FileSystem& system, const std::string& folder, const Visit& visit) {
  FindData data;
  std::unique_ptr<FileSearch> search = system.FindFirst(folder + "\\*", data);
  for (bool more = search != nullptr; more; more = search->Next(data)) {
    const std::string path = folder + "\\" + data.name;
    if (data.name == "." || data.name == ".." || (data.attributes & kAttributeReparsePoint))
      continue;
    if (data.attributes & kAttributeDirectory)
      ForEachTreeFile(system, path, visit);
    else
      visit(path);
  }
}

// Notes every file below `folder` (no final backslash).
void NoteTree(FileSystem& system, const std::string& folder, FileRecord& record) {
  ForEachTreeFile(system, folder,
                  [&](const std::string& path) { record.written[path] = Facts(system, path); });
}

// True when the record holds a file below `folder` (no final backslash): an older build's record
// holds none, and cannot tell an installed folder from another.
bool KnowsTree(const FileRecord& record, const std::string& folder) {
  const std::string prefix = folder + "\\";
  const auto first = record.written.lower_bound(prefix);
  return first != record.written.end() && first->first.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::optional<FileRecord> ReadFileRecord(FileSystem& system, const std::string& path,
                                         const RunState& state, bool is_64_bit) {
  if (!PathExists(system, path)) return FileRecord();
  const std::optional<std::vector<std::string>> lines =
      UnsealRecord(kRecordKind, system.ReadWholeFile(path));
  if (!lines) return std::nullopt;
  const OwnFiles own = OwnFilesOf(state, is_64_bit);
  FileRecord record;
  for (const std::string& line : *lines) {
    if (!Take(Fields(line), own, record)) return std::nullopt;
  }
  return record;
}

void WriteFileRecord(FileSystem& system, const std::string& path, const FileRecord& record) {
  std::vector<std::string> lines;
  for (const std::string& folder : record.created_folders) lines.push_back("dossier\t" + folder);
  for (const std::string& file : record.absent) lines.push_back("absent\t" + file);
  for (const std::string& file : record.empty) lines.push_back("vide\t" + file);
  for (const auto& [file, facts] : record.written) {
    lines.push_back("fichier\t" + std::to_string(facts.size) + "\t" + facts.sha256 + "\t" + file);
  }
  WriteRecordFile(system, path, SealRecord(kRecordKind, lines));
}

void NoteSystemFilesBefore(FileSystem& system, Environment& process, const RunState& state,
                           bool is_64_bit, FileRecord& record) {
  NativeFiles native(system, process);
  for (const std::string& file : SystemFiles(state, is_64_bit)) {
    const std::string folder = FolderOfFile(file);
    // A folder a way back created and left for the restart to delete is still one it created.
    const bool created = !FolderExists(native, folder) || DeletedAtRestart(native, folder);
    if (created && !Listed(record.created_folders, folder))
      record.created_folders.push_back(folder);
    // A backup or a note of an earlier installation says what was there before it.
    if (record.Added(file) || PathExists(native, file + kBackupSuffix)) continue;
    const int64_t attributes = native.PathAttributes(file);
    if (attributes < 0)
      record.absent.insert(file);
    else if (native.FileLength(file) == 0)
      record.empty.insert(file);
  }
}

void NoteWrittenFiles(FileSystem& system, Environment& process, const RunState& state,
                      bool is_64_bit, FileRecord& record) {
  NoteTree(system, state.program_files_folder + kMailFolder, record);
  if (is_64_bit) NoteTree(system, state.program_files_x86_folder + kMailFolder, record);
  if (!state.identity.CompletedBySystemFiles()) return;
  NativeFiles native(system, process);
  for (const std::string& file : SystemFiles(state, is_64_bit)) {
    if (PathExists(native, file)) record.written[file] = Facts(native, file);
  }
}

bool HoldsWhatWasWritten(FileSystem& system, const FileRecord& record, const std::string& path) {
  const auto written = record.written.find(path);
  if (written == record.written.end()) return true;
  if (!PathExists(system, path)) return false;
  const WrittenFile now = Facts(system, path);
  return now.size == written->second.size && now.sha256 == written->second.sha256;
}

std::vector<std::string> TreeDifferences(FileSystem& system, const FileRecord& record,
                                         const std::string& folder) {
  std::vector<std::string> differences;
  if (!KnowsTree(record, folder)) return differences;
  ForEachTreeFile(system, folder, [&](const std::string& path) {
    if (!record.written.count(path))
      differences.push_back("non installé : " + path);
    else if (!HoldsWhatWasWritten(system, record, path))
      differences.push_back("modifié : " + path);
  });
  return differences;
}

std::vector<std::string> FileDifferences(FileSystem& system, Environment& process,
                                         const FileRecord& record) {
  NativeFiles native(system, process);
  std::vector<std::string> differences;
  for (const auto& [path, facts] : record.written) {
    // A file that cannot be read is not known to hold what was written; the others still count.
    try {
      if (!PathExists(native, path))
        differences.push_back("manquant : " + path);
      else if (!HoldsWhatWasWritten(native, record, path))
        differences.push_back("modifié : " + path);
    } catch (const SystemError& failure) {
      differences.push_back("illisible : " + path + " : " + failure.what());
    }
  }
  return differences;
}

}  // namespace movrix
