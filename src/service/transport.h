#pragma once
// One blocking HTTP transfer over libcurl, and the result vocabulary of every
// service operation.
#include <cstddef>
#include <string>

namespace norvane {

// Result of every service operation: 0 success, 1 no answer, 2 answer not
// JSON, 3 answer without "code", 10 empty name page, otherwise the service's
// own non-zero "code" (1001-1004 are known).
using ServiceStatus = int;

constexpr ServiceStatus kStatusOk = 0;
constexpr ServiceStatus kStatusNoResponse = 1;
constexpr ServiceStatus kStatusUnparsable = 2;
constexpr ServiceStatus kStatusNoCode = 3;
constexpr ServiceStatus kStatusEmptyList = 10;

// The message key the window layer shows for a non-zero status.
const char* statusTextKey(ServiceStatus status);

// Credentials every transfer to the service carries (HTTP basic authentication).
inline constexpr const char* kServiceUser = "root";
inline constexpr const char* kServicePassword = "kelp";

// One transport per service operation; never shared between threads.
// Nothing survives between transfers: no connection reuse, no cookies.
class HttpTransport {
 public:
  // Answers longer than this are not kept: the transfer is stopped and the
  // body is dropped (see bodyTooLarge()).
  static constexpr std::size_t kMaxBodyBytes = 32u * 1024u * 1024u;

  // Makes sure libcurl's process-wide state is initialised (once per process,
  // thread-safe; it is never cleaned up while the process runs).
  HttpTransport();

  // A GET is given up when nothing at all arrives for this long: a server
  // that accepts the connection and then stays silent would otherwise hold
  // the request (and a window waiting for it) forever.
  static constexpr long kStallSeconds = 20;

  // GET with basic credentials; 20 s to connect, no overall limit as long as
  // the answer keeps arriving (see kStallSeconds). Returns whatever body
  // arrived, also after an error (a broken transfer gives the part that was
  // received).
  std::string get(const std::string& url, const std::string& user, const std::string& password);

  // The silence after which a GET is given up (tests shorten it).
  void setStallSeconds(long seconds) { stallSeconds_ = seconds; }

  // POST of a JSON body with the single header
  // "Content-Type:application/json;charset=UTF-8"; 20 s to connect and 20 s
  // for the whole transfer. Returns whatever body arrived.
  std::string postJson(const std::string& url, const std::string& body, const std::string& user,
                       const std::string& password);

  // True when the last transfer's answer exceeded kMaxBodyBytes; its body
  // was dropped and the caller treats the answer as not JSON.
  bool bodyTooLarge() const { return tooLarge_; }

 private:
  static std::size_t append(char* data, std::size_t size, std::size_t count, void* self);

  std::string buffer_;
  bool tooLarge_ = false;
  long stallSeconds_ = kStallSeconds;
};

}  // namespace norvane
