#pragma once
// The service's URL table and the program's two folders, fixed once at start.
//
// ServiceEndpoints::initialize() is called by the entry routine before any
// window or request exists; afterwards everything here is read-only and read
// without locking. Loading the stored account (AccountStore::load) belongs to
// the account subsystem: the entry routine calls it right after initialize().
#include <string>

namespace norvane {

enum class Endpoint {
  ServerTime,        // GET  /system/timenow
  NameBuild,         // POST /v1/build
  NicknameBuild,     // POST /v1/child/build
  NameAnalysis,      // POST /v1/show
  NicknameAnalysis,  // POST /v1/child/show
  NameLuck,          // POST /v1/luck
  UserLogin,         // POST /v1/user/login
  SmsLogin,          // POST /sms/login/   (the trailing slash belongs to the path)
};

// The path of an endpoint on the service host.
const char* endpointPath(Endpoint endpoint);

class ServiceEndpoints {
 public:
  // Fills ProgramFolder (folder of the executable) and DataFolder (created
  // when missing), creates the four cache folders, and takes the "Service"
  // host of section "Hosts" in ProgramFolder/oem.ini for every URL. The URLs
  // are formed on first use: for the built-in service ("local") the first
  // request waits for its origin (see platform/built_in_service.h).
  static void initialize();

  // The same from explicit values (tools and tests): sets ProgramFolder and
  // DataFolder to the given folders, creates the data and cache folders and
  // forms the URLs from serviceHost.
  static void initialize(const std::string& programFolder, const std::string& dataFolder,
                         const std::string& serviceHost);

  // The endpoint's URL; the first call may wait for the built-in service.
  static const std::string& url(Endpoint endpoint);

  // Whether bare host names are reached over plain HTTP. Old systems of the
  // original platform needed that; Linux has no such notion, so it is false.
  static bool usePlainHttp();

  // The service origin the URLs start with: "https://" + host for a bare host
  // name, or the configured value as written when it names its own scheme
  // ("http://127.0.0.1:8080").
  static const std::string& serviceOrigin();
};

// The origin for a configured host value (see serviceOrigin()).
std::string originForHost(const std::string& host, bool plainHttp);

}  // namespace norvane
