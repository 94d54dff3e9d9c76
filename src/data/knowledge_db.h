#pragma once
// The knowledge database "local.dat": the administrative areas of the birth
// place pickers and the explanation texts the reports show. The file is an
// encrypted SQLite database (SQLCipher 3.x default settings) keyed with
// databaseKey; it is only ever read. Every lookup runs one fixed query with
// bound parameters and reads the first row; a failure of any kind (closed
// object, missing file, wrong key, no row) gives false or an empty text.
//
// Several objects may be open on the same file, in different threads; one
// object is used by one thread at a time.
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace norvane {

// The 32-character passphrase of local.dat.
extern const char databaseKey[];

// The UTF-8 path of local.dat, set by the report windows when they start; the
// page-data builders open their own short-lived KnowledgeDb from it.
extern std::string KnowledgeDbPath;

struct AreaEntry {
  std::string name;
  int id = 0;
};

struct AreaLocation {
  std::string place;      // merger name, e.g. "中国,河北省,石家庄市,长安区"
  std::string longitude;  // decimal text cut to two decimals, e.g. "114.54"
  std::string latitude;
};

// Cuts a decimal text two characters after its first "." (no rounding):
// "116.405285" → "116.40"; "39.9", "116" and texts without a point unchanged.
std::string shortenCoordinate(std::string_view text);

// The place text a report shows for a merger name: the country element is
// dropped, the rest joined without separator, and a two-character province
// element is skipped when the next element starts with it:
// "中国,北京,北京市,东城区" → "北京市东城区". One element gives "".
std::string shortenPlaceName(const std::string& mergerName);

class KnowledgeDb {
 public:
  KnowledgeDb() = default;
  // Opens `path` unless it is empty.
  explicit KnowledgeDb(const std::string& path, bool pathIsUtf8 = false);
  ~KnowledgeDb();
  KnowledgeDb(const KnowledgeDb&) = delete;
  KnowledgeDb& operator=(const KnowledgeDb&) = delete;

  // Opens the file read-only (a missing file is never created) and keys it.
  // True when the file exists and reads with the key; otherwise the object
  // stays closed and every lookup reports no row. An object that is already
  // open is closed first. The passphrase's key derivation runs once per
  // process for each file salt; later opens of a file with the same salt use
  // the derived key directly.
  bool open(const std::string& path, bool pathIsUtf8 = false);
  // Derives the key of the file at `path` (UTF-8) as an open would, and keeps
  // it, so that the following opens of that file need no derivation; an open
  // that comes while it runs waits for it instead of deriving again. Any
  // thread; false when the file cannot be read.
  static bool prepareKey(const std::string& path);
  void close();
  bool isOpen() const { return db_ != nullptr; }
  const std::string& path() const { return path_; }

  // Areas whose parent is `pid` (0: the provinces), appended to `out` in
  // stored order; rows without a name are skipped. True when the query ran,
  // also with no rows.
  bool childAreas(int pid, std::vector<AreaEntry>& out);
  // Merger name and shortened coordinates of an area; true only when all
  // three are stored.
  bool areaLocation(int id, AreaLocation& out);

  std::string charText(const std::string& word);                           // jxjs
  std::string zodiacRadicalText(const std::string& sx, const std::string& pp);  // sxpp, pp LIKE %pp%
  bool cgsmTexts(const std::string& id, std::string& chy, std::string& js);
  std::string sclm1Text(const std::string& dayg, const std::string& timegz);
  std::string sclm2Text(const std::string& bz, const std::string& sid);
  bool signTexts(const std::string& sid, std::string& js1, std::string& js2);  // sxxz
  // js2 of sxxz exactly as stored (UTF-8 bytes, not made valid).
  std::string signText2Utf8(const std::string& sid);
  std::string birthdayText(const std::string& rq);  // srmm
  bool numberTexts3(int id, std::string& jx, std::string& js2, std::string& js3);  // sljs
  // True only when all four columns are stored; then all four are set.
  bool numberTexts4(int id, std::string& jx, std::string& js1, std::string& js2, std::string& js3);
  bool gxfxById(const std::string& id, std::string& name, std::string& js2, std::string& sid);
  bool gxfxNameById(const std::string& id, std::string& name, std::string& js2);
  bool gxfxBySid(const std::string& sid, std::string& jx, std::string& name, std::string& js3);
  bool combinationTexts(int id, std::string& jx, std::string& js);  // phjs

  // Out parameters of the boolean lookups are set only from non-NULL
  // columns; the others keep what they held.

 private:
  class Statement;
  std::string path_;
  sqlite3* db_ = nullptr;
};

// ---------------------------------------------------------------------------
// Shared with the knowledge-database builder and the benchmarks.

// Opens `path` (UTF-8) with the given SQLite open flags and keys it with
// `passphrase`, deriving the key once per process and file salt. Returns the
// handle (to be closed by the caller) or nullptr; the handle is not yet
// checked against the key.
sqlite3* openKeyedDatabase(const std::string& path, const std::string& passphrase, int flags);

// The same open paying the passphrase's key derivation every time (as a
// plain sqlite3_key call does); used to measure what the cache saves.
sqlite3* openKeyedDatabaseUncached(const std::string& path, const std::string& passphrase, int flags);

// True when the file reads with the key given to the handle.
bool databaseReadable(sqlite3* db);

}  // namespace norvane
