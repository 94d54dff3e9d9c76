#include "service/analysis_query.h"

#include "platform/utf8.h"
#include "service/answer_limits.h"
#include "service/envelope.h"
#include "service/json_access.h"
#include "service/response_cache.h"

namespace norvane {

namespace {

// A stored analysis counts as a success when its "code" is 0 or missing; a
// code of any other kind (text, true, an array, a number beyond int) is no
// success code.
bool isStoredSuccess(const Json::Value& root) {
  if (!root.isObject()) return false;
  if (!jsonHasMember(root, "code")) return true;
  const Json::Value& code = jsonMember(root, "code");
  return jsonIsInt(code) && jsonInt(code) == 0;
}

}  // namespace

AnalysisQuery::AnalysisQuery(Endpoint endpoint) : endpoint_(endpoint) {}

std::string AnalysisQuery::cacheKey() const {
  if (endpoint_ == Endpoint::NicknameAnalysis)
    return nicknameAnalysisCacheKey(Xing, Ming, Birthday, Gender, Longitude);
  return analysisCacheKey(Xing, Ming, Birthday, Gender, Longitude);
}

std::string AnalysisQuery::requestBody() const {
  std::string xing = toUtf8(Xing);
  std::string ming = toUtf8(Ming);
  std::string digits = birthdayDigits(Birthday);
  Json::Value body(Json::objectValue);
  body["b"] = Birthday;
  body["jd"] = static_cast<double>(Longitude);
  body["m"] = m;
  body["ming"] = ming;
  body["sex"] = Gender;
  body["sign"] =
      signRequest("%s%s%s%d%s%d%d", xing.c_str(), ming.c_str(), Gender, digits.c_str(), m, t);
  body["t"] = t;
  body["xing"] = xing;
  return writeStyledJson(body);
}

ServiceStatus AnalysisQuery::run() {
  std::string cachePath = ResponseCache::path(CacheKind::Analysis, cacheKey());
  if (!ResponseCache::find(cachePath).empty()) {
    Json::Value cached;
    // Only successful answers are stored; a stored answer without "code"
    // counts as one. A root that is not an object was never an answer.
    if (ResponseCache::read(cachePath, cached, kMaxAnalysisAnswerBytes) &&
        isStoredSuccess(cached)) {
      Data = jsonMember(cached, "data");
      return kStatusOk;
    }
  }

  HttpTransport transport;
  t = fetchServerTime(transport);
  std::string answer = exchange(transport, endpoint_, requestBody(), kMaxAnalysisAnswerBytes);
  if (ServiceStatus status = transferStatus(transport, answer); status != kStatusOk) return status;
  // Repairing invalid bytes can lengthen the text; it is stored only within
  // the bound the cache reads.
  if (answer.size() > kMaxAnalysisAnswerBytes) return kStatusUnparsable;

  Json::Value root;
  ServiceStatus status = classifyResponse(answer, root);
  if (status != kStatusOk) return status;
  Data = jsonMember(root, "data");
  ResponseCache::write(cachePath, answer);
  return kStatusOk;
}

std::string LuckQuery::requestBody() const {
  std::string xing = toUtf8(Xing);
  std::string ming = toUtf8(Ming);
  Json::Value body(Json::objectValue);
  body["ming"] = ming;
  body["sign"] = signRequest("%s%s%s%d", xing.c_str(), ming.c_str(), t);
  body["t"] = t;
  body["xing"] = xing;
  return writeStyledJson(body);
}

ServiceStatus LuckQuery::run(const std::string& xing, const std::string& ming) {
  Xing = xing;
  Ming = ming;
  Gx.clear();
  List.clear();
  Ys.clear();

  std::string key = fortuneCacheKey(Xing, Ming);
  std::string cachePath = key.empty() ? std::string() : ResponseCache::path(CacheKind::Fortune, key);
  if (!ResponseCache::find(cachePath).empty()) {
    Json::Value cached;
    if (ResponseCache::read(cachePath, cached, kMaxFortuneAnswerBytes)) {
      parseLuck(cached);
      if (!Gx.empty()) return kStatusOk;
    }
    // A stored answer without a fortune may have left list items behind;
    // they belong to no fortune, so the service's answer starts afresh.
    List.clear();
    Ys.clear();
  }

  HttpTransport transport;
  t = fetchServerTime(transport);
  std::string answer = exchange(transport, Endpoint::NameLuck, requestBody(), kMaxFortuneAnswerBytes);
  if (ServiceStatus status = transferStatus(transport, answer); status != kStatusOk) return status;
  if (answer.size() > kMaxFortuneAnswerBytes) return kStatusUnparsable;

  // Stored before it is examined: an answer that fails is stored too, and is
  // found unusable (no fortune) the next time.
  ResponseCache::write(cachePath, answer);

  Json::Value root;
  // A root that is not an object is no answer at all, not an empty fortune.
  if (!parseJson(answer, root) || !root.isObject() || parseLuck(root) != kStatusOk)
    return kStatusUnparsable;
  return kStatusOk;
}

ServiceStatus LuckQuery::parseLuck(const Json::Value& root) {
  // A missing "code" reads as 0; one that is there but no integer is no
  // code at all, as for every other answer.
  if (jsonHasMember(root, "code")) {
    const Json::Value& code = jsonMember(root, "code");
    if (!jsonIsInt(code)) return kStatusNoCode;
    if (int value = jsonInt(code); value != 0) return value;
  }
  const Json::Value& data = jsonMember(root, "data");
  Gx = jsonText(jsonMember(data, "gx"));
  const Json::Value& list = jsonArray(jsonMember(data, "list"));
  for (Json::ArrayIndex i = 0; i < list.size(); ++i) List.push_back(jsonText(list[i]));
  const Json::Value& ys = jsonArray(jsonMember(data, "ys"));
  for (Json::ArrayIndex i = 0; i < ys.size(); ++i) Ys.push_back(jsonText(ys[i]));
  return kStatusOk;
}

}  // namespace norvane
