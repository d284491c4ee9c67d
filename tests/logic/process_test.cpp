// Finding every fake WinMail.exe by name, and ending each as politely as it lets itself be ended.
#include <windows.h>

#include <algorithm>

#include "process/running_program.h"
#include "tests/logic/fixture.h"

namespace movrix::testing {
namespace {

std::vector<int32_t> IdsOf(const std::vector<FoundProcess>& found) {
  std::vector<int32_t> ids;
  for (const FoundProcess& process : found) ids.push_back(process.id);
  std::sort(ids.begin(), ids.end());
  return ids;
}

TEST(ProcessTest, FindsEveryWholeNameIgnoringCaseAndClosesAProgramBeforeTerminatingIt) {
  TestSystem system;
  {
    FakeMail mail, second;
    const std::vector<FoundProcess> found = FindProcesses(system, "WINMAIL.EXE");
    EXPECT_EQ(IdsOf(found), (std::vector<int32_t>{std::min(mail.id(), second.id()),
                                                  std::max(mail.id(), second.id())}));
    EXPECT_TRUE(FindProcesses(system, "WinMail.ex").empty());
    EXPECT_TRUE(FindProcesses(system, "WinMail.exe.mui").empty());
    for (const FoundProcess& process : found) EXPECT_EQ(EndProcess(process), Ending::kClosed);
    EXPECT_EQ(mail.ExitCode(), FakeMail::kClosedOnRequest) << "not closed on request";
    EXPECT_EQ(second.ExitCode(), FakeMail::kClosedOnRequest) << "not closed on request";
  }
  // A program that does not close on request is terminated after its grace.
  FakeMail stuck("/ignore-close");
  DWORD started = GetTickCount();
  EXPECT_EQ(EndProcess(FindProcesses(system, "WinMail.exe").at(0)), Ending::kTerminated);
  EXPECT_EQ(stuck.ExitCode(), 0u);
  EXPECT_GE(GetTickCount() - started, 4500u) << "terminated without waiting for it to close";
  // One in another session is beyond the reach of a close request: terminated at once.
  FakeMail elsewhere;
  system.other_session_ids = {elsewhere.id()};
  started = GetTickCount();
  EXPECT_EQ(EndProcess(FindProcesses(system, "WinMail.exe").at(0)), Ending::kTerminated);
  EXPECT_EQ(elsewhere.ExitCode(), 0u) << "closed, not terminated";
  EXPECT_LT(GetTickCount() - started, 4500u) << "waited for a close no request could bring";
}

}  // namespace
}  // namespace movrix::testing
