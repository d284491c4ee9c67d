#include "platform/host/host_system.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "common/text.h"

namespace movrix {
namespace {

// Code points of bytes 0x80 to 0x9F in Western European code page 1252; 0 where it has none.
constexpr std::array<uint16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += char(code);
  } else if (code < 0x800) {
    out += char(0xC0 | code >> 6);
    out += char(0x80 | (code & 0x3F));
  } else {
    out += char(0xE0 | code >> 12);
    out += char(0x80 | (code >> 6 & 0x3F));
    out += char(0x80 | (code & 0x3F));
  }
}

// Decodes the code point starting at `i` and moves `i` past it; a broken sequence gives '?'.
uint32_t NextCodePoint(const std::string& text, size_t& i) {
  unsigned char lead = text[i++];
  if (lead < 0x80) return lead;
  int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (extra < 0 || i + extra > text.size()) return '?';
  uint32_t code = lead & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) code = code << 6 | (static_cast<unsigned char>(text[i++]) & 0x3F);
  return code;
}

char ToCp1252(uint32_t code) {
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return char(code);
  for (size_t k = 0; k < kCp1252High.size(); ++k)
    if (kCp1252High[k] == code) return char(0x80 + k);
  return '?';  // what the system substitutes for a character the code page lacks
}

}  // namespace

HostSystem::HostSystem(const std::filesystem::path& root)
    : registry_(NewHostRegistryState(), DeleteHostRegistryState),
      files_(NewHostFileState(root), DeleteHostFileState) {
  env_ = {{"OS", "Windows_NT"},
          {"windir", "C:\\Windows"},
          {"comspec", "C:\\Windows\\system32\\cmd.exe"}};
  Set64BitSystem(true);
  exe_path_ = "D:\\Setup\\Movrix18.exe";
  const std::string version_key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  SetRegValueDirect(kLocalMachine, version_key, "CurrentVersion", kRegSz, "6.3");
  SetRegValueDirect(kLocalMachine, version_key, "CurrentBuildNumber", kRegSz, "19045");
  SetRegValueDirect(kLocalMachine, version_key, "ProductName", kRegSz, "Windows 10 Pro");
}

HostSystem::~HostSystem() = default;

void HostSystem::Set64BitSystem(bool is64) {
  is64_ = is64;
  // What a 32-bit program sees in its environment on either system.
  env_["ProgramFiles"] = is64 ? "C:\\Program Files (x86)" : "C:\\Program Files";
  env_["PROCESSOR_IDENTIFIER"] = is64 ? "Intel64 Family 6 Model 158 Stepping 10, GenuineIntel"
                                      : "x86 Family 6 Model 158 Stepping 10, GenuineIntel";
}

std::string HostSystem::GetEnv(const std::string& name) {
  return EnvValue(name);
}

std::string HostSystem::EnvValue(const std::string& name) const {
  for (const auto& [key, value] : env_)
    if (EqualsIgnoringCase(key, name)) return value;
  return "";
}

std::string HostSystem::FileDateShortText(const std::string& path) {
  faults_.Check("FileDateShortText", path);
  std::error_code error;
  auto written = std::filesystem::last_write_time(HostPath(path), error);
  if (error) throw SystemError("Le fichier spécifié est introuvable.", 2);
  auto system_time = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
      written - std::filesystem::file_time_type::clock::now() + std::chrono::system_clock::now());
  std::time_t seconds = std::chrono::system_clock::to_time_t(system_time);
  std::tm local{};
  localtime_r(&seconds, &local);
  // The short date format of a French system.
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d", local.tm_mday, local.tm_mon + 1,
                local.tm_year + 1900);
  return text;
}

void HostSystem::SetCurrentDrive(const std::string& drive_root) {
  current_drive_ = drive_root.substr(0, 2);
}

void HostSystem::SetCurrentFolderOfDrive(const std::string& folder) {
  faults_.Check("SetCurrentFolderOfDrive", folder);
  if (PathAttributes(folder) < 0)
    throw SystemError("Le chemin d'accès spécifié est introuvable.", 3);
  current_folders_[char(std::toupper(static_cast<unsigned char>(folder[0])))] = folder;
}

std::string HostSystem::CurrentFolderOf(char drive_letter) const {
  auto found = current_folders_.find(char(std::toupper(static_cast<unsigned char>(drive_letter))));
  return found == current_folders_.end() ? std::string() : found->second;
}

void HostSystem::StartCommand(const std::string& command_line) {
  faults_.Check("StartCommand", command_line);
  if (commands_fail_) throw SystemError("Le fichier spécifié est introuvable.", 2);
  commands_.push_back(command_line);
}

// ---- Processes ----

int32_t HostSystem::AddProcess(const std::string& exe_name) {
  processes_.push_back({next_pid_, exe_name, true});
  return next_pid_++;
}

bool HostSystem::IsRunning(int32_t id) const {
  for (const Process& process : processes_)
    if (process.id == id) return process.running;
  return false;
}

namespace {

class HostSnapshot : public ProcessSnapshot {
 public:
  explicit HostSnapshot(std::vector<ProcessEntry> entries) : entries_(std::move(entries)) {}
  bool First(ProcessEntry& entry) override {
    next_ = 0;
    return Next(entry);
  }
  bool Next(ProcessEntry& entry) override {
    if (next_ >= entries_.size()) return false;
    entry = entries_[next_++];
    return true;
  }

 private:
  std::vector<ProcessEntry> entries_;
  size_t next_ = 0;
};

class HostProcessHandle : public ProcessHandle {
 public:
  explicit HostProcessHandle(bool& running) : running_(running) {}
  void Terminate(uint32_t) override { running_ = false; }

 private:
  bool& running_;
};

}  // namespace

std::unique_ptr<ProcessSnapshot> HostSystem::SnapshotProcesses() {
  std::vector<ProcessEntry> entries;
  for (const Process& process : processes_)
    if (process.running) entries.push_back({process.id, process.exe_name});
  return std::make_unique<HostSnapshot>(std::move(entries));
}

std::unique_ptr<ProcessHandle> HostSystem::OpenProcessToTerminate(int32_t id) {
  for (Process& process : processes_)
    if (process.id == id && process.running)
      return std::make_unique<HostProcessHandle>(process.running);
  return nullptr;
}

// ---- Texts ----

std::string HostSystem::ToAnsi(const std::string& text) {
  std::string bytes;
  for (size_t i = 0; i < text.size();) bytes += ToCp1252(NextCodePoint(text, i));
  return bytes;
}

std::string HostSystem::FromAnsi(const std::string& bytes) {
  std::string text;
  for (unsigned char byte : bytes) {
    uint32_t code = byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : byte;
    AppendUtf8(text, code ? code : byte);
  }
  return text;
}

// ---- Message boxes ----

Answer HostSystem::ShowMessage(const std::string& text, const std::string& title, Buttons buttons,
                               Icon icon) {
  Answer answer = buttons == Buttons::kOk ? Answer::kOk : Answer::kNo;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  boxes_.push_back({text, title, buttons, icon, answer});
  return answer;
}

}  // namespace movrix
