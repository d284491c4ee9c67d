// The stand-in's file system: Windows paths mapped to folders under a root, with the system's
// case-insensitive names, its errors and the WOW64 redirection of a 32-bit program.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/host/host_system.h"

namespace fs = std::filesystem;

namespace movrix {

struct HostFileState {
  fs::path root;
  // The thread's WOW64 redirection; only the one thread of the program exists.
  bool redirection_disabled = false;
};

HostFileState* NewHostFileState(const fs::path& root) {
  fs::create_directories(root);
  return new HostFileState{root};
}

void DeleteHostFileState(HostFileState* state) {
  delete state;
}

namespace {

// The values the system hands back when switching redirection off: the previous state.
constexpr Wow64Value kWasEnabled = 0;
constexpr Wow64Value kWasDisabled = 1;

// The shell copy's results: success, a missing source, a destination it cannot write to.
constexpr int kShellSourceMissing = 2;
constexpr int kShellDestinationUnusable = 3;
constexpr int kShellSuccess = 0;

constexpr uint32_t kAttributeArchive = 0x20;

[[noreturn]] void ThrowFileNotFound() {
  throw SystemError("Le fichier spécifié est introuvable.", 2);
}
[[noreturn]] void ThrowPathNotFound() {
  throw SystemError("Le chemin d'accès spécifié est introuvable.", 3);
}
[[noreturn]] void ThrowAccessDenied() {
  throw SystemError("Accès refusé.", 5);
}
constexpr uint32_t kErrorInvalidName = 123;

[[noreturn]] void ThrowInvalidName() {
  throw SystemError("La syntaxe du nom de fichier, de répertoire ou de volume est incorrecte.",
                    kErrorInvalidName);
}
[[noreturn]] void ThrowAlreadyExists() {
  throw SystemError("Impossible de créer un fichier déjà existant.", 183);
}
[[noreturn]] void ThrowNetworkPathNotFound() {
  throw SystemError("Le chemin réseau n'a pas été trouvé.", 53);
}

// A Windows path taken apart: its drive letter (upper case) and its names.
struct WindowsPath {
  char drive = 'C';
  std::vector<std::string> names;
};

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool IsDriveSpec(const std::string& text) {
  return text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':';
}

// Characters the system refuses in names (wildcards belong to search patterns only).
bool IsValidName(const std::string& name) {
  for (unsigned char c : name)
    if (c < 32 || std::string("<>:\"|?*").find(char(c)) != std::string::npos) return false;
  return true;
}

// Applies the names of `text` to `path`: ".." climbs, "." stays, and trailing dots and spaces are
// dropped as the system drops them.
void AppendNames(WindowsPath& path, const std::string& text) {
  std::string name;
  auto flush = [&] {
    if (name == "..") {
      if (!path.names.empty()) path.names.pop_back();
    } else if (name != ".") {
      while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
      if (!name.empty()) {
        if (!IsValidName(name)) ThrowInvalidName();
        path.names.push_back(name);
      }
    }
    name.clear();
  };
  for (char c : text) {
    if (IsSeparator(c))
      flush();
    else
      name += c;
  }
  flush();
}

// Case folding of the letters the ANSI code page holds, on UTF-8 text (each folded letter keeps
// its byte length), as the system compares names.
std::string Folded(const std::string& name) {
  std::string folded = name;
  for (size_t i = 0; i < folded.size(); ++i) {
    unsigned char c = folded[i];
    unsigned char next = i + 1 < folded.size() ? folded[i + 1] : 0;
    if (c < 0x80) {
      folded[i] = char(std::tolower(c));
    } else if (c == 0xC3 && next >= 0x80 && next <= 0x9E && next != 0x97) {
      folded[++i] = char(next + 0x20);  // À..Þ
    } else if (c == 0xC5 && (next == 0xA0 || next == 0x92 || next == 0xBD)) {
      folded[++i] = char(next + 1);  // Š Œ Ž
    } else if (c == 0xC5 && next == 0xB8) {
      folded[i] = char(0xC3);  // Ÿ
      folded[++i] = char(0xBF);
    }
  }
  return folded;
}

bool SameName(const std::string& a, const std::string& b) {
  return Folded(a) == Folded(b);
}

// The entry of `folder` named `name` whatever its case, or `folder`/`name` as given.
fs::path ExistingOrGiven(const fs::path& folder, const std::string& name) {
  std::error_code error;
  if (fs::is_directory(folder, error)) {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error))
      if (SameName(entry.path().filename().string(), name)) return entry.path();
  }
  return folder / name;
}

