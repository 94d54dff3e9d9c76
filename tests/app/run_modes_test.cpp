#include "app/run_modes.h"

#include <gtest/gtest.h>

namespace norvane {
namespace {

TEST(RunModes, ChosenBySubstringOfTheCommandLine) {
  struct Case {
    const char* line;
    RunMode mode;
  };
  const Case cases[] = {
      {"", RunMode::Gui},
      {"/uninstall", RunMode::UninstallReport},
      {"/makemachine", RunMode::MakeMachine},
      {"/makemachine /uninstall", RunMode::UninstallReport},  // both: the uninstall report only
      {"/uninstall /makemachine", RunMode::UninstallReport},
      {"/uninstallnow", RunMode::UninstallReport},             // followed by further letters
      {"x/makemachines", RunMode::MakeMachine},                // preceded by other characters
      {"--flag=/uninstall", RunMode::UninstallReport},
      {"/UNINSTALL", RunMode::Gui},                            // case-sensitive
      {"/MakeMachine", RunMode::Gui},
      {"/ uninstall", RunMode::Gui},
      {"uninstall makemachine", RunMode::Gui},
  };
  for (const Case& c : cases) EXPECT_EQ(chooseRunMode(c.line), c.mode) << '"' << c.line << '"';
}

TEST(RunModes, CommandLineLeavesTheProgramPathOut) {
  char prog[] = "/opt/uninstall/norvane";
  char a[] = "--x";
  char b[] = "/makemachine";
  char* argv[] = {prog, a, b, nullptr};
  EXPECT_EQ(commandLineOf(3, argv), "--x /makemachine");
  EXPECT_EQ(chooseRunMode(commandLineOf(1, argv)), RunMode::Gui);
}

}  // namespace
}  // namespace norvane
