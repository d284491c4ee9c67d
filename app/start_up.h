// The window's start-up, which does the whole run before the window is first shown.
#pragma once

#include <cstdint>
#include <string>

#include "app/window_run.h"

namespace movrix {

// The load handler: the Windows Mail guard, the program folder, the language check, the caption
// and the folder values; then the installation, or the way back when asked. Every stop closes the
// window.
void StartUp(WindowRun& run);

// True when `lang_id` is one of the English and French system languages the installer accepts.
bool IsAcceptedLanguage(uint16_t lang_id);

// The window's caption, with the executable's date: "Movrix18 (version 2.18.0.1 du <date>)".
std::string BuildCaption(const std::string& date_text);

// The folder values of a run, from what the system says of itself.
void SetFolderValues(RunState& state, const SystemIdentity& identity);

}  // namespace movrix
