// The stored login, the two login requests on the wire, the verification
// code, the start-up re-validation and the account that searches carry.
#include "account/account_store.h"
#include "account/login_requests.h"
#include "account/nickname_markup.h"
#include "account/query_account.h"
#include "account/revalidation.h"
#include "platform/folders.h"
#include "platform/utf8.h"
#include "service/json_access.h"
#include "service/service_fixture.h"
#include "shell/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <deque>

namespace norvane {
namespace {

using test::kKey;
using test::referenceMd5;
using test::ServiceTest;
using test::TempDir;

mode_t fileMode(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 0777;
}

class AccountStoreTest : public ::testing::Test {
 protected:
  std::string path() const { return dir.file("Norvane/registry.ini"); }
  KeyValueStore store() const { return KeyValueStore(path()); }
  TempDir dir;
};

TEST_F(AccountStoreTest, SavedLoginLoadsBackAtTheNextStart) {
  AccountStore saved;
  saved.save("o9Xa_unionid", "小明的爸爸", "tok-123", kLoginWeChat, store());
  EXPECT_TRUE(saved.hasToken());

  AccountStore loaded;
  loaded.load(store());
  EXPECT_EQ(loaded.account(), "o9Xa_unionid");
  EXPECT_EQ(loaded.nickname(), "小明的爸爸");
  EXPECT_EQ(loaded.token(), "tok-123");
  EXPECT_EQ(loaded.loginType(), kLoginWeChat);
}

TEST_F(AccountStoreTest, IncompleteRecordLoadsLoggedOut) {
  struct Case {
    const char* what;
    const char* account;
    const char* nickname;
    const char* token;
    bool writeNickname;
  } cases[] = {
      {"empty nickname", "13800138000", "", "tok", true},
      {"no nickname value", "13800138000", "", "tok", false},
      {"empty token", "13800138000", "13800138000", "", true},
      {"empty account", "", "小明", "tok", true},
  };
  for (const Case& c : cases) {
    TempDir caseDir;
    KeyValueStore values(caseDir.file("registry.ini"));
    values.writeText("Account", c.account);
    values.writeText("Token", c.token);
    if (c.writeNickname) values.writeText("NickName", c.nickname);
    values.writeNumber("LoginType", 1);

    AccountStore loaded;
    loaded.load(values);
    EXPECT_EQ(loaded.account(), "") << c.what;
    EXPECT_EQ(loaded.token(), "") << c.what;
    EXPECT_EQ(loaded.nickname(), "") << c.what;
    EXPECT_FALSE(loaded.hasToken()) << c.what;
    // The login type is taken as read, whatever the texts say.
    EXPECT_EQ(loaded.loginType(), 1) << c.what;
  }
}

TEST_F(AccountStoreTest, SavingWithoutNicknameIsGoneAtTheNextStart) {
  AccountStore saved;
  saved.save("13800138000", "", "tok", kLoginSms, store());
  EXPECT_EQ(store().readText("NickName"), std::optional<std::string>(""));
  AccountStore loaded;
  loaded.load(store());
  EXPECT_FALSE(loaded.hasToken());
}

TEST_F(AccountStoreTest, SaveKeepsOnlyWhatTheStoreCanHoldAndMemoryAgreesWithDisk) {
  std::string longName;
  for (int i = 0; i < 300; ++i) longName += "名";
  AccountStore saved;
  saved.save("id\nwith break", longName, "tok\r\n", kLoginQQ, store());
  EXPECT_EQ(utf8Length(saved.nickname()), AccountStore::kMaxValueChars);
  EXPECT_EQ(saved.account(), "id with break");

  AccountStore loaded;
  loaded.load(store());
  EXPECT_EQ(loaded.nickname(), saved.nickname());
  EXPECT_EQ(loaded.account(), saved.account());
  EXPECT_EQ(loaded.token(), saved.token());
}

TEST_F(AccountStoreTest, StoreFileIsPrivateToItsOwner) {
  // A store file made by other values first (readable by everyone) is
  // tightened before the token goes in; a new one is private from the start.
  KeyValueStore values = store();
  values.writeText("UpdateDay", "2026-12-11");
  ::chmod(path().c_str(), 0644);
  AccountStore account;
  account.save("13800138000", "13800138000", "secret-token", kLoginSms, values);
  EXPECT_EQ(fileMode(path()), 0600u);
  EXPECT_EQ(values.readText("UpdateDay"), std::optional<std::string>("2026-12-11"));

  TempDir fresh;
  KeyValueStore newValues(fresh.file("Norvane/registry.ini"));
  account.save("13800138000", "13800138000", "secret-token", kLoginSms, newValues);
  EXPECT_EQ(fileMode(newValues.path()), 0600u);
}

TEST_F(AccountStoreTest, ClearRemovesTheFourValuesAndNothingElse) {
  KeyValueStore values = store();
  values.writeText("UpdateDay", "2026-12-11");
  AccountStore account;
  account.save("13800138000", "13800138000", "tok", kLoginSms, values);
  account.clear(values);
  EXPECT_FALSE(account.hasToken());
  EXPECT_EQ(account.loginType(), kLoggedOut);
  for (const char* name : {"Account", "Token", "NickName", "LoginType"})
    EXPECT_FALSE(values.exists(name)) << name;
  EXPECT_TRUE(values.exists("UpdateDay"));
  account.clear(values);  // nothing stored: no error, nothing changes
  EXPECT_TRUE(values.exists("UpdateDay"));
}

TEST(ApplyAccountTest, SearchesCarryTheStoredLoginOrNothing) {
  TempDir dir;
  KeyValueStore values(dir.file("registry.ini"));
  AccountStore account;
  NameQuery names;
  NicknameQuery nicknames;
  names.Account = "stale";
  names.Token = "stale";

  account.save("13800138000", "13800138000", "tok-9", kLoginSms, values);
  applyAccount(names, account);
  applyAccount(nicknames, account);
  EXPECT_EQ(names.Account, "13800138000");
  EXPECT_EQ(names.Token, "tok-9");
  EXPECT_EQ(nicknames.Token, "tok-9");
  EXPECT_NE(names.requestBody().find("\"token\" : \"tok-9\""), std::string::npos);

  account.clear(values);
  applyAccount(names, account);
  EXPECT_EQ(names.Account, "");
  EXPECT_EQ(names.Token, "");
}

// ---------------------------------------------------------------------------

class LoginRequestTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    oemSettings().partnerId = 1;
  }
};

