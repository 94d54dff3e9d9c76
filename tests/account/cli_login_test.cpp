// norvane-cli login / logout against a test service: the code typed on
// standard input, the stored login, and searches that carry it.
#include "account/account_store.h"
#include "cli/account_commands.h"
#include "cli/commands.h"
#include "platform/folders.h"
#include "service/json_access.h"
#include "service/service_fixture.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>

namespace norvane {
namespace {

// Standard input that "types" what `line` gives once the command reads it,
// so the code can be the one the command has just sent.
class LazyInput : public std::streambuf {
 public:
  explicit LazyInput(std::function<std::string()> line) : line_(std::move(line)) {}

 protected:
  int_type underflow() override {
    if (!filled_) {
      filled_ = true;
      text_ = line_() + "\n";
      setg(text_.data(), text_.data(), text_.data() + text_.size());
    }
    return gptr() < egptr() ? traits_type::to_int_type(*gptr()) : traits_type::eof();
  }

 private:
  std::function<std::string()> line_;
  std::string text_;
  bool filled_ = false;
};

class CliLoginTest : public test::ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    server.answer("/sms/login/", R"({"code":0})");
    server.answer("/v1/user/login", R"({"code":0,"data":{"token":"tok-cli"}})");
    accountStore().clear(userStore());
  }

  std::string sentCode() const {
    auto sms = server.requestsTo("/sms/login/");
    Json::Value body;
    if (sms.empty() || !parseJson(sms.back().body, body)) return "none";
    return body["code"].asString();
  }

  int runLogin(const std::string& mobile, std::function<std::string()> typed) {
    cli::Options options;
    options.set("mobile", mobile);
    LazyInput input(std::move(typed));
    std::istream in(&input);
    out.str("");
    err.str("");
    return cli::login(options, in, out, err);
  }

  std::ostringstream out, err;
};

TEST_F(CliLoginTest, TheSentCodeLogsInAndSearchesCarryTheLogin) {
  ASSERT_EQ(runLogin("13800138000", [this] { return "  " + sentCode() + " "; }), 0) << err.str();
  AccountStore reloaded;
  reloaded.load(userStore());
  EXPECT_EQ(reloaded.account(), "13800138000");
  EXPECT_EQ(reloaded.token(), "tok-cli");
  EXPECT_EQ(reloaded.loginType(), kLoginSms);

  NameQuery query;
  cli::applyStoredLogin(query);
  EXPECT_EQ(query.Account, "13800138000");
  EXPECT_EQ(query.Token, "tok-cli");

  std::ostringstream logoutOut, logoutErr;
  EXPECT_EQ(cli::logoutCommand(cli::Options(), logoutOut, logoutErr), 0);
  EXPECT_NE(logoutOut.str().find("true"), std::string::npos);
  reloaded.load(userStore());
  EXPECT_FALSE(reloaded.hasToken());
  cli::applyStoredLogin(query);
  EXPECT_EQ(query.Token, "");
}

TEST_F(CliLoginTest, NothingIsStoredWhenTheLoginDoesNotComplete) {
  struct Case {
    const char* what;
    const char* mobile;
    const char* smsAnswer;
    const char* loginAnswer;
    bool typeSentCode;
    int exitCode;
  } cases[] = {
      {"ten digits", "1380013800", R"({"code":0})", R"({"code":0,"data":{"token":"t"}})", true, 2},
      {"sms refused", "13800138000", R"({"code":1,"msg":"太频繁"})", R"({"code":0,"data":{"token":"t"}})", true, 1},
      {"wrong code", "13800138000", R"({"code":0})", R"({"code":0,"data":{"token":"t"}})", false, 1},
      {"login refused", "13800138000", R"({"code":0})", R"({"code":1001})", true, 1},
      {"no token", "13800138000", R"({"code":0})", R"({"code":0})", true, 1},
  };
  for (const Case& c : cases) {
    server.answer("/sms/login/", c.smsAnswer);
    server.answer("/v1/user/login", c.loginAnswer);
    bool typeSent = c.typeSentCode;
    EXPECT_EQ(runLogin(c.mobile, [this, typeSent] { return typeSent ? sentCode() : std::string("000000x"); }),
              c.exitCode)
        << c.what;
    EXPECT_FALSE(err.str().empty()) << c.what;
    AccountStore reloaded;
    reloaded.load(userStore());
    EXPECT_FALSE(reloaded.hasToken()) << c.what;
  }
}

TEST_F(CliLoginTest, ExplicitAccountOptionsWinOverTheStoredLogin) {
  accountStore().save("13800138000", "13800138000", "tok-stored", kLoginSms, userStore());
  const cli::Command* names = nullptr;
  for (const cli::Command& c : cli::commands())
    if (std::string(c.name) == "names") names = &c;
  ASSERT_NE(names, nullptr);
  auto search = [names](std::vector<std::string> extra) {
    std::vector<std::string> args = {"--surname", "李", "--gender", "1", "--birthday",
                                     "2020-2-8 09:05", "--longitude", "116.4"};
    args.insert(args.end(), extra.begin(), extra.end());
    cli::Options options;
    std::string error;
    EXPECT_TRUE(cli::parseOptions(args, names->options, options, error)) << error;
    std::ostringstream o, e;
    names->handler(options, o, e);
  };
  search({"--account", "other", "--token", "tok-given"});
  search({});
  auto builds = server.requestsTo("/v1/build");
  ASSERT_EQ(builds.size(), 2u);
  EXPECT_NE(builds[0].body.find("\"token\" : \"tok-given\""), std::string::npos);
  EXPECT_NE(builds[1].body.find("\"token\" : \"tok-stored\""), std::string::npos);
  accountStore().clear(userStore());
}

}  // namespace
}  // namespace norvane
