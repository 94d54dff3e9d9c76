#pragma once
// The naming service's two account requests and the SMS verification code.
//
// requestLogin exchanges an account identity (a phone number proved by an
// SMS code, or the id a WeChat or QQ login page returned) for a token;
// sendSmsCode asks the service to text a code, which this client made itself
// and later compares with the user's entry. Both are blocking, run on the
// caller's thread and share nothing between calls.
#include "service/transport.h"

#include <functional>
#include <string>

namespace norvane {

struct LoginRequest {
  std::string account;  // "account": phone number, WeChat "unionid" or QQ "openid"
  int appId = 1;        // "appid"
  int agentId = 1;      // "agentid": the partner id
  int typeId = 1;       // "typeid": 1 SMS code, 2 WeChat, 3 QQ
  int sourceId = 5;     // "sourceid"
  int t = 0;            // "t": server time, fetched by the request
  std::string token;    // out: "data"/"token" of a successful answer
};

// A request for `account` with the given login type and the partner id of
// oem.ini.
LoginRequest makeLoginRequest(const std::string& account, int loginType);

// The signed body of a login request with server time `t` (members in
// ascending name order).
std::string loginRequestBody(const LoginRequest& request);

// POSTs the request to the login endpoint. 0 with `token` filled (possibly
// empty) when the answer's "code" is 0; otherwise 1 no answer, 2 not JSON,
// 3 no "code", or the service's code.
ServiceStatus requestLogin(LoginRequest& request);

// The signed body of an SMS code request.
std::string smsRequestBody(const std::string& mobile, const std::string& code, int t);

// Asks the service to text `code` to `mobile`. True when the answer's "code"
// is 0. On a refusal `message` is the answer's "msg" (UTF-8, possibly empty);
// an empty answer, one that is not JSON or one without "code" gives false
// with an empty message.
bool sendSmsCode(const std::string& mobile, const std::string& code, std::string& message);

// A six-digit verification code. `draw` yields values in 0..32767 (the C
// library generator's range). The first draw is multiplied by further draws
// until the product reaches 100000 (unsigned 32-bit arithmetic, wrapping);
// its first six decimal digits are the code. A draw of 0 or 1 cannot make the
// product grow and is drawn again (a generator that keeps giving them is
// taken as giving 2), so the code always ends, and it is never empty and
// holds digits only.
std::string makeVerificationCode(const std::function<int()>& draw);

// The same over the C library generator, seeded with the program clock's
// seconds: two codes made within one second are equal.
std::string makeVerificationCode();

}  // namespace norvane
