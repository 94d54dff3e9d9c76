#pragma once
// The envelope every signed request travels in: the service's clock, the
// signature, the post, and the first classification of the answer.
//
// One request, in order: create one HttpTransport; fetchServerTime(); build
// the body with "t" and "sign" (signRequest over the same values, the key
// first); writeStyledJson(); exchange(); transferStatus() and
// classifyResponse() (or the request's own reading of the answer).
#include "platform/md5.h"
#include "service/answer_limits.h"
#include "service/endpoints.h"
#include "service/transport.h"

#include <json/value.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <type_traits>

namespace norvane {

// The key that enters every signature first; it is never sent.
inline constexpr const char* kSignKey = "tP3kWz8QmLr5NvXc2HsYd7BfGj9eRaUo";

// The signature of one request: `format` printed with kSignKey as its first
// value and `values` after it into a 4096-byte buffer (at most 4095
// characters, like snprintf), then md5Hex of that text. "%s" values are C
// strings (surname and given name in UTF-8, account and token as held, the
// birthday as birthdayDigits()); "%d" values are ints.
template <typename... Values>
std::string signRequest(const char* format, Values... values) {
  static_assert(((std::is_same_v<Values, int> || std::is_same_v<Values, const char*>) && ...),
                "sign values are ints and C strings");
  char text[4096];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
  int n = std::snprintf(text, sizeof text, format, kSignKey, values...);
#pragma GCC diagnostic pop
  if (n < 0) text[0] = '\0';
  return md5Hex(text);
}

// The birthday "Y-M-D h:mm:ss" as fourteen digits "YYYYMMDDhhmmss" (year as
// written, the rest with two digits); fields that cannot be read count as 0,
// so unreadable text gives "0" followed by ten zeros.
std::string birthdayDigits(const std::string& birthday);

// The service's clock: GET of the ServerTime URL, the body read as a decimal
// integer like C atoi (leading blanks, optional sign, digits up to the first
// non-digit). An empty or non-numeric answer, or one beyond
// kMaxTimeAnswerBytes, gives 0 and the request goes on.
int fetchServerTime(HttpTransport& transport);

// Posts the finished body to the endpoint and returns the answer as local
// text (empty when nothing came back). An answer beyond maxBytes (the bound
// of its kind, service/answer_limits.h) is dropped: see transferStatus().
std::string exchange(HttpTransport& transport, Endpoint endpoint, const std::string& body,
                     std::size_t maxBytes = kMaxAnswerBytes);

// What the transfer itself says about the answer: 2 when it was too large to
// keep, 1 when it is empty, 0 when there is text to read.
ServiceStatus transferStatus(const HttpTransport& transport, const std::string& answer);

// Classifies an answer text: 1 empty, 2 not JSON, 3 no "code" member (also
// when the root is not an object or "code" is not a number), the code when
// it is not 0, else 0 with the parsed document in `document`.
ServiceStatus classifyResponse(const std::string& answer, Json::Value& document);

}  // namespace norvane
