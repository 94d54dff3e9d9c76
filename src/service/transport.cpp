#include "service/transport.h"

#include "platform/debug_trace.h"

#include <curl/curl.h>

#include <mutex>

namespace norvane {
namespace {

// libcurl's global state is set up once for the whole process and left in
// place until exit: transports run on several threads, and neither the
// set-up nor the clean-up may run while another transport is in use.
void initializeCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK)
      DebugTrace("curl_global_init return code err.\n");
  });
}

}  // namespace

const char* statusTextKey(ServiceStatus status) {
  switch (status) {
    case kStatusNoCode: return "UnknowErr";
    case kStatusEmptyList: return "NoData";
    case 1001: return "SignErr";
    case 1002: return "SignExpired";
    case 1003: return "MissingParameter";
    case 1004: return "ParameterError";
    default: return "QumingFail";
  }
}

HttpTransport::HttpTransport() { initializeCurlOnce(); }

std::size_t HttpTransport::append(char* data, std::size_t size, std::size_t count, void* self) {
  auto* transport = static_cast<HttpTransport*>(self);
  std::size_t bytes = size * count;
  if (transport->tooLarge_ || bytes > transport->maxBytes_ - transport->buffer_.size()) {
    // Returning less than was handed over makes libcurl stop the transfer.
    transport->tooLarge_ = true;
    std::string().swap(transport->buffer_);
    return 0;
  }
  transport->buffer_.append(data, bytes);
  return bytes;
}

void HttpTransport::startTransfer(std::size_t maxBytes) {
  buffer_.clear();
  maxBytes_ = maxBytes;
  tooLarge_ = false;
}

std::string HttpTransport::get(const std::string& url, const std::string& user,
                               const std::string& password, std::size_t maxBytes) {
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return {};
  startTransfer(maxBytes);
  std::string credentials = user + ":" + password;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERPWD, credentials.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &HttpTransport::append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeLimitSeconds_);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 20L);
  // Transfers run on worker threads: time-outs must not rely on signals.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  CURLcode result = curl_easy_perform(curl);
  if (result != CURLE_OK) DebugTrace("curl_easy_perform error = %d\n", static_cast<int>(result));
  curl_easy_cleanup(curl);
  return buffer_;
}

std::string HttpTransport::postJson(const std::string& url, const std::string& body,
                                    const std::string& user, const std::string& password,
                                    std::size_t maxBytes) {
  CURL* curl = curl_easy_init();
  if (curl == nullptr) {
    DebugTrace("curl_easy_init error\n");
    return {};
  }
  startTransfer(maxBytes);
  std::string credentials = user + ":" + password;
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type:application/json;charset=UTF-8");
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERPWD, credentials.c_str());
  curl_easy_setopt(curl, CURLOPT_POST, 1L);
  // Sent up to the first zero byte, as a C string.
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &HttpTransport::append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeLimitSeconds_);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 20L);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  CURLcode result = curl_easy_perform(curl);
  if (result != CURLE_OK) DebugTrace("curl_easy_perform error = %d\n", static_cast<int>(result));
  curl_easy_cleanup(curl);
  curl_slist_free_all(headers);
  return buffer_;
}

}  // namespace norvane
