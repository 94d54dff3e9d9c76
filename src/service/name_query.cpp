#include "service/name_query.h"

#include "platform/utf8.h"
#include "service/answer_limits.h"
#include "service/envelope.h"
#include "service/json_access.h"
#include "service/response_cache.h"

#include <cstdio>

namespace norvane {

bool sameRecord(const NameRecord& a, const NameRecord& b) {
  return a.Xing == b.Xing && a.Ming == b.Ming && a.Birthday == b.Birthday &&
         a.FengShu == b.FengShu && a.Longitude == b.Longitude && a.WuXing == b.WuXing &&
         a.ShengXiao == b.ShengXiao && a.JiXiong == b.JiXiong && a.YinLv == b.YinLv &&
         a.CityId == b.CityId && a.Gender == b.Gender && a.IsXiaoming == b.IsXiaoming;
}

std::string fixedCharacterText(char16_t unit) {
  if (unit >= 0xD800 && unit <= 0xDFFF) return "?";  // half of a pair is no character
  return toUtf8(codePointToUtf8(unit));
}

ServiceStatus PageQuery::run(bool clearNames) {
  if (clearNames) Names.clear();

  std::string cachePath = ResponseCache::path(CacheKind::NamePage, cacheKey());
  if (!ResponseCache::find(cachePath).empty()) {
    Json::Value cached;
    if (ResponseCache::read(cachePath, cached, kMaxPageAnswerBytes)) {
      parsePage(cached);
      if (!Names.empty()) return kStatusOk;
    }
  }

  HttpTransport transport;
  t = fetchServerTime(transport);
  std::string answer = exchange(transport, endpoint(), requestBody(), kMaxPageAnswerBytes);
  if (ServiceStatus status = transferStatus(transport, answer); status != kStatusOk) return status;
  // Repairing invalid bytes can lengthen the text; it is stored only within
  // the bound the cache reads.
  if (answer.size() > kMaxPageAnswerBytes) return kStatusUnparsable;

  Json::Value root;
  if (!parseJson(answer, root)) return kStatusUnparsable;
  ServiceStatus status = parsePage(root);
  if (status == kStatusOk) ResponseCache::write(cachePath, answer);
  return status;
}

ServiceStatus PageQuery::parsePage(const Json::Value& root) {
  const Json::Value& code = jsonMember(root, "code");
  if (!jsonIsInt(code)) return kStatusNoCode;
  if (int value = jsonInt(code); value != 0) return value;

  Total = jsonInt(jsonMember(root, "total"));
  const Json::Value& data = jsonArray(jsonMember(root, "data"));
  if (data.empty()) return kStatusEmptyList;
  if (data.size() > kMaxPageRecords) return kStatusUnparsable;

  for (Json::ArrayIndex i = 0; i < data.size(); ++i) {
    const Json::Value& item = data[i];
    NameRecord record;
    record.Xing = jsonText(jsonMember(item, "x"));
    record.Ming = jsonText(jsonMember(item, "m"));
    record.FengShu = static_cast<float>(jsonDouble(jsonMember(item, "f")));
    record.WuXing = jsonInt(jsonMember(item, "w"));
    record.ShengXiao = jsonInt(jsonMember(item, "s"));
    record.JiXiong = jsonInt(jsonMember(item, "j"));
    record.ChangYongDu = jsonInt(jsonMember(item, "c"));
    record.YinLv = jsonInt(jsonMember(item, "y"));
    record.Birthday = Birthday;
    record.CityId = CityId;
    record.Gender = Gender;
    record.Longitude = Longitude;
    record.IsXiaoming = isXiaoming();
    // Nickname pages never carry a source.
    if (!record.IsXiaoming) record.ChuChu = readNameSource(jsonMember(item, "ChuChu"));
    Names.push_back(std::move(record));
  }
  return kStatusOk;
}

std::string NameQuery::cacheKey() const {
  const AdvancedNamingSettings& s = AdvancedSettings;
  char digits[256];
  std::snprintf(digits, sizeof digits, "%d%d%d%d%d%d%d%d%d%d%d%d", s.cyz, s.ny, s.sm, s.sx, s.wx,
                s.xb, s.xmx, s.yd, s.ym, s.zxz, static_cast<int>(s.FixedFirst),
                static_cast<int>(s.FixedSecond));
  char key[2048];
  std::snprintf(key, sizeof key, "%s|%d|%u|%s|%d|%u|%s", Xing.c_str(), Gender, NameLength,
                Birthday.c_str(), CityId, Page, digits);
  // A chosen source book is an eighth part; without one the key is the one
  // every earlier page was stored under.
  std::string text = key;
  if (std::string book = sourceBookSent(s.cc); !book.empty()) text += "|" + book;
  return text;
}

std::string NicknameQuery::cacheKey() const {
  char flags[7];
  for (int i = 0; i < 6; ++i) flags[i] = NicknameStyles[i] ? '1' : '0';
  flags[6] = '\0';
  char key[2048];
  std::snprintf(key, sizeof key, "%s|%d|%u|%s|%d|%u|%s", Xing.c_str(), Gender, NameLength,
                Birthday.c_str(), CityId, Page, flags);
  return key;
}

std::string NameQuery::requestBody() const {
  std::string xing = toUtf8(Xing);
  std::string digits = birthdayDigits(Birthday);
  const AdvancedNamingSettings& s = AdvancedSettings;

  Json::Value body(Json::objectValue);
  body["account"] = Account;
  body["b"] = Birthday;
  body["jd"] = static_cast<double>(Longitude);
  body["m"] = m;
  body["ming"] = Json::UInt(NameLength);
  body["number"] = Json::UInt(PageSize);
  body["page"] = Json::UInt(Page);
  Json::Value& set = body["set"] = Json::Value(Json::objectValue);
  set["cyz"] = s.cyz;
  set["xb"] = s.xb;
  set["sx"] = s.sx;
  set["zxz"] = s.zxz;
  set["xmx"] = s.xmx;
  set["wx"] = s.wx;
  set["ny"] = s.ny;
  set["yd"] = s.yd;
  set["sm"] = s.sm;
  set["ym"] = s.ym;
  if (std::string book = sourceBookSent(s.cc); !book.empty()) set["cc"] = book;
  body["sex"] = Gender;
  body["sign"] = signRequest("%s%s%d%d%s%d%d%d%d%s%s", xing.c_str(), static_cast<int>(NameLength),
                             Gender, digits.c_str(), static_cast<int>(PageSize),
                             static_cast<int>(Page), m, t, Account.c_str(), Token.c_str());
  body["t"] = t;
  body["token"] = Token;
  body["xing"] = xing;
  if (s.FixedFirst != 0)
    body["z1"].append(fixedCharacterText(s.FixedFirst));
  else if (s.FixedSecond != 0)
    body["z2"].append(fixedCharacterText(s.FixedSecond));
  return writeStyledJson(body);
}

std::string NicknameQuery::requestBody() const {
  std::string xing = toUtf8(Xing);
  std::string digits = birthdayDigits(Birthday);

  Json::Value body(Json::objectValue);
  body["account"] = Account;
  body["b"] = Birthday;
  body["jd"] = static_cast<double>(Longitude);
  body["m"] = m;
  body["number"] = Json::UInt(PageSize);
  body["page"] = Json::UInt(Page);
  Json::Value& set = body["set"] = Json::Value(Json::objectValue);
  for (int i = 0; i < 6; ++i) set["ct" + std::to_string(i + 1)] = NicknameStyles[i];
  body["sex"] = Gender;
  body["sign"] = signRequest("%s%s%d%s%d%d%d%d%s%s", xing.c_str(), Gender, digits.c_str(),
                             static_cast<int>(PageSize), static_cast<int>(Page), m, t,
                             Account.c_str(), Token.c_str());
  body["t"] = t;
  body["token"] = Token;
  body["xing"] = xing;
  return writeStyledJson(body);
}

}  // namespace norvane
