// The operating-system services the installer uses, and nothing more.
//
// The installer's logic is written once against this interface; Win32System calls the real
// Unicode ("W") functions.
//
// Conventions shared by every implementation:
// - Texts (paths, key paths, value names, messages) are UTF-8. The Win32 side converts them to
//   UTF-16 at its boundary. Registry value data are raw bytes, exactly as the W functions read and
//   write them: a text value is UTF-16LE there (platform/utf16.h turns it into UTF-8 and back).
// - A call that fails throws SystemError, carrying the system's error code and its description
//   of it. An absence that is an ordinary answer (no such path, no match, no process) is returned
//   as a value. The registry calls return the system's status itself, whose "not found" is such
//   an ordinary answer and whose other codes are the very code a failure report names.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/utf16.h"
#include "platform/window_layout.h"

namespace movrix {

// A failure carrying the description the user sees in the message box.
class SystemError : public std::runtime_error {
 public:
  explicit SystemError(const std::string& description, uint32_t code = 0)
      : std::runtime_error(description), code_(code) {}
  uint32_t code() const { return code_; }

 private:
  uint32_t code_;
};

// ---- Message boxes ---------------------------------------------------------------------------
enum class Buttons { kOk, kYesNo };
enum class Icon { kNone, kCritical, kQuestion, kInformation };
enum class Answer { kOk, kYes, kNo };

// ---- Registry --------------------------------------------------------------------------------
// Key handles: the predefined roots are 32-bit values, and so is every handle the system opens. A
// type of its own, so that no count, status or flag passes for a key; kNoKey holds none.
enum class KeyHandle : uint32_t { kNoKey = 0 };
inline constexpr KeyHandle kNoKey = KeyHandle::kNoKey;
inline constexpr KeyHandle kClassesRoot = KeyHandle{0x80000000u};
inline constexpr KeyHandle kCurrentUser = KeyHandle{0x80000001u};
inline constexpr KeyHandle kLocalMachine = KeyHandle{0x80000002u};

// Value type codes.
inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;

// Access rights.
inline constexpr uint32_t kKeyWow64_64Key = 0x100;
// Query, set, create sub key, enumerate, notify, create link, plus the 64-bit view.
inline constexpr uint32_t kKeyAccess = 0x13F;
// Query and enumerate only, plus the 64-bit view: what reading a key needs, and all that an
// administrator may do on some keys of the system.
inline constexpr uint32_t kKeyReadAccess = 0x109;

// Registry status codes.
inline constexpr int32_t kErrorSuccess = 0;
inline constexpr int32_t kErrorFileNotFound = 2;
inline constexpr int32_t kErrorAccessDenied = 5;
// A service the system does not offer (ERROR_NOT_SUPPORTED).
inline constexpr uint32_t kErrorNotSupported = 50;

// ---- Files -----------------------------------------------------------------------------------
inline constexpr uint32_t kAttributeReadOnly = 0x1;
inline constexpr uint32_t kAttributeDirectory = 0x10;
// A link of some kind (symbolic link, junction, mount point): its content lies elsewhere.
inline constexpr uint32_t kAttributeReparsePoint = 0x400;
// The error of a file that must be new but exists already.
inline constexpr uint32_t kErrorFileExists = 80;
// The error of a file that another process holds open without sharing it, such as a running
// program's own file.
inline constexpr uint32_t kErrorSharingViolation = 32;

// What the system tells of an open file.
struct OpenFileFacts {
  uint32_t attributes = 0;
  uint32_t link_count = 0;  // how many names (hard links) the file has
  int64_t length = 0;
  // The path the system resolved the name to, every link on the way followed
  // (GetFinalPathNameByHandle), with its drive letter and without the "\\?\" prefix.
  std::string final_path;
};

// A file open for appending: always the very file that was opened, whatever happens to its name
// afterwards. Closed when destroyed.
class AppendableFile {
 public:
  virtual ~AppendableFile() = default;
  // The file's facts as they are now. Throws SystemError when they cannot be read.
  virtual OpenFileFacts Facts() = 0;
  // Writes `bytes` at the end of the file. Throws SystemError on failure.
  virtual void Append(const std::string& bytes) = 0;
  // Has the system write what was appended to the disk itself (FlushFileBuffers). Throws
  // SystemError on failure.
  virtual void Flush() = 0;
};

// A file open for reading from its start, in order. Closed when destroyed.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // Reads up to `size` bytes into `buffer`; how many were read, 0 at the end of the file. Throws
  // SystemError on failure.
  virtual size_t Read(char* buffer, size_t size) = 0;
};

