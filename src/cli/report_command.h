#pragma once
// "norvane-cli report": a whole report of a name as a PDF file, the same
// document the report windows export, written without a window.
#include "cli/commands.h"

namespace norvane::cli {

// The command as the report engine runs it.
Command reportCommand();

}  // namespace norvane::cli
