// "local" as the service host: requests go to the origin the built-in service
// printed, and a service that gives none makes requests fail as no answer.
#include "platform/built_in_service.h"
#include "service/name_query.h"
#include "service/service_fixture.h"

#include <gtest/gtest.h>

#include <chrono>

namespace norvane {
namespace {

using namespace std::chrono_literals;
using test::ServiceTest;

void fillBirth(NameQuery& q) {
  q.Xing = "李";
  q.Birthday = "2020-2-8 09:05:00";
  q.Gender = 1;
  q.Longitude = 116.4f;
  q.CityId = 110101;
}

TEST_F(ServiceTest, LocalHostRequestsGoToTheBuiltInServicesOrigin) {
  server.answer("/v1/build", R"({"code":0,"total":1,"data":[{"x":"李","m":"明","f":90,"w":1,"s":1,"j":1,"c":1,"y":1}]})");
  // A stand-in built-in service that announces the test server as its origin.
  BuiltInService::instance().configure(
      "/bin/sh", {"-c", "echo 'listening on " + server.origin() + "'; exec cat >/dev/null"});
  ServiceEndpoints::initialize(dir.path(), dir.file("Norvane"), "local");
  EXPECT_EQ(BuiltInService::instance().pid(), -1);  // nothing asked yet

  NameQuery q;
  fillBirth(q);
  EXPECT_EQ(q.run(true), 0);
  EXPECT_EQ(server.requestsTo("/v1/build").size(), 1u);
  EXPECT_EQ(ServiceEndpoints::url(Endpoint::NameBuild), server.origin() + "/v1/build");
  EXPECT_EQ(ServiceEndpoints::serviceOrigin(), server.origin());
  BuiltInService::instance().stop();
}

TEST_F(ServiceTest, ABuiltInServiceThatDoesNotAnswerIsNoResponse) {
  BuiltInService::instance().configure("/bin/sh", {"-c", "exec sleep 30"}, 300ms);
  ServiceEndpoints::initialize(dir.path(), dir.file("Norvane"), "local");

  NameQuery q;
  fillBirth(q);
  auto begin = std::chrono::steady_clock::now();
  EXPECT_EQ(q.run(true), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, 5s);
  EXPECT_EQ(ServiceEndpoints::url(Endpoint::NameBuild), std::string(kUnreachableOrigin) + "/v1/build");
  EXPECT_TRUE(server.requestsTo("/v1/build").empty());
  BuiltInService::instance().stop();
}

}  // namespace
}  // namespace norvane
