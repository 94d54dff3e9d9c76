// The naming-service contract as a client meets it: credentials, the signed
// envelope (sign, server time, members), login and SMS requests, the web
// login pages, and the scripted faults.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <set>
#include <fstream>
#include <unistd.h>

#include "refservice_test_support.h"

namespace norvane::refservice::test {
namespace {

Json::Value loginBody(int t, const std::string& account = "13800138000", int typeId = 1) {
  Json::Value b;
  b["account"] = account;
  b["agentid"] = 1;
  b["appid"] = 1;
  b["sourceid"] = 5;
  b["t"] = t;
  b["typeid"] = typeId;
  b["sign"] = clientSign("%s%s%d%d%d%d%d", kKey, account.c_str(), 1, 1, typeId, 5, t);
  return b;
}

Json::Value smsBody(int t, const std::string& mobile = "13800138000", const std::string& code = "482913") {
  Json::Value b;
  b["code"] = code;
  b["mobile"] = mobile;
  b["t"] = t;
  b["sign"] = clientSign("%s%s%s%d", kKey, mobile.c_str(), code.c_str(), t);
  return b;
}

Json::Value nameSettings() {
  Json::Value set;
  const char* names[] = {"cyz", "xb", "sx", "zxz", "xmx", "wx", "ny", "yd", "sm", "ym"};
  const int values[] = {2, 0, 0, 0, 0, 1, 1, 0, 0, 0};
  for (int i = 0; i < 10; ++i) set[names[i]] = values[i];
  return set;
}

Json::Value buildBody(int t, const std::string& xing = "李", unsigned ming = 2, int sex = 1, unsigned page = 1) {
  Json::Value b;
  b["account"] = "";
  b["b"] = kBirthday;
  b["jd"] = 116.4;
  b["m"] = 1;
  b["ming"] = ming;
  b["number"] = 10u;
  b["page"] = page;
  b["set"] = nameSettings();
  b["sex"] = sex;
  b["t"] = t;
  b["token"] = "";
  b["xing"] = xing;
  b["sign"] = clientSign("%s%s%d%d%s%d%d%d%d%s%s", kKey, xing.c_str(), static_cast<int>(ming), sex, kBirthdayDigits,
                         10, static_cast<int>(page), 1, t, "", "");
  return b;
}

Json::Value nicknameBody(int t, bool anyPattern = true) {
  Json::Value b;
  b["account"] = "";
  b["b"] = kBirthday;
  b["jd"] = 116.4;
  b["m"] = 1;
  b["number"] = 10u;
  b["page"] = 1u;
  Json::Value set;
  for (int i = 1; i <= 6; ++i) set["ct" + std::to_string(i)] = anyPattern && (i == 1 || i == 5);
  b["set"] = set;
  b["sex"] = 2;
  b["t"] = t;
  b["token"] = "";
  b["xing"] = "王";
  b["sign"] = clientSign("%s%s%d%s%d%d%d%d%s%s", kKey, "王", 2, kBirthdayDigits, 10, 1, 1, t, "", "");
  return b;
}

Json::Value luckBody(int t, const std::string& xing = "李", const std::string& ming = "明轩") {
  Json::Value b;
  b["ming"] = ming;
  b["t"] = t;
  b["xing"] = xing;
  b["sign"] = clientSign("%s%s%s%d", kKey, xing.c_str(), ming.c_str(), t);
  return b;
}

// The client's digit form of a birthday text.
std::string digitsOf(const std::string& birthday) {
  int v[6] = {0, 0, 0, 0, 0, 0};
  std::sscanf(birthday.c_str(), "%d-%d-%d %d:%02d:%02d", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
  char buffer[1024];
  std::snprintf(buffer, sizeof buffer, "%d%02d%02d%02d%02d%02d", v[0], v[1], v[2], v[3], v[4], v[5]);
  return buffer;
}

// Re-signs a build body after a member changed, so only the changed member is wrong.
Json::Value resignBuild(Json::Value b) {
  b["sign"] = clientSign("%s%s%d%d%s%d%d%d%d%s%s", kKey, b["xing"].asCString(), b["ming"].asInt(), b["sex"].asInt(),
                         digitsOf(b["b"].asString()).c_str(), b["number"].asInt(), b["page"].asInt(), b["m"].asInt(), b["t"].asInt(),
                         b["account"].asCString(), b["token"].asCString());
  return b;
}

TEST(RefServiceCredentials, OnlyRootKelpReachesTheService) {
  RunningServer s;
  ASSERT_TRUE(s.started()) << s.error();
  struct Row {
    const char* userpwd;
    long status;
  } rows[] = {{"root:kelp", 200}, {"", 401}, {"root:wrong", 401}, {"admin:kelp", 401}, {"root:kelpx", 401}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.userpwd);
    EXPECT_EQ(exchange("GET", s.url("/system/timenow"), "", row.userpwd).status, row.status);
    HttpResult post = exchange("POST", s.url("/v1/user/login"), writeJson(loginBody(s.serverTime())), row.userpwd);
    EXPECT_EQ(post.status, row.status);
  }
}

TEST(RefServiceClock, TimeIsAPlainDecimalIntegerFromTheServerClock) {
  RunningServer s;
  ASSERT_TRUE(s.started()) << s.error();
  HttpResult r = exchange("GET", s.url("/system/timenow"));
  EXPECT_EQ(r.body, "1765000000");
  s.advance(42);
  EXPECT_EQ(s.serverTime(), 1765000042);
}

// Every rejection the envelope knows, on the endpoints where it matters.
TEST(RefServiceEnvelope, RejectionsAsATable) {
  RunningServer s;
  ASSERT_TRUE(s.started()) << s.error();
  using Make = std::function<Json::Value(int t)>;
  struct Row {
    const char* name;
    const char* path;
    Make body;
    int code;
  };
  const Row rows[] = {
      {"login: sign of other values", "/v1/user/login",
       [](int t) { Json::Value b = loginBody(t); b["account"] = "13800138001"; return b; }, 1001},
      {"login: upper-case sign", "/v1/user/login",
       [](int t) {
         Json::Value b = loginBody(t);
         std::string sign = b["sign"].asString();
         for (char& c : sign) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
         b["sign"] = sign;
         return b;
       }, 1001},
      {"login: time never handed out", "/v1/user/login", [](int t) { return loginBody(t - 1000); }, 1002},
      {"login: time 0 (time query failed)", "/v1/user/login", [](int) { return loginBody(0); }, 1002},
      {"login: missing typeid", "/v1/user/login",
       [](int t) { Json::Value b = loginBody(t); b.removeMember("typeid"); return b; }, 1003},
      {"login: missing sign", "/v1/user/login",
       [](int t) { Json::Value b = loginBody(t); b.removeMember("sign"); return b; }, 1003},
      {"login: typeid as text", "/v1/user/login",
       [](int t) { Json::Value b = loginBody(t); b["typeid"] = "1"; return b; }, 1004},
      {"login: t as text", "/v1/user/login",
       [](int t) { Json::Value b = loginBody(t); b["t"] = std::to_string(t); return b; }, 1004},
      {"login: unknown login type", "/v1/user/login", [](int t) { return loginBody(t, "13800138000", 7); }, 1004},
      {"login: empty account", "/v1/user/login", [](int t) { return loginBody(t, "", 2); }, 1004},
      {"sms: ten-digit mobile", "/sms/login/", [](int t) { return smsBody(t, "1380013800"); }, 1004},
      {"sms: letters in the mobile", "/sms/login/", [](int t) { return smsBody(t, "1380013800a"); }, 1004},
      {"sms: five-digit code", "/sms/login/", [](int t) { return smsBody(t, "13800138000", "48291"); }, 1004},
      {"sms: wrong sign", "/sms/login/",
       [](int t) { Json::Value b = smsBody(t); b["code"] = "111111"; return b; }, 1001},
      {"build: signed birthday in text form", "/v1/build",
       [](int t) {
         Json::Value b = buildBody(t);
         b["sign"] = clientSign("%s%s%d%d%s%d%d%d%d%s%s", kKey, "李", 2, 1, kBirthday, 10, 1, 1, t, "", "");
         return b;
       }, 1001},
      {"build: page changed after signing", "/v1/build",
       [](int t) { Json::Value b = buildBody(t); b["page"] = 2u; return b; }, 1001},
      {"build: stale time", "/v1/build", [](int t) { return buildBody(t + 5); }, 1002},
      {"build: missing set", "/v1/build",
       [](int t) { Json::Value b = buildBody(t); b.removeMember("set"); return b; }, 1003},
      {"build: set without sm", "/v1/build",
       [](int t) { Json::Value b = buildBody(t); b["set"].removeMember("sm"); return b; }, 1003},
      {"build: not a JSON object", "/v1/build", [](int) { return Json::Value("plain text"); }, 1003},
      {"build: gender 3", "/v1/build", [](int t) { return buildBody(t, "李", 2, 3); }, 1004},
      {"build: name length 3", "/v1/build", [](int t) { return buildBody(t, "李", 3); }, 1004},
      {"build: page 0", "/v1/build", [](int t) { return buildBody(t, "李", 2, 1, 0); }, 1004},
      {"build: latin surname", "/v1/build", [](int t) { return buildBody(t, "Li"); }, 1004},
      {"build: three-character surname", "/v1/build", [](int t) { return buildBody(t, "欧阳李"); }, 1004},
      {"build: jd as text", "/v1/build",
       [](int t) { Json::Value b = buildBody(t); b["jd"] = "116.4"; return b; }, 1004},
      {"build: sm beyond its list", "/v1/build",
       [](int t) { Json::Value b = buildBody(t); b["set"]["sm"] = 3; return b; }, 1004},
      {"build: fixed character of two", "/v1/build",
       [](int t) { Json::Value b = buildBody(t); b["z1"].append("明轩"); return b; }, 1004},
      {"build: unknown source book", "/v1/build",
       [](int t) { Json::Value b = buildBody(t); b["set"]["cc"] = "史记"; return b; }, 1004},
      {"build: source book by its full name", "/v1/build",
       [](int t) { Json::Value b = buildBody(t); b["set"]["cc"] = "唐诗三百首"; return b; }, 1004},
      {"build: empty source book", "/v1/build",
       [](int t) { Json::Value b = buildBody(t); b["set"]["cc"] = ""; return b; }, 1004},
      {"build: source book as a number", "/v1/build",
       [](int t) { Json::Value b = buildBody(t); b["set"]["cc"] = 1; return b; }, 1004},
      {"build: impossible birthday", "/v1/build",
       [](int t) { Json::Value b = buildBody(t); b["b"] = "2019-2-30 08:05:00"; return resignBuild(b); }, 1004},
      {"nickname: no pattern chosen", "/v1/child/build", [](int t) { return nicknameBody(t, false); }, 1004},
      {"nickname: pattern flag as number", "/v1/child/build",
       [](int t) { Json::Value b = nicknameBody(t); b["set"]["ct2"] = 1; return b; }, 1004},
      {"show: given name changed", "/v1/show",
       [](int t) { Json::Value b = showBody(t); b["ming"] = "明"; return b; }, 1001},
      {"show: latin given name", "/v1/show", [](int t) { return showBody(t, "李", "Ming"); }, 1004},
      {"child show: one-character nickname", "/v1/child/show", [](int t) { return showBody(t, "李", "宝"); }, 1004},
      {"luck: missing xing", "/v1/luck",
       [](int t) { Json::Value b = luckBody(t); b.removeMember("xing"); return b; }, 1003},
      {"luck: wrong sign", "/v1/luck", [](int t) { Json::Value b = luckBody(t); b["sign"] = "0"; return b; }, 1001},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Json::Value answer = s.post(row.path, row.body(s.serverTime()));
    ASSERT_TRUE(answer.isObject()) << answer.asString();
    EXPECT_EQ(answer["code"].asInt(), row.code) << answer["msg"].asString();
    EXPECT_FALSE(answer.isMember("data"));
  }
}

// Bodies no client would send get a service answer, never a crash or a hang.
TEST(RefServiceEnvelope, HostileBodiesGetAClearRefusal) {
  RunningServer s;
  ASSERT_TRUE(s.started()) << s.error();
  int t = s.serverTime();
  Json::Value badUtf8 = luckBody(t, "\xe6\x9d", "明轩");
  struct Row {
    const char* name;
    std::string body;
    int code;
  } rows[] = {
      {"nested far deeper than any request", std::string(100000, '[') + std::string(100000, ']'), 1003},
      {"empty body", "", 1003},
      {"truncated JSON", writeJson(buildBody(t)).substr(0, 40), 1003},
      {"surname of broken UTF-8", writeJson(badUtf8), 1004},
      {"members of the wrong kinds everywhere",
       R"({"account":1,"b":[],"jd":{},"m":"1","ming":true,"number":null,"page":-1,"set":3,"sex":"x","sign":5,"t":"t","token":0,"xing":7})",
       1004},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    HttpResult r = exchange("POST", s.url(row.name == std::string("surname of broken UTF-8") ? "/v1/luck" : "/v1/build"),
                            row.body);
    Json::Value answer;
    ASSERT_TRUE(parseJson(r.body, answer)) << r.body.substr(0, 200);
    EXPECT_EQ(answer["code"].asInt(), row.code) << answer["msg"].asString();
  }
  // A body beyond any request's size is refused by the transport.
  HttpResult huge = exchange("POST", s.url("/v1/build"), std::string(2 << 20, ' '));
  EXPECT_EQ(huge.status, 413);
  // And the server still answers.
  EXPECT_EQ(s.post("/v1/user/login", loginBody(s.serverTime()))["code"].asInt(), 0);
}

TEST(RefServiceEnvelope, AHandedOutTimeExpiresAfterTheWindow) {
  ServerOptions options;
  options.timeWindow = std::chrono::seconds(300);
  RunningServer s(options);
  ASSERT_TRUE(s.started()) << s.error();
  int t = s.serverTime();
  s.advance(299);
  EXPECT_EQ(s.post("/v1/user/login", loginBody(t))["code"].asInt(), 0);
  s.advance(2);
  EXPECT_EQ(s.post("/v1/user/login", loginBody(t))["code"].asInt(), 1002);
  // Handing the same second out again makes it acceptable again.
  EXPECT_EQ(s.post("/v1/user/login", loginBody(s.serverTime()))["code"].asInt(), 0);
}

ServerOptions withNamingFixture() {
  ServerOptions options;
  options.vocabularyFile = std::string(NORVANE_SOURCE_DIR) + "/tests/refservice/naming/fixture";
  return options;
}

// Well-formed requests of every naming endpoint are answered with code 0 and data.
TEST(RefServiceEnvelope, GoodRequestsAreAnswered) {
  RunningServer s(withNamingFixture());
  ASSERT_TRUE(s.started()) << s.error();
  ASSERT_TRUE(s.server().namingReady()) << s.server().engineError();
  struct Row {
    const char* path;
    std::function<Json::Value(int)> body;
    bool page;  // a name page ("total" and "data" array) rather than an analysis object
  } rows[] = {
      {"/v1/build", [](int t) { return buildBody(t); }, true},
      {"/v1/build", [](int t) { Json::Value b = buildBody(t, "欧阳", 1, 2); b["z1"].append("子"); return b; }, true},
      {"/v1/child/build", [](int t) { return nicknameBody(t); }, true},
      {"/v1/show", [](int t) { return showBody(t); }, false},
      {"/v1/child/show", [](int t) { return showBody(t, "王", "小萌"); }, false},
      {"/v1/luck", [](int t) { return luckBody(t); }, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    Json::Value answer = s.post(row.path, row.body(s.serverTime()));
    ASSERT_TRUE(answer.isObject()) << answer.asString();
    EXPECT_EQ(answer["code"].asInt(), 0) << answer["msg"].asString();
    if (row.page) {
      EXPECT_TRUE(answer["total"].isInt());
      EXPECT_TRUE(answer["data"].isArray());
      EXPECT_GT(answer["data"].size(), 0u);
    } else {
      EXPECT_TRUE(answer["data"].isObject());
    }
  }
}

// "cc" chooses the book every name comes from; the answers carry the line as "ChuChu",
// name pages and the name analysis only.
TEST(RefServiceSources, TheChosenBookCitesItsLines) {
  RunningServer s(withNamingFixture());
  ASSERT_TRUE(s.started()) << s.error();
  for (const auto& [cc, book] : {std::pair{"诗经", "诗经"}, std::pair{"唐诗", "唐诗三百首"}}) {
    Json::Value body = buildBody(s.serverTime());
    body["set"]["cc"] = cc;
    Json::Value page = s.post("/v1/build", body);
    ASSERT_EQ(page["code"].asInt(), 0) << page["msg"].asString();
    ASSERT_GT(page["data"].size(), 0u) << cc;
    for (const auto& item : page["data"]) {
      const Json::Value& c = item["ChuChu"];
      ASSERT_TRUE(c.isObject()) << item["m"].asString();
      EXPECT_EQ(c["Book"].asString(), book);
      for (const char* member : {"Text", "Title", "Author"}) EXPECT_TRUE(c[member].isString()) << member;
    }
    // The analysis of a cited name carries a line too.
    Json::Value show = s.post("/v1/show", showBody(s.serverTime(), "李", page["data"][0]["m"].asString()));
    ASSERT_EQ(show["code"].asInt(), 0);
    EXPECT_TRUE(show["data"]["ChuChu"]["Text"].isString());
  }
  Json::Value nicknames = s.post("/v1/child/build", nicknameBody(s.serverTime()));
  ASSERT_EQ(nicknames["code"].asInt(), 0);
  for (const auto& item : nicknames["data"]) EXPECT_FALSE(item.isMember("ChuChu")) << item["m"].asString();
  Json::Value nickShow = s.post("/v1/child/show", showBody(s.serverTime(), "王", "小萌"));
  EXPECT_FALSE(nickShow["data"].isMember("ChuChu"));
}

TEST(RefServicePaging, StablePagesWholeTotalAndEmptyPastTheEnd) {
  RunningServer s(withNamingFixture());
  ASSERT_TRUE(s.started()) << s.error();
  ASSERT_TRUE(s.server().namingReady()) << s.server().engineError();
  auto page = [&](unsigned n) { return s.post("/v1/build", buildBody(s.serverTime(), "李", 2, 1, n)); };
  Json::Value first = page(1);
  ASSERT_EQ(first["code"].asInt(), 0);
  int total = first["total"].asInt();
  ASSERT_GT(total, 10);
  EXPECT_EQ(page(1), first) << "the same question gets the same page";

  // Walking every page gives each name once and `total` names in all.
  std::set<std::string> seen;
  unsigned pages = static_cast<unsigned>((total + 9) / 10);
  for (unsigned n = 1; n <= pages; ++n) {
    Json::Value p = page(n);
    ASSERT_EQ(p["code"].asInt(), 0);
    EXPECT_EQ(p["total"].asInt(), total);
    EXPECT_EQ(p["data"].size(), n < pages ? 10u : static_cast<unsigned>(total - 10 * static_cast<int>(pages - 1)));
    for (const auto& item : p["data"]) EXPECT_TRUE(seen.insert(item["m"].asString()).second) << item["m"].asString();
  }
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(total));

  Json::Value past = page(pages + 1);
  EXPECT_EQ(past["code"].asInt(), 0);
  EXPECT_EQ(past["total"].asInt(), total);
  ASSERT_TRUE(past["data"].isArray());
  EXPECT_EQ(past["data"].size(), 0u);
}

TEST(RefServiceLogin, TokenDependsOnTheAccountOnlyAndSurvivesRestarts) {
  std::string first, again, other, wechat;
  {
    RunningServer s;
    ASSERT_TRUE(s.started()) << s.error();
    Json::Value answer = s.post("/v1/user/login", loginBody(s.serverTime()));
    ASSERT_EQ(answer["code"].asInt(), 0);
    first = answer["data"]["token"].asString();
    s.advance(60);
    again = s.post("/v1/user/login", loginBody(s.serverTime()))["data"]["token"].asString();
    other = s.post("/v1/user/login", loginBody(s.serverTime(), "13900139000"))["data"]["token"].asString();
    wechat = s.post("/v1/user/login", loginBody(s.serverTime(), "oWx-中文-id", 2))["data"]["token"].asString();
  }
  RunningServer restarted;
  ASSERT_TRUE(restarted.started()) << restarted.error();
  std::string afterRestart = restarted.post("/v1/user/login", loginBody(restarted.serverTime()))["data"]["token"].asString();

  EXPECT_FALSE(first.empty());
  EXPECT_EQ(first, again);
  EXPECT_EQ(first, afterRestart);
  EXPECT_NE(first, other);
  EXPECT_FALSE(wechat.empty());
  EXPECT_NE(wechat, first);

  ServerOptions otherSecret;
  otherSecret.tokenSecret = "another secret";
  RunningServer elsewhere(otherSecret);
  ASSERT_TRUE(elsewhere.started());
  EXPECT_NE(elsewhere.post("/v1/user/login", loginBody(elsewhere.serverTime()))["data"]["token"].asString(), first);
}

TEST(RefServiceLogin, SmsCodeAcceptedAndRecorded) {
  RunningServer s;
  ASSERT_TRUE(s.started()) << s.error();
  struct Row {
    const char* code;
    int expected;
  } rows[] = {{"482913", 0}, {"-12345", 0}, {"1234567", 1004}, {"12a456", 1004}, {"", 1004}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    Json::Value answer = s.post("/sms/login/", smsBody(s.serverTime(), "13800138000", row.code));
    EXPECT_EQ(answer["code"].asInt(), row.expected);
    if (row.expected != 0) {
      EXPECT_FALSE(answer["msg"].asString().empty()) << "a refusal carries a message for the user";
    }
  }
  Json::Value sent;
  ASSERT_TRUE(parseJson(exchange("GET", s.url("/control/sms")).body, sent));
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0]["code"].asString(), "482913");
  EXPECT_EQ(sent[1]["mobile"].asString(), "13800138000");
}

