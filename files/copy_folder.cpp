// The tree copy: CopyFolder walks a source folder depth-first and hands each file to
// CopyThisFile, which logs it, takes its destination over and copies it through the shell.
#include "common/guard.h"
#include "common/text.h"
#include "files/mod_file_mngr.h"

namespace movrix {
namespace {

// FO_COPY with FOF_SILENT | FOF_NOCONFIRMATION returns 0 on success.
constexpr int kShellSuccess = 0;

// Only names that match "*.*" are program files; a dot-less name stops its folder's walk.
bool HasDot(const std::string& name) {
  return name.find('.') != std::string::npos;
}

// Names beginning with a dot are ".", ".." and entries kept out of the installation.
bool StartsWithDot(const std::string& name) {
  return !name.empty() && name[0] == '.';
}

}  // namespace

std::string StripNull(const std::string& text) {
  const size_t end = text.find('\0');
  if (end == std::string::npos) throw SystemError("Argument ou appel de procédure incorrect.", 5);
  return text.substr(0, end);
}

bool CopyThisFile(System& system, CopyContext& copy, const std::string& folder) {
  std::string source, destination;  // built step by step; the error box shows what exists
  return Guarded(
      [&] {
        const std::string name = StripNull(copy.FindData.name);
        if (!HasDot(name)) return false;
        source = folder + name;
        copy.CopyLog += "de   " + source + kCrLf;
        // A negative root length cannot cut a path: substr then raises out_of_range.
        destination = copy.DestRoot + source.substr(static_cast<size_t>(copy.SourceRootLen));
        copy.CopyLog += "vers " + destination + kCrLf;
        if (!SetRights(system, destination)) {
          system.ShowMessage("Erreur de copie", "CopyThisFile", Buttons::kOk, Icon::kCritical);
          return false;
        }
        // The shell reports its own failures; a non-zero result only stops the walk.
        return system.ShellCopyFile(source, destination) == kShellSuccess;
      },
      [&](const std::string&) {
        system.ShowMessage("Copie de " + source + kCrLf + " vers " + destination, kProgramTitle,
                           Buttons::kOk, Icon::kCritical);
        return false;
      });
}

bool CopyFolder(System& system, CopyContext& copy, const std::string& folder) {
  // The search belongs to this level; FindData is shared, so each level refills it from its own
  // search before reading it again.
  std::unique_ptr<FileSearch> search = system.FindFirst(folder + "*.*", copy.FindData);
  if (!search) return true;
  do {
    if (StartsWithDot(copy.FindData.name)) continue;
    if (copy.FindData.attributes & kAttributeDirectory) {
      // A failure inside a subfolder ends the walk of that subfolder only.
      CopyFolder(system, copy, folder + StripNull(copy.FindData.name) + "\\");
    } else if (!CopyThisFile(system, copy, folder)) {
      return false;
    }
  } while (search->Next(copy.FindData));
  return true;
}

}  // namespace movrix
