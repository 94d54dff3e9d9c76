#pragma once
// The light front end hands "report" on to the report engine, a program of
// its own beside it, so that no other command loads the web engine.
namespace norvane::cli {

// Replaces this process with "norvane-cli-report" from the program folder,
// with the same arguments; returns only when that fails (after a message on
// standard error), with the exit status to end with.
int handOnToReportEngine(int argc, char** argv);

}  // namespace norvane::cli
