#include "update/update.h"

#include "platform/debug_trace.h"
#include "platform/folders.h"
#include "platform/key_value_store.h"
#include "platform/profile_file.h"
#include "platform/utf8.h"
#include "telemetry/usage_reporter.h"

#include <curl/curl.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <climits>
#include <cstdio>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace norvane {
namespace {

// The trace lines of the worker's catch sites name this file.
constexpr const char* kTraceFile = "update";
constexpr int kDailyFaultLine = 271;
constexpr int kDailyExceptionLine = 272;
constexpr int kManualExceptionLine = 436;

constexpr const char* kVersionPath = "/windows/newversion.htm";
constexpr const char* kInstallerPath = "/windows/NvrSetup.exe";
constexpr const char* kInstallerName = "NvrSetupNew.exe";
constexpr const char* kVersionPrefix = "version=";
constexpr const char* kDownloadAgent = "NorvaneUpdate/1.0";
constexpr std::size_t kFetchMaxBytes = 4096;
constexpr std::size_t kDownloadBlock = 8192;

void initCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void traceException(int line) { DebugTrace("Type=%d File=%s Line=%d\n", 5, kTraceFile, line); }

void traceFault(int line, const WorkerFault& fault) {
  DebugTrace("Type=%d File=%s Line=%d ExceptCode=%x Address=%lx\n", 1, kTraceFile, line, fault.code,
             static_cast<unsigned long>(fault.address));
}

// The leading decimal integer of a text (blanks skipped, optional sign),
// saturated to the int range; 0 when there is none.
long long leadingInteger(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    if (value <= INT_MAX) value = value * 10 + (text[i] - '0');
    ++i;
  }
  if (value > INT_MAX) value = static_cast<long long>(INT_MAX) + 1;
  return negative ? -value : value;
}

std::string withoutLineFeedsAndTabs(const std::string& text) {
  std::string kept;
  for (char c : text) {
    if (c != '\n' && c != '\t') kept += c;
  }
  return kept;
}

// Host, port and path of an "http://host[:port]/path" URL (the scheme is optional).
struct UrlParts {
  std::string host;
  std::string port = "80";
  std::string path = "/";
  std::string authority;  // host[:port] as written
};

UrlParts splitUrl(const std::string& url) {
  UrlParts parts;
  std::string rest = url;
  std::size_t scheme = rest.find("://");
  if (scheme != std::string::npos) rest = rest.substr(scheme + 3);
  std::size_t slash = rest.find('/');
  parts.authority = rest.substr(0, slash);
  if (slash != std::string::npos) parts.path = rest.substr(slash);
  parts.host = parts.authority;
  std::size_t colon = parts.authority.rfind(':');
  if (colon != std::string::npos && parts.authority.find(']') == std::string::npos) {
    parts.host = parts.authority.substr(0, colon);
    const std::string port = parts.authority.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(port) == 0 || std::stoi(port) > 65535) {
      throw std::invalid_argument("unusable port in " + url);
    }
    parts.port = port;
  }
  if (parts.host.empty()) throw std::invalid_argument("no host in " + url);
  return parts;
}

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

struct FetchState {
  std::string body;
  const std::atomic<bool>* cancel = nullptr;
};

std::size_t collectFirstBytes(char* data, std::size_t size, std::size_t count, void* user) {
  auto* state = static_cast<FetchState*>(user);
  const std::size_t bytes = size * count;
  const std::size_t room = kFetchMaxBytes - state->body.size();
  if (bytes > room) {
    state->body.append(data, room);
    return 0;  // enough read: end the transfer
  }
  state->body.append(data, bytes);
  return bytes;
}

int abortWhenCancelled(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* cancel = static_cast<const std::atomic<bool>*>(user);
  return cancel != nullptr && cancel->load() ? 1 : 0;
}

// The download's receiving side: checks status and length once the headers
// are in, then streams the body into the ".upd" file.
struct Download {
  std::string tempPath;
  long status = 0;
  curl_off_t contentLength = -1;
  bool checked = false;
  bool accepted = false;
  std::FILE* file = nullptr;
  curl_off_t written = 0;
  bool writeFailed = false;
  CURL* curl = nullptr;
};

