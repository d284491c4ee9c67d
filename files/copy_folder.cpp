// The tree copy: CopyFolder walks a source folder depth-first and hands each file to
// CopyThisFile, which logs it, takes its destination over and copies it through the shell.
#include "common/guard.h"
#include "common/text.h"
#include "files/mod_file_mngr.h"

namespace movrix {
namespace {

// FO_COPY with FOF_SILENT | FOF_NOCONFIRMATION returns 0 on success.
constexpr int kShellSuccess = 0;
constexpr const char* kFailedFileLine = "   ÉCHEC : ce fichier n'a pas été copié";

// Only names that match "*.*" are program files; others (LICENSE, say) are left out.
bool HasDot(const std::string& name) {
  return name.find('.') != std::string::npos;
}

// Names beginning with a dot are ".", ".." and entries kept out of the installation.
bool StartsWithDot(const std::string& name) {
  return !name.empty() && name[0] == '.';
}

// A character that no real file name holds: the ANSI listing puts "?" (or a look-alike such as
// "\" for a fullwidth backslash) where a name had a character outside the code page.
bool CarriedWhole(const std::string& name) {
  return name.find_first_of("\\/:*?\"<>|") == std::string::npos;
}

std::string DestinationOf(const CopyContext& copy, const std::string& source) {
  // A negative root length cannot cut a path: substr then raises out_of_range.
  return copy.DestRoot + source.substr(static_cast<size_t>(copy.SourceRootLen));
}

void LogFailure(CopyContext& copy, const std::string& line) {
  copy.CopyLog += line + kCrLf;
  ++copy.FailedFiles;
}

// Logs a file that cannot be copied under the name the listing gave, and counts it.
void RefuseName(CopyContext& copy, const std::string& source) {
  copy.CopyLog += "de   " + source + kCrLf + "vers " + DestinationOf(copy, source) + kCrLf;
  LogFailure(copy, kFailedFileLine);
}

std::unique_ptr<FileSearch> StartListing(System& system, CopyContext& copy,
                                         const std::string& folder) {
  try {
    return system.FindFirst(folder + "*.*", copy.FindData);
  } catch (const SystemError& failure) {
    LogFailure(copy, "ÉCHEC : impossible de lire le dossier " + folder + " : " + failure.what());
    return nullptr;
  }
}

}  // namespace

std::string StripNull(const std::string& text) {
  const size_t end = text.find('\0');
  if (end == std::string::npos) throw SystemError("Argument ou appel de procédure incorrect.", 5);
  return text.substr(0, end);
}

bool CopyThisFile(System& system, CopyContext& copy, const std::string& folder) {
  std::string source, destination;  // built step by step; the error box shows what exists
  const bool copied = Guarded(
      [&] {
        source = folder + StripNull(copy.FindData.name);
        copy.CopyLog += "de   " + source + kCrLf;
        destination = DestinationOf(copy, source);
        copy.CopyLog += "vers " + destination + kCrLf;
        // A destination that does not exist yet (every one, on a first installation) has nothing
        // to take over: the copy creates it as the administrator's own, which is what the
        // commands would have made of it. Skipping them saves two console programs per file.
        if (system.PathAttributes(destination) >= 0 && !SetRights(system, destination)) {
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
  if (!copied) LogFailure(copy, kFailedFileLine);
  return copied;
}

bool CopyFolder(System& system, CopyContext& copy, const std::string& folder) {
  // The search belongs to this level; FindData is shared, so each level refills it from its own
  // search before reading it again.
  std::unique_ptr<FileSearch> search = StartListing(system, copy, folder);
  if (!search) return true;
  do {
    const std::string name = StripNull(copy.FindData.name);
    if (StartsWithDot(name)) continue;
    if (!CarriedWhole(name)) {
      RefuseName(copy, folder + name);
    } else if (copy.FindData.attributes & kAttributeDirectory) {
      // A failure inside a subfolder ends the walk of that subfolder only.
      CopyFolder(system, copy, folder + name + "\\");
    } else if (HasDot(name) && !CopyThisFile(system, copy, folder)) {
      return false;
    }
  } while (search->Next(copy.FindData));
  return true;
}

}  // namespace movrix
