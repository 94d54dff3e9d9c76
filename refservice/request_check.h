#pragma once
// Checking the signed requests of the naming service.
//
// Every signed request carries the server time "t" it fetched from
// /system/timenow and "sign", the MD5 of a printf-style text made of the
// shared key and some of the request's members. The service recomputes that
// text from the members it received and compares. The result codes:
//   1001 the sign does not match,
//   1002 "t" is not a time this service handed out recently,
//   1003 a member is missing,
//   1004 a member has the wrong type or an unusable value.
#include <json/value.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace norvane::refservice {

constexpr int kCodeAccepted = 0;
constexpr int kCodeBadSign = 1001;
constexpr int kCodeStaleTime = 1002;
constexpr int kCodeMissingMember = 1003;
constexpr int kCodeBadMember = 1004;

// The key shared by client and service; it enters every sign text first.
extern const char* const kSignKey;

// MD5 of the bytes, as 32 lower-case hexadecimal digits.
std::string md5Hex(const std::string& bytes);

// The birthday text read with "%d-%d-%d %d:%02d:%02d" (fields not read stay 0)
// and printed as "%d%02d%02d%02d%02d%02d", the form the sign covers.
std::string birthdayDigits(const std::string& birthday);

// One value of a sign text: a text ("%s") or an integer ("%d").
struct SignValue {
  bool isText = false;
  std::string text;
  long long number = 0;
  static SignValue str(std::string s) { SignValue v; v.isText = true; v.text = std::move(s); return v; }
  static SignValue num(long long n) { SignValue v; v.number = n; return v; }
};

// Formats the sign text: each "%s" / "%d" of the format takes the next value
// (the key is passed by the caller as the first value), "%%" is a percent
// sign; the text is cut at 4095 bytes like the client's buffer. Returns an
// empty text when the format and the values do not agree.
std::string formatSignText(const std::string& format, const std::vector<SignValue>& values);

// md5Hex of formatSignText.
std::string computeSign(const std::string& format, const std::vector<SignValue>& values);

// The times handed out by /system/timenow. A time stays acceptable for
// `window` after it was last handed out. Thread-safe.
class ServerClock {
 public:
  using NowFn = std::function<std::int64_t()>;  // seconds since the epoch
  explicit ServerClock(std::chrono::seconds window = std::chrono::minutes(5), NowFn now = {});

  // The current time as handed to a client; remembered.
  std::int32_t handOut();
  // True when t was handed out no longer than the window ago.
  bool isRecent(std::int64_t t);

 private:
  void forgetOld(std::int64_t now);
  std::int64_t now() const;

  std::chrono::seconds window_;
  NowFn now_;
  std::mutex mutex_;
  std::map<std::int64_t, std::int64_t> handedOut_;  // time -> when last handed out
};

// A failed check: the code and a short explanation for the answer's "msg".
struct CheckError {
  int code = kCodeAccepted;
  std::string message;
  bool failed() const { return code != kCodeAccepted; }
};

// Reads the members of one request body and remembers the first failure.
// Members are checked in the order the caller asks for them; once a check
// failed, the later ones do nothing, so the first problem is the one reported.
class MemberReader {
 public:
  explicit MemberReader(const Json::Value& body) : body_(body) {}

  std::string text(const char* name);
  // An integer member that fits a 32-bit int (JSON integers, signed or not).
  long long integer(const char* name);
  double number(const char* name);
  bool boolean(const char* name);
  const Json::Value& object(const char* name);
  bool has(const char* name) const { return body_.isObject() && body_.isMember(name); }

  // Marks a value out of range.
  void reject(const std::string& message);
  void fail(int code, const std::string& message);

  const CheckError& error() const { return error_; }
  bool ok() const { return !error_.failed(); }

 private:
  const Json::Value* find(const char* name);
  const Json::Value& body_;
  CheckError error_;
};

// Text checks on UTF-8 member values.
bool isChineseCodePoint(char32_t cp);
// True when the text is valid UTF-8 made only of Chinese characters, with
// between minChars and maxChars characters.
bool isChineseText(const std::string& text, std::size_t minChars, std::size_t maxChars);

// Birthday "%d-%d-%d %d:%d:%d" with a real calendar date and time of day.
struct Birthday {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
bool parseBirthdayText(const std::string& text, Birthday& out);

}  // namespace norvane::refservice