std::size_t downloadHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto* d = static_cast<Download*>(user);
  const std::size_t bytes = size * count;
  std::string line(data, bytes);
  if (line == "\r\n" || line == "\n") {
    // End of the header block: decide before any body byte is stored.
    curl_easy_getinfo(d->curl, CURLINFO_RESPONSE_CODE, &d->status);
    curl_easy_getinfo(d->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &d->contentLength);
    d->checked = true;
    if (d->status != 200 || d->contentLength <= 0) return 0;
    d->file = std::fopen(d->tempPath.c_str(), "wb");
    if (d->file == nullptr) return 0;
    d->accepted = true;
  }
  return bytes;
}

std::size_t downloadBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* d = static_cast<Download*>(user);
  const std::size_t bytes = size * count;
  if (!d->accepted || d->file == nullptr) return 0;
  if (std::fwrite(data, 1, bytes, d->file) != bytes) {
    d->writeFailed = true;
    return 0;
  }
  d->written += static_cast<curl_off_t>(bytes);
  return bytes;
}

}  // namespace

bool isNewer(const std::string& remote, const std::string& installed) {
  // std::string compares bytes as unsigned values; a longer text that starts
  // with the other one sorts after it.
  return remote.compare(installed) > 0;
}

std::string installedVersion() {
  auto version = machineStore().readText("Version");
  if (!version) return "";
  return utf8Prefix(fromUtf8(*version), kProfileValueMaxChars);
}

std::string storedMachineCode() {
  auto uid = machineStore().readText("uid");
  return uid ? fromUtf8(*uid) : std::string();
}

std::string channelCode(int partnerId) {
  KeyValueStore user = userStore();
  std::string value;
  if (auto partner = user.readText("partner")) {
    value = *partner;
  } else if (auto installer = machineStore().readText("InstallerName")) {
    std::string name = *installer;
    std::size_t separator = name.find_last_of("/\\");
    if (separator != std::string::npos) name = name.substr(separator + 1);
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name = name.substr(0, dot);
    std::size_t underscore = name.find('_');
    if (underscore != std::string::npos && underscore + 1 < name.size()) {
      value = name.substr(underscore + 1);
      user.writeText("partner", value);
    }
  }
  if (partnerId != 0 && leadingInteger(value) != partnerId) {
    value = std::to_string(partnerId);
    user.writeText("partner", value);
  }
  return value;
}

