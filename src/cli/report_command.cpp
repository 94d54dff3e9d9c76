#include "cli/report_command.h"

#include "cli/output.h"

#include <iostream>

#include "data/knowledge_db.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "reports/page_data.h"
#include "reports/pdf_job.h"
#include "reports/report_document.h"
#include "service/analysis_query.h"

namespace norvane::cli {
namespace {

int usage(std::ostream& err, const std::string& message) {
  err << "norvane-cli report: " << message << "\n"
      << "Try \"norvane-cli report --help\".\n";
  return kExitUsage;
}

std::string today() {
  const LocalDateTime now = systemClock().localNow();
  return reports::exportDateText(now.year, now.month, now.day);
}

// The birth place texts of the name report, as the report window finds them.
reports::BirthPlace birthPlace(KnowledgeDb& db, int cityId) {
  reports::BirthPlace place;
  AreaLocation location;
  if (cityId != 0 && db.areaLocation(cityId, location)) {
    place.longitude = location.longitude;
    place.latitude = location.latitude;
    place.place = shortenPlaceName(location.place);
  }
  return place;
}

int report(const Options& options, std::ostream& out, std::ostream& err) {
  const bool nickname = options.has("nickname");
  const bool fortune = options.has("fortune");
  if (nickname && fortune) return usage(err, "--nickname and --fortune exclude each other");
  const std::string pdf = options.get("pdf");
  if (pdf.empty()) return usage(err, "--pdf FILE is required");

  const std::string dbPath = JoinPath(ProgramFolder, "local.dat");
  KnowledgeDb db;
  db.open(dbPath);
  KnowledgeDbPath = dbPath;
  reports::ReportDocument document;
  std::string error;

  if (fortune) {
    std::string xing, ming;
    if (!requireChinese(options, "surname", xing, error) || !requireChinese(options, "name", ming, error))
      return usage(err, error);
    LuckQuery luck;
    ServiceStatus status = luck.run(xing, ming);
    if (status != kStatusOk) {
      err << "norvane-cli: status " << status << " (FenxiFail)\n";
      return kExitFailure;
    }
    document = reports::fortuneReportDocument(luck, db, today());
  } else {
    BirthInfo birth;
    std::string ming;
    if (!readBirthOptions(options, birth, error) || !requireChinese(options, "name", ming, error))
      return usage(err, error);
    NameRecord record;
    record.Xing = birth.Xing;
    record.Ming = ming;
    record.Birthday = birth.Birthday;
    record.Gender = birth.Gender;
    record.Longitude = birth.Longitude;
    record.CityId = birth.CityId;
    record.IsXiaoming = nickname;
    AnalysisQuery query(nickname ? Endpoint::NicknameAnalysis : Endpoint::NameAnalysis);
    query.Xing = record.Xing;
    query.Ming = record.Ming;
    query.Birthday = record.Birthday;
    query.Gender = record.Gender;
    query.Longitude = record.Longitude;
    query.m = 1;
    ServiceStatus status = query.run();
    if (status != kStatusOk) {
      err << "norvane-cli: status " << status << " (" << statusTextKey(status) << ")\n";
      return kExitFailure;
    }
    document = nickname ? reports::nicknameReportDocument(query.Data, db, record, today())
                        : reports::nameReportDocument(query.Data, db, record, birthPlace(db, record.CityId), today());
  }

  reports::startHeadlessApplication("norvane-cli");
  if (!reports::writeReportPdf(document, pdf, error)) {
    err << "norvane-cli report: " << error << "\n";
    return kExitFailure;
  }
  Json::Value result(Json::objectValue);
  result["pdf"] = pdf;
  result["reportPages"] = static_cast<Json::UInt>(document.parts.size());
  out << printable(result);
  return kExitOk;
}

}  // namespace

Command reportCommand() { return {"report", kReportSynopsis, reportOptions(), &report, nullptr, reportFlags()}; }

}  // namespace norvane::cli
