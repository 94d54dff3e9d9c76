#include "telemetry/usage_reporter.h"

#include "platform/built_in_service.h"
#include "platform/utf8.h"
#include "telemetry/aes.h"

#include <curl/curl.h>
#include <json/json.h>
#include <sys/utsname.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <mutex>

namespace norvane {
namespace {

void initCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The answer is kept only up to a small bound: an acknowledgement is a number.
constexpr std::size_t kMaxAnswerBytes = 64 * 1024;

std::size_t collectAnswer(char* data, std::size_t size, std::size_t count, void* user) {
  auto* answer = static_cast<std::string*>(user);
  const std::size_t bytes = size * count;
  if (answer->size() < kMaxAnswerBytes) {
    answer->append(data, std::min(bytes, kMaxAnswerBytes - answer->size()));
  }
  return bytes;
}

// Progress callback: a non-zero answer makes libcurl give up the transfer.
int abortWhenCancelled(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* cancel = static_cast<const std::atomic<bool>*>(user);
  return cancel->load() ? 1 : 0;
}

}  // namespace

std::string urlOnHost(const std::string& configuredHost, const std::string& path) {
  const std::string host = resolveHost(configuredHost);  // "local": the built-in service, awaited
  if (host.find("://") != std::string::npos) return host + path;
  return "http://" + host + path;
}

std::string windowsOsName(int major, int minor) {
  if (major == 5 && minor == 0) return "Windows2000";
  if (major == 5 && minor == 1) return "WindowsXP";
  if (major == 5 && minor == 2) return "Windows2003";
  if (major == 6 && minor == 0) return "Vista";
  if (major == 6 && minor == 1) return "Windows7";
  if (major == 6 && minor == 2) return "Windows8";
  if (major == 10 && minor == 0) return "windows10";
  return "";
}

std::string currentOsName() { return ""; }

int currentOsBit() {
  if (sizeof(void*) == 8) return 64;
  struct utsname name;
  if (uname(&name) == 0) {
    const char* machine = name.machine;
    for (const char* wide : {"x86_64", "aarch64", "ppc64", "s390x", "riscv64", "mips64", "loongarch64"}) {
      if (std::strncmp(machine, wide, std::strlen(wide)) == 0) return 64;
    }
  }
  return 32;
}

bool isAcknowledgement(long long contentLength, const std::string& body) {
  if (contentLength <= 0) return false;
  std::string text = fromUtf8(body.substr(0, static_cast<std::size_t>(std::min<long long>(
                                                 contentLength, static_cast<long long>(body.size())))));
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n' ||
                             text[i] == '\v' || text[i] == '\f')) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  bool any = false;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    any = true;
    if (value < 1000000000LL) value = value * 10 + (text[i] - '0');  // saturates: only "at least 1" matters
    ++i;
  }
  return any && !negative && value >= 1;
}

std::string UsageReporter::recordText(int type) const {
  Json::Value record(Json::objectValue);
  record["AppId"] = appId_;
  record["ChannelCode"] = channelCode_;
  record["MachineCode"] = machineCode_;
  record["Os"] = os_;
  record["OsBit"] = osBit_;
  record["TypeId"] = type;
  record["Version"] = version_;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  Json::StyledWriter writer;
  return writer.write(record);
#pragma GCC diagnostic pop
}

std::string UsageReporter::payload(int type) const {
  const std::string text = recordText(type);
  std::vector<std::uint8_t> cipher;
  if (aesEncrypt(text.data(), text.size(), kReportKey, cipher) != 0) return "";
  return base64Encode(cipher.data(), cipher.size());
}

std::string UsageReporter::url() const { return urlOnHost(host_, "/action.ashx"); }

bool UsageReporter::reportAction(int type, const std::atomic<bool>* cancel) const {
  try {
    if (cancel != nullptr && cancel->load()) return false;
    const std::string body = payload(type);
    const std::string target = url();
    initCurlOnce();
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) return false;
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
    // Only the one header is ours: no Accept, no Expect/100-continue round trip.
    headers = curl_slist_append(headers, "Accept:");
    headers = curl_slist_append(headers, "Expect:");
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headerList(headers, curl_slist_free_all);

    std::string answer;
    CURL* h = curl.get();
    curl_easy_setopt(h, CURLOPT_URL, target.c_str());
    curl_easy_setopt(h, CURLOPT_PROXY, "");  // direct connection, like every report
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headerList.get());
    curl_easy_setopt(h, CURLOPT_USERAGENT, nullptr);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, collectAnswer);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, kReportConnectTimeoutMs);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, kReportTotalTimeoutMs);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    if (cancel != nullptr) {
      curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
      curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, abortWhenCancelled);
      curl_easy_setopt(h, CURLOPT_XFERINFODATA, cancel);
    }
    if (curl_easy_perform(h) != CURLE_OK) return false;
    curl_off_t length = -1;
    if (curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK) length = -1;
    return isAcknowledgement(static_cast<long long>(length), answer);
  } catch (...) {
    return false;
  }
}

UsageReporter& usageReporter() {
  static UsageReporter reporter;
  return reporter;
}

}  // namespace norvane