TEST_F(LoginRequestTest, LoginBodyAndSignOnTheWire) {
  server.answer("/v1/user/login", R"({"code":0,"data":{"token":"abc"}})");
  LoginRequest request = makeLoginRequest("13800138000", kLoginSms);
  ASSERT_EQ(requestLogin(request), kStatusOk);
  EXPECT_EQ(request.token, "abc");

  auto posts = server.requestsTo("/v1/user/login");
  ASSERT_EQ(posts.size(), 1u);
  const std::string& body = posts[0].body;
  // Members in ascending name order.
  std::size_t last = 0;
  for (const char* member : {"\"account\"", "\"agentid\"", "\"appid\"", "\"sign\"", "\"sourceid\"",
                             "\"t\"", "\"typeid\""}) {
    std::size_t at = body.find(member);
    ASSERT_NE(at, std::string::npos) << member;
    EXPECT_GT(at, last) << member;
    last = at;
  }
  Json::Value parsed;
  ASSERT_TRUE(parseJson(body, parsed));
  EXPECT_EQ(parsed["account"].asString(), "13800138000");
  EXPECT_EQ(parsed["t"].asInt(), 1700000000);
  EXPECT_EQ(parsed["typeid"].asInt(), 1);
  // Key, account, then app 1, agent 1, type 1, source 5 and the time, unseparated.
  EXPECT_EQ(parsed["sign"].asString(), referenceMd5(kKey + "13800138000" "1" "1" "1" "5" "1700000000"));
}

