#pragma once
// Helpers for the reference-service tests: a real server on an ephemeral
// port, a libcurl exchange that reports exactly what a client would see, and
// the client's way of signing a request, written out independently.
#include <curl/curl.h>
#include <json/reader.h>
#include <json/value.h>
#include <json/writer.h>
#include <openssl/evp.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "refservice/ref_server.h"

namespace norvane::refservice::test {

struct HttpResult {
  CURLcode curl = CURLE_OK;
  long status = 0;
  std::string body;
  double contentLength = -1;  // announced length, -1 when none
};

inline std::size_t appendBody(char* data, std::size_t size, std::size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

// One exchange. method "GET", "POST" or "DELETE"; userpwd empty for none.
inline HttpResult exchange(const std::string& method, const std::string& url, const std::string& body = {},
                           const std::string& userpwd = "root:kelp", const char* contentType = nullptr) {
  HttpResult result;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) {
    result.curl = CURLE_FAILED_INIT;
    return result;
  }
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  if (!userpwd.empty()) curl_easy_setopt(curl, CURLOPT_USERPWD, userpwd.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &result.body);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
  struct curl_slist* headers = nullptr;
  if (method == "POST") {
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    headers = curl_slist_append(headers, contentType ? contentType : "Content-Type:application/json;charset=UTF-8");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  } else if (method == "DELETE") {
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "DELETE");
  }
  result.curl = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
  curl_off_t length = -1;
  if (curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK) {
    result.contentLength = static_cast<double>(length);
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return result;
}

inline bool parseJson(const std::string& text, Json::Value& out) {
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  return reader->parse(text.data(), text.data() + text.size(), &out, &errors);
}

inline std::string writeJson(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["emitUTF8"] = true;
  return Json::writeString(builder, value);
}

inline std::string md5(const std::string& text) {
  unsigned char digest[16];
  unsigned int length = 0;
  EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
  char hex[33];
  for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
  return std::string(hex, 32);
}

// The client's sign: MD5 of the format printed with snprintf into 4096 bytes.
inline std::string clientSign(const char* format, ...) {
  char buffer[4096];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return md5(buffer);
}

constexpr const char* kKey = "tP3kWz8QmLr5NvXc2HsYd7BfGj9eRaUo";

// The birth the request bodies of the tests carry, and its digits in the signs.
constexpr const char* kBirthday = "2019-3-7 08:05:00";
constexpr const char* kBirthdayDigits = "20190307080500";

// A signed analysis request ("/v1/show", and "/v1/child/show" for nicknames).
inline Json::Value showBody(int t, const std::string& xing = "李", const std::string& ming = "明轩") {
  Json::Value b;
  b["b"] = kBirthday;
  b["jd"] = 116.4;
  b["m"] = 1;
  b["ming"] = ming;
  b["sex"] = 1;
  b["t"] = t;
  b["xing"] = xing;
  b["sign"] = clientSign("%s%s%s%d%s%d%d", kKey, xing.c_str(), ming.c_str(), 1, kBirthdayDigits, 1, t);
  return b;
}

// The server with a clock the test can move.
class RunningServer {
 public:
  explicit RunningServer(ServerOptions options = {}) {
    if (options.dataFolder.empty()) options.dataFolder = NORVANE_BIN_DIR;
    if (!options.now) options.now = [this] { return now_.load(); };
    server_ = std::make_unique<ReferenceServer>(options);
    started_ = server_->start(0, error_);
  }
  bool started() const { return started_; }
  const std::string& error() const { return error_; }
  ReferenceServer& server() { return *server_; }
  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(server_->port()) + path; }
  void advance(long long seconds) { now_ += seconds; }

  // A fresh server time, as a client fetches it before every request.
  int serverTime() {
    HttpResult r = exchange("GET", url("/system/timenow"));
    return std::atoi(r.body.c_str());
  }

  // Posts a JSON body with the credentials and parses the answer.
  Json::Value post(const std::string& path, const Json::Value& body) {
    HttpResult r = exchange("POST", url(path), writeJson(body));
    Json::Value answer;
    if (!parseJson(r.body, answer)) answer = Json::Value("unparsable: " + r.body);
    return answer;
  }

 private:
  std::atomic<long long> now_{1765000000};
  std::unique_ptr<ReferenceServer> server_;
  bool started_ = false;
  std::string error_;
};

// norvane-refservice as a child process; the first line of its output is read
// at start. Stopped with SIGTERM when the object goes.
class ChildServer {
 public:
  explicit ChildServer(const std::vector<std::string>& args) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      std::string program = std::string(NORVANE_BIN_DIR) + "/norvane-refservice";
      std::vector<char*> argv{program.data()};
      std::vector<std::string> copies = args;
      for (std::string& a : copies) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    close(out[1]);
    stream_ = fdopen(out[0], "r");
    char line[256] = {0};
    if (pid_ > 0 && stream_ != nullptr && fgets(line, sizeof line, stream_) != nullptr) firstLine_ = line;
  }
  ~ChildServer() {
    stop();
    if (stream_ != nullptr) fclose(stream_);
  }
  const std::string& firstLine() const { return firstLine_; }
  // The origin from the first line, empty when it did not have the expected form.
  std::string origin() const {
    const std::string prefix = "listening on ";
    if (firstLine_.rfind(prefix, 0) != 0) return {};
    std::string origin = firstLine_.substr(prefix.size());
    while (!origin.empty() && (origin.back() == '\n' || origin.back() == '\r')) origin.pop_back();
    return origin;
  }
  // Sends SIGTERM and returns the wait status (-1 when there was no child).
  int stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
  FILE* stream_ = nullptr;
  std::string firstLine_;
};

}  // namespace norvane::refservice::test
