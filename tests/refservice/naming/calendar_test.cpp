// Four pillars, true solar time and lunar dates against known dates.
#include <gtest/gtest.h>

#include "naming/calendar.h"

using namespace norvane::refservice;

namespace {

std::string pillars(const BirthChart& c) {
  return pillarText(c.pillars[0]) + " " + pillarText(c.pillars[1]) + " " + pillarText(c.pillars[2]) + " " +
         pillarText(c.pillars[3]);
}

CivilTime at(const char* text) {
  CivilTime t;
  EXPECT_TRUE(parseCivilTime(text, t)) << text;
  return t;
}

}  // namespace

TEST(FourPillars, KnownBirthsAndTheStartOfSpringBoundary) {
  struct Case {
    const char* time;
    double longitude;
    const char* expected;
  } cases[] = {
      {"2005-12-23 08:37:00", 120, "乙酉 戊子 辛巳 壬辰"},
      // 立春 2024 falls at 16:27 Beijing time: one minute either side changes year and month.
      {"2024-02-04 16:26:00", 120, "癸卯 乙丑 戊戌 庚申"},
      {"2024-02-04 16:28:00", 120, "甲辰 丙寅 戊戌 庚申"},
      // 惊蛰 2024 at 10:22: the month pillar turns from 寅 to 卯, the year stays.
      {"2024-03-05 10:20:00", 120, "甲辰 丙寅 戊辰 丁巳"},
      {"2024-03-05 10:25:00", 120, "甲辰 丁卯 戊辰 丁巳"},
      // 23:00 rule: from 23:00 true solar time the day is the next one (壬午 after 辛巳),
      // and the 子 hour takes that day's stem.
      {"2005-12-23 23:30:00", 120, "乙酉 戊子 壬午 庚子"},
      // The same clock time far west is still 辛巳 day, 亥 hour (true solar time ~21:51).
      {"2005-12-23 23:50:00", 90, "乙酉 戊子 辛巳 己亥"},
      // Far east, a clock time before midnight is already past 23:00 true solar time.
      {"2005-12-23 22:40:00", 135, "乙酉 戊子 壬午 庚子"},
  };
  for (const auto& c : cases) {
    BirthChart chart = computeChart(at(c.time), c.longitude);
    EXPECT_EQ(pillars(chart), c.expected) << c.time << " at " << c.longitude;
  }
}

TEST(FourPillars, SolarTermInstantIsWithinAMinute) {
  // 立春 2024-02-04 16:26:53 Beijing time (published almanac time).
  double jd = solarTermNear(315.0, julianDateUtc(at("2024-02-01 12:00:00")));
  CivilTime t = beijingTime(jd);
  int seconds = t.hour * 3600 + t.minute * 60 + t.second;
  EXPECT_EQ(t.day, 4);
  EXPECT_NEAR(seconds, 16 * 3600 + 26 * 60 + 53, 60);
}

TEST(TrueSolarTime, LongitudeOffsetAndEquationOfTime) {
  // Early February the sun runs about 14 minutes slow, early November about 16 fast.
  EXPECT_NEAR(equationOfTime(julianDateUtc(at("2024-02-11 12:00:00"))), -14.2, 0.3);
  EXPECT_NEAR(equationOfTime(julianDateUtc(at("2024-11-03 12:00:00"))), 16.4, 0.3);
  BirthChart c = computeChart(at("2024-02-11 12:00:00"), 105.0);  // 60 minutes west of 120°E
  EXPECT_DOUBLE_EQ(c.longitudeMinutes, -60.0);
  EXPECT_EQ(c.trueSolar.hour, 10);
  EXPECT_NEAR(c.trueSolar.minute, 46, 1);
}

TEST(LunarDate, NewYearsAndLeapMonths) {
  struct Case {
    const char* date;
    const char* expected;
  } cases[] = {
      {"2005-12-23 12:00:00", "乙酉年冬月廿三"},
      {"2024-02-09 12:00:00", "癸卯年腊月三十"},
      {"2024-02-10 12:00:00", "甲辰年正月初一"},
      {"2023-03-22 12:00:00", "癸卯年闰二月初一"},
      {"2023-04-20 12:00:00", "癸卯年三月初一"},
      {"2020-05-23 12:00:00", "庚子年闰四月初一"},
      // The leap month after the winter solstice of 2033.
      {"2033-12-22 12:00:00", "癸丑年闰冬月初一"},
      {"2034-01-20 12:00:00", "癸丑年腊月初一"},
  };
  for (const auto& c : cases) EXPECT_EQ(lunarDate(at(c.date)).text(), c.expected) << c.date;
}

TEST(CivilTimeText, AcceptsTheBirthdayFormatAndRejectsOthers) {
  CivilTime t;
  ASSERT_TRUE(parseCivilTime("2024-2-4 06:05:00", t));
  EXPECT_EQ(t.year, 2024);
  EXPECT_EQ(t.month, 2);
  EXPECT_EQ(t.day, 4);
  EXPECT_EQ(t.hour, 6);
  EXPECT_EQ(t.minute, 5);
  for (const char* bad : {"", "2024-02-30 10:00:00", "2023-02-29 10:00:00", "2024-13-01 10:00:00",
                          "2024-01-01 24:00:00", "2024-01-01 10:60:00", "1800-01-01 10:00:00",
                          "20240101", "2024-01-01 10:00:00; drop", "２０２４-01-01 10:00:00"}) {
    EXPECT_FALSE(parseCivilTime(bad, t)) << bad;
  }
  EXPECT_TRUE(parseCivilTime("2024-02-29 23:59:59", t));
}

TEST(StarSign, BoundaryDays) {
  struct Case {
    int month, day;
    const char* sign;
  } cases[] = {{3, 20, "双鱼座"}, {3, 21, "白羊座"}, {12, 21, "射手座"}, {12, 22, "摩羯座"},
               {1, 19, "摩羯座"}, {1, 20, "水瓶座"}, {10, 23, "天秤座"}, {10, 24, "天蝎座"}};
  for (const auto& c : cases) EXPECT_EQ(starSign(c.month, c.day), c.sign) << c.month << "-" << c.day;
}
