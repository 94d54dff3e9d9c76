// norvane-knowledge-build: writes the encrypted knowledge database from its
// reviewable sources.
//
//   norvane-knowledge-build OUTPUT.dat SOURCE_FOLDER
//
// SOURCE_FOLDER holds one <table>.json per explanation table (a JSON array of
// objects whose keys are column names; values are strings, integers or null)
// and area.csv (columns id,pid,name,merger_name,lng,lat; RFC 4180 quoting).
// A table whose file is missing is created empty; keys that are not columns
// of the table are ignored (with a warning). In texts, every "\n" that does
// not already follow "\r" is stored as "\r\n". The output is keyed with the
// program's database passphrase (SQLCipher 3.x default settings) and written
// beside its final name, then renamed, so a failed build leaves no half file.
#include <json/json.h>
#include <sqlcipher/sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "data/knowledge_db.h"
#include "platform/utf8.h"

namespace {

struct Column {
  const char* name;
  bool integer;
};

struct Table {
  const char* name;
  std::vector<Column> columns;
  std::vector<const char*> indexes;  // columns the lookups search by
};

const std::vector<Table>& tables() {
  static const std::vector<Table> all = {
      {"area",
       {{"id", true}, {"pid", true}, {"name", false}, {"merger_name", false}, {"lng", false}, {"lat", false}},
       {"id", "pid"}},
      {"jxjs", {{"wd", false}, {"js", false}, {"use", false}, {"sex", false}, {"wx", false}}, {"wd"}},
      {"sxpp", {{"sx", false}, {"pp", false}, {"js", false}}, {"sx"}},
      {"sxxz", {{"sid", false}, {"js1", false}, {"js2", false}}, {"sid"}},
      {"cgsm", {{"id", false}, {"chy", false}, {"js", false}}, {"id"}},
      {"srmm", {{"rq", false}, {"js", false}}, {"rq"}},
      {"sclm1", {{"dayg", false}, {"timegz", false}, {"js", false}}, {"dayg"}},
      {"sclm2", {{"bz", false}, {"sid", false}, {"js", false}}, {"bz"}},
      {"sljs", {{"id", true}, {"jx", false}, {"js1", false}, {"js2", false}, {"js3", false}}, {"id"}},
      {"gxfx",
       {{"id", false}, {"sid", false}, {"name", false}, {"jx", false}, {"js2", false}, {"js3", false}},
       {"id", "sid"}},
      {"phjs", {{"id", true}, {"jx", false}, {"js", false}}, {"id"}},
  };
  return all;
}

// A cell: NULL, an integer or a text.
struct Value {
  enum Kind { Null, Integer, Text } kind = Null;
  long long integer = 0;
  std::string text;
};
using Row = std::vector<Value>;

std::string crlf(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

bool parseInteger(const std::string& text, long long& value) {
  if (text.empty()) return false;
  std::size_t used = 0;
  try {
    value = std::stoll(text, &used, 10);
  } catch (...) {
    return false;
  }
  return used == text.size();
}

// Turns a source value into the cell stored for `column`.
bool makeValue(const Column& column, const Json::Value& in, Value& out, std::string& error) {
  if (in.isNull()) {
    out.kind = Value::Null;
    return true;
  }
  if (in.isString()) {
    std::string text = in.asString();
    if (!norvane::isValidUtf8(text)) {
      error = "text is not valid UTF-8";
      return false;
    }
    if (column.integer) {
      if (!parseInteger(text, out.integer)) {
        error = "\"" + text + "\" is not an integer";
        return false;
      }
      out.kind = Value::Integer;
    } else {
      out.kind = Value::Text;
      out.text = crlf(text);
    }
    return true;
  }
  if (in.isIntegral()) {
    long long v = in.isInt64() ? in.asInt64() : static_cast<long long>(in.asUInt64());
    if (column.integer) {
      out.kind = Value::Integer;
      out.integer = v;
    } else {
      out.kind = Value::Text;  // a TEXT key column holds the decimal text
      out.text = std::to_string(v);
    }
    return true;
  }
  error = "value must be a string, an integer or null";
  return false;
}

bool readJsonTable(const Table& table, const std::string& path, std::vector<Row>& rows) {
  std::ifstream in(path, std::ios::binary);
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  Json::Value doc;
  std::string errors;
  if (!in || !Json::parseFromStream(builder, in, &doc, &errors)) {
    std::cerr << path << ": not readable JSON: " << errors << "\n";
    return false;
  }
  if (!doc.isArray()) {
    std::cerr << path << ": the top level must be an array of objects\n";
    return false;
  }
  std::set<std::string> warned;
  bool ok = true;
  for (Json::ArrayIndex i = 0; i < doc.size(); ++i) {
    const Json::Value& object = doc[i];
    if (!object.isObject()) {
      std::cerr << path << ": element " << i << " is not an object\n";
      ok = false;
      continue;
    }
    for (const std::string& key : object.getMemberNames()) {
      bool known = false;
      for (const Column& c : table.columns) known = known || key == c.name;
      if (!known && warned.insert(key).second) {
        std::cerr << path << ": warning: key \"" << key << "\" is not a column of " << table.name
                  << " and is ignored\n";
      }
    }
    Row row(table.columns.size());
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
      std::string error;
      if (!makeValue(table.columns[c], object[table.columns[c].name], row[c], error)) {
        std::cerr << path << ": element " << i << ", " << table.columns[c].name << ": " << error << "\n";
        ok = false;
      }
    }
    rows.push_back(std::move(row));
  }
  return ok;
}

// RFC 4180 records: fields separated by ",", records by CRLF or LF, fields
// optionally in double quotes with "" for a quote inside.
bool parseCsv(const std::string& data, std::vector<std::vector<std::string>>& records, std::string& error) {
  std::vector<std::string> record;
  std::string field;
  bool quoted = false;
  bool wasQuoted = false;
  std::size_t i = 0;
  auto endField = [&] {
    record.push_back(field);
    field.clear();
    wasQuoted = false;
  };
  while (i < data.size()) {
    char c = data[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < data.size() && data[i + 1] == '"') {
          field += '"';
          i += 2;
          continue;
        }
        quoted = false;
      } else {
        field += c;
      }
      ++i;
      continue;
    }
    if (c == '"') {
      if (!field.empty() || wasQuoted) {
        error = "stray quote in record " + std::to_string(records.size() + 1);
        return false;
      }
      quoted = wasQuoted = true;
    } else if (c == ',') {
      endField();
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ++i;
      endField();
      records.push_back(std::move(record));
      record.clear();
    } else {
      if (wasQuoted) {
        error = "text after a closing quote in record " + std::to_string(records.size() + 1);
        return false;
      }
      field += c;
    }
    ++i;
  }
  if (quoted) {
    error = "unterminated quote";
    return false;
  }
  if (!field.empty() || !record.empty() || wasQuoted) {
    endField();
    records.push_back(std::move(record));
  }
  return true;
}

