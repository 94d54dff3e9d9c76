// norvane-cli: the naming service for scripts, support and headless use.
#include "cli/commands.h"
#include "cli/output_stream.h"
#include "cli/report_handoff.h"

#include <csignal>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

int main(int argc, char** argv) {
  // A reader that goes away early shows as a failed write (EPIPE) with a
  // message, instead of ending the program silently.
  std::signal(SIGPIPE, SIG_IGN);
  norvane::cli::DescriptorOutput stdoutBuffer(STDOUT_FILENO);
  std::ostream out(&stdoutBuffer);
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
#ifdef NORVANE_REPORT_ENGINE
  if (!args.empty() && args[0] == "report") return norvane::cli::handOnToReportEngine(argc, argv);
#endif
  int code = norvane::cli::kExitFailure;
  try {
    code = norvane::cli::runCli(args, out, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "norvane-cli: internal error: " << e.what() << "\n";
  }
  return norvane::cli::finishOutput(stdoutBuffer, code, std::cerr);
}
