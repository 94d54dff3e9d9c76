// norvane-cli run as a real process: a copy of the executable sits in a
// temporary program folder with an oem.ini that points at a test server, and
// its data folder (XDG_CONFIG_HOME) lies in the same temporary folder.
#include "platform/utf8.h"
#include "service/json_access.h"
#include "service/test_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace norvane {
namespace {

namespace fs = std::filesystem;

const char* kPage = R"({"code":0,"total":23,"data":[
  {"x":"李","m":"明轩","f":92.5,"w":80,"s":75,"j":90,"c":3,"y":88},
  {"x":"李","m":"子涵","f":87.456,"w":70,"s":65,"j":85,"c":2,"y":77}]})";

struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir.file("bin"));
    fs::copy_file(NORVANE_CLI_PATH, dir.file("bin/norvane-cli"));
    test::writeFile(dir.file("bin/oem.ini"), "[Hosts]\nService=" + server.origin() + "\n");
    server.setTime("1700000000\n");
  }

  std::string dataFolder() const { return dir.file("config/Norvane"); }

  // Where the program's standard output goes.
  enum class Output { File, FullDisk, ClosedPipe };

  CliRun run(const std::vector<std::string>& args, Output output = Output::File) {
    std::string exe = dir.file("bin/norvane-cli");
    std::vector<std::string> words = {exe};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    std::vector<std::string> env = {"XDG_CONFIG_HOME=" + dir.file("config"),
                                    "HOME=" + dir.path(), "PATH=/usr/bin:/bin"};
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    std::string outPath = dir.file("stdout.txt"), errPath = dir.file("stderr.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipeEnds[2] = {-1, -1};
    if (output == Output::File)
      posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (output == Output::FullDisk)
      posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
    if (output == Output::ClosedPipe && pipe(pipeEnds) == 0) {
      close(pipeEnds[0]);  // nobody reads: every write fails
      posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    }
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    CliRun result;
    if (posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) {
      int status = 0;
      waitpid(pid, &status, 0);
      result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    if (pipeEnds[1] >= 0) close(pipeEnds[1]);
    result.out = output == Output::File ? test::readFile(outPath) : std::string();
    result.err = test::readFile(errPath);
    return result;
  }

  test::TempDir dir;
  test::TestServer server;
};

const std::vector<std::string> kNames = {"names", "--surname", "李", "--gender", "2",
                                         "--birthday", "2020-2-8 9:05", "--county", "110101",
                                         "--longitude", "116.40"};

// The arguments with option `name` set to `value` (replaced or added).
std::vector<std::string> with(std::vector<std::string> args, const std::string& name, const std::string& value) {
  for (std::size_t i = 0; i + 1 < args.size(); ++i)
    if (args[i] == "--" + name) {
      args[i + 1] = value;
      return args;
    }
  args.push_back("--" + name);
  args.push_back(value);
  return args;
}

TEST_F(CliTest, FetchesAPageAndServesTheSameRequestAgainFromTheCache) {
  server.answer("/v1/build", kPage);
  CliRun first = run(kNames);
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(server.requestCount(), 2u);

  Json::Value page;
  ASSERT_TRUE(parseJson(first.out, page)) << first.out;
  EXPECT_EQ(page["total"].asInt(), 23);
  EXPECT_EQ(page["pages"].asInt(), 3);
  EXPECT_EQ(page["page"].asInt(), 1);
  ASSERT_EQ(page["names"].size(), 2u);
  const Json::Value& name = page["names"][1];
  EXPECT_EQ(name["Xing"].asString(), "李");
  EXPECT_EQ(name["Ming"].asString(), "子涵");
  EXPECT_EQ(name["Birthday"].asString(), "2020-2-8 09:05:00");
  EXPECT_EQ(name["FengShu"].asDouble(), 87.456);
  EXPECT_EQ(name["WuXing"].asInt(), 70);
  EXPECT_EQ(name["ShengXiao"].asInt(), 65);
  EXPECT_EQ(name["JiXiong"].asInt(), 85);
  EXPECT_EQ(name["ChangYongDu"].asInt(), 2);
  EXPECT_EQ(name["YinLv"].asInt(), 77);
  EXPECT_EQ(name["CityId"].asInt(), 110101);
  EXPECT_EQ(name["Gender"].asInt(), 2);
  EXPECT_EQ(name["Longitude"].asDouble(), 116.4);
  EXPECT_FALSE(name["IsXiaoming"].asBool());

  // What was sent: the program's birthday text and the default settings.
  Json::Value sent;
  ASSERT_TRUE(parseJson(server.requestsTo("/v1/build").at(0).body, sent));
  EXPECT_EQ(sent["b"].asString(), "2020-2-8 09:05:00");
  EXPECT_EQ(sent["ming"].asInt(), 2);
  EXPECT_EQ(sent["set"]["cyz"].asInt(), 2);

  server.answer("/v1/build", R"({"code":1002})");
  CliRun second = run(kNames);
  EXPECT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(second.out, first.out);
  EXPECT_EQ(server.requestCount(), 2u);  // nothing reached the server

  // The folders and the stored page are where the window program keeps them.
  for (const char* folder : {"fenxi", "quming", "yunsi", "quxiaoming"})
    EXPECT_TRUE(fs::is_directory(dataFolder() + "/cache/" + folder)) << folder;

  CliRun cleared = run({"clear-cache"});
  EXPECT_EQ(cleared.exitCode, 0) << cleared.err;
  EXPECT_TRUE(fs::is_empty(dataFolder() + "/cache/quming"));
  EXPECT_TRUE(fs::is_directory(dataFolder() + "/cache/quxiaoming"));
  CliRun third = run(kNames);
  EXPECT_EQ(third.exitCode, 1);
  EXPECT_EQ(server.requestCount(), 4u);
}

TEST_F(CliTest, ServiceFailuresPrintStatusAndMessageKey) {
  struct Case {
    std::vector<std::string> args;
    std::string path, answer, expected;
  } cases[] = {
      {kNames, "/v1/build", R"({"code":1002})", "status 1002 (SignExpired)"},
      {kNames, "/v1/build", R"({"code":0,"data":[]})", "status 10 (NoData)"},
      {kNames, "/v1/build", "<html>", "status 2 (QumingFail)"},
      {{"fortune", "--surname", "李", "--name", "白"}, "/v1/luck", R"({"code":1004})",
       "status 2 (FenxiFail)"},
      {{"analyse", "--surname", "欧阳", "--name", "明", "--gender", "1", "--birthday",
        "2019-3-7 08:05", "--longitude", "116.4"},
       "/v1/show", R"({"data":{}})", "status 3 (UnknowErr)"},
  };
  for (const Case& c : cases) {
    server.answer(c.path, c.answer);
    CliRun r = run(c.args);
    EXPECT_EQ(r.exitCode, 1) << c.answer;
    EXPECT_EQ(r.out, "") << c.answer;
    EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
  }
}

TEST_F(CliTest, AnalysesAndFortunesPrintWhatTheServiceSent) {
  server.answer("/v1/child/show", R"({"code":0,"data":{"shuli":{"xm":["81","吉"]}}})");
  server.answer("/v1/luck", R"({"code":0,"data":{"gx":"吉","list":["一"],"ys":["甲"]}})");
  CliRun analysis = run({"analyse-nickname", "--surname", "李", "--name", "宝宝", "--gender", "2",
                      "--birthday", "2019-3-7 08:05", "--longitude", "116.4"});
  ASSERT_EQ(analysis.exitCode, 0) << analysis.err;
  Json::Value data;
  ASSERT_TRUE(parseJson(analysis.out, data));
  EXPECT_EQ(data["shuli"]["xm"][1].asString(), "吉");
  EXPECT_NE(analysis.out.find("吉"), std::string::npos);  // printed as text, not escaped

  CliRun luck = run({"fortune", "--surname", "李", "--name", "白"});
  ASSERT_EQ(luck.exitCode, 0) << luck.err;
  Json::Value fortune;
  ASSERT_TRUE(parseJson(luck.out, fortune));
  EXPECT_EQ(fortune["gx"].asString(), "吉");
  EXPECT_EQ(fortune["ys"][0].asString(), "甲");

  server.answer("/v1/child/build", kPage);
  CliRun nick = run({"nicknames", "--surname", "李", "--gender", "1", "--birthday", "2019-3-7",
                  "--longitude", "116.4", "--patterns", "010001"});
  ASSERT_EQ(nick.exitCode, 0) << nick.err;
  Json::Value page;
  ASSERT_TRUE(parseJson(nick.out, page));
  EXPECT_TRUE(page["names"][0]["IsXiaoming"].asBool());
  Json::Value sent;
  ASSERT_TRUE(parseJson(server.requestsTo("/v1/child/build").at(0).body, sent));
  EXPECT_TRUE(sent["set"]["ct2"].asBool());
  EXPECT_FALSE(sent["set"]["ct1"].asBool());
  EXPECT_EQ(sent["b"].asString(), "2019-3-7 00:00:00");
}

TEST_F(CliTest, BadOrMissingOptionsGetAUsageMessageAndNoRequest) {
  auto without = [](std::vector<std::string> args, const std::string& name) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
      if (args[i] == "--" + name) {
        args.erase(args.begin() + i, args.begin() + i + 2);
        break;
      }
    return args;
  };
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{}, "Usage: norvane-cli"},
      {{"name"}, "unknown command \"name\""},
      {without(kNames, "surname"), "missing --surname"},
      {with(kNames, "surname", "Li"), "--surname must be Chinese"},
      {with(kNames, "surname", "李\xff"), "--surname must be Chinese"},
      {with(kNames, "gender", "3"), "--gender must be 1"},
      {with(kNames, "birthday", "2020-2-30 09:05"), "--birthday must be"},
      {with(kNames, "birthday", "yesterday"), "--birthday must be"},
      // Long enough to exhaust the stack of a recursive pattern matcher.
      {with(kNames, "birthday", "2020-2-8" + std::string(120000, ' ')), "--birthday must be"},
      {without(kNames, "longitude"), "cannot read the knowledge database"},
      {without(without(kNames, "longitude"), "county"), "missing birth place"},
      {with(kNames, "longitude", "east"), "--longitude must be"},
      {with(kNames, "longitude", "nan"), "--longitude must be"},
      {with(kNames, "city-id", "7"), "--county and --city-id name different areas"},
      {with(kNames, "length", "3"), "--length must be"},
      {with(kNames, "page", "0"), "--page must be"},
      {with(kNames, "settings", "1,2,3"), "--settings needs ten"},
      {with(kNames, "settings", "2,0,0,0,0,1,1,0,3,0"), "sm must be"},
      {with(kNames, "fixed", "明华"), "--fixed must be one"},
      {with(kNames, "source", "史记"), "--source must be one of 不限 诗经 楚辞 唐诗 宋词 论语"},
      {with(kNames, "source", "诗"), "--source must be one of"},
      {with(kNames, "source", ""), "--source must be one of"},
      {with(kNames, "patterns", "110000"), "unknown option --patterns"},
      {{"nicknames", "--surname", "李", "--gender", "1", "--birthday", "2019-3-7", "--longitude",
        "116.4", "--patterns", "000000"},
       "--patterns must be six digits"},
      {{"fortune", "--surname", "李"}, "missing --name"},
      {{"fortune", "--surname", "李", "--name"}, "--name needs a value"},
      {{"fortune", "--surname", "李", "--surname", "王", "--name", "白"}, "more than once"},
      {{"fortune", "李", "白"}, "unexpected argument"},
      {{"clear-cache", "--all", "yes"}, "unknown option --all"},
  };
  for (const Case& c : cases) {
    CliRun r = run(c.args);
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    EXPECT_EQ(r.exitCode, 2) << shown;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << shown << "\n" << r.err;
    EXPECT_EQ(r.out, "") << shown;
  }
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(CliTest, HelpListsEveryCommand) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, std::vector<std::string>{"help"}}) {
    CliRun r = run(args);
    EXPECT_EQ(r.exitCode, 0);
    for (const char* command :
         {"names", "nicknames", "analyse", "analyse-nickname", "fortune", "clear-cache", "report"})
      EXPECT_TRUE(r.out.find(std::string("\n  ") + command + " ") != std::string::npos ||
                  r.out.find(std::string("\n  ") + command + "\n") != std::string::npos)
          << command;
  }
  CliRun r = run({"names", "--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("--settings"), std::string::npos);
  EXPECT_NE(r.out.find("[--source 不限|诗经|楚辞|唐诗|宋词|论语]"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"ChuChu\""), std::string::npos) << r.out;
}

TEST_F(CliTest, NamesPrintTheirSourceAsReceivedAndSourceNarrowsTheSearch) {
  // The first name has a source (with hostile texts), the second none, the
  // third a broken one.
  server.answer("/v1/build", R"({"code":0,"total":3,"data":[
    {"x":"李","m":"雎鸠","f":90,"ChuChu":{"Text":"关关雎鸠，在河之洲</script>","Title":"周南·关雎",
      "Author":"","Book":"诗经"}},
    {"x":"李","m":"子涵","f":88},
    {"x":"李","m":"浩然","f":80,"ChuChu":{"Text":"浩然之气","Title":7,"Author":"","Book":"孟子"}}]})");
  CliRun r = run(with(kNames, "source", "诗经"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  Json::Value page;
  ASSERT_TRUE(parseJson(r.out, page)) << r.out;
  ASSERT_EQ(page["names"].size(), 3u);
  const Json::Value& source = page["names"][0]["ChuChu"];
  EXPECT_EQ(source["Text"].asString(), "关关雎鸠，在河之洲</script>");
  EXPECT_EQ(source["Title"].asString(), "周南·关雎");
  EXPECT_EQ(source["Author"].asString(), "");
  EXPECT_EQ(source["Book"].asString(), "诗经");
  EXPECT_EQ(source.size(), 4u);
  EXPECT_FALSE(page["names"][1].isMember("ChuChu"));
  EXPECT_FALSE(page["names"][2].isMember("ChuChu"));

  Json::Value sent;
  ASSERT_TRUE(parseJson(server.requestsTo("/v1/build").at(0).body, sent));
  EXPECT_EQ(sent["set"]["cc"].asString(), "诗经");

  // "不限" is no narrowing: nothing is sent, and it is another question than 诗经.
  server.answer("/v1/build", kPage);
  CliRun any = run(with(kNames, "source", "不限"));
  ASSERT_EQ(any.exitCode, 0) << any.err;
  ASSERT_EQ(server.requestsTo("/v1/build").size(), 2u);
  ASSERT_TRUE(parseJson(server.requestsTo("/v1/build").at(1).body, sent));
  EXPECT_FALSE(sent["set"].isMember("cc"));
}

TEST_F(CliTest, ReportWithoutItsEngineSaysSoAndAsksNothing) {
  // This program folder has norvane-cli alone: the report engine beside it is
  // missing (or, in a build without the window program, there is none).
  CliRun r = run({"report", "--fortune", "--surname", "李", "--name", "白", "--pdf", dir.file("x.pdf")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.find("report engine") != std::string::npos || r.err.find("not available") != std::string::npos)
      << r.err;
  EXPECT_EQ(server.requestCount(), 0u);
  EXPECT_FALSE(std::filesystem::exists(dir.file("x.pdf")));
}

TEST_F(CliTest, AResultThatCannotBeWrittenInFullFailsWithAMessage) {
  server.answer("/v1/build", kPage);
  struct Case {
    Output output;
    const char* reason;
  } cases[] = {{Output::FullDisk, "No space left on device"}, {Output::ClosedPipe, "Broken pipe"}};
  for (const Case& c : cases) {
    for (const std::vector<std::string>& args : {kNames, std::vector<std::string>{"--help"}}) {
      CliRun r = run(args, c.output);
      EXPECT_EQ(r.exitCode, 1) << c.reason << " " << args[0];
      EXPECT_NE(r.err.find("the result could not be written to standard output: " +
                           std::string(c.reason)),
                std::string::npos)
          << r.err;
    }
  }
  // A command that failed anyway keeps its own status and message.
  server.answer("/v1/luck", R"({"code":1004})");
  CliRun failed = run({"fortune", "--surname", "王", "--name", "五"}, Output::FullDisk);
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_NE(failed.err.find("status 2 (FenxiFail)"), std::string::npos) << failed.err;
}

TEST_F(CliTest, AnyAnswerGivesWellFormedJsonOrAStatus) {
  const std::vector<std::string> analyse = {"analyse", "--surname", "李", "--name", "白",
                                            "--gender", "1", "--birthday", "2019-3-7 08:05",
                                            "--longitude", "116.4"};
  const std::vector<std::string> fortune = {"fortune", "--surname", "李", "--name", "白"};
  std::string nests = R"({"code":0,"data":[)";
  while (nests.size() < (1u << 20)) nests += std::string(60, '[') + std::string(60, ']') + ",";
  nests += "0]}";
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string path, answer;
    int exitCode;
    std::string expected;  // in the output on success, on standard error otherwise
  } cases[] = {
      {"lone surrogates in an analysis", analyse, "/v1/show",
       R"({"code":0,"data":{"\uDC00":["x\uD800","\uDBFF\u0041"]}})", 0, "\xEF\xBF\xBD" "A"},
      {"lone surrogates in a fortune", fortune, "/v1/luck",
       R"({"code":0,"data":{"gx":"\uDFFF","list":[],"ys":[]}})", 0, "\xEF\xBF\xBD"},
      {"a lone surrogate in a name page", kNames, "/v1/build",
       R"({"code":0,"total":1,"data":[{"x":"李","m":"\uDC00"}]})", 0, "\xEF\xBF\xBD"},
      {"a megabyte of small nests", analyse, "/v1/show", nests, 1, "status 2 (QumingFail)"},
      {"a fortune code that is text", fortune, "/v1/luck",
       R"({"code":"0","data":{"gx":"吉","list":[],"ys":[]}})", 1, "status 2 (FenxiFail)"},
  };
  for (const Case& c : cases) {
    fs::remove_all(dataFolder() + "/cache");
    server.answer(c.path, c.answer);
    CliRun r = run(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.what << "\n" << r.err;
    if (c.exitCode == 0) {
      EXPECT_TRUE(isValidUtf8(r.out)) << c.what;
      Json::Value printed;
      EXPECT_TRUE(parseJson(r.out, printed)) << c.what;
      EXPECT_NE(r.out.find(c.expected), std::string::npos) << c.what << "\n" << r.out;
    } else {
      EXPECT_EQ(r.out, "") << c.what;
      EXPECT_NE(r.err.find(c.expected), std::string::npos) << c.what << "\n" << r.err;
    }
  }
}

}  // namespace
}  // namespace norvane