TEST(RefServiceLogin, WebLoginPagesOfferAuthoriseAndRefuse) {
  RunningServer s;
  ASSERT_TRUE(s.started()) << s.error();
  struct Row {
    const char* path;
    const char* idMember;
  } rows[] = {{"/user/login/weixin/pc/?agent=1", "unionid"},
              {"/user/login/qq/pc/?agent=7", "openid"},
              {"/user/login/weixin/pc", "unionid"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    HttpResult r = exchange("GET", s.url(row.path), "", "");
    EXPECT_EQ(r.status, 200);
    for (const char* part : {"授权", "拒绝", "qrc:///qtwebchannel/qwebchannel.js", "JS2Native", row.idMember}) {
      EXPECT_NE(r.body.find(part), std::string::npos) << part;
    }
  }
}

// Each scripted fault changes exactly the next answer; the one after is normal.
TEST(RefServiceFaults, EachModeBreaksTheNextAnswerOnly) {
  RunningServer s;
  ASSERT_TRUE(s.started()) << s.error();
  struct Row {
    const char* control;
    std::function<void(const HttpResult&)> check;
  };
  const Row rows[] = {
      {R"({"mode":"empty"})", [](const HttpResult& r) { EXPECT_TRUE(r.body.empty()); }},
      {R"({"mode":"html500"})",
       [](const HttpResult& r) {
         EXPECT_EQ(r.status, 500);
         EXPECT_EQ(r.body.rfind("<!DOCTYPE html>", 0), 0u);
       }},
      {R"({"mode":"cut"})",
       [](const HttpResult& r) {
         EXPECT_EQ(r.curl, CURLE_PARTIAL_FILE);
         EXPECT_FALSE(r.body.empty());
         EXPECT_LT(static_cast<double>(r.body.size()), r.contentLength);
         Json::Value v;
         EXPECT_FALSE(parseJson(r.body, v));
       }},
      {R"({"mode":"notjson"})",
       [](const HttpResult& r) {
         Json::Value v;
         EXPECT_FALSE(r.body.empty());
         EXPECT_FALSE(parseJson(r.body, v));
       }},
      {R"({"mode":"nocode"})",
       [](const HttpResult& r) {
         Json::Value v;
         ASSERT_TRUE(parseJson(r.body, v));
         EXPECT_FALSE(v.isMember("code"));
         EXPECT_FALSE(v["data"]["token"].asString().empty()) << "the real answer minus its code";
       }},
      {R"({"mode":"code","code":1002})",
       [](const HttpResult& r) {
         Json::Value v;
         ASSERT_TRUE(parseJson(r.body, v));
         EXPECT_EQ(v["code"].asInt(), 1002);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.control);
    ASSERT_EQ(exchange("POST", s.url("/control/fault"), row.control, "").status, 200);
    // The time query is not faulted unless asked for by path.
    int t = s.serverTime();
    ASSERT_GT(t, 0);
    row.check(exchange("POST", s.url("/v1/user/login"), writeJson(loginBody(t))));
    EXPECT_EQ(s.post("/v1/user/login", loginBody(s.serverTime()))["code"].asInt(), 0) << "only one answer faulted";
  }
}

TEST(RefServiceFaults, SlowAnswersArriveLateButWhole) {
  RunningServer s;
  ASSERT_TRUE(s.started()) << s.error();
  ASSERT_EQ(exchange("POST", s.url("/control/fault"), R"({"mode":"slow","delay_ms":400})", "").status, 200);
  auto begin = std::chrono::steady_clock::now();
  Json::Value answer = s.post("/v1/user/login", loginBody(s.serverTime()));
  auto elapsed = std::chrono::steady_clock::now() - begin;
  EXPECT_EQ(answer["code"].asInt(), 0);
  EXPECT_GE(elapsed, std::chrono::milliseconds(400));
}

TEST(RefServiceFaults, CountAndPathChooseWhichAnswersBreak) {
  RunningServer s;
  ASSERT_TRUE(s.started()) << s.error();
  ASSERT_EQ(exchange("POST", s.url("/control/fault"), R"({"mode":"code","code":1003,"count":2,"path":"/sms/login/"})", "")
                .status,
            200);
  EXPECT_EQ(s.post("/v1/user/login", loginBody(s.serverTime()))["code"].asInt(), 0) << "other paths untouched";
  EXPECT_EQ(s.post("/sms/login/", smsBody(s.serverTime()))["code"].asInt(), 1003);
  EXPECT_EQ(s.post("/sms/login/", smsBody(s.serverTime()))["code"].asInt(), 1003);
  EXPECT_EQ(s.post("/sms/login/", smsBody(s.serverTime()))["code"].asInt(), 0);

  // The time query breaks only when named.
  ASSERT_EQ(exchange("POST", s.url("/control/fault"), R"({"mode":"empty","path":"/system/timenow"})", "").status, 200);
  EXPECT_EQ(exchange("GET", s.url("/system/timenow")).body, "");
  EXPECT_EQ(exchange("GET", s.url("/system/timenow")).body, "1765000000");

  for (const char* bad : {R"({"mode":"explode"})", R"({"mode":"empty","count":"two"})", R"({"mode":3})", "[1]", "{"}) {
    EXPECT_EQ(exchange("POST", s.url("/control/fault"), bad, "").status, 400) << bad;
  }
  EXPECT_EQ(s.post("/v1/user/login", loginBody(s.serverTime()))["code"].asInt(), 0) << "a refused control arms nothing";
}

}  // namespace
}  // namespace norvane::refservice::test

