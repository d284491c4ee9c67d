// What a contract test needs besides the system under test. The same tests link against the
// stand-in on Linux (contract/host) and against the real system under Wine (contract/win32).
#pragma once

#include <string>

#include "platform/system.h"

namespace movrix::contract {

// The system under test, one for the whole test program.
System& TheSystem();

// True when the system under test is 64-bit (a 32-bit program then sees WOW64 redirection).
bool Is64BitSystem();

// A fresh, empty folder for one test, as a Windows path ending in a backslash.
std::string ScratchFolder(const std::string& test_name);

// Writes or reads a file directly, bypassing the system under test (and its redirection).
// Writing creates every missing folder of the path.
void WriteFileDirect(const std::string& windows_path, const std::string& content);
std::string ReadFileDirect(const std::string& windows_path);

// A scratch registry key below HKEY_CURRENT_USER for one test; removed with everything below it
// before it is handed out.
std::string ScratchKey(const std::string& test_name);

}  // namespace movrix::contract
