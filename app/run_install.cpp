// The installation run: the checks, then renaming, copy and registration, in that order.
#include "app/frm_copy.h"
#include "common/guard.h"
#include "common/text.h"
#include "files/launch_copy.h"
#include "files/launch_folders.h"
#include "files/mod_file_mngr.h"
#include "registry/write_reg.h"

namespace movrix {
namespace {

// Appends each piece followed by CR LF.
void AppendLines(std::string& text, std::initializer_list<std::string> lines) {
  for (const std::string& line : lines) text += line + kCrLf;
}

}  // namespace

void FrmCopy::Stop(const std::string& message, Icon icon, const std::string& title) {
  system_.ShowMessage(message, title, Buttons::kOk, icon);
  Unload();
}

void FrmCopy::RunInstall() {
  // The folder tests let a failure of the listing through (an unreachable drive, say); the run
  // then stops with its description rather than ending the program unannounced.
  Guarded(
      [this] { RunInstallSteps(); },
      [this](const std::string& description) { Stop(description, Icon::kCritical, "RunInstall"); });
}

void FrmCopy::RunInstallSteps() {
  if (!system_.IsNTAdmin()) {
    return Stop(kNeedsAdministrator, Icon::kCritical);
  }

  Win_Ver();
  Log("Système : " + text(kTxtSys).substr(0, text(kTxtSys).find(kCrLf)));
  if (!identity_.IsWindows7 && !state_.IsWindows8 && !state_.IsWindows10)
    return Stop("Le système n'est ni Windows 7, ni Windows 8, ni Windows 10");

  if (!SourcesPresent()) return;

  Log("== Renommer les dossiers Windows Mail");
  std::string steps;
  AppendLines(steps, {Repeat('=', 51), "Vérifier la présence des dossiers Windows Mail renommés.",
                      "Les renommer s'ils ne le sont pas encore", Repeat('=', 51)});
  if (!Launch_Folders(system_, state_, identity_.Is64Bit)) {
    return Stop("Le système doit être réparé avant l'installation de Windows Mail",
                Icon::kInformation, "MVX");
  }
  steps += state_.ReportText + kCrLf;

  Log("== Copier les fichiers programmes");
  if (!Launch_Copy(system_, state_, identity_.Is64Bit)) return Unload();

  bool registers = state_.IsWindows8 || state_.IsWindows10;
  if (registers) {
    Log("== Compléter la base de registre");
    if (!RecordRegistryState()) return Unload();
    RecordUserState();
    if (!Write_Reg(system_, identity_.Is64Bit, state_.FailedRegistryWrites)) return Unload();
    RegisterForEveryUser();
    AppendLines(steps, {Repeat('=', 57), "Compléter la base de registre", Repeat('=', 57)});
    if (state_.FailedRegistryWrites > 0) {
      AppendLines(steps, {"ÉCHEC : " + std::to_string(state_.FailedRegistryWrites) +
                          " clé(s) ou valeur(s) n'ont pas pu être écrites"});
    }
    AppendLines(steps, {""});
  }

  std::string system_line = "dans le(s) dossier(s) programmes de Windows ";
  system_line += !registers ? "7" : state_.IsWindows8 ? "W8" : "W10";
  AppendLines(steps, {Repeat('=', 46), "Copier les fichiers programmes de Windows Mail (de Vista)",
                      system_line, Repeat('=', 46)});

  // Only a complete installation gets its way back registered; a failure there makes it incomplete.
  if (!Incomplete()) {
    const std::string failure = RegisterUninstaller();
    if (!failure.empty()) {
      ++state_.FailedRegistryWrites;
      AppendLines(steps, {"ÉCHEC : " + failure});
    }
  }
  SetText(kTxtOutput, steps + state_.ReportText);
  // The closing lines were set for a complete installation; they must not claim one otherwise.
  if (Incomplete()) {
    SetText(kTxtOK, std::string("L'installation de Windows Mail est incomplète.") + kCrLf +
                        "Les erreurs sont indiquées dans le journal ci-dessous.");
  }
  completed_ = true;
  Log(text(kTxtOutput) + "Statut : " + text(kTxtOK));
}

void FrmCopy::Win_Ver() {
  identity_.txtSys = text(kTxtSys);
  movrix::Win_Ver(system_, state_, identity_, [this] { Unload(); });
  SetText(kTxtSys, identity_.txtSys);
}

bool FrmCopy::SourcesPresent() {
  return identity_.Is64Bit ? SourcesPresent64() : SourcesPresent32();
}

// On a 64-bit system: both program trees, then both library sources. Each missing library source
// has already shown its own box when the run's message comes.
bool FrmCopy::SourcesPresent64() {
  bool has_wm32 = FolderExists(system_, state_.AppFolder + "WM_32");
  bool has_wm64 = FolderExists(system_, state_.AppFolder + "WM_64");
  if (!has_wm32 && !has_wm64) {
    Stop("Le dossiers WM_32 et WM_64 n'ont pas été installés.");
    return false;
  }
  if (!has_wm32 || !has_wm64) {
    Stop(!has_wm32 ? "Le dossier WM_32 n'a pas été installé."
                   : "Le dossier WM_64 n'a pas été installé.");
    return false;
  }
  bool has_system32 = FileExists(system_, state_.AppFolder + "system32\\msidcrl30.dll", true);
  bool has_syswow64 = FileExists(system_, state_.AppFolder + "syswow64\\msidcrl30.dll", true);
  if (!has_system32 && !has_syswow64) {
    Stop("Le dossiers system32 et system64 n'ont pas été installés.");
    return false;
  }
  if (!has_system32 || !has_syswow64) {
    Stop(!has_system32 ? "Le dossier system32 n'a pas été installé."
                       : "Le dossier syswow64 n'a pas été installé.");
    return false;
  }
  return true;
}

// On a 32-bit system only the one library source is needed.
bool FrmCopy::SourcesPresent32() {
  if (FileExists(system_, state_.AppFolder + "syswow64\\msidcrl30.dll", true)) return true;
  Stop("Le dossier syswow64 n'a pas été installé.");
  return false;
}

}  // namespace movrix
