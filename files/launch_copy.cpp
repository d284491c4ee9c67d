// The program-file copy phase: the program trees, then on Windows 8 and 10 the system files.
#include "files/launch_copy.h"

#include "common/guard.h"
#include "common/text.h"
#include "files/copy_add.h"
#include "files/copy_folder.h"
#include "files/file_exists.h"
#include "files/file_security.h"
#include "files/native_files.h"
#include "files/system_file_table.h"

namespace movrix {
namespace {

constexpr const char* kSystemFileLines64[] = {
    "copie de msoeacct.dll sous System32 et SysWOW64",
    "copie de msidcrl30.dll sous System32 et SysWOW64",
    "copie de acctres.dll sous System32 et SysWOW64",
    "copie de inetres.dll sous System32 et SysWOW64",
    "copie de acctres.dll.mui sous System32\\fr-FR\\ et SysWOW64\\fr-FR\\",
    "copie de inetres.dll.mui sous System32\\fr-FR\\ et SysWOW64\\fr-FR\\",
};

constexpr const char* kSystemFileLines32[] = {
    "copie de msoeacct.dll sous System32",       "copie de msidcrl30.dll sous System32",
    "copie de acctres.dll sous System32",        "copie de inetres.dll sous System32",
    "copie de acctres.dll sous System32\\fr-FR", "copie de inetres.dll sous System32\\fr-FR\\",
};

// A log header: its title over a line of `rule_length` dashes.
std::string Header(const char* title, size_t rule_length) {
  return std::string(title) + kCrLf + Repeat('-', rule_length) + kCrLf;
}

// Copies the tree below `source_root` under `destination_root`.
bool CopyTree(System& system, RunState& state, const std::string& source_root,
              const std::string& destination_root) {
  // Cut to the required 16 bits as it stands; a root that does not fit fails its files.
  state.Copy.SourceRootLen = static_cast<int16_t>(source_root.size());
  state.Copy.DestRoot = destination_root;
  return CopyFolder(system, state.Copy, state.Outcome, source_root);
}

// Creates the folder that holds `destination` when it is missing: a system in another language
// has no fr-FR folder of its own. A folder that cannot be made fails its row only.
bool MakeFolderOf(System& system, Outcome& outcome, const std::string& destination) {
  const std::string folder = destination.substr(0, destination.find_last_of('\\'));
  try {
    if (!FolderExists(system, folder)) system.CreateFolder(folder);
    return true;
  } catch (const SystemError& failure) {
    outcome.Fail(destination + " n'a pas été remplacé",
                 "le dossier " + folder + " n'a pas pu être créé : " + failure.what());
    return false;
  }
}

// Saves the owner and access list of `destination` before the row first changes it; a row whose
// security cannot be kept changes nothing.
bool KeepSecurityOf(System& system, Outcome& outcome, const std::string& destination) {
  try {
    SaveSecurityOnce(system, destination);
    return true;
  } catch (const SystemError& failure) {
    outcome.Fail(destination + " n'a pas été remplacé",
                 std::string("ses droits d'origine n'ont pas pu être gardés : ") + failure.what());
    return false;
  }
}

// Replaces the system files of the rows for `bits`, in table order, advancing the step marker.
// Every file not replaced is a failure in the run's outcome.
void CopySystemFiles(System& system, RunState& state, Bits bits, std::string& step) {
  for (const SystemFileRow& row : kSystemFileRows) {
    if (row.system != bits) continue;
    step = row.step;
    const std::string source = state.AppFolder + row.source;
    const std::string destination = FolderOf(state, row.folder) + row.destination;
    if (!MakeFolderOf(system, state.Outcome, destination)) continue;
    // What an earlier installation added where nothing was is no original to keep.
    const bool original = !state.AddedSystemFiles.count(destination);
    if (original && !KeepSecurityOf(system, state.Outcome, destination)) continue;
    CopyAdd(system, state.Outcome, source, destination, original);  // reports its own failure
  }
}

bool ReplacesSystemFiles(const RunState& state) {
  return state.Identity.CompletedBySystemFiles();
}

// The step marker only titles the phase's failure box ("Launch_Copy 3"); its values "1" to "10"
// and the points where they change are required as they are.
void CopyPhase64(System& system, RunState& state, std::string& step) {
  CopyContext& copy = state.Copy;
  copy.CopyLog = Header("Copier les fichiers dans Program Files (x86)", 67);
  step = "1";
  if (!CopyTree(system, state, state.AppFolder + "WM_32\\", state.ProgramFilesX86Folder))
    FailWithoutDescription();
  copy.CopyLog += kCrLf + Header("Copier les fichiers dans Program Files", 58);
  step = "2";
  CopyTree(system, state, state.AppFolder + "WM_64\\", state.ProgramFilesFolder);
  if (!ReplacesSystemFiles(state)) return;
  step = "3";
  // Through NativeFiles, System32Folder names the native 64-bit system folder.
  NativeFiles native(system);
  CopySystemFiles(native, state, Bits::k64, step);
  step = "7";
  copy.CopyLog += kCrLf + Repeat('=', 12) + kCrLf + Header("Copier les DLL et DLL.MUI", 24) +
                  JoinLines(kSystemFileLines64);
}

void CopyPhase32(System& system, RunState& state, std::string& step) {
  CopyContext& copy = state.Copy;
  copy.CopyLog = Header("Copier les fichiers dans Program Files", 58);
  step = "8";
  CopyTree(system, state, state.AppFolder + "WM_32\\", state.ProgramFilesFolder);
  step = "9";
  if (!ReplacesSystemFiles(state)) return;
  CopySystemFiles(system, state, Bits::k32, step);
  step = "10";
  copy.CopyLog += kCrLf + Repeat('=', 27) + kCrLf + Header("Copie des DLL et DLL.MUI", 27) +
                  JoinLines(kSystemFileLines32);
}

}  // namespace

bool Launch_Copy(System& system, RunState& state, bool is_64_bit_system) {
  std::string step;
  return Guarded(
      [&] {
        state.ReportText.clear();
        if (is_64_bit_system)
          CopyPhase64(system, state, step);
        else
          CopyPhase32(system, state, step);
        state.ReportText = state.Copy.CopyLog;
        return true;
      },
      [&](const std::string& description) {
        system.ShowMessage(description, "Launch_Copy " + step, Buttons::kOk, Icon::kCritical);
        return false;
      });
}

}  // namespace movrix
