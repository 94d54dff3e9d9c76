#include "service/endpoints.h"

#include "platform/built_in_service.h"
#include "platform/folders.h"
#include "service/response_cache.h"
#include "shell/settings.h"

#include <array>
#include <mutex>

namespace norvane {
namespace {

constexpr std::size_t kEndpointCount = static_cast<std::size_t>(Endpoint::SmsLogin) + 1;

struct EndpointTable {
  std::mutex mutex;
  bool plainHttp = false;
  std::string host;    // as configured
  bool formed = false;  // the URLs below are filled
  std::string origin;
  std::array<std::string, kEndpointCount> urls;
};

EndpointTable& table() {
  static EndpointTable instance;
  return instance;
}

void setHost(const std::string& serviceHost) {
  EndpointTable& t = table();
  std::lock_guard<std::mutex> lock(t.mutex);
  // Linux has no counterpart of the old-system rule that chose plain HTTP for
  // bare host names: the service is always reached over TLS unless the
  // configured host names its own scheme.
  t.plainHttp = false;
  t.host = serviceHost;
  t.formed = false;
}

// Forms the URLs on first use. The built-in service ("local") is still
// starting while the window builds, so its origin is awaited here, by the
// first request, not at start-up; a service that gives none leaves URLs that
// fail at once like an unreachable host. Once formed, the table never
// changes, so the references handed out stay valid.
EndpointTable& formedTable() {
  EndpointTable& t = table();
  std::lock_guard<std::mutex> lock(t.mutex);
  if (!t.formed) {
    t.origin = originForHost(resolveHost(t.host), t.plainHttp);
    for (std::size_t i = 0; i < kEndpointCount; ++i)
      t.urls[i] = t.origin + endpointPath(static_cast<Endpoint>(i));
    t.formed = true;
  }
  return t;
}

void prepareDataFolder() {
  if (DataFolder.empty()) return;  // no data folder: the program runs without a cache
  ensureFolder(DataFolder);
  ResponseCache::createFolders();
}

}  // namespace

const char* endpointPath(Endpoint endpoint) {
  switch (endpoint) {
    case Endpoint::ServerTime: return "/system/timenow";
    case Endpoint::NameBuild: return "/v1/build";
    case Endpoint::NicknameBuild: return "/v1/child/build";
    case Endpoint::NameAnalysis: return "/v1/show";
    case Endpoint::NicknameAnalysis: return "/v1/child/show";
    case Endpoint::NameLuck: return "/v1/luck";
    case Endpoint::UserLogin: return "/v1/user/login";
    case Endpoint::SmsLogin: return "/sms/login/";
  }
  return "";
}

std::string originForHost(const std::string& host, bool plainHttp) {
  if (host.find("://") != std::string::npos) return host;  // scheme (and port) as configured
  return std::string(plainHttp ? "http://" : "https://") + host;
}

void ServiceEndpoints::initialize() {
  ProgramFolder = locateProgramFolder();
  DataFolder = locateDataFolder();
  prepareDataFolder();
  setHost(readHostSettings(JoinPath(ProgramFolder, "oem.ini")).service);
}

void ServiceEndpoints::initialize(const std::string& programFolder, const std::string& dataFolder,
                                  const std::string& serviceHost) {
  ProgramFolder = programFolder;
  DataFolder = dataFolder;
  prepareDataFolder();
  setHost(serviceHost);
}

const std::string& ServiceEndpoints::url(Endpoint endpoint) {
  return formedTable().urls[static_cast<std::size_t>(endpoint)];
}

bool ServiceEndpoints::usePlainHttp() {
  EndpointTable& t = table();
  std::lock_guard<std::mutex> lock(t.mutex);
  return t.plainHttp;
}

const std::string& ServiceEndpoints::serviceOrigin() { return formedTable().origin; }

}  // namespace norvane
