// The program-file copy phase: the program trees, then on Windows 8 and 10 the system files.
#include "files/copy_program_files.h"

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

// Creates the folder that holds `destination` when it is missing: a system in another language
// has no fr-FR folder of its own. A folder that cannot be made fails its row only.
bool MakeFolderOf(FileSystem& system, Outcome& outcome, const std::string& destination) {
  const std::string folder = destination.substr(0, destination.find_last_of('\\'));
  return Guarded(
      [&] {
        if (!FolderExists(system, folder)) system.CreateFolder(folder);
        return true;
      },
      [&](const std::string& description) {
        outcome.Fail(destination + " n'a pas été remplacé",
                     "le dossier " + folder + " n'a pas pu être créé : " + description);
        return false;
      });
}

// Saves the owner and access list of `destination` before the row first changes it; a row whose
// security cannot be kept changes nothing.
bool KeepSecurityOf(FileSystem& system, Outcome& outcome, const std::string& destination) {
  return Guarded(
      [&] {
        SaveSecurityOnce(system, destination);
        return true;
      },
      [&](const std::string& description) {
        outcome.Fail(destination + " n'a pas été remplacé",
                     "ses droits d'origine n'ont pas pu être gardés : " + description);
        return false;
      });
}

bool ReplacesSystemFiles(const RunState& state) {
  return state.identity.CompletedBySystemFiles();
}

// The copy phase of one run. It owns the step it has reached, which titles its box when it stops
// ("Launch_Copy 3"): the support notes quote the values "1" to "10" and the points where they
// change, so both stay as they are.
class CopyPhase {
 public:
  CopyPhase(ReplacingFiles system, RunState& state, Reporter& boxes,
            const std::set<std::string>& added_system_files)
      : system_(system), state_(state), boxes_(boxes), added_system_files_(added_system_files) {}

  ProgramFileCopy Run(bool is_64_bit_system) {
    ProgramFileCopy result;
    result.stop = step_.Run([&] { return is_64_bit_system ? Copy64() : Copy32(); });
    result.log = std::move(copy_.copy_log);
    return result;
  }

 private:
  // Copies the tree below `source_root` under `destination_root`; false when a file at its top
  // failed.
  bool CopyTree(const std::string& source_root, const std::string& destination_root) {
    // Cut to 16 bits as the copy always counted it; a root that does not fit fails its files.
    copy_.source_root_length = static_cast<int16_t>(source_root.size());
    copy_.destination_root = destination_root;
    return CopyFolder(system_, copy_, state_.outcome, boxes_, source_root);
  }

  // Replaces the system files of the rows for `bits`, in table order, each row its own step.
  // Every file not replaced is a failure in the run's outcome.
  void CopySystemFiles(ReplacingFiles system, Bits bits) {
    for (const SystemFileRow& row : kSystemFileRows) {
      if (row.system != bits) continue;
      step_.Mark(row.step);
      const std::string source = state_.app_folder + row.source;
      const std::string destination = FolderOf(state_, row.folder) + row.destination;
      if (!MakeFolderOf(system.files, state_.outcome, destination)) continue;
      // What an earlier installation added where nothing was is no original to keep.
      const bool original = !added_system_files_.count(destination);
      if (original && !KeepSecurityOf(system.files, state_.outcome, destination)) continue;
      CopyAdd(system, state_.outcome, boxes_, source, destination, original);
    }
  }

  std::optional<Stop> Copy64() {
    copy_.copy_log = Header("Copier les fichiers dans Program Files (x86)", 67);
    step_.Mark("1");
    // A file at the top of the 32-bit tree ends the phase with nothing but its title to show.
    if (!CopyTree(state_.app_folder + "WM_32\\", state_.program_files_x86_folder))
      return step_.Here();
    copy_.copy_log += kCrLf + Header("Copier les fichiers dans Program Files", 58);
    step_.Mark("2");
    CopyTree(state_.app_folder + "WM_64\\", state_.program_files_folder);
    if (!ReplacesSystemFiles(state_)) return std::nullopt;
    step_.Mark("3");
    // Through NativeFiles, system32_folder names the native 64-bit system folder.
    NativeFiles native(system_.files, system_.process);
    CopySystemFiles(system_.With(native), Bits::k64);
    step_.Mark("7");
    copy_.copy_log += kCrLf + Repeat('=', 12) + kCrLf + Header("Copier les DLL et DLL.MUI", 24) +
                      JoinLines(kSystemFileLines64);
    return std::nullopt;
  }

  std::optional<Stop> Copy32() {
    copy_.copy_log = Header("Copier les fichiers dans Program Files", 58);
    step_.Mark("8");
    CopyTree(state_.app_folder + "WM_32\\", state_.program_files_folder);
    step_.Mark("9");
    if (!ReplacesSystemFiles(state_)) return std::nullopt;
    CopySystemFiles(system_, Bits::k32);
    step_.Mark("10");
    copy_.copy_log += kCrLf + Repeat('=', 27) + kCrLf + Header("Copie des DLL et DLL.MUI", 27) +
                      JoinLines(kSystemFileLines32);
    return std::nullopt;
  }

  ReplacingFiles system_;
  RunState& state_;
  Reporter& boxes_;
  const std::set<std::string>& added_system_files_;
  StepMarker step_;
  CopyContext copy_;
};

}  // namespace

ProgramFileCopy CopyProgramFiles(ReplacingFiles system, RunState& state, Reporter& boxes,
                                 bool is_64_bit_system,
                                 const std::set<std::string>& added_system_files) {
  return CopyPhase(system, state, boxes, added_system_files).Run(is_64_bit_system);
}

}  // namespace movrix