fs::file_type TypeOf(const fs::path& path) {
  std::error_code error;
  return fs::status(path, error).type();
}

bool Exists(const fs::path& path) {
  return TypeOf(path) != fs::file_type::not_found;
}
bool IsFolder(const fs::path& path) {
  return TypeOf(path) == fs::file_type::directory;
}

// A missing path is a missing file when its folder exists, a missing path otherwise.
[[noreturn]] void ThrowMissing(const fs::path& path) {
  if (IsFolder(path.parent_path())) ThrowFileNotFound();
  ThrowPathNotFound();
}

// "*" any run of characters, "?" one character, compared as the system compares names.
bool WildcardMatch(const std::string& pattern, const std::string& name) {
  if (pattern.empty()) return name.empty();
  if (pattern[0] == '*')
    return WildcardMatch(pattern.substr(1), name) ||
           (!name.empty() && WildcardMatch(pattern, name.substr(1)));
  if (name.empty()) return false;
  if (pattern[0] != '?' && pattern[0] != name[0]) return false;
  return WildcardMatch(pattern.substr(1), name.substr(1));
}

// A final ".*" also matches names without an extension: "*.*" lists every entry.
bool MatchesPattern(const std::string& pattern, const std::string& name) {
  const std::string p = Folded(pattern), n = Folded(name);
  if (WildcardMatch(p, n)) return true;
  return p.size() >= 2 && p.compare(p.size() - 2, 2, ".*") == 0 &&
         WildcardMatch(p.substr(0, p.size() - 2), n);
}

// The fixed name field: the name, then NULs to the record's length (at least one).
std::string NameField(const std::string& name, size_t ansi_length) {
  return name +
         std::string(ansi_length < kFindNameLength ? kFindNameLength - ansi_length : 1, '\0');
}

class HostSearch : public FileSearch {
 public:
  explicit HostSearch(std::vector<FindData> entries) : entries_(std::move(entries)) {}
  bool Next(FindData& data) override {
    if (next_ >= entries_.size()) return false;
    data = entries_[next_++];
    return true;
  }

 private:
  std::vector<FindData> entries_;
  size_t next_ = 1;  // the first entry was handed out by FindFirst
};

// ---- Paths ----

// Takes a Windows path apart; drive-less paths are relative to the current drive and folder.
WindowsPath ParsePath(const std::string& text, const std::string& current_drive,
                      const std::string& current_folder) {
  if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) ThrowNetworkPathNotFound();
  WindowsPath path;
  std::string rest = text;
  if (IsDriveSpec(text)) {
    path.drive = char(std::toupper(static_cast<unsigned char>(text[0])));
    rest = text.substr(2);
  } else {
    path.drive = char(std::toupper(static_cast<unsigned char>(current_drive[0])));
  }
  const bool rooted = !rest.empty() && IsSeparator(rest[0]);
  if (!rooted && IsDriveSpec(current_folder) &&
      std::toupper(static_cast<unsigned char>(current_folder[0])) == path.drive)
    AppendNames(path, current_folder.substr(2));
  AppendNames(path, rest);
  return path;
}

// The last name of a Windows path.
std::string LastName(const std::string& text) {
  WindowsPath path;
  AppendNames(path, IsDriveSpec(text) ? text.substr(2) : text);
  if (path.names.empty()) ThrowInvalidName();
  return path.names.back();
}

