#include "update/entry_runs.h"

#include "update/update.h"

namespace norvane {

void primeUsageReporter(UsageReporter& reporter, const OemSettings& oem) {
  reporter.setHost(oem.hosts.statistics);
  reporter.setAppId(1);
  reporter.setOs(currentOsName());
  reporter.setChannelCode(channelCode(oem.partnerId));
  reporter.setVersion(installedVersion());
  reporter.setMachineCode(storedMachineCode());
  reporter.setOsBit(currentOsBit());
}

bool sendUninstallReport() { return usageReporter().reportAction(kReportUninstall); }

}  // namespace norvane