TEST_F(LoginRequestTest, LoginAnswersAreClassified) {
  struct Case {
    const char* answer;
    ServiceStatus status;
    const char* token;
  } cases[] = {
      {R"({"code":0,"data":{"token":"t-1"}})", 0, "t-1"},
      {R"({"code":0})", 0, ""},
      {R"({"code":0,"data":{"token":42}})", 0, ""},
      {R"({"code":1002,"msg":"expired"})", 1002, ""},
      {R"({"data":{"token":"x"}})", 3, ""},
      {"<html><body>502</body></html>", 2, ""},
      {"", 1, ""},
  };
  for (const Case& c : cases) {
    server.answer("/v1/user/login", c.answer);
    LoginRequest request = makeLoginRequest("wx-id", kLoginWeChat);
    request.token = "left over";
    EXPECT_EQ(requestLogin(request), c.status) << c.answer;
    EXPECT_EQ(request.token, c.token) << c.answer;
  }
}

TEST_F(LoginRequestTest, SmsBodyAndSignOnTheWire) {
  server.answer("/sms/login/", R"({"code":0,"msg":"ok"})");
  std::string message = "left over";
  EXPECT_TRUE(sendSmsCode("13800138000", "123456", message));
  EXPECT_EQ(message, "");
  auto posts = server.requestsTo("/sms/login/");
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].body,
            "{\n   \"code\" : \"123456\",\n   \"mobile\" : \"13800138000\",\n   \"sign\" : \"" +
                referenceMd5(kKey + "13800138000" "123456" "1700000000") +
                "\",\n   \"t\" : 1700000000\n}\n");
}

