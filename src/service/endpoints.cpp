#include "service/endpoints.h"

#include "platform/folders.h"
#include "service/response_cache.h"
#include "shell/settings.h"

#include <array>

namespace norvane {
namespace {

constexpr std::size_t kEndpointCount = static_cast<std::size_t>(Endpoint::SmsLogin) + 1;

struct EndpointTable {
  bool plainHttp = false;
  std::string origin;
  std::array<std::string, kEndpointCount> urls;
};

EndpointTable& table() {
  static EndpointTable instance;
  return instance;
}

void formUrls(const std::string& serviceHost) {
  EndpointTable& t = table();
  // Linux has no counterpart of the old-system rule that chose plain HTTP for
  // bare host names: the service is always reached over TLS unless the
  // configured host names its own scheme.
  t.plainHttp = false;
  t.origin = originForHost(serviceHost, t.plainHttp);
  for (std::size_t i = 0; i < kEndpointCount; ++i)
    t.urls[i] = t.origin + endpointPath(static_cast<Endpoint>(i));
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
  formUrls(readHostSettings(JoinPath(ProgramFolder, "oem.ini")).service);
}

void ServiceEndpoints::initialize(const std::string& programFolder, const std::string& dataFolder,
                                  const std::string& serviceHost) {
  ProgramFolder = programFolder;
  DataFolder = dataFolder;
  prepareDataFolder();
  formUrls(serviceHost);
}

const std::string& ServiceEndpoints::url(Endpoint endpoint) {
  return table().urls[static_cast<std::size_t>(endpoint)];
}

bool ServiceEndpoints::usePlainHttp() { return table().plainHttp; }

const std::string& ServiceEndpoints::serviceOrigin() { return table().origin; }

}  // namespace norvane
