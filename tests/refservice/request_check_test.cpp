// The pieces of the envelope check that the HTTP tests cannot pin down alone.
#include <gtest/gtest.h>

#include "refservice/request_check.h"
#include "refservice_test_support.h"

namespace norvane::refservice::test {
namespace {

TEST(RefServiceSigning, BirthdayDigitsReadTheTextLikeTheClient) {
  struct Row {
    const char* text;
    const char* digits;
  } rows[] = {
      {"2019-3-7 08:05:00", "20190307080500"},
      {"2019-12-25 23:59:00", "20191225235900"},
      {"", "00000000000"},               // nothing read: a single 0 and ten more zeros
      {"2019-3", "20190300000000"},      // fields not read stay 0
      {"2019-3-7 08:123:00", "20190307081200"},  // minutes read with width 2, like the client
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(birthdayDigits(row.text), row.digits);
  }
}

TEST(RefServiceSigning, SignTextMatchesTheClientsPrintf) {
  std::string surname = "欧阳";
  std::string sign = computeSign("%s%s%d%d%s%d%d%d%d%s%s",
                                 {SignValue::str(kKey), SignValue::str(surname), SignValue::num(2), SignValue::num(1),
                                  SignValue::str("20190307080500"), SignValue::num(10), SignValue::num(3),
                                  SignValue::num(1), SignValue::num(-17), SignValue::str("acc"), SignValue::str("tok")});
  EXPECT_EQ(sign, clientSign("%s%s%d%d%s%d%d%d%d%s%s", kKey, surname.c_str(), 2, 1, "20190307080500", 10, 3, 1, -17,
                             "acc", "tok"));
  // A mismatch between format and values gives no sign at all.
  EXPECT_EQ(computeSign("%s%d", {SignValue::str(kKey), SignValue::str("x")}), "");
  EXPECT_EQ(computeSign("%s%s", {SignValue::str(kKey)}), "");
  EXPECT_EQ(computeSign("%s", {SignValue::str(kKey), SignValue::num(1)}), "");
  // The client's buffer holds 4095 characters.
  std::string longText(5000, 'a');
  EXPECT_EQ(formatSignText("%s%s", {SignValue::str(kKey), SignValue::str(longText)}).size(), 4095u);
}

TEST(RefServiceSigning, ChineseTextAndBirthdayChecks) {
  EXPECT_TRUE(isChineseText("李", 1, 2));
  EXPECT_TRUE(isChineseText("欧阳", 1, 2));
  EXPECT_FALSE(isChineseText("欧阳李", 1, 2));
  EXPECT_FALSE(isChineseText("", 1, 2));
  EXPECT_FALSE(isChineseText("Li", 1, 2));
  EXPECT_FALSE(isChineseText("李a", 1, 2));
  EXPECT_FALSE(isChineseText("\xe6\x9d", 1, 2)) << "a cut UTF-8 sequence";
  EXPECT_FALSE(isChineseText("，", 1, 2)) << "punctuation is no character";

  Birthday b;
  EXPECT_TRUE(parseBirthdayText("2024-2-29 23:59:00", b));
  EXPECT_EQ(b.day, 29);
  EXPECT_FALSE(parseBirthdayText("2023-2-29 12:00:00", b));
  EXPECT_FALSE(parseBirthdayText("2023-13-1 12:00:00", b));
  EXPECT_FALSE(parseBirthdayText("2023-1-1 24:00:00", b));
  EXPECT_FALSE(parseBirthdayText("2023-1-1 12:00:00x", b));
  EXPECT_FALSE(parseBirthdayText("2023-1-1", b));
}

}  // namespace
}  // namespace norvane::refservice::test
