// The rights step, which hands a file to the Administrators group through the system's own
// takeown and icacls (the stand-ins of the prefix).
#include "files/copy_add.h"
#include "files/set_rights.h"
#include "tests/logic/fixture.h"

namespace movrix::testing {
namespace {

using RightsStepTest = LogicTest;

TEST_F(RightsStepTest, RightsStepStartsBothSystemCommandsDirectlyWithThePathWhole) {
  // A legal name that an interpreter would take for commands.
  const std::string path = At("Dossier à espaces\\%CMDCMDLINE%&calc&rem é.dll");
  Outcome outcome;
  SetRights(system_, system_, outcome, path);
  SetRights(system_, system_, outcome, path, true);
  ASSERT_EQ(system_.commands.size(), 4u);
  // Never the 32-bit copy, which would see SysWOW64 under the name of system32.
  const std::string folder =
      system_.GetEnv("windir") + (IsWow64() ? "\\Sysnative\\" : "\\system32\\");
  for (int i : {0, 2}) {
    EXPECT_EQ(system_.commands[i].program, folder + "takeown.exe");
    EXPECT_EQ(system_.commands[i].arguments, "/a /f \"" + path + "\"");
    EXPECT_EQ(system_.commands[i + 1].program, folder + "icacls.exe");
    EXPECT_EQ(system_.commands[i + 1].arguments, "\"" + path + "\" /grant *S-1-5-32-544:F");
  }
  EXPECT_EQ(system_.commands[1].wait, 0u);
  EXPECT_EQ(system_.commands[3].wait, 30000u);
  EXPECT_EQ(outcome.warnings.size() + outcome.failures.size(), 0u);
}

TEST_F(RightsStepTest, AnAwaitedRightsCommandStillRunningAfterItsWaitIsAWarning) {
  const std::string path = At("still running.dll");
  Outcome outcome;
  system_.Fail(Call::kProgramEnd, "icacls");
  SetRights(system_, system_, outcome, path, true);
  EXPECT_EQ(
      outcome.warnings,
      std::vector<std::string>{"icacls.exe \"" + path +
                               "\" /grant *S-1-5-32-544:F tournait encore après 30 s d'attente"});
  EXPECT_EQ(outcome.failures.size(), 0u);
}

TEST_F(RightsStepTest, ARightsCommandThatCannotStartFailsTheFileWithTheSystemsReason) {
  const std::string path = At("refused.dll");
  Write(At("new.dll"), "new");
  Write(path, "original");
  Outcome outcome;
  system_.Fail(Call::kStartProgram, "icacls");
  // The step only reports; the one that asked shows the box and fails the file.
  try {
    SetRights(system_, system_, outcome, path);
    ADD_FAILURE() << "no failure";
  } catch (const SystemError& failure) {
    EXPECT_EQ(failure.code(), 5u) << failure.what();
  }
  EXPECT_EQ(system_.BoxLines() + SortedFailures(outcome), "");
  EXPECT_FALSE(CopyAdd(system_, outcome, boxes_, At("new.dll"), path, true));
  EXPECT_EQ(system_.BoxLines(), "SetRights|" + DescribeError(5) + "|none\n");
  EXPECT_EQ(SortedFailures(outcome),
            path + " n'a pas été écrit, faute de droits: " + DescribeError(5) + "\n");
  EXPECT_EQ(Read(path), "original");
}

TEST_F(RightsStepTest, AnAwaitedRightsCommandThatFailsLeavesItsFileUnwrittenAndNamesItsCode) {
  const std::string path = At("kept by its owner.dll");
  Write(At("new.dll"), "new");
  Write(path, "original");
  Outcome outcome;
  system_.Fail(Call::kProgramExitCode, "takeown", 1);
  EXPECT_FALSE(CopyAdd(system_, outcome, boxes_, At("new.dll"), path, true));
  const std::string reason = "takeown.exe /a /f \"" + path + "\" a échoué (code de sortie 1)";
  EXPECT_EQ(system_.BoxLines(), "SetRights|" + reason + "|none\n");
  EXPECT_EQ(SortedFailures(outcome),
            path + " n'a pas été écrit, faute de droits: " + reason + "\n");
  EXPECT_EQ(system_.commands.size(), 1u) << "icacls ran after takeown failed";
  EXPECT_EQ(Read(path), "original");
}

}  // namespace
}  // namespace movrix::testing
