// norvane-cli's area look-ups, run as a real process from a temporary program
// folder that holds a knowledge database made by the builder tool.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/knowledge_fixture.h"
#include "service/json_access.h"
#include "service/test_server.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;

struct CliResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class AreaCli : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir.file("bin"));
    fs::copy_file(NORVANE_CLI_PATH, dir.file("bin/norvane-cli"));
    test::writeFile(dir.file("bin/oem.ini"), "[Hosts]\nService=" + server.origin() + "\n");
    ASSERT_EQ(test::runKnowledgeBuilder(dir.file("bin/local.dat"), test::kKnowledgeFixtureSources), 0);
  }

  CliResult run(std::vector<std::string> words) {
    const std::string exe = dir.file("bin/norvane-cli");
    words.insert(words.begin(), exe);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"XDG_CONFIG_HOME=" + dir.file("config"), "HOME=" + dir.path()};
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string outPath = dir.file("out.txt"), errPath = dir.file("err.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    CliResult result;
    pid_t pid = 0;
    if (posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) {
      int status = 0;
      waitpid(pid, &status, 0);
      result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = test::readFile(outPath);
    result.err = test::readFile(errPath);
    return result;
  }

  // The (id, name) pairs of an "areas" answer.
  static std::vector<std::pair<int, std::string>> pairs(const std::string& out) {
    Json::Value list;
    EXPECT_TRUE(parseJson(out, list)) << out;
    std::vector<std::pair<int, std::string>> v;
    for (const Json::Value& item : list) v.emplace_back(item["id"].asInt(), item["name"].asString());
    return v;
  }

  test::TempDir dir;
  test::TestServer server;
};

using Pairs = std::vector<std::pair<int, std::string>>;

TEST_F(AreaCli, ListsTheAreaTree) {
  CliResult provinces = run({"areas"});
  ASSERT_EQ(provinces.exitCode, 0) << provinces.err;
  EXPECT_EQ(pairs(provinces.out), (Pairs{{11, "北京市"}, {13, "河北省"}}));
  CliResult counties = run({"areas", "--parent", "1301"});
  ASSERT_EQ(counties.exitCode, 0) << counties.err;
  EXPECT_EQ(pairs(counties.out), (Pairs{{130102, "长安区"}, {130105, "新华区"}}));
  CliResult root = run({"areas", "--parent", "0"});
  EXPECT_EQ(root.out, provinces.out);
  CliResult leaf = run({"areas", "--parent", "130102"});
  ASSERT_EQ(leaf.exitCode, 0) << leaf.err;
  EXPECT_TRUE(pairs(leaf.out).empty());
}

TEST_F(AreaCli, ShowsAPlaceWithShortenedTextAndCoordinates) {
  CliResult r = run({"place", "--county", "110101"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  Json::Value place;
  ASSERT_TRUE(parseJson(r.out, place)) << r.out;
  EXPECT_EQ(place["id"].asInt(), 110101);
  EXPECT_EQ(place["place"].asString(), "北京市东城区");
  EXPECT_EQ(place["mergerName"].asString(), "中国,北京,北京市,东城区");
  EXPECT_EQ(place["longitude"].asString(), "116.41");
  EXPECT_EQ(place["latitude"].asString(), "39.91");
}

TEST_F(AreaCli, BadInputAndMissingDatabase) {
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    const char* message;
  } cases[] = {
      {{"areas", "--parent", "999"}, 1, "no area with id 999"},
      {{"areas", "--parent", "north"}, 2, "--parent must be an area id"},
      {{"areas", "--parent", "-1"}, 2, "--parent must be an area id"},
      {{"place"}, 2, "missing --county"},
      {{"place", "--county", "99999999999"}, 2, "--county must be an area id"},
      {{"place", "--county", "999"}, 1, "no area with id 999"},
      {{"place", "--county", "130105"}, 1, "no area with id 130105"},  // no longitude stored
  };
  for (const Case& c : cases) {
    CliResult r = run(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args.back();
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  fs::remove(dir.file("bin/local.dat"));
  CliResult r = run({"areas"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot read the knowledge database"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir.file("bin/local.dat")));
}

// --county without --longitude sends the county's longitude from local.dat.
TEST_F(AreaCli, CountyGivesTheLongitudeOfNamingRequests) {
  server.setTime("1700000000\n");
  server.answer("/v1/build", R"({"code":0,"total":1,"data":[{"x":"李","m":"明","f":90}]})");
  const std::vector<std::string> names = {"names", "--surname", "李", "--gender", "1", "--birthday",
                                          "2020-2-8 9:05", "--county", "130102"};
  CliResult r = run(names);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  Json::Value sent;
  ASSERT_EQ(server.requestsTo("/v1/build").size(), 1u);
  ASSERT_TRUE(parseJson(server.requestsTo("/v1/build")[0].body, sent));
  EXPECT_FLOAT_EQ(static_cast<float>(sent["jd"].asDouble()), 114.54f);
  Json::Value page;
  ASSERT_TRUE(parseJson(r.out, page));
  EXPECT_EQ(page["names"][0]["CityId"].asInt(), 130102);

  std::vector<std::string> unknown = names;
  unknown.back() = "999";
  CliResult bad = run(unknown);
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("no county with id 999"), std::string::npos) << bad.err;
  EXPECT_EQ(server.requestsTo("/v1/build").size(), 1u);
}

}  // namespace
}  // namespace norvane