std::string fetchRawTcp(const std::string& url) {
  const UrlParts parts = splitUrl(url);
  addrinfo hints = {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (::getaddrinfo(parts.host.c_str(), parts.port.c_str(), &hints, &found) != 0 || found == nullptr) return "";
  std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, ::freeaddrinfo);

  Socket sock(::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol));
  if (sock.fd() < 0) return "";
  timeval limit = {kFetchConnectTimeoutMs / 1000, (kFetchConnectTimeoutMs % 1000) * 1000};
  ::setsockopt(sock.fd(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);  // also bounds connect()
  ::setsockopt(sock.fd(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  if (::connect(sock.fd(), found->ai_addr, found->ai_addrlen) != 0) return "";

  const std::string request =
      "GET " + parts.path + " HTTP/1.1\r\nHOST:" + parts.authority + "\r\nConnection: Close\r\n\r\n";
  std::size_t sent = 0;
  while (sent < request.size()) {
    ssize_t n = ::send(sock.fd(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return "";
    sent += static_cast<std::size_t>(n);
  }
  // The server closes the connection after its answer; headers and body may
  // arrive in separate segments, so read until then (or 4095 bytes, or the
  // receive limit).
  char answer[4096];
  std::size_t received = 0;
  while (received < sizeof answer - 1) {
    ssize_t n = ::recv(sock.fd(), answer + received, sizeof answer - 1 - received, 0);
    if (n <= 0) break;
    received += static_cast<std::size_t>(n);
  }
  if (received == 0) return "";
  const std::string text(answer, received);
  std::size_t body = text.find("\r\n\r\n");
  if (body == std::string::npos) return "";
  std::size_t open = text.find('{', body + 4);
  if (open == std::string::npos) return "";
  std::size_t close = text.find('}', open);
  if (close == std::string::npos) return "";
  return fromUtf8(text.substr(open, close - open + 1));
}

CUpdate::CUpdate()
    : clock_(&systemClock()),
      app_(&appSettings()),
      oem_(&oemSettings()),
      // A report in flight is given up when the checker is stopped.
      sendReport_([this](int type) { usageReporter().reportAction(type, &cancel_); }),
      machineCode_(storedMachineCode()) {
  // No optional update module is loaded: none of its functions would be used.
}

CUpdate::~CUpdate() {
  // A worker still blocked at the very end is left to the process's exit.
  if (!stop()) worker_.detach();
}

bool CUpdate::stop(std::chrono::milliseconds limit) {
  if (!worker_.joinable()) return true;
  cancel_ = true;
  // Transfers and reports notice the request within a second.
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!finished_ && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!finished_) return false;
  worker_.join();
  return true;
}

bool CUpdate::isCheckRunning() {
  if (!worker_.joinable()) return false;
  if (!finished_) return true;
  worker_.join();
  return false;
}

std::string CUpdate::installerPath() const { return JoinPath(DataFolder, kInstallerName); }

std::string CUpdate::configPath() const {
  return app_->path.empty() ? JoinPath(DataFolder, "config.ini") : app_->path;
}

std::string CUpdate::updateUrl(const std::string& path) const { return urlOnHost(oem_->hosts.update, path); }

bool CUpdate::isInstallerPending() const {
  return readProfileInt(configPath(), "Main", "HasNewInstaller", 0) != 0 && fileExists(installerPath());
}

bool CUpdate::startDailyCheck() {
  if (isCheckRunning()) return false;
  KeyValueStore user = userStore();
  const std::uint32_t stored = user.readNumber("UpdateDay").value_or(0);
  const int today = clock_->localNow().day;
  if (static_cast<int>(stored & 0xFFFF) == today) return false;
  user.writeNumber("UpdateDay", static_cast<std::uint32_t>(today));
  return startWorker(true);
}

void CUpdate::startManualCheck(UpdateUi& ui) {
  if (isCheckRunning()) {
    ui.showMessage("Updating", kMessageInformation, true);
    return;
  }
  if (isInstallerPending()) {
    offerInstall(ui);
    return;
  }
  ui_ = &ui;
  trayIconSet_ = true;
  startWorker(false);
}

bool CUpdate::startWorker(bool automatic) {
  if (worker_.joinable()) worker_.join();
  automatic_ = automatic;
  cancel_ = false;
  finished_ = false;
  try {
    worker_ = std::thread([this] {
      workerMain();
      finished_ = true;
    });
  } catch (const std::system_error&) {
    finished_ = true;
    return false;
  }
  return true;
}

void CUpdate::workerMain() {
  const bool automatic = automatic_;
  auto work = [this, automatic] { automatic ? runDailyCheck() : runManualCheck(); };
  // ---- Fault guard of the worker ----------------------------------------
  // A hardware fault inside the check must end only the check. The guard
  // (installed by the shell with setFaultGuard) runs the work so that such a
  // fault returns here instead of reaching the crash handler; C++ exceptions
  // are caught inside the checks themselves.
  if (!faultGuard_) {
    work();
    return;
  }
  WorkerFault fault;
  bool completed = true;
  try {
    completed = faultGuard_(work, fault);
  } catch (...) {
    traceException(automatic ? kDailyExceptionLine : kManualExceptionLine);
    return;
  }
  if (!completed) {
    if (automatic) {
      traceFault(kDailyFaultLine, fault);
    } else {
      traceException(kManualExceptionLine);  // the manual check catches every exception alike
    }
  }
  // ------------------------------------------------------------------------
}

void CUpdate::report(int type) {
  if (sendReport_) sendReport_(type);
}

void CUpdate::runDailyCheck() {
  try {
    const std::string installed = installedVersion();
    KeyValueStore user = userStore();
    if (user.exists("SendInstallMessage")) {
      report(kReportInstall);
      user.remove("SendInstallMessage");
    }
    report(kReportDailyUse);

    const std::string text = withoutLineFeedsAndTabs(fetchUrlText(updateUrl(kVersionPath)));
    if (text.compare(0, 8, kVersionPrefix) != 0) return;
    if (app_->CanUpdate == 0) return;
    if (isInstallerPending()) return;
    const std::string remote = text.substr(8);
    if (!isNewer(remote, installed)) return;

    const std::string path = installerPath();
    std::remove(path.c_str());
    if (downloadFile(updateUrl(kInstallerPath), path)) {
      writeProfileString(configPath(), "Main", "HasNewInstaller", "1");
      report(kReportNewInstaller);
    }
  } catch (...) {
    traceException(kDailyExceptionLine);
  }
}

void CUpdate::runManualCheck() {
  try {
    const std::string installed = installedVersion();
    const std::string text = withoutLineFeedsAndTabs(fetchUrlText(updateUrl(kVersionPath)));
    if (cancel_) return;
    if (text.compare(0, 8, kVersionPrefix) != 0) {
      ui_->showMessage("NoVersion", kMessageInformation, true);
      return;
    }
    const std::string remote = text.substr(8);
    if (!isNewer(remote, installed)) {
      ui_->showMessage("NotUpdate", kMessageInformation, true);
      return;
    }
    showDownloadBalloon();

    const std::string path = installerPath();
    std::remove(path.c_str());
    if (!downloadFile(updateUrl(kInstallerPath), path)) {
      removeTrayIcon();
      if (!cancel_) ui_->showMessage("UpdateFail", kMessageInformation, true);
      return;
    }
    writeProfileString(configPath(), "Main", "HasNewInstaller", "1");
    report(kReportNewInstaller);
    if (!cancel_) offerInstall(*ui_);
    removeTrayIcon();
  } catch (...) {
    traceException(kManualExceptionLine);
  }
}

void CUpdate::offerInstall(UpdateUi& ui) {
  const std::string path = installerPath();
  if (!fileExists(path)) return;
  if (ui.showMessage("HasUpdate", kMessageYesNo, false) == kAnswerYes) ui.openFile(path);
}

void CUpdate::showDownloadBalloon() {
  if (ui_ == nullptr || !ui_->ownerAlive()) return;
  const std::string title = utf8Prefix(fromUtf8(ui_->text("DownloadingUpdate")), 63);
  const std::string text = utf8Prefix(fromUtf8(ui_->text("ProductName")), 255);
  ui_->showDownloadBalloon(title, text);
}

void CUpdate::removeTrayIcon() {
  if (!trayIconSet_) return;
  if (ui_ != nullptr) ui_->removeTrayIcon();
  trayIconSet_ = false;
}

std::string CUpdate::fetchWithCurl(const std::string& url, bool systemProxy) {
  initCurlOnce();
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
  if (!curl) return "";
  CURL* h = curl.get();
  FetchState state;
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  // Without CURLOPT_PROXY libcurl takes the proxy from the environment
  // (http_proxy, all_proxy, no_proxy); the empty text forces a direct connection.
  if (!systemProxy) curl_easy_setopt(h, CURLOPT_PROXY, "");
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, collectFirstBytes);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &state);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, kFetchConnectTimeoutMs);
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, kFetchTotalTimeoutMs);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, abortWhenCancelled);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &cancel_);
  CURLcode result = curl_easy_perform(h);
  if (result != CURLE_OK && !(result == CURLE_WRITE_ERROR && state.body.size() == kFetchMaxBytes)) return "";
  // Only a successful answer counts: an error page (for example from a
  // failing proxy) must not stand in for the version file.
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  if (status < 200 || status > 299) return "";
  return fromUtf8(state.body);
}

