#include "shell/run_plugins.h"

// The subsystems that fill these places are not linked into the program yet:
// each function below deliberately does nothing until its part is wired in.

namespace norvane::plugins {

// Does nothing yet: the account store fills it (AccountStore::load).
void loadStoredAccount() {}

// Does nothing yet: the usage reporter fills it (host, app id 1, OS name,
// channel code, installed version, machine code, bitness).
void primeUsageReporter() {}

// Does nothing yet: the usage reporter fills it (report type 2, synchronous).
void sendUninstallReport() {}

// Does nothing yet: the machine-code part fills it.
void runMakeMachine() {}

// Does nothing yet: the update checker fills it (isCheckRunning, then startDailyCheck).
void startDailyUpdateCheck() {}

// Does nothing yet: the update checker fills it.
void shutdownPlugins() {}

}  // namespace norvane::plugins