bool readAreaCsv(const Table& table, const std::string& path, std::vector<Row>& rows) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::string data = buffer.str();
  if (data.rfind("\xEF\xBB\xBF", 0) == 0) data.erase(0, 3);
  std::vector<std::vector<std::string>> records;
  std::string error;
  if (!in || !parseCsv(data, records, error)) {
    std::cerr << path << ": " << (error.empty() ? "not readable" : error) << "\n";
    return false;
  }
  const std::vector<std::string> header = {"id", "pid", "name", "merger_name", "lng", "lat"};
  if (records.empty() || records[0] != header) {
    std::cerr << path << ": the first line must be id,pid,name,merger_name,lng,lat\n";
    return false;
  }
  std::set<long long> ids;
  bool ok = true;
  for (std::size_t r = 1; r < records.size(); ++r) {
    const auto& record = records[r];
    const std::string where = path + ":" + std::to_string(r + 1) + ": ";
    if (record.size() == 1 && record[0].empty()) continue;  // blank line
    if (record.size() != header.size()) {
      std::cerr << where << "expected 6 fields, found " << record.size() << "\n";
      ok = false;
      continue;
    }
    Row row(header.size());
    for (std::size_t c = 0; c < header.size(); ++c) {
      const std::string& f = record[c];
      if (f.empty()) continue;  // an empty field is NULL
      std::string fieldError;
      if (!makeValue(table.columns[c], Json::Value(f), row[c], fieldError)) {
        std::cerr << where << header[c] << ": " << fieldError << "\n";
        ok = false;
      }
    }
    if (row[0].kind != Value::Integer || row[1].kind != Value::Integer) {
      std::cerr << where << "id and pid are required\n";
      ok = false;
      continue;
    }
    if (!ids.insert(row[0].integer).second) {
      std::cerr << where << "id " << row[0].integer << " appears twice\n";
      ok = false;
    }
    rows.push_back(std::move(row));
  }
  return ok;
}

