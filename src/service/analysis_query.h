#pragma once
// The report windows' queries: the analysis of a full name or of a nickname,
// kept whole as the service's JSON, and the year-by-year fortune of a name.
#include "service/endpoints.h"
#include "service/transport.h"

#include <json/value.h>

#include <string>
#include <vector>

namespace norvane {

// One per report window. The same type serves the name analysis
// (Endpoint::NameAnalysis) and the nickname analysis
// (Endpoint::NicknameAnalysis); the endpoint is fixed at construction.
class AnalysisQuery {
 public:
  explicit AnalysisQuery(Endpoint endpoint = Endpoint::NameAnalysis);

  std::string Xing;      // surname; "xing" in UTF-8
  std::string Ming;      // given name or nickname; "ming" in UTF-8
  std::string Birthday;  // as in BirthInfo; "b"
  int Gender = 1;        // "sex"
  float Longitude = 0;   // "jd"
  int m = 1;             // "m"
  int t = 0;             // server time of the last request
  Json::Value Data;      // "data" of the last successful answer; the service defines its shape

  Endpoint endpoint() const { return endpoint_; }

  // 0 with Data filled (from the cache when a stored answer exists), or the
  // failure status (1, 2, 3 or the service's code); a failure leaves Data as
  // it was. An answer or stored answer beyond kMaxAnalysisAnswerBytes is
  // refused as not JSON (service/answer_limits.h).
  ServiceStatus run();

  // The key text of this question in the response cache.
  std::string cacheKey() const;

  // The request body (members in ascending name order, signed with t).
  std::string requestBody() const;

 private:
  Endpoint endpoint_;
};

// One per fortune report window.
class LuckQuery {
 public:
  std::string Xing;
  std::string Ming;
  int t = 0;
  std::string Gx;                 // "data" → "gx"
  std::vector<std::string> List;  // "data" → "list", in order
  std::vector<std::string> Ys;    // "data" → "ys", in order

  // 0 when the fortune is in Gx, List and Ys; 1 when the service gave no
  // answer; 2 for every other failure. Every non-empty answer within
  // kMaxFortuneAnswerBytes is stored in the cache before it is examined; a
  // stored answer is used only when it yields a non-empty Gx.
  ServiceStatus run(const std::string& xing, const std::string& ming);

  // Reads an answer document: its "code" when that is not 0 (a missing code
  // reads as 0), 3 when "code" is not an integer, else fills Gx and appends
  // to List and Ys and returns 0.
  ServiceStatus parseLuck(const Json::Value& root);

  // The request body for the current Xing, Ming and t.
  std::string requestBody() const;
};

}  // namespace norvane
