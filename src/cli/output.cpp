#include "cli/output.h"

#include <json/writer.h>

#include <charconv>
#include <cstdlib>

namespace norvane::cli {

Json::Value floatNumber(float value) {
  char text[64];
  auto result = std::to_chars(text, text + sizeof text - 1, value);
  if (result.ec != std::errc()) return static_cast<double>(value);
  *result.ptr = '\0';
  return std::strtod(text, nullptr);
}

Json::Value recordJson(const NameRecord& record) {
  Json::Value json(Json::objectValue);
  json["Xing"] = record.Xing;
  json["Ming"] = record.Ming;
  json["Birthday"] = record.Birthday;
  json["FengShu"] = floatNumber(record.FengShu);
  json["WuXing"] = record.WuXing;
  json["ShengXiao"] = record.ShengXiao;
  json["JiXiong"] = record.JiXiong;
  json["ChangYongDu"] = record.ChangYongDu;
  json["YinLv"] = record.YinLv;
  json["CityId"] = record.CityId;
  json["Gender"] = record.Gender;
  json["Longitude"] = floatNumber(record.Longitude);
  json["IsXiaoming"] = record.IsXiaoming;
  if (!record.ChuChu.empty()) json["ChuChu"] = nameSourceJson(record.ChuChu);
  return json;
}

Json::Value pageJson(const PageQuery& query) {
  Json::Value json(Json::objectValue);
  json["total"] = query.Total;
  json["page"] = Json::UInt(query.Page);
  json["pageSize"] = Json::UInt(query.PageSize);
  unsigned total = query.Total > 0 ? static_cast<unsigned>(query.Total) : 0u;
  json["pages"] = Json::UInt(query.PageSize ? (total + query.PageSize - 1) / query.PageSize : 0);
  Json::Value& names = json["names"] = Json::Value(Json::arrayValue);
  for (const NameRecord& record : query.Names) names.append(recordJson(record));
  return json;
}

Json::Value fortuneJson(const LuckQuery& query) {
  Json::Value json(Json::objectValue);
  json["gx"] = query.Gx;
  Json::Value& list = json["list"] = Json::Value(Json::arrayValue);
  for (const std::string& item : query.List) list.append(item);
  Json::Value& ys = json["ys"] = Json::Value(Json::arrayValue);
  for (const std::string& item : query.Ys) ys.append(item);
  return json;
}

std::string printable(const Json::Value& document) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "   ";
  builder["emitUTF8"] = true;
  builder["precision"] = 15;
  return Json::writeString(builder, document) + "\n";
}

}  // namespace norvane::cli
