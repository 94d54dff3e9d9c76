// The signed envelope: digests, signatures, the birthday digits, the
// server clock, the request layout and the classification of answers.
#include "service/envelope.h"
#include "service/json_access.h"
#include "service/service_fixture.h"

#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <vector>

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

TEST(ParseJsonTest, AcceptsCommentsAndRefusesGarbage) {
  Json::Value doc;
  EXPECT_TRUE(parseJson("// note\n{\"code\":0 /* inline */}", doc));
  EXPECT_EQ(doc["code"].asInt(), 0);
  EXPECT_FALSE(parseJson("<html>500</html>", doc));
  EXPECT_FALSE(parseJson("{\"code\":0,", doc));
}

std::string repeated(const std::string& unit, std::size_t times, const std::string& separator = "") {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) text += (i ? separator : "") + unit;
  return text;
}

TEST(ParseJsonTest, RefusesDocumentsBeyondTheValueAndNestingLimits) {
  const std::size_t values = kJsonValueLimit;
  const unsigned depth = kJsonNestingLimit;
  struct Case {
    const char* what;
    std::string text;
    bool accepted;
  } cases[] = {
      {"nested to the limit", std::string(depth, '[') + std::string(depth, ']'), true},
      {"a value inside the deepest array",
       std::string(depth, '[') + "\"x\"" + std::string(depth, ']'), true},
      {"nested one deeper", std::string(depth + 1, '[') + std::string(depth + 1, ']'), false},
      {"objects nested one deeper", repeated("{\"a\":", depth + 1) + "1" + std::string(depth + 1, '}'),
       false},
      {"nested a hundred thousand deep", std::string(100000, '[') + std::string(100000, ']'), false},
      {"an array and its elements at the limit", "[" + repeated("0", values - 1, ",") + "]", true},
      {"one element more", "[" + repeated("0", values, ",") + "]", false},
      {"many small nests side by side", "[" + repeated("[[[[]]]]", values / 4, ",") + "]", false},
      {"member names count as values", "{" + repeated("\"k\":0", values / 2, ",") + "}", false},
      {"literals count", "[" + repeated("true", values, ",") + "]", false},
      // Brackets inside strings and comments build nothing.
      {"brackets in a string", "[\"" + std::string(100000, '[') + "\"]", true},
      {"brackets in comments",
       "/* " + std::string(100000, '[') + " */ [1] // " + std::string(100000, '{'), true},
      {"a quote in a comment", "[/* \" */ \"" + std::string(100000, '[') + "\"]", true},
  };
  for (const Case& c : cases) {
    Json::Value doc;
    EXPECT_EQ(parseJson(c.text, doc), c.accepted) << c.what;
  }
}

TEST(ParseJsonTest, LoneSurrogatesAndInvalidBytesBecomeReplacementCharacters) {
  const std::string fffd = "\xEF\xBF\xBD";
  struct Case {
    std::string escaped;  // the text between the quotes, as JSON
    std::string decoded;
  } cases[] = {
      {R"(x\uDC00y)", "x" + fffd + "y"},
      {R"(\uDFFF)", fffd},
      {R"(\uD800)", fffd},
      {R"(\uD800y)", fffd + "y"},
      {R"(\uDBFF\u0041)", fffd + "A"},
      {R"(\uDE00\uD83D)", fffd + fffd},
      {R"(\uD83D\uD83D\uDE00)", fffd + "\xF0\x9F\x98\x80"},
      {R"(\uD83D\uDE00)", "\xF0\x9F\x98\x80"},
      {R"(\ud800\udc00)", "\xF0\x90\x80\x80"},
      {R"(\u00e9\u660E)", "é明"},
      {R"(\\uDC00)", "\\uDC00"},  // an escaped backslash, then plain text
      {R"(\\\uDC00)", "\\" + fffd},
      {R"(\"\uDC00)", "\"" + fffd},
      {"\xED\xB0\x80", fffd + fffd + fffd},  // an encoded surrogate, byte by byte
      {"a\xFF" "b", "a" + fffd + "b"},
      {"\xE6\x98", fffd + fffd},
  };
  for (const Case& c : cases) {
    const std::string quoted = "\"" + c.escaped + "\"";
    Json::Value doc;
    ASSERT_TRUE(parseJson("/* " + quoted + " */ {" + quoted + ":[" + quoted + "]}", doc)) << c.escaped;
    ASSERT_EQ(doc.getMemberNames(), std::vector<std::string>{c.decoded}) << c.escaped;
    EXPECT_EQ(doc[c.decoded][0].asString(), c.decoded) << c.escaped;
  }
}

TEST(ParseJsonTest, AnyMixOfEscapesAndBytesGivesWellFormedText) {
  const char* const pieces[] = {"\\uD800", "\\uDBFF", "\\uDC00", "\\uDFFF", "\\uD83D\\uDE00",
                                "\\\\",    "\\\"",    "\\u0041", "\\u0000", "\\n",
                                "明",      "a",       "\xED\xA0\x80", "\xFF", "\xC0\x80",
                                "\xF4\x90\x80\x80", "/*", "//", "[", "{"};
  std::mt19937 random(13);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
  std::uniform_int_distribution<int> length(0, 12);
  for (int round = 0; round < 3000; ++round) {
    auto text = [&] {
      std::string s = "\"";
      for (int n = length(random); n > 0; --n) s += pieces[pick(random)];
      return s + "\"";
    };
    std::string document = "{" + text() + ":[" + text() + "," + text() + "]," + text() + ":" + text() + "}";
    Json::Value doc;
    ASSERT_TRUE(parseJson(document, doc)) << document;
    std::vector<std::string> texts;
    test::collectTexts(doc, texts);
    for (const std::string& t : texts) ASSERT_TRUE(isValidUtf8(t)) << document;
  }
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
