// The check of what the installation wrote (/verifier), after an installation laid out in a
// scratch folder, on the prefix's Windows 10.
#include <windows.h>

#include "app/run_program.h"
#include "tests/logic/registry_listing.h"
#include "tests/logic/run_fixture.h"

namespace movrix::testing {
namespace {

using CheckTest = UninstallTest;

// The check of what the installation wrote: from the kept program, without the rights or the setup
// folder, it names each difference on a line of the log and changes nothing.
TEST_F(CheckTest, TheCheckNamesEachDifferenceAndChangesNothing) {
  const std::string log = At("verifier.log");
  const auto check = [&](std::vector<std::string> switches, int code,
                         std::vector<std::string> differences = {}) {
    Remove(log);
    switches.push_back("/journal=" + log);
    EXPECT_EQ(RunProgram(system_, switches), code) << Read(log);
    for (const std::string& line : differences)
      EXPECT_TRUE(Contains(Read(log), "\r\nDIFFÉRENCE : " + line)) << line << Read(log);
  };
  check({"/verifier"}, 1605);
  check({"/utilisateur", "/verify"}, 1605);
  ASSERT_EQ(Start().ExitCode(), 0);
  // The setup folder itself stays the current folder the start-up made it.
  for (const char* part : {"Movrix18.exe", "WM_32", "WM_64", "system32", "syswow64"})
    Remove(At("Setup\\") + part);
  system_.executable = At("PF\\Movrix18\\Movrix18.exe");
  system_.admin = AdministratorsGroup::kAbsent;
  system_.read_only_keys = {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\", kUninstallKey};
  system_.values_written.clear();
  check({"/VÉRIFIER"}, 0);
  check({"/user", "-vérifier"}, 0);

  const std::string tree_file = At("PF\\Windows Mail\\WinMail.exe");
  const std::string put_back = At("Windows\\system32\\inetres.dll");
  const std::string client = "SOFTWARE\\Clients\\Mail\\Windows Mail";
  Write(tree_file, "changed");
  Remove(At("PF (x86)\\Windows Mail\\WinMail.exe"));
  Write(put_back, "original");
  Put(HKEY_LOCAL_MACHINE, client, "", "Autre messagerie");
  RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Clients\\Mail", "");
  check({"/verifier"}, 1,
        {"modifié : " + tree_file, "manquant : " + At("PF (x86)\\Windows Mail\\WinMail.exe"),
         "modifié : " + put_back, "HKLM\\" + client + "\\ : changée"});
  check({"/utilisateur", "/verifier"}, 1, {"HKCU\\Software\\Clients\\Mail\\ : supprimée"});
  // A record that cannot be trusted, an entry or a component that is gone: no more intact.
  const std::string record = At("PF\\Movrix18\\fichiers-installes.txt");
  Write(record, Read(record).substr(0, 300));
  for (const char* key : {kUninstallKey, kActiveSetupKey})
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY, 0);
  check({"/verifier"}, 1,
        {"enregistrement endommagé : " + record + "\r\n", "aucune entrée de Programmes",
         "composant absent ou retiré"});
  check({"/verifier", "/desinstaller"}, 87);
  EXPECT_EQ(system_.BoxLines(), "");
  EXPECT_EQ(system_.values_written, std::vector<std::string>{});
}

}  // namespace
}  // namespace movrix::testing
