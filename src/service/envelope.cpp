#include "service/envelope.h"

#include "platform/utf8.h"
#include "service/json_access.h"


#include <cstdlib>
#include <memory>

namespace norvane {

std::string birthdayDigits(const std::string& birthday) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  std::sscanf(birthday.c_str(), "%d-%d-%d %d:%02d:%02d", &year, &month, &day, &hour, &minute,
              &second);
  char digits[1024];
  std::snprintf(digits, sizeof digits, "%d%02d%02d%02d%02d%02d", year, month, day, hour, minute,
                second);
  return digits;
}

int fetchServerTime(HttpTransport& transport) {
  std::string body = transport.get(ServiceEndpoints::url(Endpoint::ServerTime), kServiceUser,
                                   kServicePassword, kMaxTimeAnswerBytes);
  // atoi's reading, made safe for numbers beyond int's range (atoi's
  // behaviour is undefined there; here they keep their low 32 bits).
  return static_cast<int>(std::strtoll(body.c_str(), nullptr, 10));
}

std::string exchange(HttpTransport& transport, Endpoint endpoint, const std::string& body,
                     std::size_t maxBytes) {
  std::string answer = transport.postJson(ServiceEndpoints::url(endpoint), body, kServiceUser,
                                          kServicePassword, maxBytes);
  if (answer.empty()) return answer;
  return fromUtf8(answer);
}

ServiceStatus transferStatus(const HttpTransport& transport, const std::string& answer) {
  if (transport.bodyTooLarge()) return kStatusUnparsable;
  if (answer.empty()) return kStatusNoResponse;
  return kStatusOk;
}

ServiceStatus classifyResponse(const std::string& answer, Json::Value& document) {
  if (answer.empty()) return kStatusNoResponse;
  Json::Value root;
  if (!parseJson(answer, root)) return kStatusUnparsable;
  const Json::Value& code = jsonMember(root, "code");
  if (!jsonIsInt(code)) return kStatusNoCode;
  if (int value = jsonInt(code); value != 0) return value;
  document.swap(root);
  return kStatusOk;
}

}  // namespace norvane
