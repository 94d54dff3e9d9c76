// norvane-cli: the naming service for scripts, support and headless use.
#include "cli/commands.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  try {
    int code = norvane::cli::runCli(args, std::cout, std::cerr);
    std::cout.flush();
    return code;
  } catch (const std::exception& e) {
    std::cerr << "norvane-cli: internal error: " << e.what() << "\n";
    return norvane::cli::kExitFailure;
  }
}