// One entry of a folder listing, as FindFirstFile/FindNextFile fill it.
struct FindData {
  uint32_t attributes = 0;
  std::string name;  // the entry's own name, without its folder
};

// An open folder listing. Closing happens when the object is destroyed.
class FileSearch {
 public:
  virtual ~FileSearch() = default;
  // Fills `data` with the next entry; false when no entry is left. Throws SystemError when the
  // listing breaks off before its end.
  virtual bool Next(FindData& data) = 0;
};

// What the shell's copy of one file came to.
struct ShellCopyResult {
  int code = 0;          // the shell's result, 0 for success
  bool aborted = false;  // the shell abandoned the copy (fAnyOperationsAborted), whatever `code`
};

// ---- Processes -------------------------------------------------------------------------------
struct ProcessEntry {
  int32_t id = 0;
  std::string exe_name;
  // Runs in another session than this process (by ProcessIdToSessionId), whose windows no close
  // request from here reaches. False when either session cannot be told.
  bool other_session = false;
};

// A snapshot of the running processes. Closed when destroyed.
class ProcessSnapshot {
 public:
  virtual ~ProcessSnapshot() = default;
  // First and next entry of the snapshot; false when there is none.
  virtual bool First(ProcessEntry& entry) = 0;
  virtual bool Next(ProcessEntry& entry) = 0;
};

// A process held open to be ended. While it is held, its id cannot pass to another program, even
// after the process has ended. Closed when destroyed.
class ProcessHandle {
 public:
  virtual ~ProcessHandle() = default;
  // Asks the program to close, as its user would: posts WM_CLOSE to each of its visible top-level
  // windows that no other window owns.
  virtual void AskToClose() = 0;
  virtual void Terminate(uint32_t exit_code) = 0;
  // Waits at most `milliseconds` for the process to be gone; true when it is.
  virtual bool WaitForEnd(uint32_t milliseconds) = 0;
};

// ---- Event log ---------------------------------------------------------------------------------
// The type of an event log entry, as the event viewer marks it.
enum class EventKind { kInformation, kWarning, kError };

// A system-wide lock, held until destroyed.
class HeldLock {
 public:
  virtual ~HeldLock() = default;
};

// How a token holds the built-in Administrators group.
enum class AdministratorsGroup {
  kAbsent,    // not an administrator
  kDenyOnly,  // an administrator whose rights UAC filtered out: the group only denies
  kEnabled    // the group's rights are in force (an elevated run, or SYSTEM)
};

// The redirection value that switching WOW64 file-system redirection off hands back.
using Wow64Value = uintptr_t;

// The versions of Windows the installer tells apart; kOther for every other one, XP among them.
enum class WindowsFamily { kOther, kWindows7, kWindows8, kWindows10 };

// The processor architecture a system runs on natively, whatever this process was built for.
enum class Machine { kX86, kX64, kArm64, kOther };

// What the system says of itself, read once at the start of a run: never from the environment,
// which the user who starts the program sets. Folders without a final backslash. ReadIdentity
// gives the folders; the run adds the language and, from the system identification, the family
// and the width, and every unit then reads this one record.
struct SystemIdentity {
  std::string program_files;      // the native Program Files, even for a 32-bit process
  std::string program_files_x86;  // Program Files (x86); on a 32-bit system, Program Files
  std::string windows;            // the Windows folder
  uint16_t language = 0;          // the system's default language (LANGID)
  WindowsFamily family = WindowsFamily::kOther;
  bool is_64_bit = false;

  // Windows 8 and 10 are those whose system files and registration the installation completes.
  bool CompletedBySystemFiles() const {
    return family == WindowsFamily::kWindows8 || family == WindowsFamily::kWindows10;
  }
};

// How the system words its own error codes: every facet whose calls hand back raw codes has it.
class ErrorTexts {
 public:
  virtual ~ErrorTexts() = default;

  // The system's description of an error code (FormatMessage), in the system's language.
  virtual std::string ErrorText(uint32_t code) = 0;
};

// Files and folders: their content, names, listing, moves (the restart's among them) and access
// lists.
class FileSystem : public virtual ErrorTexts {
 public:
  virtual ~FileSystem() = default;

  // Length in bytes of a file. Throws SystemError when the file cannot be queried.
  virtual int64_t FileLength(const std::string& path) = 0;

