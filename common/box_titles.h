// The titles of the program's message boxes, each as the program shows it: support notes quote
// them, their spacing included, to tell which step a box came from.
#pragma once

namespace movrix {

// The start of the window caption, and the title of a box that names no step.
inline constexpr const char* kProgramTitle = "Movrix18";
// Phases, each completed by the step it stopped at.
inline constexpr const char* kRenamingTitle = "Launch_Folders ";
inline constexpr const char* kCopyTitle = "Launch_Copy ";
inline constexpr const char* kRegistrationTitle = "Write_Reg   Ligne ";
// Runs and checks that stop with the description of what failed.
inline constexpr const char* kStartUpTitle = "Form_Load";
inline constexpr const char* kIdentificationTitle = "Win_Ver";
inline constexpr const char* kInstallationTitle = "RunInstall";
inline constexpr const char* kWayBackTitle = "RunUninstall";
inline constexpr const char* kFileRecordTitle = "Enregistrer les fichiers installés";
inline constexpr const char* kRegistryRecordTitle = "Enregistrer l'état du registre";
inline constexpr const char* kUninstallQuestionTitle = "Désinstaller Windows Mail";
// Steps that tell a failure at once, through the reporter their phase lends them.
inline constexpr const char* kCopyFileTitle = "CopyThisFile";
inline constexpr const char* kSystemFileTitle = "CopyAdd";
inline constexpr const char* kRightsTitle = "SetRights";
inline constexpr const char* kValueTitle = "SetKeyValue";
inline constexpr const char* kKeyTitle = "CreateKey";

}  // namespace movrix
