#pragma once
// One blocking HTTP transfer over libcurl, and the result vocabulary of every
// service operation.
#include "service/answer_limits.h"

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
  // The default bound of an answer; callers pass the bound of their answer
  // kind (service/answer_limits.h). An answer longer than its bound is not
  // kept: the transfer is stopped and the body is dropped (see
  // bodyTooLarge()).
  static constexpr std::size_t kMaxBodyBytes = kMaxAnswerBytes;

  // Every transfer, GET and POST alike, ends after this long: a server that
  // stays silent or trickles its answer a byte at a time would otherwise
  // hold the request (and a window waiting for it) forever.
  static constexpr long kTimeLimitSeconds = 20;

  // Makes sure libcurl's process-wide state is initialised (once per process,
  // thread-safe; it is never cleaned up while the process runs).
  HttpTransport();

  // GET with basic credentials; 20 s to connect and kTimeLimitSeconds for the
  // whole transfer. Returns whatever body arrived, also after an error (a
  // broken or timed-out transfer gives the part that was received).
  std::string get(const std::string& url, const std::string& user, const std::string& password,
                  std::size_t maxBytes = kMaxBodyBytes);

  // POST of a JSON body with the single header
  // "Content-Type:application/json;charset=UTF-8"; 20 s to connect and
  // kTimeLimitSeconds for the whole transfer. Returns whatever body arrived.
  std::string postJson(const std::string& url, const std::string& body, const std::string& user,
                       const std::string& password, std::size_t maxBytes = kMaxBodyBytes);

  // The limit of every later transfer of this transport (tests shorten it).
  void setTimeLimitSeconds(long seconds) { timeLimitSeconds_ = seconds; }

  // True when the last transfer's answer exceeded its bound; its body was
  // dropped and the caller treats the answer as not JSON.
  bool bodyTooLarge() const { return tooLarge_; }

 private:
  static std::size_t append(char* data, std::size_t size, std::size_t count, void* self);
  void startTransfer(std::size_t maxBytes);

  std::string buffer_;
  std::size_t maxBytes_ = kMaxBodyBytes;
  bool tooLarge_ = false;
  long timeLimitSeconds_ = kTimeLimitSeconds;
};

}  // namespace norvane
