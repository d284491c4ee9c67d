// The tree copy: CopyFolder walks a source folder depth-first and hands each file to
// CopyThisFile, which logs it, takes its destination over and copies it through the shell.
#include "files/copy_folder.h"

#include "common/box_titles.h"
#include "common/guard.h"
#include "common/text.h"
#include "files/file_exists.h"
#include "files/set_rights.h"

namespace movrix {
namespace {

// FO_COPY with FOF_SILENT | FOF_NOCONFIRMATION returns 0 on success.
constexpr int kShellSuccess = 0;
// The system's code for an operation that was abandoned (ERROR_CANCELLED).
constexpr uint32_t kErrorCancelled = 1223;
// The system's code for an argument out of range (ERROR_INVALID_PARAMETER).
constexpr uint32_t kErrorInvalidParameter = 87;

// Only names that match "*.*" are program files; others (LICENSE, say) are left out.
bool HasDot(const std::string& name) {
  return name.find('.') != std::string::npos;
}

// Names beginning with a dot are ".", ".." and entries kept out of the installation.
bool StartsWithDot(const std::string& name) {
  return !name.empty() && name[0] == '.';
}

// destination_root + the part of `source` below the source root. A root too long for its 16-bit
// length reads as a length that does not cut `source`: the file fails rather than land elsewhere.
std::string DestinationOf(FileSystem& system, const CopyContext& copy, const std::string& source) {
  if (copy.source_root_length < 0 || size_t(copy.source_root_length) > source.size())
    throw SystemError(system.ErrorText(kErrorInvalidParameter), kErrorInvalidParameter);
  return copy.destination_root + source.substr(size_t(copy.source_root_length));
}

// Records that the file at `path` was not copied, and why.
void FailFile(Outcome& outcome, const std::string& path, const std::string& reason) {
  outcome.Fail(path + " n'a pas été copié", reason);
}

// A junction or symbolic link stands for another place, which anyone who could plant it there
// chose: it is neither followed nor copied.
void RefuseLink(Outcome& outcome, const std::string& source) {
  outcome.Fail(source + " n'a été ni suivi ni copié",
               "c'est un lien (jonction ou lien symbolique) vers un autre emplacement");
}

// Records that `folder` could not be listed to its end, and why: what it has left is not copied.
void FailListing(Outcome& outcome, const std::string& folder, const std::string& reason) {
  outcome.Fail("le dossier " + folder + " n'a pas pu être lu en entier", reason);
}

std::unique_ptr<FileSearch> StartListing(FileSystem& system, FindData& entry, Outcome& outcome,
                                         const std::string& folder) {
  return Guarded([&] { return system.FindFirst(folder + "*.*", entry); },
                 [&](const std::string& description) {
                   FailListing(outcome, folder, description);
                   return std::unique_ptr<FileSearch>();
                 });
}

// Fetches the next entry of `folder` into `entry`. False when no entry is left, and when the
// listing breaks off, which is reported like a folder that cannot be listed.
bool NextEntry(FileSearch& search, FindData& entry, Outcome& outcome, const std::string& folder) {
  return Guarded([&] { return search.Next(entry); },
                 [&](const std::string& description) {
                   FailListing(outcome, folder, description);
                   return false;
                 });
}

// Why the shell's copy failed, in the system's words; empty when it succeeded. A copy the shell
// abandoned failed whatever its result says.
std::string ShellCopyFailure(FileSystem& system, const ShellCopyResult& result) {
  if (result.aborted) return system.ErrorText(kErrorCancelled);
  if (result.code == kShellSuccess) return "";
  return system.ErrorText(uint32_t(result.code)) + " (code " + std::to_string(result.code) + ")";
}

}  // namespace

bool CopyThisFile(ReplacingFiles replacing, CopyContext& copy, Outcome& outcome, Reporter& boxes,
                  const std::string& folder, const FindData& entry) {
  FileSystem& system = replacing.files;
  std::string source, destination;  // built step by step; the error box shows what exists
  bool copied = false;
  Guarded(
      [&] {
        source = folder + entry.name;
        copy.copy_log += "de   " + source + kCrLf;
        destination = DestinationOf(system, copy, source);
        copy.copy_log += "vers " + destination + kCrLf;
        // A destination that does not exist yet (every one, on a first installation) has nothing
        // to take over: the copy creates it as the administrator's own, which is what the
        // commands would have made of it. Skipping them saves two console programs per file.
        if (PathExists(system, destination)) {
          try {
            SetRights(replacing.programs, replacing.window, outcome, destination);
            ClearReadOnly(system, destination);  // left so by an older build
          } catch (const SystemError& failure) {
            ReportRightsFailure(boxes, outcome, destination, failure.what());
            boxes.Report(kCopyFileTitle, "Erreur de copie", Icon::kCritical);
            return;
          }
        }
        // The shell reports its own failures; a failure only stops the walk.
        const std::string failure =
            ShellCopyFailure(system, system.ShellCopyFile(source, destination, false));
        copied = failure.empty();
        if (!copied) FailFile(outcome, destination, failure);
        // A source from a CD or an ISO image is read-only, and so is its copy: the next run could
        // not copy over it. No copy is left so.
        if (copied && (entry.attributes & kAttributeReadOnly)) ClearReadOnly(system, destination);
      },
      [&](const std::string& description) {
        boxes.Report(kProgramTitle, "Copie de " + source + kCrLf + " vers " + destination,
                     Icon::kCritical);
        FailFile(outcome,
                 !destination.empty() ? destination
                 : !source.empty()    ? source
                                      : folder,
                 description);
      });
  return copied;
}

bool CopyFolder(ReplacingFiles replacing, CopyContext& copy, Outcome& outcome, Reporter& boxes,
                const std::string& folder) {
  FileSystem& system = replacing.files;
  FindData entry;
  std::unique_ptr<FileSearch> search = StartListing(system, entry, outcome, folder);
  if (!search) return true;
  do {
    const std::string& name = entry.name;
    if (StartsWithDot(name)) continue;
    if (entry.attributes & kAttributeReparsePoint) {
      RefuseLink(outcome, folder + name);
    } else if (entry.attributes & kAttributeDirectory) {
      // A failure inside a subfolder ends the walk of that subfolder only.
      CopyFolder(replacing, copy, outcome, boxes, folder + name + "\\");
    } else if (HasDot(name) && !CopyThisFile(replacing, copy, outcome, boxes, folder, entry)) {
      return false;
    }
  } while (NextEntry(*search, entry, outcome, folder));
  return true;
}

}  // namespace movrix
