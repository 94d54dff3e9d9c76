#include "app/run_plugins.h"

#include <cstdio>
#include <cstdlib>

#include "account/account_store.h"
#include "data/knowledge_db.h"
#include "platform/folders.h"
#include "platform/debug_trace.h"
#include "shell/crash_handler.h"
#include "shell/run_log.h"
#include "shell/settings.h"
#include "telemetry/machine_code.h"
#include "telemetry/usage_reporter.h"
#include "update/entry_runs.h"
#include "update/update.h"

namespace norvane::plugins {

std::jthread prepareKnowledgeDb() {
  return std::jthread([path = JoinPath(locateProgramFolder(), "local.dat")] {
    KnowledgeDb::prepareKey(path);
    TraceStartStep("knowledge database key derived");
  });
}

void loadStoredAccount() { accountStore().load(); }

void primeUsageReporter() { norvane::primeUsageReporter(usageReporter(), oemSettings()); }

void sendUninstallReport() { norvane::sendUninstallReport(); }

void runMakeMachine() { storeMachineCode(); }

void startDailyUpdateCheck() {
  CUpdate& checker = updateChecker();
  // A hardware fault inside the check ends the check, not the program.
  checker.setFaultGuard([](const std::function<void()>& work, WorkerFault& fault) {
    std::uint32_t code = 0;
    std::uintptr_t address = 0;
    bool finished = runWithFaultGuard(work, code, address);
    fault.code = code;
    fault.address = address;
    return finished;
  });
  checker.setRunLogWriter([](const std::string& line) { appendRunLog("%s", line.c_str()); });
  if (!checker.isCheckRunning()) checker.startDailyCheck();
}

void shutdownPlugins() {
  if (updateChecker().stop()) return;
  // The update worker is still blocked after the stop request and its grace
  // time. The exit-time destructors would free what it still uses (the
  // checker, the reporter, the transfer library), so the process ends here
  // with the worker, as a finished program always ends: exit code 0.
  DebugTrace("shutdown: the update check did not end; ending the process\n");
  std::fflush(nullptr);
  std::_Exit(0);
}

}  // namespace norvane::plugins
