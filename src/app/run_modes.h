#pragma once
// The three runs of the program, chosen by the command line.
#include <string>

namespace norvane {

enum class RunMode {
  UninstallReport,  // "/uninstall": report the uninstallation and end
  MakeMachine,      // "/makemachine": store the machine code and end
  Gui,              // everything else: the window program
};

// Looks for "/uninstall", then "/makemachine", as plain case-sensitive
// substrings of the command line (not as separate arguments).
RunMode chooseRunMode(const std::string& commandLine);

// The arguments after the program's own path, joined with single spaces.
// The program path is left out so that a folder named like a switch cannot
// choose a mode.
std::string commandLineOf(int argc, char** argv);

}  // namespace norvane
