// How a whole run ends, whatever ended it: its exit code, and the status and end lines of its log.
#include <functional>
#include <optional>

#include "app/run_program.h"
#include "tests/logic/run_fixture.h"

namespace movrix::testing {
namespace {

using RunEndTest = RunTest;

// The one line of `log` that starts with `head`, without its end; "<none>" when there is none,
// "<several>" when there are more.
std::string LogLine(const std::string& log, const std::string& head) {
  const size_t at = log.find(kCrLf + head);
  if (at == std::string::npos) return "<none>";
  if (log.find(kCrLf + head, at + 2) != std::string::npos) return "<several>";
  const size_t start = at + 2 + head.size();
  return log.substr(start, log.find(kCrLf, start) - start);
}

// What a whole run ends with, whatever ended it: the exit code, and in the log the status line
// and the end line that carries the same code.
TEST_F(RunEndTest, EachWayARunEndsGivesItsExitCodeStatusAndEndLine) {
  const std::string log_path = At("run.log");
  const std::string incomplete = "L'installation de Windows Mail est incomplète.";
  const struct Case {
    const char* name;
    std::function<void()> arrange;
    std::vector<std::string> switches;
    int code;
    std::string status;  // the first line of the status
  } cases[] = {
      {"complete",
       [] {},
       {"/S"},
       0,
       "Les fichiers programmes de Windows Mail ont été correctement installés."},
      {"a stop",
       [&] { Remove(At("Setup\\WM_64")); },
       {"/S"},
       1603,
       "L'installation de Windows Mail a échoué."},
      {"a file failure",
       [&] { system_.Fail(Call::kShellCopyFile, "WM_64"); },
       {"/S"},
       1603,
       incomplete},
      {"a registry failure",
       [&] { system_.Fail(Call::kSetRegValue, "EditFlags"); },
       {"/S"},
       1603,
       incomplete},
      {"WinMail running, silent",
       [] {},
       {"/S"},
       1618,
       "Rien n'a été modifié : Windows Mail est en service."},
      {"No to ending WinMail",
       [&] { system_.answers = {Answer::kNo}; },
       {},
       1602,
       "Rien n'a été modifié : la réponse a été Non."},
      {"an unknown switch", [] {}, {"/S", "/bogus"}, 87, "Rien n'a été modifié."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LayOut();
    Remove(log_path);
    system_.ForgetFailures();
    system_.answers.clear();
    c.arrange();
    std::optional<FakeMail> mail;
    if (std::string(c.name).find("WinMail") != std::string::npos) mail.emplace();
    std::vector<std::string> arguments = c.switches;
    arguments.push_back("/journal=" + log_path);
    EXPECT_EQ(RunProgram(system_, arguments), c.code);
    const std::string log = Read(log_path);
    EXPECT_EQ(LogLine(log, "Statut : "), c.status) << log;
    const std::string end = LogLine(log, "Fin : ");
    EXPECT_EQ(end.substr(end.find(", ") + 2), "code de sortie " + std::to_string(c.code)) << log;
  }
  // A log that cannot be opened ends the run before it writes anything anywhere.
  EXPECT_EQ(RunProgram(system_, {"/S", "/journal=" + At("absent\\run.log")}), 1622);
  EXPECT_EQ(Read(At("absent\\run.log")), "<missing>");
}

}  // namespace
}  // namespace movrix::testing