bool StartsWithNames(const WindowsPath& path, const WindowsPath& prefix) {
  if (path.drive != prefix.drive || path.names.size() < prefix.names.size()) return false;
  for (size_t i = 0; i < prefix.names.size(); ++i)
    if (!SameName(path.names[i], prefix.names[i])) return false;
  return true;
}

// Lets the test helpers reach the files as they are, whatever the redirection of the program.
class RedirectionBypass {
 public:
  explicit RedirectionBypass(HostFileState& state)
      : state_(state), saved_(state.redirection_disabled) {
    state_.redirection_disabled = true;
  }
  ~RedirectionBypass() { state_.redirection_disabled = saved_; }
  RedirectionBypass(const RedirectionBypass&) = delete;
  RedirectionBypass& operator=(const RedirectionBypass&) = delete;

 private:
  HostFileState& state_;
  bool saved_;
};

}  // namespace

fs::path HostSystem::HostPath(const std::string& windows_path) const {
  auto current =
      current_folders_.find(char(std::toupper(static_cast<unsigned char>(current_drive_[0]))));
  WindowsPath path = ParsePath(windows_path, current_drive_,
                               current == current_folders_.end() ? "" : current->second);
  const std::string windir = EnvValue("windir");
  if (is64_ && !files_->redirection_disabled && !windir.empty()) {
    // A 32-bit program's system32 is the 32-bit system folder.
    const WindowsPath system32 = ParsePath(windir + "\\system32", current_drive_, "");
    if (StartsWithNames(path, system32)) path.names[system32.names.size() - 1] = "syswow64";
  }
  fs::path host = files_->root / std::string(1, path.drive);
  std::error_code error;
  fs::create_directories(host, error);  // every drive exists
  for (const std::string& name : path.names) host = ExistingOrGiven(host, name);
  return host;
}

void HostSystem::WriteFile(const std::string& windows_path, const std::string& content) {
  RedirectionBypass bypass(*files_);
  const fs::path path = HostPath(windows_path);
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

std::string HostSystem::ReadFile(const std::string& windows_path) const {
  RedirectionBypass bypass(*files_);
  std::ifstream file(HostPath(windows_path), std::ios::binary);
  std::ostringstream content;
  if (file) content << file.rdbuf();
  return content.str();
}

void HostSystem::MakeFolder(const std::string& windows_path) {
  RedirectionBypass bypass(*files_);
  fs::create_directories(HostPath(windows_path));
}

bool HostSystem::Wow64RedirectionDisabled() const {
  return files_->redirection_disabled;
}

// ---- Files and folders ----

int64_t HostSystem::FileLength(const std::string& path) {
  faults_.Check("FileLength", path);
  const fs::path host = HostPath(path);
  switch (TypeOf(host)) {
    case fs::file_type::not_found:
      ThrowMissing(host);
    case fs::file_type::directory:
      return 0;
    default:
      break;
  }
  std::error_code error;
  const uintmax_t length = fs::file_size(host, error);
  if (error) ThrowAccessDenied();
  return static_cast<int64_t>(length);
}

int64_t HostSystem::PathAttributes(const std::string& path) {
  faults_.Check("PathAttributes", path);
  fs::path host;
  try {
    host = HostPath(path);
  } catch (const SystemError& error) {
    if (error.code() == kErrorInvalidName) return -1;  // an invalid name names nothing
    throw;
  }
  switch (TypeOf(host)) {
    case fs::file_type::not_found:
      return -1;
    case fs::file_type::directory:
      return kAttributeDirectory;
    default:
      return kAttributeArchive;
  }
}

std::unique_ptr<FileSearch> HostSystem::FindFirst(const std::string& pattern, FindData& first) {
  faults_.Check("FindFirst", pattern);
  const size_t split = pattern.find_last_of("\\/");
  if (split == std::string::npos) return nullptr;
  const std::string folder = pattern.substr(0, split + 1);
  const std::string wildcard = pattern.substr(split + 1);
  fs::path host;
  try {
    host = HostPath(folder);
  } catch (const SystemError&) {
    return nullptr;
  }
  if (!IsFolder(host)) return nullptr;

  std::vector<FindData> entries;
  auto add = [&](const std::string& name, uint32_t attributes) {
    if (MatchesPattern(wildcard, name))
      entries.push_back({attributes, NameField(name, ToAnsi(name).size())});
  };
  // Every folder but a drive's root lists itself and its parent first.
  if (host.parent_path() != files_->root) {
    add(".", kAttributeDirectory);
    add("..", kAttributeDirectory);
  }
  std::vector<fs::directory_entry> children;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(host, error))
    children.push_back(entry);
  std::sort(children.begin(), children.end(), [](const auto& a, const auto& b) {
    return Folded(a.path().filename().string()) < Folded(b.path().filename().string());
  });
  for (const fs::directory_entry& child : children)
    add(child.path().filename().string(),
        IsFolder(child.path()) ? kAttributeDirectory : kAttributeArchive);
  if (entries.empty()) return nullptr;
  first = entries.front();
  return std::make_unique<HostSearch>(std::move(entries));
}