namespace norvane::refservice::test {
namespace {

// Runs the page's own script under node with a stand-in web channel.
Json::Value runLoginPage(const std::string& html, const std::string& args) {
  std::string page = std::string(NORVANE_TEST_BIN_DIR) + "/login_page_" + std::to_string(getpid()) + ".html";
  {
    std::ofstream out(page, std::ios::binary);
    out << html;
  }
  std::string command = "node " + std::string(NORVANE_SOURCE_DIR) + "/tests/refservice/data/login_page_harness.js " +
                        args + " < " + page;
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    pclose(pipe);
  }
  std::remove(page.c_str());
  Json::Value result;
  if (!parseJson(output, result)) result = Json::Value("node said: " + output);
  return result;
}

TEST(RefServiceLogin, LoginPageHandsItsAnswerToTheHost) {
  if (std::system("node --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "node is not installed";
  RunningServer s;
  ASSERT_TRUE(s.started()) << s.error();
  std::string wechat = exchange("GET", s.url("/user/login/weixin/pc/?agent=1"), "", "").body;
  std::string qq = exchange("GET", s.url("/user/login/qq/pc/?agent=1"), "", "").body;

  // Authorise: one call whose first argument is the JSON answer; hostile
  // text in the fields stays inside its JSON string.
  Json::Value run = runLoginPage(wechat, "authorize '小\"明</script>' wx-id-1 toolkit");
  ASSERT_TRUE(run.isObject()) << run.asString();
  ASSERT_EQ(run["calls"].size(), 1u);
  Json::Value answer;
  ASSERT_TRUE(parseJson(run["calls"][0][0].asString(), answer));
  EXPECT_EQ(answer["result"].asInt(), 1);
  EXPECT_EQ(answer["nickname"].asString(), "小\"明</script>");
  EXPECT_EQ(answer["unionid"].asString(), "wx-id-1");
  EXPECT_EQ(run["calls"][0][0].asString().front(), '{');

  run = runLoginPage(qq, "authorize qq-user qq-id-9 channel");
  ASSERT_EQ(run["calls"].size(), 1u);
  ASSERT_TRUE(parseJson(run["calls"][0][0].asString(), answer));
  EXPECT_EQ(answer["openid"].asString(), "qq-id-9");
  EXPECT_FALSE(answer.isMember("unionid"));

  // Refuse: result 0 (here through a channel object that offers OnJS2Native).
  run = runLoginPage(qq, "refuse x y other");
  ASSERT_EQ(run["calls"].size(), 1u);
  ASSERT_TRUE(parseJson(run["calls"][0][0].asString(), answer));
  EXPECT_EQ(answer["result"].asInt(), 0);

  // Without a web channel (an ordinary browser) the page only shows the answer.
  run = runLoginPage(wechat, "authorize n i nochannel");
  EXPECT_EQ(run["calls"].size(), 0u);
  EXPECT_NE(run["status"].asString().find("\"result\":1"), std::string::npos);
}

}  // namespace
}  // namespace norvane::refservice::test
