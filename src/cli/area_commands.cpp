#include "cli/area_commands.h"

#include <json/value.h>

#include <cstdlib>
#include <vector>

#include "cli/commands.h"
#include "cli/output.h"
#include "data/knowledge_db.h"
#include "platform/folders.h"

namespace norvane::cli {
namespace {

// A 32-bit area id, at least `min`.
bool readAreaId(const std::string& text, int& id, long long min = 1) {
  if (text.empty() || text.size() > 10) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (value < min || value > 2147483647) return false;
  id = static_cast<int>(value);
  return true;
}

bool openDb(KnowledgeDb& db, std::string& error) {
  const std::string path = knowledgeDbFile();
  if (!db.open(path, true)) {
    error = "cannot read the knowledge database " + path;
    return false;
  }
  return true;
}

int failure(std::ostream& err, const std::string& command, const std::string& message) {
  err << "norvane-cli " << command << ": " << message << "\n";
  return kExitFailure;
}

int usage(std::ostream& err, const std::string& command, const std::string& message) {
  err << "norvane-cli " << command << ": " << message << "\n"
      << "Try \"norvane-cli " << command << " --help\".\n";
  return kExitUsage;
}

}  // namespace

std::string knowledgeDbFile() {
  return JoinPath(ProgramFolder.empty() ? locateProgramFolder() : ProgramFolder, "local.dat");
}

int listAreas(const Options& options, std::ostream& out, std::ostream& err) {
  int parent = 0;
  // --parent 0 names the root, like no --parent: the provinces.
  if (options.has("parent") && !readAreaId(options.get("parent"), parent, 0)) {
    return usage(err, "areas", "--parent must be an area id (a number, 0 for the provinces)");
  }
  KnowledgeDb db;
  std::string error;
  if (!openDb(db, error)) return failure(err, "areas", error);
  std::vector<AreaEntry> children;
  if (!db.childAreas(parent, children)) return failure(err, "areas", "the area table cannot be read");
  AreaLocation location;
  if (children.empty() && parent != 0 && !db.areaLocation(parent, location)) {
    return failure(err, "areas", "no area with id " + std::to_string(parent));
  }
  Json::Value list(Json::arrayValue);
  for (const AreaEntry& e : children) {
    Json::Value item;
    item["id"] = e.id;
    item["name"] = e.name;
    list.append(item);
  }
  out << printable(list);
  return kExitOk;
}

int showPlace(const Options& options, std::ostream& out, std::ostream& err) {
  int county = 0;
  if (!options.has("county")) return usage(err, "place", "missing --county ID");
  if (!readAreaId(options.get("county"), county)) {
    return usage(err, "place", "--county must be an area id (a positive number)");
  }
  KnowledgeDb db;
  std::string error;
  if (!openDb(db, error)) return failure(err, "place", error);
  AreaLocation location;
  if (!db.areaLocation(county, location)) {
    return failure(err, "place", "no area with id " + std::to_string(county) + " and coordinates");
  }
  Json::Value place;
  place["id"] = county;
  place["place"] = shortenPlaceName(location.place);
  place["mergerName"] = location.place;
  place["longitude"] = location.longitude;
  place["latitude"] = location.latitude;
  out << printable(place);
  return kExitOk;
}

bool countyLongitude(int county, float& longitude, std::string& error) {
  KnowledgeDb db;
  if (!openDb(db, error)) {
    error += "; give --longitude DEGREES";
    return false;
  }
  AreaLocation location;
  if (!db.areaLocation(county, location)) {
    error = "no county with id " + std::to_string(county) +
            " in the knowledge database (see \"norvane-cli areas\")";
    return false;
  }
  // The window program reads the shortened longitude text the same way.
  longitude = static_cast<float>(std::strtod(location.longitude.c_str(), nullptr));
  return true;
}

}  // namespace norvane::cli
