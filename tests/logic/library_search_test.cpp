// Where the program's process finds the libraries that system libraries load by name.
#include <windows.h>

#include "common/text.h"
#include "platform/win32/win32_system.h"
#include "tests/logic/fixture.h"

namespace movrix::testing {
namespace {

// The libraries that system libraries load by name later are in the process, from the system
// folder, before anything else could load them.
TEST(LibrarySearchTest, SystemLibrariesLoadedByNameLaterAreTheSystemFolderOnes) {
  RestrictLibrarySearchToSystemFolder();
  PreloadSystemLibraries();
  char folder[MAX_PATH] = {};
  GetSystemDirectoryA(folder, MAX_PATH);
  for (const std::string name :
       {"msimg32", "uxtheme", "version", "dwmapi", "userenv", "cryptbase"}) {
    const std::string expected = std::string(folder) + "\\" + name + ".dll";
    if (GetFileAttributesA(expected.c_str()) == INVALID_FILE_ATTRIBUTES) continue;  // none to load
    char path[MAX_PATH] = {};
    GetModuleFileNameA(GetModuleHandleA((name + ".dll").c_str()), path, MAX_PATH);
    EXPECT_TRUE(EqualsIgnoringCase(path, expected)) << path;
  }
}

}  // namespace
}  // namespace movrix::testing
