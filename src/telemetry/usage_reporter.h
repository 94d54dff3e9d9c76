#pragma once
// Usage reports to the statistics host: installation (1), uninstallation (2),
// daily use (3) and a downloaded new installer (4). Each report is one JSON
// record describing the installation, encrypted with the report key,
// Base64-armoured and posted as the raw request body to "/action.ashx" on the
// statistics host over plain HTTP. Reports are fire-and-forget: sent on the
// caller's thread, never queued, stored or retried.
#include <atomic>
#include <string>

namespace norvane {

enum ReportType : int {
  kReportInstall = 1,
  kReportUninstall = 2,
  kReportDailyUse = 3,
  kReportNewInstaller = 4,
};

// The key every report is encrypted with (AES-128, the 16 bytes as they stand).
inline constexpr const char kReportKey[] = "Kpn@Zr#305#DELTA";

// Time limits of one report exchange, so that the uninstall run cannot hang
// on an unreachable host: 5 s to connect, 15 s for the whole exchange.
constexpr long kReportConnectTimeoutMs = 5000;
constexpr long kReportTotalTimeoutMs = 15000;

class UsageReporter {
 public:
  // Priming, in the order the entry routine calls them. Missing sources
  // leave a field empty.
  void setHost(const std::string& host) { host_ = host; }
  void setAppId(int appId) { appId_ = appId; }
  void setOs(const std::string& os) { os_ = os; }
  void setChannelCode(const std::string& code) { channelCode_ = code; }
  void setVersion(const std::string& version) { version_ = version; }
  void setMachineCode(const std::string& code) { machineCode_ = code; }
  void setOsBit(int osBit) { osBit_ = osBit; }

  const std::string& host() const { return host_; }
  int appId() const { return appId_; }
  const std::string& os() const { return os_; }
  const std::string& channelCode() const { return channelCode_; }
  const std::string& version() const { return version_; }
  const std::string& machineCode() const { return machineCode_; }
  int osBit() const { return osBit_; }

  // The report record of the given type as the styled JSON text (members in
  // ascending name order, three-space indentation, a final line break).
  std::string recordText(int type) const;

  // The request body: the record encrypted and Base64-encoded; empty when the
  // encryption failed.
  std::string payload(int type) const;

  // http://<host>/action.ashx (or the host's own scheme and port when it names them).
  std::string url() const;

  // Builds, encrypts and posts one report; true when the host acknowledged it.
  // Blocking, at most kReportTotalTimeoutMs. Never throws. When `cancel` is
  // given and becomes true, the exchange is given up within about a second
  // (the program is ending) and the report counts as not acknowledged.
  bool reportAction(int type, const std::atomic<bool>* cancel = nullptr) const;

 private:
  std::string host_;
  int appId_ = 0;
  std::string os_;
  std::string channelCode_;
  std::string version_;
  std::string machineCode_;
  int osBit_ = 0;
};

// The process-wide reporter (empty until primed).
UsageReporter& usageReporter();

// The acknowledgement rule: only an answer that states a positive
// Content-Length counts, and then its text (at most that many bytes) must
// start with a decimal integer of at least 1 (leading blanks skipped).
bool isAcknowledgement(long long contentLength, const std::string& body);

// A URL on a configured host: a bare host name is reached over plain HTTP
// ("http://" + host + path); a value that carries its own scheme (and port)
// is used as written, followed by path; "local" is the built-in service
// (the call waits for its origin, see platform/built_in_service.h).
std::string urlOnHost(const std::string& host, const std::string& path);

// "Os" of a Windows version (major.minor); empty for every other system.
std::string windowsOsName(int major, int minor);

// The "Os" member of this build: Linux is no Windows version, so it is empty.
std::string currentOsName();

// "OsBit": the bitness of the system the program runs on. A 64-bit build
// always reports 64; a 32-bit build reports 64 when the kernel says it is a
// 64-bit machine (uname), else 32.
int currentOsBit();

}  // namespace norvane