bool exec(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::cerr << "norvane-knowledge-build: " << sql.substr(0, 60) << ": " << (message ? message : "?") << "\n";
    sqlite3_free(message);
    return false;
  }
  return true;
}

bool writeTable(sqlite3* db, const Table& table, const std::vector<Row>& rows) {
  std::string create = std::string("CREATE TABLE ") + table.name + " (";
  std::string insert = std::string("INSERT INTO ") + table.name + " VALUES (";
  for (std::size_t c = 0; c < table.columns.size(); ++c) {
    create += std::string(c ? ", " : "") + table.columns[c].name + (table.columns[c].integer ? " INTEGER" : " TEXT");
    insert += c ? ",?" : "?";
  }
  create += ")";
  insert += ")";
  if (!exec(db, create)) return false;
  for (const char* column : table.indexes) {
    if (!exec(db, std::string("CREATE INDEX ") + table.name + "_" + column + " ON " + table.name + "(" +
                      column + ")")) {
      return false;
    }
  }
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, insert.c_str(), -1, &st, nullptr) != SQLITE_OK) return false;
  bool ok = true;
  for (const Row& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      const Value& v = row[c];
      int index = static_cast<int>(c + 1);
      if (v.kind == Value::Integer) {
        sqlite3_bind_int64(st, index, v.integer);
      } else if (v.kind == Value::Text) {
        sqlite3_bind_text(st, index, v.text.data(), static_cast<int>(v.text.size()), SQLITE_TRANSIENT);
      } else {
        sqlite3_bind_null(st, index);
      }
    }
    if (sqlite3_step(st) != SQLITE_DONE) {
      std::cerr << "norvane-knowledge-build: insert into " << table.name << ": " << sqlite3_errmsg(db) << "\n";
      ok = false;
      break;
    }
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
  }
  sqlite3_finalize(st);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: norvane-knowledge-build OUTPUT.dat SOURCE_FOLDER\n";
    return 2;
  }
  const std::filesystem::path output = argv[1];
  const std::filesystem::path sources = argv[2];

  std::vector<std::vector<Row>> contents;
  bool ok = true;
  for (const Table& table : tables()) {
    std::vector<Row> rows;
    const bool isArea = std::string(table.name) == "area";
    const std::filesystem::path file = sources / (std::string(table.name) + (isArea ? ".csv" : ".json"));
    if (std::filesystem::exists(file)) {
      ok = (isArea ? readAreaCsv(table, file.string(), rows) : readJsonTable(table, file.string(), rows)) && ok;
    }
    contents.push_back(std::move(rows));
  }
  if (!ok) return 1;

  std::error_code ec;
  if (output.has_parent_path()) std::filesystem::create_directories(output.parent_path(), ec);
  const std::string temp = output.string() + ".part";
  std::filesystem::remove(temp, ec);
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(temp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK ||
      sqlite3_key(db, norvane::databaseKey, 32) != SQLITE_OK) {
    std::cerr << "norvane-knowledge-build: cannot create " << temp << "\n";
    sqlite3_close(db);
    return 1;
  }
  ok = exec(db, "BEGIN");
  for (std::size_t t = 0; ok && t < tables().size(); ++t) ok = writeTable(db, tables()[t], contents[t]);
  ok = ok && exec(db, "COMMIT");
  ok = (sqlite3_close(db) == SQLITE_OK) && ok;
  if (ok) std::filesystem::rename(temp, output, ec);
  if (!ok || ec) {
    std::cerr << "norvane-knowledge-build: writing " << output << " failed\n";
    std::filesystem::remove(temp, ec);
    return 1;
  }
  std::size_t total = 0;
  for (const auto& rows : contents) total += rows.size();
  std::cout << "norvane-knowledge-build: " << output.string() << ": " << total << " rows\n";
  return 0;
}
