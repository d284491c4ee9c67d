#include "files/restart_moves.h"

#include "common/text.h"

namespace movrix {
namespace {

// True when `pending`, as the system recorded it, names `path`.
bool SamePath(std::string pending, const std::string& path) {
  if (!pending.empty() && pending[0] == '!') pending.erase(0, 1);
  if (pending.compare(0, 4, "\\??\\") == 0) pending.erase(0, 4);
  return EqualsIgnoringCase(pending, path);
}

}  // namespace

void MoveAtRestartOnce(FileSystem& system, const std::string& from, const std::string& to) {
  for (const auto& [source, destination] : system.PendingRestartMoves())
    if (SamePath(source, from) && SamePath(destination, to)) return;
  system.MoveAtRestart(from, to);
}

bool DeletedAtRestart(FileSystem& system, const std::string& path) {
  for (const auto& [source, destination] : system.PendingRestartMoves())
    if (destination.empty() && SamePath(source, path)) return true;
  return false;
}

}  // namespace movrix