std::string CUpdate::fetchUrlText(const std::string& url) {
  std::string text = fetchWithCurl(url, true);
  if (text.empty() && !cancel_) text = fetchWithCurl(url, false);
  if (text.empty() && !cancel_) {
    try {
      text = fetchRawTcp(url);
    } catch (...) {
      if (writeRunLog_) writeRunLog_("GetStringFromUrl except.");
      text.clear();
    }
  }
  return text;
}

bool CUpdate::downloadFile(const std::string& url, const std::string& path) {
  initCurlOnce();
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
  if (!curl) return false;
  ensureFolder(DataFolder);
  CURL* h = curl.get();
  Download d;
  d.tempPath = path + ".upd";
  d.curl = h;
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_PROXY, "");
  curl_easy_setopt(h, CURLOPT_USERAGENT, kDownloadAgent);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, downloadHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &d);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, downloadBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &d);
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, static_cast<long>(kDownloadBlock));
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, kDownloadConnectTimeoutMs);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, kDownloadStallSeconds);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, abortWhenCancelled);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &cancel_);
  const CURLcode result = curl_easy_perform(h);
  bool complete = result == CURLE_OK && d.accepted && !d.writeFailed && d.written == d.contentLength;
  if (d.file != nullptr) {
    // A close that fails (disk full on the last flush) loses bytes.
    if (std::fclose(d.file) != 0) complete = false;
  }
  if (!complete) return false;
  return std::rename(d.tempPath.c_str(), path.c_str()) == 0;
}

CUpdate& updateChecker() {
  static CUpdate checker;
  return checker;
}

}  // namespace norvane
