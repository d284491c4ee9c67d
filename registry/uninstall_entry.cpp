#include "registry/uninstall_entry.h"

#include "common/scoped_key.h"
#include "common/version.h"
#include "registry/key_io.h"

namespace movrix {
namespace {

std::string EntryName() {
  return std::string("HKLM\\") + kUninstallKey;
}

}  // namespace

void WriteUninstallEntry(Registry& system, const std::string& program, const std::string& folder,
                         uint32_t size_kb) {
  const std::string quoted = "\"" + program + "\"";
  const struct {
    const char* name;
    uint32_t type;
    Variant value;
  } values[] = {
      {"DisplayName", kRegSz, Variant::Text("Windows Mail (installé par Movrix18)")},
      {"DisplayVersion", kRegSz, Variant::Text(VersionText())},
      {"Publisher", kRegSz, Variant::Text("Movrix")},
      {"InstallLocation", kRegSz, Variant::Text(folder.substr(0, folder.size() - 1))},
      {"DisplayIcon", kRegSz, Variant::Text(program + ",0")},
      {"UninstallString", kRegSz, Variant::Text(quoted + " /desinstaller")},
      {"QuietUninstallString", kRegSz, Variant::Text(quoted + " /desinstaller /S")},
      {"NoModify", kRegDword, Variant::Number(1)},
      {"NoRepair", kRegDword, Variant::Number(1)},
      {"EstimatedSize", kRegDword, Variant::Number(size_kb)},
  };
  ScopedKey key(system);
  ThrowUnlessSuccess(system,
                     system.CreateRegKey(kLocalMachine, kUninstallKey, kKeyAccess, key.Receive()),
                     EntryName());
  for (const auto& value : values)
    ThrowUnlessSuccess(system, SetKeyValue(system, key.get(), value.name, value.type, value.value),
                       EntryName() + "\\" + value.name);
}

void RemoveUninstallEntry(Registry& system, RestoreReport& report) {
  const int32_t status = system.DeleteRegKey(kLocalMachine, kUninstallKey, kKeyAccess);
  if (status == kErrorSuccess)
    report.Done("Entrée supprimée de Programmes et fonctionnalités");
  else if (status != kErrorFileNotFound)
    report.Fail("clé non supprimée", EntryName(), system.ErrorText(uint32_t(status)));
}

}  // namespace movrix
