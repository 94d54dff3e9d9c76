// The signed envelope: digests, signatures, the birthday digits, the
// server clock, the request layout and the classification of answers.
#include "service/envelope.h"
#include "service/json_access.h"
#include "service/service_fixture.h"

#include <gtest/gtest.h>

namespace norvane {
namespace {

using test::kKey;
using test::referenceMd5;
using test::ServiceTest;

TEST(Md5Test, MatchesTheKnownDigests) {
  struct Case {
    const char* text;
    const char* digest;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const Case& c : cases) EXPECT_EQ(md5Hex(c.text), c.digest) << c.text;
}

TEST(SignRequestTest, SignsTheKeyFollowedByTheValuesInFormatOrder) {
  std::string sign = signRequest("%s%s%s%d%s%d%d", "欧阳", "明", 2, "20190307080500", 1, 1700000000);
  EXPECT_EQ(sign, referenceMd5(kKey + "欧阳明220190307080500" "1" "1700000000"));
  EXPECT_EQ(sign.size(), 32u);
  EXPECT_EQ(sign.find_first_not_of("0123456789abcdef"), std::string::npos);
}

TEST(SignRequestTest, CutsTheSignTextAt4095Bytes) {
  std::string longName(5000, 'a');
  std::string sign = signRequest("%s%s%d", longName.c_str(), 7);
  EXPECT_EQ(sign, referenceMd5((kKey + longName).substr(0, 4095)));
}

TEST(BirthdayDigitsTest, PadsEveryFieldButTheYear) {
  struct Case {
    const char* birthday;
    const char* digits;
  } cases[] = {
      {"2019-3-7 08:05:00", "20190307080500"},
      {"2020-12-28 23:59:00", "20201228235900"},
      {"not a date", "00000000000"},
      {"", "00000000000"},
      {"2020-2", "20200200000000"},
  };
  for (const Case& c : cases) EXPECT_EQ(birthdayDigits(c.birthday), c.digits) << c.birthday;
}

TEST(StatusTextKeyTest, MapsEveryStatusToItsMessageKey) {
  struct Case {
    ServiceStatus status;
    const char* key;
  } cases[] = {
      {1, "QumingFail"},   {2, "QumingFail"},        {3, "UnknowErr"},
      {10, "NoData"},      {1001, "SignErr"},        {1002, "SignExpired"},
      {1003, "MissingParameter"}, {1004, "ParameterError"}, {500, "QumingFail"},
      {-1, "QumingFail"},
  };
  for (const Case& c : cases) EXPECT_STREQ(statusTextKey(c.status), c.key) << c.status;
}

TEST(WriteStyledJsonTest, WritesMembersInNameOrderWithThreeSpacesAndRawUtf8) {
  Json::Value body(Json::objectValue);
  body["xing"] = "欧阳";
  body["b"] = "2020-2-8 09:05:00";
  body["quote"] = "a\"b\\u00e9\n";
  body["emoji"] = "\xF0\x9F\x98\x80";
  body["set"]["ny"] = 1;
  body["set"]["cyz"] = 2;
  body["z1"].append("明");
  EXPECT_EQ(writeStyledJson(body),
            "{\n"
            "   \"b\" : \"2020-2-8 09:05:00\",\n"
            "   \"emoji\" : \"\xF0\x9F\x98\x80\",\n"
            "   \"quote\" : \"a\\\"b\\\\u00e9\\n\",\n"
            "   \"set\" : {\n"
            "      \"cyz\" : 2,\n"
            "      \"ny\" : 1\n"
            "   },\n"
            "   \"xing\" : \"欧阳\",\n"
            "   \"z1\" : [ \"明\" ]\n"
            "}\n");
}

TEST(ParseJsonTest, AcceptsCommentsAndRefusesGarbageAndDeepNesting) {
  Json::Value doc;
  EXPECT_TRUE(parseJson("// note\n{\"code\":0 /* inline */}", doc));
  EXPECT_EQ(doc["code"].asInt(), 0);
  EXPECT_FALSE(parseJson("<html>500</html>", doc));
  EXPECT_FALSE(parseJson("{\"code\":0,", doc));
  EXPECT_FALSE(parseJson(std::string(100000, '[') + std::string(100000, ']'), doc));
  EXPECT_FALSE(parseJson(std::string(300, '[') + std::string(300, ']'), doc));
  EXPECT_TRUE(parseJson(std::string(200, '[') + std::string(200, ']'), doc));
}

TEST(JsonAccessTest, WrongTypesReadAsAbsent) {
  Json::Value doc;
  ASSERT_TRUE(parseJson(R"({"s":"text","i":7,"d":-3.9,"big":1e300,"u":4294967295,
                            "b":true,"o":{"k":1},"a":[1,2],"n":null})",
                        doc));
  EXPECT_EQ(jsonText(jsonMember(doc, "s")), "text");
  for (const char* name : {"i", "d", "b", "o", "a", "n", "missing"})
    EXPECT_EQ(jsonText(jsonMember(doc, name)), "") << name;
  EXPECT_EQ(jsonInt(jsonMember(doc, "i")), 7);
  EXPECT_EQ(jsonInt(jsonMember(doc, "d")), -3);
  for (const char* name : {"s", "big", "u", "b", "o", "a", "n", "missing"})
    EXPECT_EQ(jsonInt(jsonMember(doc, name)), 0) << name;
  EXPECT_DOUBLE_EQ(jsonDouble(jsonMember(doc, "d")), -3.9);
  EXPECT_EQ(jsonDouble(jsonMember(doc, "s")), 0.0);
  EXPECT_EQ(jsonArray(jsonMember(doc, "a")).size(), 2u);
  EXPECT_EQ(jsonArray(jsonMember(doc, "o")).size(), 0u);
  // Members of values that are not objects are absent, not a failure.
  EXPECT_TRUE(jsonMember(jsonMember(doc, "a"), "k").isNull());
  EXPECT_TRUE(jsonMember(jsonMember(doc, "s"), "k").isNull());
  EXPECT_FALSE(jsonHasMember(jsonMember(doc, "a"), "k"));
}

