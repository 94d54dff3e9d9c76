#pragma once
// Birth-time astronomy and the traditional calendar: true solar time, the sun's
// apparent longitude (solar terms), the eight characters (four pillars) and the
// lunar date.
//
// Conventions:
// - Input times are Beijing time (UTC+8) as shown on the clock at the birth place.
// - Year and month pillars follow the sun at the real instant of birth: the year
//   changes when the sun reaches 315° (立春), the month at each 节 (315°, 345°, 15°...).
// - Day and hour pillars follow true solar time at the birth longitude (mean solar
//   time by the longitude's offset from 120°E, plus the equation of time).
// - 23:00 rule: from 23:00 true solar time the day pillar already is the next day's
//   (the 子 hour opens the day), and the hour stem follows that next day.
#include <string>

namespace norvane::refservice {

struct CivilTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// "Y-M-D HH:MM:SS" (seconds optional, no leading zeros needed). Years 1901..2099, real
// calendar dates. False on anything else.
bool parseCivilTime(const std::string& text, CivilTime& out);

// Julian date (UTC) of a Beijing civil time.
double julianDateUtc(const CivilTime& beijing);
// Beijing civil time of a UTC Julian date (seconds rounded).
CivilTime beijingTime(double jdUtc);

// Apparent geocentric ecliptic longitude of the sun, degrees in [0, 360).
double sunLongitude(double jdUtc);
// Apparent geocentric ecliptic longitude of the moon, degrees in [0, 360).
double moonLongitude(double jdUtc);
// Equation of time (apparent minus mean solar time), minutes.
double equationOfTime(double jdUtc);
// The next instant (UTC JD) at or after jdUtc - 20 days near which the sun reaches
// the given longitude; jdUtc must lie within a few days of it.
double solarTermNear(double targetDegrees, double jdUtc);

struct LunarDate {
  int year = 0;        // sexagenary index of the lunar year (0 = 甲子)
  int month = 1;       // 1..12
  bool leap = false;
  int day = 1;         // 1..30
  std::string text() const;  // "乙酉年冬月廿三" / "甲辰年闰四月初一"
};
LunarDate lunarDate(const CivilTime& beijing);

struct BirthChart {
  CivilTime beijing;         // as given
  CivilTime trueSolar;       // corrected civil time at the birth place
  double longitudeMinutes = 0;  // (longitude - 120) * 4
  double equationMinutes = 0;   // equation of time
  int pillars[4] = {0, 0, 0, 0};  // year, month, day, hour: sexagenary indices (0 = 甲子)
  double sunDegrees = 0;
  LunarDate lunar;           // of the Beijing date
  LunarDate trueSolarLunar;  // of the true solar date
};
BirthChart computeChart(const CivilTime& beijing, double longitude);

// Names.
extern const char* const kStems[10];      // 甲..癸
extern const char* const kBranches[12];   // 子..亥
extern const char* const kZodiac[12];     // 鼠..猪, by branch
std::string pillarText(int sexagenaryIndex);  // "甲子"
int stemOf(int sexagenaryIndex);
int branchOf(int sexagenaryIndex);

// Western star sign of a calendar date ("白羊座"...).
std::string starSign(int month, int day);

}  // namespace norvane::refservice
