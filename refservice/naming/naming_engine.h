#pragma once
// The naming computation of the reference service: name and nickname pages,
// the analysis of a full name or nickname, and the fortune of a name.
//
// No HTTP here: the server validates the envelope (sign, time, members), turns
// the request body into one of the request structures below and wraps the
// returned "data" value as {"code":0,"data":...}. When a call fails, the
// result carries the service code to answer (1004 for input out of range)
// and a message for the log.
//
// The engine is read-only after construction; its calls may run concurrently.
// The same question always gets the same answer.
#include <array>
#include <memory>
#include <string>

#include <json/value.h>

namespace norvane::refservice {

// Service codes the engine may return (the server adds 1001-1003 itself).
constexpr int kCodeOk = 0;
constexpr int kCodeOutOfRange = 1004;  // unknown surname or character, bad birthday, bad page...
constexpr int kCodeEngineUnavailable = 1500;  // data files missing or broken

struct NamingResult {
  int code = kCodeOk;      // kCodeOk: data holds the answer's "data" member
  std::string message;     // why it failed (for the log), empty on success
  Json::Value data;        // the "data" member of the answer
  bool ok() const { return code == kCodeOk; }
};

// The birth data every request carries ("xing", "sex", "b", "jd").
struct BirthQuestion {
  std::string surname;   // UTF-8, one or two characters (compound surnames)
  int gender = 1;        // 1 boy, 2 girl
  std::string birthday;  // "Y-M-D HH:MM:SS" (Beijing time at the birth place's clock)
  double longitude = 120.0;  // degrees east, for true solar time
};

// Positions of the advanced settings in NamePageRequest::settings, in the
// order of the "set" object's members.
enum SettingIndex {
  kSetCyz = 0,  // 所有字 可用字 常用字 重点字: vocabulary tier
  kSetXb,       // 不考虑 正常 加强 极强: weight of the character's gender fit
  kSetSx,       // 不考虑 不为凶 吉祥多 全为吉: zodiac filter
  kSetZxz,      // 不考虑 不用全 全用 不使用: neutral (either-gender) characters
  kSetXmx,      // 不考虑 不为凶 吉祥多 全为吉: five-grid luck filter
  kSetWx,       // 不考虑 正常 加强 极强: weight of the five-element fit
  kSetNy,       // 不考虑 正常 加强 极强: weight of sound and rhythm
  kSetYd,       // 不考虑 次理想 理想 很理想: minimum tone-pattern grade
  kSetSm,       // 不考虑 理想 很理想: minimum initials grade
  kSetYm,       // 不考虑 次理想 理想 很理想: minimum finals grade
  kSettingCount
};

// "/v1/build"
struct NamePageRequest {
  BirthQuestion birth;
  int nameLength = 2;  // "ming": 1 or 2
  int page = 1;        // from 1; a page beyond the end gives an empty "data"
  int pageSize = 10;   // "number": 1..100
  std::array<int, kSettingCount> settings{2, 0, 0, 0, 0, 1, 1, 0, 0, 0};
  std::string fixedFirst;   // "z1"[0]: one character, empty for none
  std::string fixedSecond;  // "z2"[0]: one character, empty for none (ignored when fixedFirst is set)
  // "cc": the book every name must come from ("诗经", "楚辞", "唐诗", "宋词", "论语"); empty
  // or "不限" for any book. Another text answers kCodeOutOfRange.
  std::string source;
};

// "/v1/child/build"
struct NicknamePageRequest {
  BirthQuestion birth;
  // "ct1".."ct6": 宝宝 (AA), 小宝 (小A), 阿宝 (阿A), 小宝宝 (小AA), 宝儿 (A儿), 小宝儿 (小A儿).
  // At least one must be set.
  std::array<bool, 6> patterns{};
  int page = 1;
  int pageSize = 10;
};

// Where the engine finds its data.
struct EngineFiles {
  // Folder holding characters.tsv, surnames.tsv, blocklist.txt, unlucky_readings.txt,
  // pairing_rules.txt and sources.tsv (resources/refservice).
  std::string characterFolder;
  // The given-name vocabulary (table jxjs: wd, js, use, sex, wx): either a JSON file (an array
  // of row objects, as resources/knowledge/jxjs.json) or the encrypted knowledge database
  // "local.dat" (chosen by the ".dat" extension).
  std::string vocabulary;

  // The server's default: <programFolder>/refservice and <programFolder>/local.dat.
  static EngineFiles besideProgram(const std::string& programFolder);
};

class NamingEngine {
 public:
  explicit NamingEngine(const EngineFiles& files);
  ~NamingEngine();
  NamingEngine(const NamingEngine&) = delete;
  NamingEngine& operator=(const NamingEngine&) = delete;

  // False when a data file was missing or unusable; loadError() tells why. Every call then
  // answers kCodeEngineUnavailable.
  bool ready() const;
  const std::string& loadError() const;

  // {"total":N,"data":[{"x","m","f","w","s","j","c","y"[,"ChuChu"]}, ...]}: note that on
  // success the result's data is the whole answer minus "code" (both "total" and "data").
  // "ChuChu" = {"Text","Title","Author","Book"}: the classical line the given name comes
  // from; absent for a name without one.
  NamingResult namePage(const NamePageRequest& request) const;
  NamingResult nicknamePage(const NicknamePageRequest& request) const;

  // The "data" object of "/v1/show" for surname + given name (1 or 2 characters), with
  // "ChuChu" when a classical line holds the given name.
  NamingResult analyse(const BirthQuestion& birth, const std::string& givenName) const;
  // The "data" object of "/v1/child/show" for a nickname (2 or 3 characters).
  NamingResult analyseNickname(const BirthQuestion& birth, const std::string& nickname) const;
  // The "data" object of "/v1/luck": {"gx": text, "list": [texts], "ys": [texts]}.
  NamingResult fortune(const std::string& surname, const std::string& givenName) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace norvane::refservice
