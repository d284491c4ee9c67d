// Finding the fake WinMail.exe by name, and ending it as politely as it lets itself be ended.
#include <windows.h>

#include "process/mod_process.h"
#include "tests/logic/fixture.h"

namespace movrix::testing {
namespace {

TEST(ProcessTest, FindsWholeNamesIgnoringCaseAndClosesAProgramBeforeTerminatingIt) {
  TestSystem system;
  {
    FakeMail mail;
    const FoundProcess found = FindProcess(system, "WINMAIL.EXE");
    EXPECT_EQ(found.id, mail.id());
    EXPECT_EQ(FindProcess(system, "WinMail.ex").id, 0);
    EXPECT_EQ(FindProcess(system, "WinMail.exe.mui").id, 0);
    EXPECT_TRUE(EndProcess(found));
    EXPECT_EQ(mail.ExitCode(), FakeMail::kClosedOnRequest) << "not closed on request";
  }
  // A program that does not close on request is terminated after its grace.
  FakeMail stuck("/ignore-close");
  const DWORD started = GetTickCount();
  EXPECT_TRUE(EndProcess(FindProcess(system, "WinMail.exe")));
  EXPECT_EQ(stuck.ExitCode(), 0u);
  EXPECT_GE(GetTickCount() - started, 4500u) << "terminated without waiting for it to close";
}

}  // namespace
}  // namespace movrix::testing
