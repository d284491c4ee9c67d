#include "app/run_log.h"

#include "common/guard.h"
#include "common/text.h"
#include "files/file_exists.h"

namespace movrix {
namespace {

constexpr const char* kUtf8ByteOrderMark = "\xEF\xBB\xBF";
// How many names a new log tries before it gives up: a taken name can only be one planted by
// someone who read the random part, which no second draw repeats.
constexpr int kNewLogNames = 10;
// Random bytes in the name of a new log: 64 bits that nobody can foresee, so that nobody can
// plant the file first in a folder every user can write to.
constexpr size_t kUnguessableBytes = 8;

// The folder of a full path, its final backslash kept ("C:\Logs\", "C:\").
std::string FolderOf(const std::string& path) {
  return path.substr(0, path.find_last_of('\\') + 1);
}

// Why the folder of the full path `path` cannot hold the log; empty when it can.
std::string FolderRefusal(System& system, const std::string& path) {
  const int64_t attributes = system.PathAttributes(FolderOf(path));
  if (attributes < 0 || !(attributes & kAttributeDirectory)) return "son dossier n'existe pas.";
  if (attributes & kAttributeReparsePoint) return "son dossier est un lien vers un autre dossier.";
  return "";
}

// Why the full path `path` cannot name the log whatever it holds; empty when it can. A network
// path would hand the account's credentials to its server, and a device path (\\?\, \\.\)
// escapes the checks that ordinary paths get.
std::string PathRefusal(const std::string& path) {
  if (path.compare(0, 2, "\\\\") == 0 || path.compare(0, 2, "//") == 0)
    return "un chemin réseau ou de périphérique (\\\\serveur\\partage, \\\\?\\, \\\\.\\) "
           "n'est pas accepté.";
  return "";
}

// Why the file opened as `path` cannot be the log; empty when it can. A link anywhere on the way,
// such as a junction that replaced a folder above the log's own, leads elsewhere: the system's
// final path of the open file then differs from the path asked for.
std::string FileRefusal(const OpenFileFacts& facts, const std::string& path) {
  if (facts.attributes & kAttributeReparsePoint)
    return "ce fichier est un lien vers un autre fichier.";
  if (facts.link_count > 1)
    return "ce fichier porte plusieurs noms (liens physiques) : il peut être un tout autre "
           "fichier.";
  if (!EqualsIgnoringCase(facts.final_path, path))
    return "le chemin mène, par un lien, à un autre fichier : " + facts.final_path;
  return "";
}

// The sentence that says why the log at `path` cannot be used.
std::string Refusal(const std::string& path, const std::string& why) {
  return "Le journal « " + path + " » ne peut pas servir : " + why;
}

// "2026-01-05 14:22:33" as "20260105-142233".
std::string StampOf(const std::string& local_time) {
  std::string stamp;
  for (char c : local_time) {
    if (c == ' ') stamp += '-';
    if (c >= '0' && c <= '9') stamp += c;
  }
  return stamp;
}

// Where the last `runs` runs of the log `text` begin; 0 when it holds no more than that. The
// first run of a log follows its byte-order mark, each later one a line's end.
size_t StartOfLastRuns(const std::string& text, int runs) {
  const std::string run_start = std::string("\n") + kRunStartLine;
  size_t at = text.size();
  for (int found = 0; found < runs; ++found) {
    if (at == 0) return 0;
    at = text.rfind(run_start, at - 1);
    if (at == std::string::npos) return 0;
  }
  return at + 1;
}

}  // namespace

std::string RunLog::Open(System& system, const std::string& path) {
  std::string full_path = path;
  return Guarded(
      [&] {
        // Not every deployment tool expands %WINDIR% in a command's arguments: expanded here,
        // the same command works through each of them. The checks below then see the real path.
        full_path = system.FullPath(system.ExpandEnvironment(path));
        if (std::string refusal = PathRefusal(full_path); !refusal.empty())
          throw SystemError(refusal);
        OpenOrThrow(system, full_path, false);
        return std::string();
      },
      [&](const std::string& why) { return Refusal(full_path, why); });
}

std::string RunLog::OpenNew(System& system, const std::string& folder, const std::string& label) {
  const std::string base = folder + "Movrix18-" + label + StampOf(system.LocalTimeText()) + "-";
  std::string path = base + ".log";
  return Guarded(
      [&] {
        // While a name is taken, another random part.
        for (int attempt = 1;; ++attempt) {
          path = base + HexOf(system.RandomBytes(kUnguessableBytes)) + ".log";
          try {
            OpenOrThrow(system, path, true);
            return std::string();
          } catch (const SystemError& error) {
            if (error.code() != kErrorFileExists || attempt == kNewLogNames) throw;
          }
        }
      },
      [&](const std::string& why) { return Refusal(path, why); });
}

std::string RunLog::OpenKeepingRuns(System& system, const std::string& path, int kept_runs) {
  // A log that cannot be shortened now, such as one that another run of the same user holds
  // open, is shortened by a later run; a shortened copy left half-written is not the log.
  Guarded([&] { DropOldRuns(system, path, kept_runs - 1); },
          [&](const std::string&) { file_.reset(); });
  return Guarded(
      [&] {
        OpenOrThrow(system, path, false);
        return std::string();
      },
      [&](const std::string& why) { return Refusal(path, why); });
}

void RunLog::DropOldRuns(System& system, const std::string& path, int runs) {
  // The checks of a log, before it is read: never another file through a link.
  OpenOrThrow(system, path, false);
  file_.reset();
  const std::string text = system.ReadWholeFile(path);
  const size_t kept = StartOfLastRuns(text, runs);
  if (kept == 0) return;
  // The runs kept go to a new file first, which then takes the log's name in one step: a run
  // that stops half-way leaves the whole log.
  const std::string shortened = path + ".nouveau";
  if (PathExists(system, shortened)) system.RemoveFile(shortened);
  OpenOrThrow(system, shortened, true);
  file_->Append(kUtf8ByteOrderMark + text.substr(kept));
  file_.reset();
  system.MoveReplacing(shortened, path);
}

void RunLog::OpenOrThrow(System& system, const std::string& path, bool must_be_new) {
  if (std::string refusal = FolderRefusal(system, path); !refusal.empty())
    throw SystemError(refusal);
  std::unique_ptr<AppendableFile> file = system.OpenToAppend(path, must_be_new);
  const OpenFileFacts facts = file->Facts();
  if (std::string refusal = FileRefusal(facts, path); !refusal.empty()) throw SystemError(refusal);
  file_ = std::move(file);
  needs_mark_ = facts.length == 0;
  path_ = path;
}

void RunLog::Line(const std::string& text) {
  if (!file_) return;
  Guarded(
      [&] {
        file_->Append((needs_mark_ ? kUtf8ByteOrderMark : "") + text + kCrLf);
        needs_mark_ = false;
      },
      [](const std::string&) {});
}

}  // namespace movrix