void HostSystem::Rename(const std::string& from, const std::string& to) {
  faults_.Check("Rename", from);
  faults_.Check("Rename", to);
  const fs::path source = HostPath(from);
  if (!Exists(source)) ThrowMissing(source);
  const fs::path existing_target = HostPath(to);
  const fs::path target = existing_target.parent_path() / LastName(to);
  if (!IsFolder(target.parent_path())) ThrowPathNotFound();
  std::error_code error;
  // A change of case alone renames the entry onto itself.
  if (Exists(existing_target) && !fs::equivalent(existing_target, source, error))
    ThrowAlreadyExists();
  fs::rename(source, target, error);
  if (error) ThrowAccessDenied();
}

void HostSystem::CopyFileOver(const std::string& from, const std::string& to) {
  faults_.Check("CopyFileOver", from);
  faults_.Check("CopyFileOver", to);
  const fs::path source = HostPath(from);
  if (!Exists(source)) ThrowMissing(source);
  if (IsFolder(source)) ThrowAccessDenied();
  const fs::path target = HostPath(to);  // an existing file keeps the case of its name
  if (!IsFolder(target.parent_path())) ThrowPathNotFound();
  if (IsFolder(target)) ThrowAccessDenied();
  std::error_code error;
  fs::copy_file(source, target, fs::copy_options::overwrite_existing, error);
  if (error) ThrowAccessDenied();
}

int HostSystem::ShellCopyFile(const std::string& from, const std::string& to) {
  faults_.Check("ShellCopyFile", from);
  faults_.Check("ShellCopyFile", to);
  const fs::path source = HostPath(from);
  if (!Exists(source)) return kShellSourceMissing;
  fs::path target = HostPath(to);
  // An existing folder as destination receives the file under its own name.
  if (IsFolder(target) && !IsFolder(source)) target /= source.filename();
  std::error_code error;
  fs::create_directories(target.parent_path(), error);
  if (error) return kShellDestinationUnusable;
  fs::copy(source, target, fs::copy_options::overwrite_existing | fs::copy_options::recursive,
           error);
  return error ? kShellDestinationUnusable : kShellSuccess;
}

Wow64Value HostSystem::DisableWow64Redirection() {
  faults_.Check("DisableWow64Redirection", "");
  // A 32-bit system has no redirection to switch; the value stays as it was.
  if (!is64_) return kWasEnabled;
  const Wow64Value previous = files_->redirection_disabled ? kWasDisabled : kWasEnabled;
  files_->redirection_disabled = true;
  return previous;
}

void HostSystem::RevertWow64Redirection(Wow64Value value) {
  faults_.Check("RevertWow64Redirection", "");
  if (is64_) files_->redirection_disabled = value != kWasEnabled;
}

}  // namespace movrix
