#include "telemetry/usage_reporter.h"

#include "telemetry/local_server.h"
#include "telemetry/report_decrypt.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace norvane {
namespace {

// A statistics host that records every posted report and answers with a
// configurable text, with or without a Content-Length.
class StatisticsHost {
 public:
  std::string answer = "1";
  bool chunked = false;  // answer without Content-Length

  StatisticsHost() {
    server_.server().Post("/action.ashx", [this](const httplib::Request& req, httplib::Response& res) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        bodies_.push_back(req.body);
        contentTypes_.push_back(req.get_header_value("Content-Type"));
      }
      if (chunked) {
        std::string text = answer;
        res.set_chunked_content_provider("text/plain", [text](std::size_t, httplib::DataSink& sink) {
          sink.write(text.data(), text.size());
          sink.done();
          return true;
        });
      } else {
        res.set_content(answer, "text/plain");
      }
    });
    server_.start();
  }

  std::string origin() const { return server_.origin(); }
  std::vector<std::string> bodies() {
    std::lock_guard<std::mutex> lock(mutex_);
    return bodies_;
  }
  std::vector<std::string> contentTypes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return contentTypes_;
  }

 private:
  test::LocalServer server_;
  std::mutex mutex_;
  std::vector<std::string> bodies_;
  std::vector<std::string> contentTypes_;
};

UsageReporter primedReporter(const std::string& host) {
  UsageReporter reporter;
  reporter.setHost(host);
  reporter.setAppId(1);
  reporter.setOs("");
  reporter.setChannelCode("37");
  reporter.setVersion("1.0.9");
  reporter.setMachineCode("74BE16979710D4C4");
  reporter.setOsBit(64);
  return reporter;
}

TEST(UsageReporterTest, PostedReportDecryptsToTheStyledRecord) {
  StatisticsHost host;
  UsageReporter reporter = primedReporter(host.origin());
  EXPECT_TRUE(reporter.reportAction(kReportUninstall));

  auto bodies = host.bodies();
  ASSERT_EQ(bodies.size(), 1u);
  EXPECT_EQ(host.contentTypes()[0], "application/x-www-form-urlencoded");
  const std::string& body = bodies[0];
  EXPECT_EQ(body.size() % 4, 0u);
  EXPECT_EQ(body.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
            std::string::npos);
  auto text = test::decryptReport(body);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text,
            "{\n"
            "   \"AppId\" : 1,\n"
            "   \"ChannelCode\" : \"37\",\n"
            "   \"MachineCode\" : \"74BE16979710D4C4\",\n"
            "   \"Os\" : \"\",\n"
            "   \"OsBit\" : 64,\n"
            "   \"TypeId\" : 2,\n"
            "   \"Version\" : \"1.0.9\"\n"
            "}\n");
}

TEST(UsageReporterTest, HostileFieldValuesTravelIntact) {
  StatisticsHost host;
  UsageReporter reporter;
  reporter.setHost(host.origin());
  reporter.setChannelCode("a\"b\\c\n}{");
  reporter.setVersion("版本 1.0");
  reporter.setMachineCode("");  // an unprimed field stays an empty member
  EXPECT_TRUE(reporter.reportAction(kReportDailyUse));

  auto bodies = host.bodies();
  ASSERT_EQ(bodies.size(), 1u);
  auto text = test::decryptReport(bodies[0]);
  ASSERT_TRUE(text.has_value());
  Json::Value record;
  Json::Reader reader;
  ASSERT_TRUE(reader.parse(*text, record));
  EXPECT_EQ(record["ChannelCode"].asString(), "a\"b\\c\n}{");
  EXPECT_EQ(record["Version"].asString(), "版本 1.0");
  ASSERT_TRUE(record.isMember("MachineCode"));
  EXPECT_EQ(record["MachineCode"].asString(), "");
  EXPECT_EQ(record["TypeId"].asInt(), 3);
  EXPECT_EQ(record.getMemberNames().size(), 7u);
}

TEST(UsageReporterTest, AcknowledgementFollowsTheAnswer) {
  struct Case {
    const char* answer;
    bool chunked;
    bool acknowledged;
  };
  const Case cases[] = {
      {"1", false, true},  {"12", false, true},  {"1x", false, true}, {"  3", false, true},
      {"0", false, false}, {"-1", false, false}, {"ok", false, false}, {"", false, false},
      {"1", true, false},  // no Content-Length: the answer is not read
  };
  StatisticsHost host;
  UsageReporter reporter = primedReporter(host.origin());
  for (const Case& c : cases) {
    host.answer = c.answer;
    host.chunked = c.chunked;
    EXPECT_EQ(reporter.reportAction(kReportDailyUse), c.acknowledged)
        << "answer \"" << c.answer << "\"" << (c.chunked ? " chunked" : "");
  }
}

TEST(UsageReporterTest, UnreachableHostIsNotAcknowledged) {
  int port;
  {
    test::LocalServer closed;
    closed.start();
    port = closed.port();
  }  // nothing listens there any more
  UsageReporter reporter = primedReporter("http://127.0.0.1:" + std::to_string(port));
  EXPECT_FALSE(reporter.reportAction(kReportUninstall));
  UsageReporter unprimed;  // no host at all
  EXPECT_FALSE(unprimed.reportAction(kReportUninstall));
}

TEST(UsageReporterTest, SilentHostCannotHoldTheReportForLong) {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  test::LocalServer silent;
  silent.server().Post("/action.ashx", [&](const httplib::Request&, httplib::Response& res) {
    std::unique_lock<std::mutex> lock(mutex);
    done.wait_for(lock, std::chrono::seconds(60), [&] { return finished; });
    res.set_content("1", "text/plain");
  });
  silent.start();
  UsageReporter reporter = primedReporter(silent.origin());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(reporter.reportAction(kReportUninstall));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(kReportTotalTimeoutMs - 1000));
  EXPECT_LT(waited, std::chrono::milliseconds(kReportTotalTimeoutMs + 5000));
  {
    std::lock_guard<std::mutex> lock(mutex);
    finished = true;
  }
  done.notify_all();
}

TEST(UsageReporterTest, AcknowledgementRuleReadsOnlyTheStatedLength) {
  EXPECT_TRUE(isAcknowledgement(1, "1"));
  EXPECT_FALSE(isAcknowledgement(0, "1"));
  EXPECT_FALSE(isAcknowledgement(-1, "1"));
  EXPECT_FALSE(isAcknowledgement(1, "01"));   // only "0" is within the stated length
  EXPECT_TRUE(isAcknowledgement(3, "99999999999999999999"));
  EXPECT_FALSE(isAcknowledgement(5, std::string("\0" "1", 2)));
}

TEST(UsageReporterTest, HostsBecomeReportUrls) {
  EXPECT_EQ(urlOnHost("tj.example.com", "/action.ashx"), "http://tj.example.com/action.ashx");
  EXPECT_EQ(urlOnHost("http://127.0.0.1:8080", "/action.ashx"), "http://127.0.0.1:8080/action.ashx");
  UsageReporter reporter;
  reporter.setHost("stats.example.org");
  EXPECT_EQ(reporter.url(), "http://stats.example.org/action.ashx");
}

TEST(UsageReporterTest, OsNameAndBitness) {
  EXPECT_EQ(windowsOsName(10, 0), "windows10");
  EXPECT_EQ(windowsOsName(6, 1), "Windows7");
  EXPECT_EQ(windowsOsName(6, 3), "");
  EXPECT_EQ(currentOsName(), "");
  if (sizeof(void*) == 8) {
    EXPECT_EQ(currentOsBit(), 64);
  }
}

}  // namespace
}  // namespace norvane
