#pragma once
// The commands of norvane-cli: a table of (name, accepted options, handler)
// over one shared option parser. A new command is one more table row.
#include "cli/options.h"

#include <ostream>
#include <string>
#include <vector>

namespace norvane::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // the service or the cache failed, or the result was not written
constexpr int kExitUsage = 2;    // bad or missing options

struct Command {
  const char* name;
  const char* synopsis;  // options, as shown in the usage text
  OptionNames options;
  // Runs with parsed options; prints the result on `out` and failures on `err`.
  int (*handler)(const Options& options, std::ostream& out, std::ostream& err);
  const char* notes = nullptr;  // more lines for "COMMAND --help", or none
  OptionNames flags = {};  // options without a value
};

const std::vector<Command>& commands();

// The whole front end: args are the words after the program name. Sets up
// the endpoints and folders (ServiceEndpoints::initialize) before a command
// runs.
// `extra` commands take the place of the table's commands of the same name
// (the report command of the build with the report engine).
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const std::vector<Command>& extra = {});

// The options and synopsis of the report command, shared by the light front
// end (which hands the command on) and the report engine's.
const OptionNames& reportOptions();
const OptionNames& reportFlags();
extern const char* const kReportSynopsis;

std::string usageText();

}  // namespace norvane::cli
