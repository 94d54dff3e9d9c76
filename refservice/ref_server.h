#pragma once
// The reference naming service: one HTTP server on 127.0.0.1 that plays the
// naming service (server time, signed naming/analysis/login requests, web
// login pages), the statistics host ("/action.ashx") and the update host
// ("/windows/..."), plus a few loopback-only endpoints for tests:
//   POST   /control/fault   {"mode":..., "count":N, "code":C, "delay_ms":D, "path":P}
//   POST   /control/update  {"version":..., "installer":...}
//   GET    /control/sms     codes sent by "/sms/login/", newest last
//   GET    /stats/reports   every stored usage report (JSON array)
//   DELETE /stats/reports   forget them
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace norvane::refservice {

struct ServerOptions {
  // Folder with local.dat and refservice/ (the naming engine's data).
  std::string dataFolder;
  // Overrides of the two naming data locations inside dataFolder: the
  // character tables' folder and the given-name vocabulary (local.dat, or a
  // folder holding jxjs.json and sxpp.json). Empty: the defaults beside the data.
  std::string characterFolder;
  std::string vocabularyFile;
  // The usage-report database; ":memory:" keeps it for the run only.
  std::string statsDatabase = ":memory:";
  // The text after "version=" of /windows/newversion.htm.
  std::string versionText = "1.0.0";
  // The file served as /windows/NvrSetup.exe; empty: answered 404.
  std::string installerFile;
  // Secret that login tokens are derived from (same secret, same tokens).
  std::string tokenSecret = "norvane-reference-service";
  // How long a handed-out server time stays acceptable.
  std::chrono::seconds timeWindow{300};
  // Source of the server time (seconds since the epoch); empty: the system clock.
  std::function<std::int64_t()> now;
  // Skip loading the naming engine (answers to naming requests then say
  // the engine is unavailable). For tests of the other hosts.
  bool withoutNaming = false;
};

class ReferenceServer {
 public:
  explicit ReferenceServer(ServerOptions options);
  ~ReferenceServer();
  ReferenceServer(const ReferenceServer&) = delete;
  ReferenceServer& operator=(const ReferenceServer&) = delete;

  // Binds 127.0.0.1:port (0: an ephemeral port) and serves on a background
  // thread. False with `error` set when the port or the database cannot be used.
  bool start(int port, std::string& error);
  // The bound port (after a successful start).
  int port() const;
  // Stops serving and joins the thread; safe to call twice.
  void stop();

  // False when the naming engine's data could not be loaded; why in engineError().
  bool namingReady() const;
  std::string engineError() const;

  // The login token handed out for an account.
  std::string tokenFor(const std::string& account) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace norvane::refservice
