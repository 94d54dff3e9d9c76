// norvane-cli against norvane-refservice, both as the programs a user runs:
// the service writes the oem.ini that points the client at it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "refservice_test_support.h"
#include "support/temp_dir.h"

namespace norvane::refservice::test {
namespace {

struct CommandRun {
  int exit = -1;
  std::string out;
};

CommandRun runCommand(const std::string& command) {
  CommandRun run;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    int status = pclose(pipe);
    run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  return run;
}

TEST(RefServiceWithCli, NamesAnalysesAndFortunesFromTheCommandLine) {
  // The client finds oem.ini beside itself, so it runs from a folder of its own.
  norvane::test::TempDir dir;
  std::filesystem::copy_file(std::string(NORVANE_BIN_DIR) + "/norvane-cli", dir.file("norvane-cli"));
  ChildServer server({"--port", "0", "--write-oem", dir.file("oem.ini"), "--vocabulary",
                      std::string(NORVANE_SOURCE_DIR) + "/tests/refservice/naming/fixture"});
  ASSERT_FALSE(server.origin().empty()) << server.firstLine();
  std::string cli = dir.file("norvane-cli");
  std::string birth = " --gender 1 --birthday '2020-2-8 09:05' --longitude 116.4 --county 110101";

  CommandRun names = runCommand(cli + " names --surname 李 --length 2" + birth + " 2>&1");
  ASSERT_EQ(names.exit, 0) << names.out;
  Json::Value page;
  ASSERT_TRUE(parseJson(names.out, page)) << names.out;
  EXPECT_GT(page["total"].asInt(), 10);
  ASSERT_EQ(page["names"].size(), 10u);
  const Json::Value& first = page["names"][0];
  EXPECT_EQ(first["Xing"].asString(), "李");
  EXPECT_GT(first["FengShu"].asDouble(), 0.0);

  CommandRun second = runCommand(cli + " names --surname 李 --length 2 --page 2" + birth + " 2>&1");
  ASSERT_EQ(second.exit, 0) << second.out;
  Json::Value page2;
  ASSERT_TRUE(parseJson(second.out, page2));
  EXPECT_EQ(page2["total"], page["total"]);
  EXPECT_NE(page2["names"][0]["Ming"], first["Ming"]);

  CommandRun analysis = runCommand(cli + " analyse --surname 李 --name " + first["Ming"].asString() + birth + " 2>&1");
  ASSERT_EQ(analysis.exit, 0) << analysis.out;
  Json::Value data;
  ASSERT_TRUE(parseJson(analysis.out, data)) << analysis.out;
  EXPECT_NE(analysis.out.find("wuge"), std::string::npos);
  EXPECT_NE(analysis.out.find("sancai"), std::string::npos);

  CommandRun fortune = runCommand(cli + " fortune --surname 李 --name " + first["Ming"].asString() + " 2>&1");
  ASSERT_EQ(fortune.exit, 0) << fortune.out;
  Json::Value luck;
  ASSERT_TRUE(parseJson(fortune.out, luck)) << fortune.out;
  EXPECT_FALSE(luck["gx"].asString().empty());

  // A failing service shows as a failure of the command, not as names.
  ASSERT_EQ(exchange("POST", server.origin() + "/control/fault", R"({"mode":"code","code":1001})", "").status, 200);
  CommandRun refused = runCommand(cli + " names --surname 王 --length 1" + birth + " 2>&1");
  EXPECT_EQ(refused.exit, 1);
  EXPECT_NE(refused.out.find("SignErr"), std::string::npos) << refused.out;
}

}  // namespace
}  // namespace norvane::refservice::test
