// The transport against a real server: what it sends, and what it hands back
// when the server misbehaves.
#include "service/envelope.h"
#include "service/service_fixture.h"
#include "service/transport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

namespace norvane {
namespace {

using test::ServiceTest;

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

TEST_F(ServiceTest, PostCarriesTheBodyOneContentTypeAndBasicCredentials) {
  server.answer("/v1/build", "{\"code\":0}");
  HttpTransport transport;
  std::string body = "{\n   \"xing\" : \"李\"\n}\n";
  EXPECT_EQ(transport.postJson(ServiceEndpoints::url(Endpoint::NameBuild), body, "root", "kelp"),
            "{\"code\":0}");

  auto posts = server.requestsTo("/v1/build");
  ASSERT_EQ(posts.size(), 1u);
  const test::RecordedRequest& post = posts[0];
  EXPECT_EQ(post.method, "POST");
  EXPECT_EQ(post.body, body);
  EXPECT_EQ(post.header("Content-Type"),
            std::vector<std::string>{"application/json;charset=UTF-8"});
  EXPECT_EQ(post.header("Authorization"), std::vector<std::string>{"Basic cm9vdDprZWxw"});
  // Every other header is one the HTTP library adds on its own.
  for (const auto& [name, value] : post.headers) {
    std::string n = lower(name);
    EXPECT_TRUE(n == "content-type" || n == "authorization" || n == "host" || n == "accept" ||
                n == "content-length" || n == "expect" || n.starts_with("remote_") ||
                n.starts_with("local_"))
        << name << ": " << value;
  }
}

TEST_F(ServiceTest, ErrorPagesAndBrokenTransfersComeBackAsReceived) {
  server.answer("/v1/show", "<html><body>500 Internal Server Error</body></html>", 500,
                "text/html");
  server.on("/v1/luck", [](const httplib::Request&, httplib::Response& res) {
    // Promises 1000 bytes, sends the first 18 and drops the connection.
    res.set_content_provider(1000, "application/json",
                             [](size_t, size_t, httplib::DataSink& sink) {
                               static const std::string part = "{\"code\":0,\"data\":[";
                               sink.write(part.data(), part.size());
                               return false;
                             });
  });
  HttpTransport transport;
  EXPECT_EQ(transport.postJson(ServiceEndpoints::url(Endpoint::NameAnalysis), "{}", "root", "kelp"),
            "<html><body>500 Internal Server Error</body></html>");
  EXPECT_EQ(transport.postJson(ServiceEndpoints::url(Endpoint::NameLuck), "{}", "root", "kelp"),
            "{\"code\":0,\"data\":[");
  EXPECT_FALSE(transport.bodyTooLarge());
}

TEST(TransportTest, NoServerGivesAnEmptyBodyAndATraceLine) {
  setenv("NORVANE_TRACE", "1", 1);
  HttpTransport transport;
  ::testing::internal::CaptureStderr();
  std::string posted = transport.postJson("http://127.0.0.1:1/v1/build", "{}", "root", "kelp");
  std::string trace = ::testing::internal::GetCapturedStderr();
  unsetenv("NORVANE_TRACE");
  EXPECT_EQ(posted, "");
  EXPECT_EQ(trace, "curl_easy_perform error = 7\n");  // could not connect
  EXPECT_EQ(transport.get("http://127.0.0.1:1/system/timenow", "root", "kelp"), "");
  EXPECT_EQ(transport.get("not a url", "root", "kelp"), "");
}

TEST_F(ServiceTest, AnAnswerBeyondTheBoundIsDroppedAndTheNextTransferStartsClean) {
  server.on("/v1/build", [](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("application/json", [](size_t offset, httplib::DataSink& sink) {
      static const std::string chunk(1 << 20, 'a');
      if (offset >= HttpTransport::kMaxBodyBytes + (4u << 20)) {
        sink.done();
        return true;
      }
      return sink.write(chunk.data(), chunk.size());
    });
  });
  server.answer("/v1/show", "{\"code\":0}");
  HttpTransport transport;
  std::string body = transport.postJson(ServiceEndpoints::url(Endpoint::NameBuild), "{}", "root", "kelp");
  EXPECT_TRUE(body.empty());
  EXPECT_TRUE(transport.bodyTooLarge());
  EXPECT_EQ(transferStatus(transport, body), 2);

  body = transport.postJson(ServiceEndpoints::url(Endpoint::NameAnalysis), "{}", "root", "kelp");
  EXPECT_EQ(body, "{\"code\":0}");
  EXPECT_FALSE(transport.bodyTooLarge());

  // A caller's own bound: an answer of exactly that size is kept, one byte
  // more is not.
  for (std::size_t size : {std::size_t{1000}, std::size_t{1001}}) {
    server.answer("/v1/luck", std::string(size, 'x'));
    body = transport.postJson(ServiceEndpoints::url(Endpoint::NameLuck), "{}", "root", "kelp", 1000);
    EXPECT_EQ(body.size(), size == 1000 ? 1000u : 0u) << size;
    EXPECT_EQ(transport.bodyTooLarge(), size > 1000) << size;
  }
}

// A chunked answer of `piece` every `pause`, for `total` (or until the client
// gives up).
test::TestServer::Handler trickle(std::string piece, std::chrono::milliseconds pause,
                                  std::chrono::milliseconds total) {
  return [=](const httplib::Request&, httplib::Response& res) {
    auto end = std::chrono::steady_clock::now() + total;
    res.set_chunked_content_provider("text/plain", [=](size_t, httplib::DataSink& sink) {
      if (std::chrono::steady_clock::now() >= end) {
        sink.done();
        return true;
      }
      std::this_thread::sleep_for(pause);
      return sink.write(piece.data(), piece.size());
    });
  };
}

TEST_F(ServiceTest, TheTimeQueryEndsWithinItsLimitHoweverTheServerBehaves) {
  HttpTransport transport;
  transport.setTimeLimitSeconds(2);
  const auto limit = std::chrono::milliseconds(3000);

  // Silent: accepts the request and answers only after three seconds.
  server.on("/system/timenow", [](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::seconds(3));
    res.set_content("1700000000", "text/plain");
  });
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(fetchServerTime(transport), 0);  // the request goes on with t = 0
  EXPECT_LT(std::chrono::steady_clock::now() - start, limit);

