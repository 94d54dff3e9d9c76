#include "refservice/request_check.h"

#include <openssl/evp.h>

#include <climits>
#include <cstdio>
#include <ctime>

#include "platform/utf8.h"

namespace norvane::refservice {

const char* const kSignKey = "tP3kWz8QmLr5NvXc2HsYd7BfGj9eRaUo";

std::string md5Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr) != 1) return {};
  static const char* hex = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < length; ++i) {
    out += hex[digest[i] >> 4];
    out += hex[digest[i] & 15];
  }
  return out;
}

std::string birthdayDigits(const std::string& birthday) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  // The same reading as the client's, field widths included.
  std::sscanf(birthday.c_str(), "%d-%d-%d %d:%02d:%02d", &year, &month, &day, &hour, &minute, &second);
  char buffer[1024];
  std::snprintf(buffer, sizeof buffer, "%d%02d%02d%02d%02d%02d", year, month, day, hour, minute, second);
  return buffer;
}

std::string formatSignText(const std::string& format, const std::vector<SignValue>& values) {
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (i + 1 >= format.size()) return {};
    char conversion = format[++i];
    if (conversion == '%') {
      out += '%';
      continue;
    }
    if (next >= values.size()) return {};
    const SignValue& value = values[next++];
    if (conversion == 's') {
      if (!value.isText) return {};
      // A text ends at its first zero byte, as a C string does.
      out += value.text.substr(0, value.text.find('\0'));
    } else if (conversion == 'd') {
      if (value.isText) return {};
      out += std::to_string(static_cast<int>(value.number));
    } else {
      return {};
    }
  }
  if (next != values.size()) return {};
  if (out.size() > 4095) out.resize(4095);
  return out;
}

std::string computeSign(const std::string& format, const std::vector<SignValue>& values) {
  std::string text = formatSignText(format, values);
  if (text.empty()) return {};
  return md5Hex(text);
}

ServerClock::ServerClock(std::chrono::seconds window, NowFn now) : window_(window), now_(std::move(now)) {}

std::int64_t ServerClock::now() const {
  if (now_) return now_();
  return static_cast<std::int64_t>(std::time(nullptr));
}

std::int32_t ServerClock::handOut() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::int64_t current = now();
  forgetOld(current);
  // The client holds the time in a 32-bit int.
  std::int32_t t = static_cast<std::int32_t>(current);
  handedOut_[t] = current;
  return t;
}

bool ServerClock::isRecent(std::int64_t t) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::int64_t current = now();
  forgetOld(current);
  return handedOut_.count(t) != 0;
}

void ServerClock::forgetOld(std::int64_t current) {
  for (auto it = handedOut_.begin(); it != handedOut_.end();) {
    if (current - it->second > window_.count()) it = handedOut_.erase(it);
    else ++it;
  }
}

const Json::Value* MemberReader::find(const char* name) {
  if (!ok()) return nullptr;
  if (!body_.isObject() || !body_.isMember(name)) {
    fail(kCodeMissingMember, std::string("缺少参数 ") + name);
    return nullptr;
  }
  return &body_[name];
}

std::string MemberReader::text(const char* name) {
  const Json::Value* v = find(name);
  if (v == nullptr) return {};
  if (!v->isString()) {
    fail(kCodeBadMember, std::string("参数 ") + name + " 应为文本");
    return {};
  }
  return v->asString();
}

long long MemberReader::integer(const char* name) {
  const Json::Value* v = find(name);
  if (v == nullptr) return 0;
  if (!v->isIntegral() || v->isBool()) {
    fail(kCodeBadMember, std::string("参数 ") + name + " 应为整数");
    return 0;
  }
  if (v->isUInt64() && v->asUInt64() > static_cast<Json::UInt64>(INT_MAX)) {
    fail(kCodeBadMember, std::string("参数 ") + name + " 超出范围");
    return 0;
  }
  long long n = v->asInt64();
  if (n < INT_MIN || n > INT_MAX) {
    fail(kCodeBadMember, std::string("参数 ") + name + " 超出范围");
    return 0;
  }
  return n;
}

double MemberReader::number(const char* name) {
  const Json::Value* v = find(name);
  if (v == nullptr) return 0;
  if (!v->isNumeric() || v->isBool()) {
    fail(kCodeBadMember, std::string("参数 ") + name + " 应为数值");
    return 0;
  }
  return v->asDouble();
}

bool MemberReader::boolean(const char* name) {
  const Json::Value* v = find(name);
  if (v == nullptr) return false;
  if (!v->isBool()) {
    fail(kCodeBadMember, std::string("参数 ") + name + " 应为 true 或 false");
    return false;
  }
  return v->asBool();
}

const Json::Value& MemberReader::object(const char* name) {
  static const Json::Value empty(Json::objectValue);
  const Json::Value* v = find(name);
  if (v == nullptr) return empty;
  if (!v->isObject()) {
    fail(kCodeBadMember, std::string("参数 ") + name + " 应为对象");
    return empty;
  }
  return *v;
}

void MemberReader::reject(const std::string& message) { fail(kCodeBadMember, message); }

void MemberReader::fail(int code, const std::string& message) {
  if (!ok()) return;
  error_.code = code;
  error_.message = message;
}

bool isChineseCodePoint(char32_t cp) {
  return (cp >= 0x4E00 && cp <= 0x9FFF) ||    // unified ideographs
         (cp >= 0x3400 && cp <= 0x4DBF) ||    // extension A
         (cp >= 0x20000 && cp <= 0x2EBEF) ||  // extensions B-F
         (cp >= 0x30000 && cp <= 0x3134F) ||  // extension G
         (cp >= 0xF900 && cp <= 0xFAFF) ||    // compatibility ideographs
         cp == 0x3007;                        // 〇
}

bool isChineseText(const std::string& text, std::size_t minChars, std::size_t maxChars) {
  if (!isValidUtf8(text)) return false;
  std::u32string cps = utf8ToCodePoints(text);
  if (cps.size() < minChars || cps.size() > maxChars) return false;
  for (char32_t cp : cps) {
    if (!isChineseCodePoint(cp)) return false;
  }
  return true;
}

bool parseBirthdayText(const std::string& text, Birthday& out) {
  Birthday b;
  char tail = 0;
  int n = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &b.year, &b.month, &b.day, &b.hour, &b.minute,
                      &b.second, &tail);
  if (n != 6) return false;
  if (b.year < 1 || b.year > 9999 || b.month < 1 || b.month > 12 || b.day < 1) return false;
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int monthDays = days[b.month - 1];
  bool leap = (b.year % 4 == 0 && b.year % 100 != 0) || b.year % 400 == 0;
  if (b.month == 2 && leap) monthDays = 29;
  if (b.day > monthDays) return false;
  if (b.hour < 0 || b.hour > 23 || b.minute < 0 || b.minute > 59 || b.second < 0 || b.second > 59) return false;
  out = b;
  return true;
}

}  // namespace norvane::refservice
