// The switches, as deployment tools write them.
#include "app/switches.h"

#include <gtest/gtest.h>

namespace movrix {
namespace {

TEST(SwitchesTest, AreReadIgnoringCaseWithEitherPrefix) {
  struct Case {
    std::vector<std::string> arguments;
    bool silent;
    std::string log_path, unknown, invalid_log_path;
    bool uninstall = false;
  } cases[] = {
      {{}, false, "", "", ""},
      {{"/S"}, true, "", "", ""},
      {{"-silencieux"}, true, "", "", ""},
      {{"/SILENCIEUX", "/journal=C:\\Logs\\Movrix É.log"}, true, "C:\\Logs\\Movrix É.log", "", ""},
      {{"-LOG=D:\\m.log"}, false, "D:\\m.log", "", ""},
      {{"/log="}, false, "", "/log=", ""},
      {{"/silent", "/S"}, true, "", "/silent", ""},
      {{"S"}, false, "", "S", ""},
      {{"/q", "/x"}, false, "", "/q", ""},
      // What deployment tools add by habit: /quiet is /S, /norestart changes nothing.
      {{"-QUIET", "/NoRestart", "/fermer", "-CloseApplications", "/x"}, true, "", "/x", ""},
      // A quote swallowed what followed it: the switches among it still count.
      {{"/LOG=C:\\Logs\" /S"}, true, "", "", "C:\\Logs\" /S"},
      {{"/journal=C:\\Logs\"  -silencieux /z"}, true, "", "/z", "C:\\Logs\"  -silencieux /z"},
      {{"/LOG=C:\\a<b.log"}, false, "", "", "C:\\a<b.log"},
      {{"/LOG=C:\\*.log", "/LOG=C:\\b.log"}, false, "C:\\b.log", "", "C:\\*.log"},
      {{"/LOG=C:\\?.log"}, false, "", "", "C:\\?.log"},
      {{"-UNINSTALL", "/s"}, true, "", "", "", true},
      {{"/Desinstaller", "/LOG=C:\\u.log"}, false, "C:\\u.log", "", "", true},
      {{"/désinstaller"}, false, "", "", "", true},
      {{"/DÉSINSTALLER", "/S"}, true, "", "", "", true},
  };
  for (const Case& c : cases) {
    const Switches got = ParseSwitches(c.arguments);
    const std::string what = c.arguments.empty() ? "(none)" : c.arguments[0];
    EXPECT_EQ(got.silent, c.silent) << what;
    EXPECT_EQ(got.log_path, c.log_path) << what;
    EXPECT_EQ(got.unknown, c.unknown) << what;
    EXPECT_EQ(got.invalid_log_path, c.invalid_log_path) << what;
    EXPECT_EQ(got.uninstall, c.uninstall) << what;
  }
}

}  // namespace
}  // namespace movrix
