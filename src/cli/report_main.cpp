// norvane-cli-report: the report command of norvane-cli with the web engine
// that lays the report out; norvane-cli hands "report" over to it.
#include "cli/commands.h"
#include "cli/output_stream.h"
#include "cli/report_command.h"

#include <csignal>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  norvane::cli::DescriptorOutput stdoutBuffer(STDOUT_FILENO);
  std::ostream out(&stdoutBuffer);
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  int code = norvane::cli::kExitFailure;
  try {
    code = norvane::cli::runCli(args, out, std::cerr, {norvane::cli::reportCommand()});
  } catch (const std::exception& e) {
    std::cerr << "norvane-cli: internal error: " << e.what() << "\n";
  }
  code = norvane::cli::finishOutput(stdoutBuffer, code, std::cerr);
  // The web engine's own shutdown takes seconds and adds nothing to a
  // written file: end here, with the output flushed.
  std::cerr.flush();
  ::_exit(code);
}