  // Trickling: two digits every half second, for longer than any limit.
  server.on("/system/timenow", trickle("17", std::chrono::milliseconds(500), std::chrono::seconds(30)));
  start = std::chrono::steady_clock::now();
  int t = fetchServerTime(transport);
  EXPECT_LT(std::chrono::steady_clock::now() - start, limit);
  EXPECT_EQ(std::to_string(t).substr(0, 2), "17");  // the part that came is read

  // Slow but finished within the limit: awaited to the end.
  server.on("/slow", trickle("7", std::chrono::milliseconds(100), std::chrono::milliseconds(1200)));
  EXPECT_EQ(transport.get(server.origin() + "/slow", "root", "kelp").substr(0, 8), "77777777");
}

TEST_F(ServiceTest, ATimeAnswerBeyondItsBoundIsDropped) {
  server.setTime(std::string(kMaxTimeAnswerBytes + 1, '1'));
  HttpTransport transport;
  EXPECT_EQ(fetchServerTime(transport), 0);
  EXPECT_TRUE(transport.bodyTooLarge());
  server.setTime(std::string(kMaxTimeAnswerBytes - 10, ' ') + "1700000000");
  EXPECT_EQ(fetchServerTime(transport), 1700000000);
}

TEST(EndpointsTest, BareHostsGetTlsAndExplicitOriginsAreKeptAsWritten) {
  ServiceEndpoints::initialize("", "", "api.example.com");
  EXPECT_FALSE(ServiceEndpoints::usePlainHttp());
  EXPECT_EQ(ServiceEndpoints::url(Endpoint::ServerTime), "https://api.example.com/system/timenow");
  EXPECT_EQ(ServiceEndpoints::url(Endpoint::NameBuild), "https://api.example.com/v1/build");
  EXPECT_EQ(ServiceEndpoints::url(Endpoint::NicknameBuild), "https://api.example.com/v1/child/build");
  EXPECT_EQ(ServiceEndpoints::url(Endpoint::NameAnalysis), "https://api.example.com/v1/show");
  EXPECT_EQ(ServiceEndpoints::url(Endpoint::NicknameAnalysis), "https://api.example.com/v1/child/show");
  EXPECT_EQ(ServiceEndpoints::url(Endpoint::NameLuck), "https://api.example.com/v1/luck");
  EXPECT_EQ(ServiceEndpoints::url(Endpoint::UserLogin), "https://api.example.com/v1/user/login");
  EXPECT_EQ(ServiceEndpoints::url(Endpoint::SmsLogin), "https://api.example.com/sms/login/");

  ServiceEndpoints::initialize("", "", "http://127.0.0.1:8080");
  EXPECT_EQ(ServiceEndpoints::url(Endpoint::NameLuck), "http://127.0.0.1:8080/v1/luck");
  EXPECT_EQ(ServiceEndpoints::serviceOrigin(), "http://127.0.0.1:8080");
}

}  // namespace
}  // namespace norvane

namespace norvane {
namespace {

TEST_F(ServiceTest, TransportsOnManyThreadsAtOnceEachGetTheirOwnAnswer) {
  for (int i = 0; i < 8; ++i)
    server.on("/v1/page" + std::to_string(i), [i](const httplib::Request&, httplib::Response& res) {
      res.set_content("{\"code\":" + std::to_string(i) + "}", "application/json");
    });
  std::vector<std::string> answers(8);
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i)
    threads.emplace_back([&answers, i, origin = server.origin()] {
      HttpTransport transport;  // the first ones race to set up libcurl
      answers[i] = transport.postJson(origin + "/v1/page" + std::to_string(i), "{}", "root", "kelp");
    });
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(answers[i], "{\"code\":" + std::to_string(i) + "}");
}

}  // namespace
}  // namespace norvane
