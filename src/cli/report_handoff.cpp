#include "cli/report_handoff.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "cli/commands.h"
#include "platform/folders.h"

namespace norvane::cli {

int handOnToReportEngine(int argc, char** argv) {
  const std::string engine = JoinPath(locateProgramFolder(), "norvane-cli-report");
  std::vector<char*> args;
  args.push_back(const_cast<char*>(engine.c_str()));
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  std::cout.flush();
  ::execv(engine.c_str(), args.data());
  std::cerr << "norvane-cli report: the report engine " << engine << " could not be started: "
            << std::strerror(errno) << "\n";
  return kExitFailure;
}

}  // namespace norvane::cli