TEST(ClassifyResponseTest, GivesTheStatusOfEachKindOfAnswer) {
  struct Case {
    std::string answer;
    ServiceStatus status;
  } cases[] = {
      {"", 1},
      {"<html><body>Internal Server Error</body></html>", 2},
      {"{\"code\":0,\"data\":[", 2},
      {"{\"data\":{\"a\":1}}", 3},
      {"[1,2,3]", 3},
      {"\"text\"", 3},
      {"42", 3},
      {"{\"code\":\"0\"}", 3},
      {"{\"code\":{\"x\":1}}", 3},
      {"{\"code\":1002,\"msg\":\"expired\"}", 1002},
      {"{\"code\":-5}", -5},
      {"{\"code\":0,\"data\":{}}", 0},
  };
  for (const Case& c : cases) {
    Json::Value doc;
    EXPECT_EQ(classifyResponse(c.answer, doc), c.status) << c.answer;
    if (c.status == 0) {
      EXPECT_TRUE(doc.isObject());
    }
  }
}

TEST_F(ServiceTest, ServerTimeIsReadLikeAtoi) {
  struct Case {
    std::string body;
    int t;
  } cases[] = {
      {"1700000000\n", 1700000000}, {"  42abc", 42}, {"-17", -17},
      {"", 0},                      {"<html>", 0},   {"2147483647", 2147483647},
  };
  for (const Case& c : cases) {
    server.setTime(c.body);
    HttpTransport transport;
    EXPECT_EQ(fetchServerTime(transport), c.t) << c.body;
  }
  auto gets = server.requestsTo("/system/timenow");
  ASSERT_EQ(gets.size(), std::size(cases));
  EXPECT_EQ(gets[0].method, "GET");
  EXPECT_EQ(gets[0].header("Authorization"), std::vector<std::string>{"Basic cm9vdDprZWxw"});
}

TEST(ServerTimeTest, NoServerGivesZero) {
  // Nothing listens on port 1 of the loopback address.
  ServiceEndpoints::initialize("", "", "http://127.0.0.1:1");
  HttpTransport transport;
  EXPECT_EQ(fetchServerTime(transport), 0);
}

}  // namespace
}  // namespace norvane
