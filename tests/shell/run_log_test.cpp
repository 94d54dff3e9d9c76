#include "shell/run_log.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <ctime>

#include "support/temp_dir.h"

namespace norvane {
namespace {

using test::TempDir;

std::string today() {
  char date[16];
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(date, sizeof date, "%m/%d/%y", &local);
  return date;
}

class RunLogTest : public ::testing::Test {
 protected:
  void SetUp() override { setRunLogPath(dir_.file("run.log")); }
  void TearDown() override { setRunLogPath(""); }
  TempDir dir_;
};

TEST_F(RunLogTest, AppendsDatedLinesEndedByCrLf) {
  appendRunLog("GetStringFromUrl except.");
  appendRunLog("code %d in %s", 7, "更新");
  std::string d = today();
  EXPECT_EQ(d.size(), 8u);
  EXPECT_EQ(test::readFile(dir_.file("run.log")),
            d + "-GetStringFromUrl except.\r\n" + d + "-code 7 in 更新\r\n");
}

TEST_F(RunLogTest, KeepsExistingContentAndCutsLongMessages) {
  test::writeFile(dir_.file("run.log"), "earlier\r\n");
  std::string longText(600, 'x');
  appendRunLog("%s", longText.c_str());
  std::string log = test::readFile(dir_.file("run.log"));
  EXPECT_EQ(log, "earlier\r\n" + today() + "-" + std::string(511, 'x') + "\r\n");
}

TEST_F(RunLogTest, LineIsDroppedWhileAnotherHolderHasTheLog) {
  int fd = ::open(dir_.file("run.log").c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  appendRunLog("lost");
  ::flock(fd, LOCK_UN);
  ::close(fd);
  appendRunLog("kept");
  EXPECT_EQ(test::readFile(dir_.file("run.log")), today() + "-kept\r\n");
}

TEST(RunLog, NothingIsWrittenWithoutOrWithAnUnusablePath) {
  TempDir dir;
  setRunLogPath("");
  appendRunLog("nowhere");
  setRunLogPath(dir.file("missing/run.log"));
  appendRunLog("nowhere");
  EXPECT_FALSE(test::readFile(dir.file("missing/run.log")).size());
  setRunLogPath("");
}

TEST(RunLog, PathIsCutAt259BytesOnACharacterBoundary) {
  std::string path = "/" + std::string(257, 'a') + "名字";  // 258 + 6 bytes
  setRunLogPath(path);
  EXPECT_EQ(runLogPath(), "/" + std::string(257, 'a'));
  setRunLogPath("");
}

}  // namespace
}  // namespace norvane