  // Attributes of a path (a final backslash is allowed); -1 when the path does not exist.
  // Throws SystemError on other failures, such as an unreachable drive.
  virtual int64_t PathAttributes(const std::string& path) = 0;

  // Starts a listing of `pattern` (a folder followed by a wildcard) and fills `first`.
  // Null when nothing matches or the folder does not exist; throws SystemError when the folder
  // cannot be listed (access denied, a path too long).
  virtual std::unique_ptr<FileSearch> FindFirst(const std::string& pattern, FindData& first) = 0;

  // Renames a file or folder within its parent. Throws SystemError on failure.
  virtual void Rename(const std::string& from, const std::string& to) = 0;

  // Opens the file at `path` to append to it, sharing it with other readers and writers. When
  // `path` names a link, the link itself is opened, never what it points to. With `must_be_new`
  // only a file that does not exist yet is created; otherwise an existing file is opened or a
  // missing one created. Throws SystemError when it cannot be opened (kErrorFileExists for an
  // existing file that had to be new).
  virtual std::unique_ptr<AppendableFile> OpenToAppend(const std::string& path,
                                                       bool must_be_new) = 0;

  // Creates one folder whose parent exists. Throws SystemError on failure.
  virtual void CreateFolder(const std::string& path) = 0;

  // Copies a file over any existing one. Throws SystemError on failure.
  virtual void CopyFileOver(const std::string& from, const std::string& to) = 0;

  // The shell's copy of one file (FO_COPY, silent, no confirmation); creates every missing folder
  // of the destination. `unattended` (a run nobody watches) also keeps the shell's error boxes
  // and its questions about new folders away.
  virtual ShellCopyResult ShellCopyFile(const std::string& from, const std::string& to,
                                        bool unattended) = 0;

  // The whole content of a file. Throws SystemError when it cannot be read.
  virtual std::string ReadWholeFile(const std::string& path) = 0;

  // Opens the file at `path` for reading it through once, in order (sharing as ReadWholeFile).
  // Throws SystemError when it cannot be opened.
  virtual std::unique_ptr<ReadableFile> OpenToRead(const std::string& path) = 0;

  // Deletes one file, or one symbolic link itself. Throws SystemError on failure.
  virtual void RemoveFile(const std::string& path) = 0;

  // Deletes one empty folder, or one folder link itself. Throws SystemError on failure.
  virtual void RemoveFolder(const std::string& path) = 0;

  // Moves a file onto `to` in one step, replacing any file there (MoveFileEx with
  // MOVEFILE_REPLACE_EXISTING). Throws SystemError, with the system's code, on failure.
  virtual void MoveReplacing(const std::string& from, const std::string& to) = 0;

  // The same move, returning only once it is on the disk (MOVEFILE_WRITE_THROUGH as well).
  virtual void MoveReplacingWrittenThrough(const std::string& from, const std::string& to) = 0;

  // Has the system move `from` onto `to` at the next restart, replacing any file there, or delete
  // `from` then when `to` is empty (MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT). Throws
  // SystemError when it cannot be scheduled.
  virtual void MoveAtRestart(const std::string& from, const std::string& to) = 0;

  // The moves and deletions the system carries out at the next restart, in order: each source
  // and destination as MoveFileEx recorded them (an NT path such as "\??\C:\x", a destination
  // that replaces marked by a leading "!", an empty one for a deletion). Throws SystemError when
  // they cannot be read.
  virtual std::vector<std::pair<std::string, std::string>> PendingRestartMoves() = 0;

  // Sets the attributes of a file or folder (SetFileAttributes). Throws SystemError on failure.
  virtual void SetPathAttributes(const std::string& path, uint32_t attributes) = 0;

  // The last-modification date of a file in the system's short date format. Throws SystemError
  // when the file cannot be read.
  virtual std::string FileDateShortText(const std::string& path) = 0;

  // The owner, group and access list of a file, as one self-relative security descriptor
  // (GetFileSecurity). Throws SystemError when they cannot be read.
  virtual std::string FileSecurity(const std::string& path) = 0;

  // Gives a file the owner, group and access list of a descriptor that FileSecurity handed out,
  // whoever the owner is (SetFileSecurity, with the rights to restore files and take ownership).
  // Throws SystemError on failure.
  virtual void PutFileSecurity(const std::string& path, const std::string& descriptor) = 0;
};

