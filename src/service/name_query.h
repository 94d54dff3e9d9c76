#pragma once
// Pages of suggested names: the birth data every naming request carries, the
// two long-lived page queries (formal names and nicknames) and the record of
// one suggested name.
#include "service/endpoints.h"
#include "service/name_source.h"
#include "service/transport.h"

#include <json/value.h>

#include <string>
#include <vector>

namespace norvane {

struct BirthInfo {
  std::string Xing;      // surname as typed (local text); sent as "xing" in UTF-8
  std::string Birthday;  // "%d-%d-%d %02d:%02d:%02d", seconds 00; sent as "b" unchanged
  int Gender = 1;        // 1 boy, 2 girl; "sex"
  float Longitude = 0;   // degrees of the birth county; "jd"
  int CityId = 0;        // area id of the birth county; not sent, part of cache keys and records
  int m = 1;             // always 1; "m"
};

// The ten choices of the advanced naming settings (position of the chosen
// item in each list), two fixed characters (one UTF-16 code unit each,
// 0 = none) and the source book. Held in this order; the settings dialog
// copies the whole block.
struct AdvancedNamingSettings {
  int cyz = 2;  // character set: all, usable, common, key
  int xb = 0;
  int sx = 0;
  int zxz = 0;
  int xmx = 0;
  int wx = 1;
  int ny = 1;
  int yd = 0;
  int sm = 0;
  int ym = 0;
  char16_t FixedFirst = 0;   // "z1"
  char16_t FixedSecond = 0;  // "z2", sent only when FixedFirst is 0
  // Position in kSourceBooks (service/name_source.h); 0 "不限" sends nothing,
  // a book is sent as "set" → "cc" and becomes part of the page's cache key.
  int cc = 0;
};

// One suggested name; the favourites table stores every field.
struct NameRecord {
  std::string Xing;
  std::string Ming;
  std::string Birthday;
  float FengShu = 0;  // score, shown as "%0.2f"
  int WuXing = 0;     // percentages
  int ShengXiao = 0;
  int JiXiong = 0;
  int ChangYongDu = 0;  // commonness of the characters
  int YinLv = 0;
  int CityId = 0;
  int Gender = 1;
  float Longitude = 0;
  bool IsXiaoming = false;  // true for nicknames
  // Where the name comes from ("ChuChu"); empty for most names and every
  // nickname. Not part of record equality: the same name is the same
  // favourite whichever search found it.
  NameSource ChuChu;
};

// Record equality as the favourites and the reports' name strip use it:
// texts byte for byte, FengShu and Longitude as floats, and the other fields;
// ChangYongDu is not compared.
bool sameRecord(const NameRecord& a, const NameRecord& b);
inline bool operator==(const NameRecord& a, const NameRecord& b) { return sameRecord(a, b); }

// The shared part of the two page queries. Run by one thread at a time.
class PageQuery : public BirthInfo {
 public:
  virtual ~PageQuery() = default;

  unsigned NameLength = 0;  // 1 or 2 for formal names; 0 for nicknames
  unsigned Page = 1;        // from 1
  unsigned PageSize = 10;
  int Total = 0;            // names the service has for this input (last successful page)
  int t = 0;                // server time of the last request
  std::string Account;      // logged-in account and token, empty when logged out
  std::string Token;
  std::vector<NameRecord> Names;  // the current page, in the service's order

  // Fetches page `Page`: from the cache when a stored page yields at least one
  // name, else from the service (a successful answer is then stored). A page
  // answer or stored page beyond kMaxPageAnswerBytes is refused as not JSON
  // (service/answer_limits.h). Returns
  // 0, or the failure status: 1 no answer, 2 not JSON, 3 no "code",
  // 10 empty page, or the service's code. `Names` is emptied first when
  // clearNames is set (every caller sets it).
  ServiceStatus run(bool clearNames);

  // Reads an answer document into Total and Names; a "data" array of more
  // than kMaxPageRecords records is no page (status 2, Names untouched).
  ServiceStatus parsePage(const Json::Value& root);

  // The key text of this page in the response cache.
  virtual std::string cacheKey() const = 0;

  // The request body (members in ascending name order, signed with t).
  virtual std::string requestBody() const = 0;

 protected:
  virtual Endpoint endpoint() const = 0;
  virtual bool isXiaoming() const = 0;
};

// Formal names ("/v1/build").
class NameQuery : public PageQuery {
 public:
  AdvancedNamingSettings AdvancedSettings;

  std::string cacheKey() const override;
  std::string requestBody() const override;

 protected:
  Endpoint endpoint() const override { return Endpoint::NameBuild; }
  bool isXiaoming() const override { return false; }
};

// Nicknames ("/v1/child/build"), built from six patterns ("ct1" ... "ct6");
// at least one is chosen.
class NicknameQuery : public PageQuery {
 public:
  bool NicknameStyles[6] = {false, false, false, false, false, false};

  std::string cacheKey() const override;
  std::string requestBody() const override;

 protected:
  Endpoint endpoint() const override { return Endpoint::NicknameBuild; }
  bool isXiaoming() const override { return true; }
};

// A fixed character (one UTF-16 code unit) as UTF-8; "?" for a lone surrogate.
std::string fixedCharacterText(char16_t unit);

}  // namespace norvane
