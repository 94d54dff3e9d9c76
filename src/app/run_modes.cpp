#include "app/run_modes.h"

namespace norvane {

RunMode chooseRunMode(const std::string& commandLine) {
  if (commandLine.find("/uninstall") != std::string::npos) return RunMode::UninstallReport;
  if (commandLine.find("/makemachine") != std::string::npos) return RunMode::MakeMachine;
  return RunMode::Gui;
}

std::string commandLineOf(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i] ? argv[i] : "";
  }
  return line;
}

}  // namespace norvane
