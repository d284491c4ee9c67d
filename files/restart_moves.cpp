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

void DeleteFolderAtRestart(FileSystem& system, const std::string& path) {
  // An earlier request may come before the deletion of a copy set aside in the folder since: the
  // folder would not be empty yet when its turn came.
  const std::vector<std::pair<std::string, std::string>> pending = system.PendingRestartMoves();
  if (!pending.empty() && pending.back().second.empty() && SamePath(pending.back().first, path))
    return;
  system.MoveAtRestart(path, "");
}

bool DeletedAtRestart(FileSystem& system, const std::string& path) {
  for (const auto& [source, destination] : system.PendingRestartMoves())
    if (destination.empty() && SamePath(source, path)) return true;
  return false;
}

}  // namespace movrix