// The registry; its calls return the system's status itself.
class Registry : public virtual ErrorTexts {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyEx and RegCreateKeyEx (options 0, no class, no security attributes): every
  // missing key of the path is created.
  virtual int32_t OpenRegKey(KeyHandle root, const std::string& path, uint32_t access,
                             KeyHandle& result) = 0;

  virtual int32_t CreateRegKey(KeyHandle root, const std::string& path, uint32_t access,
                               KeyHandle& result) = 0;

  // With `data` null, asks for the size only. Otherwise reads at most `size` bytes into `data`.
  // `size` receives the byte count of the value.
  virtual int32_t QueryRegValue(KeyHandle key, const std::string& name, uint32_t& type,
                                std::string* data, uint32_t& size) = 0;

  // Writes the first `size` bytes of `data` (which holds at least that many).
  virtual int32_t SetRegValue(KeyHandle key, const std::string& name, uint32_t type,
                              const std::string& data, uint32_t size) = 0;

  virtual int32_t CloseRegKey(KeyHandle key) = 0;

  // RegDeleteValue on the open `key`.
  virtual int32_t DeleteRegValue(KeyHandle key, const std::string& name) = 0;

  // RegDeleteKeyEx: deletes `path` below `root`, which must have no subkeys, in the registry view
  // that `access` names (its WOW64 bits).
  virtual int32_t DeleteRegKey(KeyHandle root, const std::string& path, uint32_t access) = 0;

  // RegQueryInfoKey: how many subkeys and values the open `key` holds.
  virtual int32_t CountRegKeyContents(KeyHandle key, uint32_t& subkeys, uint32_t& values) = 0;
};

// Programs: starting them, finding and ending them, and the locks between runs.
class Processes : public virtual ErrorTexts {
 public:
  virtual ~Processes() = default;

  // The folder of the system's own native programs, without a final backslash: the system folder
  // (GetSystemDirectory), or for a 32-bit process on a 64-bit system its alias Sysnative, through
  // which that process starts the 64-bit programs whatever the redirection.
  virtual std::string NativeSystemFolder() = 0;

  // Starts the program at the full path `program` with `arguments`, without a console window;
  // no interpreter and no search are involved. Waits at most `wait_milliseconds` for it to end
  // (0: not at all). Hands back its exit code once it ended within the wait; empty when it was
  // not awaited or still runs after the wait. Throws SystemError when it cannot be started.
  virtual std::optional<uint32_t> StartProgram(const std::string& program,
                                               const std::string& arguments,
                                               uint32_t wait_milliseconds) = 0;

  // Starts the program at the full path `program` with `arguments` with administrator rights
  // (ShellExecuteEx, verb "runas": the system asks the user), waits for its end and hands back
  // its exit code; empty when the user refused. Throws SystemError when it cannot be started.
  virtual std::optional<uint32_t> RunElevated(const std::string& program,
                                              const std::string& arguments) = 0;

  // Takes the lock named `name` (a named mutex; a name that starts with "Global\" reaches every
  // session). Null when it cannot be taken: another process holds it, or an object of that name
  // is in the way.
  virtual std::unique_ptr<HeldLock> TakeNamedLock(const std::string& name) = 0;

  // Takes the lock `name` in the private namespace of that name whose boundary is the
  // Administrators group; the namespace and the mutex in it let only administrators and the
  // system open them, whichever of them made them first, so that no other user can hold or block
  // it. Null when another process holds it. Throws SystemError with kErrorNotSupported when the
  // system makes no boundary descriptors, and with the system's code (kErrorAccessDenied among
  // them) when the namespace or the mutex cannot be made or opened.
  virtual std::unique_ptr<HeldLock> TakeAdministratorsLock(const std::string& name) = 0;

  // Null when no snapshot can be taken.
  virtual std::unique_ptr<ProcessSnapshot> SnapshotProcesses() = 0;

  // Opens the process `id` to ask it to close, wait for its end and terminate it
  // (SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION). Null when it cannot be
  // opened, such as when it has already ended.
  virtual std::unique_ptr<ProcessHandle> OpenProcessToEnd(int32_t id) = 0;
};

// What this process was given and set for itself: its variables, its own file and folders, its
// current drive and folder, and the redirection of its file calls.
class Environment {
 public:
  virtual ~Environment() = default;

  // Value of an environment variable; empty text when it is not set.
  virtual std::string GetEnv(const std::string& name) = 0;

