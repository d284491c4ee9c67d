// The replacement of one system file, with its one-time backup.
#include "files/copy_add.h"

#include "common/guard.h"
#include "files/launch_copy.h"
#include "files/mod_file_mngr.h"

namespace movrix {

void BackUpOnce(System& system, const std::string& destination) {
  const std::string backup = destination + ".orlo";
  // An empty file counts as missing on either side.
  if (!FileExists(system, backup, false) && FileExists(system, destination, false))
    system.Rename(destination, backup);
}

bool CopyAdd(System& system, const std::string& source, const std::string& destination) {
  return Guarded(
      [&] {
        if (!SetRights(system, destination)) return false;
        BackUpOnce(system, destination);
        system.CopyFileOver(source, destination);
        return true;
      },
      [&](const std::string&) {
        system.ShowMessage("Copie de " + source + " vers " + destination, "CopyAdd", Buttons::kOk,
                           Icon::kCritical);
        return false;
      });
}

}  // namespace movrix
