#include "account/login_requests.h"

#include "platform/clock.h"
#include "service/endpoints.h"
#include "service/envelope.h"
#include "service/json_access.h"
#include "shell/settings.h"

#include <json/value.h>

#include <cstdint>
#include <cstdlib>

namespace norvane {

LoginRequest makeLoginRequest(const std::string& account, int loginType) {
  LoginRequest request;
  request.account = account;
  request.agentId = oemSettings().partnerId;
  request.typeId = loginType;
  return request;
}

std::string loginRequestBody(const LoginRequest& request) {
  Json::Value body(Json::objectValue);
  body["account"] = request.account;
  body["appid"] = request.appId;
  body["agentid"] = request.agentId;
  body["typeid"] = request.typeId;
  body["sourceid"] = request.sourceId;
  body["t"] = request.t;
  body["sign"] = signRequest("%s%s%d%d%d%d%d", request.account.c_str(), request.appId,
                             request.agentId, request.typeId, request.sourceId, request.t);
  return writeStyledJson(body);
}

ServiceStatus requestLogin(LoginRequest& request) {
  HttpTransport transport;
  request.t = fetchServerTime(transport);
  request.token.clear();
  std::string answer = exchange(transport, Endpoint::UserLogin, loginRequestBody(request));
  if (ServiceStatus status = transferStatus(transport, answer); status != kStatusOk) return status;

  Json::Value root;
  ServiceStatus status = classifyResponse(answer, root);
  if (status != kStatusOk) return status;
  request.token = jsonText(jsonMember(jsonMember(root, "data"), "token"));
  return kStatusOk;
}

std::string smsRequestBody(const std::string& mobile, const std::string& code, int t) {
  Json::Value body(Json::objectValue);
  body["mobile"] = mobile;
  body["code"] = code;
  body["t"] = t;
  body["sign"] = signRequest("%s%s%s%d", mobile.c_str(), code.c_str(), t);
  return writeStyledJson(body);
}

bool sendSmsCode(const std::string& mobile, const std::string& code, std::string& message) {
  message.clear();
  HttpTransport transport;
  int t = fetchServerTime(transport);
  std::string answer = exchange(transport, Endpoint::SmsLogin, smsRequestBody(mobile, code, t));
  if (transferStatus(transport, answer) != kStatusOk) return false;

  // Read here rather than through classifyResponse: a refusal with the
  // service's code 1, 2 or 3 must still carry its reason.
  Json::Value root;
  if (!parseJson(answer, root)) return false;
  const Json::Value& answerCode = jsonMember(root, "code");
  if (!jsonIsInt(answerCode)) return false;
  if (jsonInt(answerCode) == 0) return true;
  message = jsonText(jsonMember(root, "msg"));
  return false;
}

std::string makeVerificationCode(const std::function<int()>& draw) {
  // A draw that cannot make the product grow is drawn again a few times.
  auto growingDraw = [&draw]() -> std::uint32_t {
    for (int attempt = 0; attempt < 16; ++attempt) {
      int value = draw();
      if (value > 1) return static_cast<std::uint32_t>(value);
    }
    return 2;
  };
  std::uint32_t product = growingDraw();
  while (product < 100000u) product *= growingDraw();
  // The product is at least 100000, so it has six digits or more; printed
  // unsigned, the code is digits only and can be typed into the code field.
  std::string digits = std::to_string(product);
  return digits.substr(0, 6);
}

std::string makeVerificationCode() {
  std::srand(static_cast<unsigned>(systemClock().now()));
  return makeVerificationCode([] { return std::rand(); });
}

}  // namespace norvane