  // `text` with each %NAME% of a variable this process has replaced by its value
  // (ExpandEnvironmentStrings); a name that no variable has stays as written. Throws SystemError
  // when it cannot be expanded.
  virtual std::string ExpandEnvironment(const std::string& text) = 0;

  // The local application-data folder of the account the process runs as, from its own profile
  // (the shell's folder for the process's token, not the variable LOCALAPPDATA, which a caller may
  // have set to some other user's folder), without a final backslash. Throws SystemError when the
  // account has no such folder.
  virtual std::string OwnLocalAppDataFolder() = 0;

  // Full path of the running executable.
  virtual std::string ExecutablePath() = 0;

  // The full path of `path`, a relative one taken from the current folder (GetFullPathName).
  // Throws SystemError when it cannot be made.
  virtual std::string FullPath(const std::string& path) = 0;

  // Makes `drive_root` (such as "E:\") the current drive.
  virtual void SetCurrentDrive(const std::string& drive_root) = 0;

  // Makes `folder` the current folder of its drive; the current drive itself is unchanged.
  virtual void SetCurrentFolderOfDrive(const std::string& folder) = 0;

  // Switches WOW64 file-system redirection off for this thread and hands back the value that
  // restores it.
  virtual Wow64Value DisableWow64Redirection() = 0;

  virtual void RevertWow64Redirection(Wow64Value value) = 0;
};

// What the system says of itself and of the account the process runs as, its clock and its
// random source, and the event log it keeps.
class Identity {
 public:
  virtual ~Identity() = default;

  // The system's folders and what it says of itself (SystemIdentity). Throws SystemError when
  // the system cannot tell.
  virtual SystemIdentity ReadIdentity() = 0;

  // The architecture of the system itself: IsWow64Process2's native machine where the system has
  // it, else IsWow64Process and GetNativeSystemInfo. Throws SystemError when it cannot tell.
  virtual Machine NativeMachine() = 0;

  virtual uint16_t SystemDefaultLangId() = 0;

  // How the process's token holds the built-in Administrators group. Under UAC an administrator
  // who did not choose "Run as administrator" holds it for denying access only: every write the
  // group alone allows then fails.
  virtual AdministratorsGroup AdministratorsInToken() = 0;

  // The local date and time, "YYYY-MM-DD HH:MM:SS".
  virtual std::string LocalTimeText() = 0;

  // `count` bytes from the system's cryptographic random source, that nobody can foresee.
  // Throws SystemError when it fails.
  virtual std::string RandomBytes(size_t count) = 0;

  // Writes one entry to the Application event log for the event source `source`
  // (RegisterEventSource, ReportEvent, DeregisterEventSource): the message `event_id` of the
  // source's message file, each of `inserts` taking the place of its %1, %2, ... Throws
  // SystemError when the entry cannot be written.
  virtual void WriteEventLogEntry(const std::string& source, EventKind kind, uint32_t event_id,
                                  const std::vector<std::string>& inserts) = 0;
};

// The window system's messages, which must flow while a program started runs: apart from the
// user interface, so that a step that lets them flow still cannot show anything.
class MessagePump {
 public:
  virtual ~MessagePump() = default;

  // Lets the window system process the pending messages once.
  virtual void ProcessPendingMessages() = 0;
};

// What the user sees and answers: message boxes, the window, and whether anyone can see them.
class UserInterface : public virtual MessagePump {
 public:
  virtual ~UserInterface() = default;

  virtual Answer ShowMessage(const std::string& text, const std::string& title, Buttons buttons,
                             Icon icon) = 0;

  // Shows the window described by `form` and runs it until the user closes it.
  virtual void RunWindow(const FormContent& form) = 0;

  // True when the process runs in session 0, the services' session: whatever its window station
  // says, no user sees it or answers a box there. False when the session cannot be told.
  virtual bool InServicesSession() = 0;

  // False when the process's window station is not visible (its UOI_FLAGS lack WSF_VISIBLE), as
  // for a service in session 0: nobody could see a window or answer a box there. True when the
  // flags cannot be read, as on systems that show every window station.
  virtual bool WindowStationVisible() = 0;
};

// The whole system, which the entry point and the tests hand to a run: each unit passes on only
// the facets its helpers use, so that none below a phase (files/, registry/, process/) can show a
// box or run the window.
class System : public virtual FileSystem,
               public virtual Registry,
               public virtual Processes,
               public virtual Environment,
               public virtual Identity,
               public virtual UserInterface {};

}  // namespace movrix