TEST_F(LoginRequestTest, SmsRefusalsCarryTheServicesReasonOnly) {
  struct Case {
    const char* answer;
    bool sent;
    const char* message;
  } cases[] = {
      {R"({"code":0})", true, ""},
      {R"({"code":1,"msg":"发送太频繁"})", false, "发送太频繁"},
      {R"({"code":3,"msg":"号码不可用"})", false, "号码不可用"},
      {R"({"code":1004})", false, ""},
      {R"({"msg":"no code member"})", false, ""},
      {"not json", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    server.answer("/sms/login/", c.answer);
    std::string message;
    EXPECT_EQ(sendSmsCode("13800138000", "123456", message), c.sent) << c.answer;
    EXPECT_EQ(message, c.message) << c.answer;
  }
}

// ---------------------------------------------------------------------------

std::function<int()> drawsFrom(std::deque<int> values, int afterwards) {
  return [values, afterwards]() mutable {
    if (values.empty()) return afterwards;
    int v = values.front();
    values.pop_front();
    return v;
  };
}

bool isSixDigits(const std::string& code) {
  return code.size() == 6 && code.find_first_not_of("0123456789") == std::string::npos;
}

TEST(VerificationCodeTest, SixDigitsForEverySeed) {
  for (unsigned seed = 0; seed < 20000; ++seed) {
    std::srand(seed);
    std::string code = makeVerificationCode([] { return std::rand(); });
    ASSERT_TRUE(isSixDigits(code)) << "seed " << seed << ": " << code;
  }
}

TEST(VerificationCodeTest, DrawsThatCannotGrowTheProductAreDrawnAgain) {
  struct Case {
    const char* what;
    std::deque<int> draws;
    int afterwards;
    const char* code;
  } cases[] = {
      {"six-digit product used whole", {400, 300}, 7, "120000"},
      {"longer product cut to six", {32767, 32767}, 7, "107367"},
      {"first draw 0", {0, 400, 300}, 7, "120000"},
      {"zero between factors", {400, 0, 0, 300}, 7, "120000"},
      // 2700000000 is past the largest signed 32-bit number: still digits only.
      {"product past 2^31 stays digits", {30000, 3, 30000}, 7, "270000"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(makeVerificationCode(drawsFrom(c.draws, c.afterwards)), c.code) << c.what;

  // Generators stuck on 0 or 1 still give a code.
  for (int stuck : {0, 1}) {
    std::string code = makeVerificationCode([stuck] { return stuck; });
    EXPECT_TRUE(isSixDigits(code)) << stuck << ": " << code;
  }
}

// ---------------------------------------------------------------------------

class RevalidationTest : public LoginRequestTest {
 protected:
  StoredLogin stored() const {
    StoredLogin login;
    login.account = "13800138000";
    login.token = "tok-A";
    login.loginType = kLoginSms;
    login.partnerId = 7;
    return login;
  }
};

TEST_F(RevalidationTest, OutcomeFollowsTheTokenTheServiceGivesBack) {
  struct Case {
    const char* answer;
    RevalidationOutcome outcome;
  } cases[] = {
      {R"({"code":0,"data":{"token":"tok-A"}})", RevalidationOutcome::Confirmed},
      {R"({"code":0,"data":{"token":"tok-a"}})", RevalidationOutcome::TokenChanged},
      {R"({"code":0,"data":{"token":"tok-B"}})", RevalidationOutcome::TokenChanged},
      {R"({"code":0})", RevalidationOutcome::TokenChanged},
      {R"({"code":1001})", RevalidationOutcome::Unanswered},
      {"", RevalidationOutcome::Unanswered},
  };
  for (const Case& c : cases) {
    server.answer("/v1/user/login", c.answer);
    EXPECT_EQ(revalidateStoredLogin(stored()), c.outcome) << c.answer;
  }
  Json::Value body;
  ASSERT_TRUE(parseJson(server.requestsTo("/v1/user/login").back().body, body));
  EXPECT_EQ(body["account"].asString(), "13800138000");
  EXPECT_EQ(body["agentid"].asInt(), 7);
  EXPECT_EQ(body["typeid"].asInt(), kLoginSms);
}

TEST_F(RevalidationTest, WithoutNetworkTheLoginStays) {
  ServiceEndpoints::initialize(dir.path(), dir.file("Norvane"), "http://127.0.0.1:1");
  EXPECT_EQ(revalidateStoredLogin(stored()), RevalidationOutcome::Unanswered);
}

TEST_F(RevalidationTest, ChangedTokenClearsOnlyTheLoginThatWasChecked) {
  KeyValueStore values(dir.file("values.ini"));
  AccountStore account;
  account.save("13800138000", "13800138000", "tok-A", kLoginSms, values);
  StoredLogin checked = storedLoginOf(account, 1);

  EXPECT_FALSE(applyRevalidation(RevalidationOutcome::Confirmed, checked, account, values));
  EXPECT_FALSE(applyRevalidation(RevalidationOutcome::Unanswered, checked, account, values));
  EXPECT_TRUE(account.hasToken());

  // The user logged in anew while the check ran: that login stays.
  account.save("13900139000", "13900139000", "tok-new", kLoginSms, values);
  EXPECT_FALSE(applyRevalidation(RevalidationOutcome::TokenChanged, checked, account, values));
  EXPECT_EQ(account.token(), "tok-new");

  checked = storedLoginOf(account, 1);
  EXPECT_TRUE(applyRevalidation(RevalidationOutcome::TokenChanged, checked, account, values));
  EXPECT_FALSE(account.hasToken());
  EXPECT_FALSE(values.exists("Token"));
}

// ---------------------------------------------------------------------------

TEST(NicknameRichTextTest, MarkupBecomesRichTextAndTheNicknameStaysText) {
  auto source = [](const std::string& name) { return name.empty() ? std::string("GAP") : "src:" + name; };
  const std::string format = "{i images/login_type_%d.png}{x 4}%s";
  struct Case {
    const char* format;
    int loginType;
    const char* nickname;
    const char* rich;
  } cases[] = {
      {format.c_str(), kLoginWeChat, "小明",
       "<img src=\"src:images/login_type_1.png\" style=\"vertical-align: bottom\">"
       "<img src=\"GAP\" width=\"4\" height=\"1\">小明"},
      {"%s", kLoginSms, "<b>A&B</b>", "&lt;b&gt;A&amp;B&lt;/b&gt;"},
      {"%s", kLoginQQ, "{i images/logo.png}", "{i images/logo.png}"},
      {"{x 4}%d: %s", kLoginQQ, "x<img>", "<img src=\"GAP\" width=\"4\" height=\"1\">2: x&lt;img&gt;"},
      {"%s %s", kLoginSms, "<i>", "&lt;i&gt;"},
      {"", kLoginSms, "\"q\"", "&quot;q&quot;"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(nicknameRichText(c.format, c.loginType, c.nickname, source), c.rich) << c.format;
}

}  // namespace
}  // namespace norvane
