#pragma once
// What the entry routine calls for the usage reporter in its runs:
//   uninstall run: primeUsageReporter(usageReporter(), oemSettings());
//                  sendUninstallReport();
//   normal start:  primeUsageReporter(usageReporter(), oemSettings());
//                  ... if (!updateChecker().isCheckRunning()) updateChecker().startDailyCheck();
//   "/makemachine": storeMachineCode() (telemetry/machine_code.h)
#include "shell/settings.h"
#include "telemetry/usage_reporter.h"

namespace norvane {

// Fills the reporter in its fixed order: the statistics host (oem.ini
// [Hosts] Statistics), application id 1, the system name, the channel code,
// the installed version, the machine code ("uid" of the machine store) and
// the system's bitness.
void primeUsageReporter(UsageReporter& reporter, const OemSettings& oem);

// The uninstall report (type 2) through the process-wide reporter, on the
// calling thread; returns whether the host acknowledged it (the uninstall
// run ignores it and exits 0 either way).
bool sendUninstallReport();

}  // namespace norvane
