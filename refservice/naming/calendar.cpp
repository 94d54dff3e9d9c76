#include "naming/calendar.h"

#include <erfa.h>
#include <erfam.h>

#include <cmath>
#include <cstdio>
#include <regex>

namespace norvane::refservice {

const char* const kStems[10] = {"甲", "乙", "丙", "丁", "戊", "己", "庚", "辛", "壬", "癸"};
const char* const kBranches[12] = {"子", "丑", "寅", "卯", "辰", "巳",
                                   "午", "未", "申", "酉", "戌", "亥"};
const char* const kZodiac[12] = {"鼠", "牛", "虎", "兔", "龙", "蛇",
                                 "马", "羊", "猴", "鸡", "狗", "猪"};

namespace {

constexpr double kBeijingOffsetDays = 8.0 / 24.0;

double wrapDegrees(double d) {
  d = std::fmod(d, 360.0);
  return d < 0 ? d + 360.0 : d;
}
// Difference a - b folded into [-180, 180).
double diffDegrees(double a, double b) { return wrapDegrees(a - b + 180.0) - 180.0; }

void ttOf(double jdUtc, double& tt1, double& tt2) {
  double tai1 = 0, tai2 = 0;
  // Before 1960 ERFA has no UTC; the offset error there is irrelevant for naming.
  eraUtctai(jdUtc, 0.0, &tai1, &tai2);
  eraTaitt(tai1, tai2, &tt1, &tt2);
}

// Apparent ecliptic longitude/latitude of date of a GCRS direction, radians.
void eclipticOfDate(double tt1, double tt2, const double v[3], double& lon, double& lat) {
  double p[3] = {v[0], v[1], v[2]};
  double rm[3][3];
  eraEcm06(tt1, tt2, rm);
  double e[3];
  eraRxp(rm, p, e);
  double r = 0;
  eraC2s(e, &lon, &lat);
  (void)r;
  double dpsi = 0, deps = 0;
  eraNut06a(tt1, tt2, &dpsi, &deps);
  lon += dpsi;
}

int floorDiv(int a, int b) { return (a >= 0) ? a / b : -((-a + b - 1) / b); }
int mod(int a, int b) { return ((a % b) + b) % b; }

bool validDate(int y, int m, int d) {
  if (y < 1901 || y > 2099 || m < 1 || m > 12 || d < 1) return false;
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int dm = days[m - 1];
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) dm = 29;
  return d <= dm;
}

// Beijing calendar day number (JDN of the Beijing date) of a UTC instant.
long beijingDay(double jdUtc) { return static_cast<long>(std::floor(jdUtc + 0.5 + kBeijingOffsetDays)); }

double newMoonNear(double jdUtc) {
  double t = jdUtc;
  for (int i = 0; i < 30; ++i) {
    double d = diffDegrees(moonLongitude(t), sunLongitude(t));
    if (std::fabs(d) < 1e-6) break;
    t -= d / 12.190749;
  }
  return t;
}

// The new moon at or before the Beijing day that contains jdUtc.
double newMoonOnOrBefore(double jdUtc) {
  double elong = wrapDegrees(moonLongitude(jdUtc) - sunLongitude(jdUtc));
  double t = newMoonNear(jdUtc - elong / 12.190749);
  long day = beijingDay(jdUtc);
  while (beijingDay(t) > day) t = newMoonNear(t - 29.530589);
  while (beijingDay(newMoonNear(t + 29.530589)) <= day) t = newMoonNear(t + 29.530589);
  return t;
}

double jdOfBeijingDayStart(long dayNumber) { return dayNumber - 0.5 - kBeijingOffsetDays; }

// True when the lunar month starting on Beijing day a and ending before day b contains a
// principal term (the sun at a multiple of 30°).
bool hasPrincipalTerm(long a, long b) {
  int ka = static_cast<int>(std::floor(sunLongitude(jdOfBeijingDayStart(a)) / 30.0));
  int kb = static_cast<int>(std::floor(sunLongitude(jdOfBeijingDayStart(b)) / 30.0));
  return ka != kb;
}

}  // namespace

bool parseCivilTime(const std::string& text, CivilTime& out) {
  static const std::regex re(R"(^\s*(\d{4})-(\d{1,2})-(\d{1,2})(?:[ T](\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*$)");
  std::smatch m;
  if (!std::regex_match(text, m, re)) return false;
  CivilTime t;
  t.year = std::stoi(m[1]);
  t.month = std::stoi(m[2]);
  t.day = std::stoi(m[3]);
  t.hour = m[4].matched ? std::stoi(m[4]) : 0;
  t.minute = m[5].matched ? std::stoi(m[5]) : 0;
  t.second = m[6].matched ? std::stoi(m[6]) : 0;
  if (!validDate(t.year, t.month, t.day) || t.hour > 23 || t.minute > 59 || t.second > 59) return false;
  out = t;
  return true;
}

double julianDateUtc(const CivilTime& c) {
  double djm0 = 0, djm = 0;
  eraCal2jd(c.year, c.month, c.day, &djm0, &djm);
  return djm0 + djm + (c.hour + c.minute / 60.0 + c.second / 3600.0) / 24.0 - kBeijingOffsetDays;
}

CivilTime beijingTime(double jdUtc) {
  double local = jdUtc + kBeijingOffsetDays;
  // Round to whole seconds first so 59.9999 s never shows as 60.
  double whole = std::floor(local - 0.5);
  long secs = std::lround((local - 0.5 - whole) * 86400.0);
  if (secs >= 86400) {
    secs -= 86400;
    whole += 1;
  }
  int y = 0, mo = 0, d = 0;
  double fd = 0;
  eraJd2cal(whole + 0.5, 0.0, &y, &mo, &d, &fd);
  CivilTime c;
  c.year = y;
  c.month = mo;
  c.day = d;
  c.hour = static_cast<int>(secs / 3600);
  c.minute = static_cast<int>((secs % 3600) / 60);
  c.second = static_cast<int>(secs % 60);
  return c;
}

double sunLongitude(double jdUtc) {
  double tt1 = 0, tt2 = 0;
  ttOf(jdUtc, tt1, tt2);
  double pvh[2][3], pvb[2][3];
  eraEpv00(tt1, tt2, pvh, pvb);
  double s[3] = {-pvh[0][0], -pvh[0][1], -pvh[0][2]};
  double lon = 0, lat = 0;
  eclipticOfDate(tt1, tt2, s, lon, lat);
  // Annual aberration (light time included), scaled by the sun's distance in au.
  lon -= (20.4898 / 3600.0) * ERFA_DD2R / eraPm(s);
  return wrapDegrees(lon * ERFA_DR2D);
}

double moonLongitude(double jdUtc) {
  double tt1 = 0, tt2 = 0;
  ttOf(jdUtc, tt1, tt2);
  double pv[2][3];
  eraMoon98(tt1, tt2, pv);
  double lon = 0, lat = 0;
  eclipticOfDate(tt1, tt2, pv[0], lon, lat);
  return wrapDegrees(lon * ERFA_DR2D);
}

double equationOfTime(double jdUtc) {
  double tt1 = 0, tt2 = 0;
  ttOf(jdUtc, tt1, tt2);
  double lambda = sunLongitude(jdUtc) * ERFA_DD2R;
  double dpsi = 0, deps = 0;
  eraNut06a(tt1, tt2, &dpsi, &deps);
  double eps = eraObl06(tt1, tt2) + deps;
  double alpha = std::atan2(std::sin(lambda) * std::cos(eps), std::cos(lambda));
  double gast = eraGst06a(jdUtc, 0.0, tt1, tt2);
  // Apparent solar time at Greenwich minus UT, in turns, folded to [-0.5, 0.5).
  double ut = jdUtc - 0.5 - std::floor(jdUtc - 0.5);
  double turns = (gast - alpha) / ERFA_D2PI + 0.5 - ut;
  turns -= std::floor(turns + 0.5);
  return turns * 1440.0;
}

double solarTermNear(double target, double jdUtc) {
  double t = jdUtc;
  for (int i = 0; i < 30; ++i) {
    double d = diffDegrees(target, sunLongitude(t));
    if (std::fabs(d) < 1e-7) break;
    t += d / 0.98564736;
  }
  return t;
}

std::string LunarDate::text() const {
  static const char* const months[12] = {"正", "二", "三", "四", "五", "六",
                                         "七", "八", "九", "十", "冬", "腊"};
  static const char* const tens[4] = {"初", "十", "廿", "三"};
  static const char* const units[10] = {"十", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
  std::string s = pillarText(year) + "年";
  if (leap) s += "闰";
  s += months[(month - 1) % 12];
  s += "月";
  if (day == 10) s += "初十";
  else if (day == 20) s += "二十";
  else if (day == 30) s += "三十";
  else {
    s += tens[day / 10];
    s += units[day % 10];
  }
  return s;
}

LunarDate lunarDate(const CivilTime& beijing) {
  CivilTime noon = beijing;
  noon.hour = 12;
  noon.minute = noon.second = 0;
  double jd = julianDateUtc(noon);
  long day = beijingDay(jd);
  // Winter solstices around the date: the sui runs from the month holding one to the
  // month holding the next.
  CivilTime dec{beijing.year, 12, 21, 12, 0, 0};
  double wsThis = solarTermNear(270.0, julianDateUtc(dec));
  CivilTime decPrev{beijing.year - 1, 12, 21, 12, 0, 0};
  double wsPrev = solarTermNear(270.0, julianDateUtc(decPrev));
  double wsStart = wsPrev, wsEnd = wsThis;
  if (beijingDay(wsThis) <= day) {
    CivilTime decNext{beijing.year + 1, 12, 21, 12, 0, 0};
    wsStart = wsThis;
    wsEnd = solarTermNear(270.0, julianDateUtc(decNext));
  }
  double m11 = newMoonOnOrBefore(wsStart);
  double m11next = newMoonOnOrBefore(wsEnd);
  if (day >= beijingDay(m11next)) {  // the date lies in the month holding the next solstice
    m11 = m11next;
    CivilTime decNext{beijing.year + 1, 12, 21, 12, 0, 0};
    m11next = newMoonOnOrBefore(solarTermNear(270.0, julianDateUtc(decNext)));
  }
  int months = static_cast<int>(std::lround((m11next - m11) / 29.530589));
  bool leapSui = months == 13;
  bool leapFound = false;
  int number = 11;
  double start = m11;
  LunarDate result;
  for (int i = 0; i < months; ++i) {
    double next = newMoonNear(start + 29.530589);
    long a = beijingDay(start), b = beijingDay(next);
    bool leap = false;
    if (i > 0) {
      if (leapSui && !leapFound && !hasPrincipalTerm(a, b)) {
        leap = true;
        leapFound = true;
      } else {
        number = number % 12 + 1;
      }
    }
    if (day >= a && day < b) {
      result.month = number;
      result.leap = leap;
      result.day = static_cast<int>(day - a) + 1;
      break;
    }
    start = next;
  }
  // Months 11 and 12 that fall early in the calendar year belong to the previous lunar year.
  int lunarYear = beijing.year;
  if (result.month >= 11 && beijing.month <= 6) lunarYear -= 1;
  result.year = mod(lunarYear - 4, 60);
  return result;
}

BirthChart computeChart(const CivilTime& beijing, double longitude) {
  BirthChart c;
  c.beijing = beijing;
  double jd = julianDateUtc(beijing);
  c.longitudeMinutes = (longitude - 120.0) * 4.0;
  c.equationMinutes = equationOfTime(jd);
  c.trueSolar = beijingTime(jd + (c.longitudeMinutes + c.equationMinutes) / 1440.0);
  c.sunDegrees = sunLongitude(jd);

  // Year: before the sun reaches 315° in January/February, the previous year.
  int year = beijing.year;
  if (beijing.month <= 2 && c.sunDegrees < 315.0 && c.sunDegrees > 180.0) year -= 1;
  c.pillars[0] = mod(year - 4, 60);
  // Month: 寅 month from 315°, one branch per 30°.
  int monthFromYin = static_cast<int>(std::floor(wrapDegrees(c.sunDegrees - 315.0) / 30.0));
  int yearStem = stemOf(c.pillars[0]);
  int monthStem = mod(yearStem * 2 + 2 + monthFromYin, 10);
  int monthBranch = mod(2 + monthFromYin, 12);
  // Sexagenary index from stem and branch (same parity): the i with i%10=s and i%12=b.
  auto sexagenary = [](int s, int b) { return mod(6 * s - 5 * b, 60); };
  c.pillars[1] = sexagenary(monthStem, monthBranch);
  // Day and hour from true solar time; from 23:00 the next day.
  CivilTime ts = c.trueSolar;
  double djm0 = 0, djm = 0;
  eraCal2jd(ts.year, ts.month, ts.day, &djm0, &djm);
  long jdn = static_cast<long>(djm) + 2400001L;
  if (ts.hour >= 23) jdn += 1;
  c.pillars[2] = static_cast<int>((jdn + 49) % 60);
  int hourBranch = ((ts.hour + 1) / 2) % 12;
  int hourStem = mod(stemOf(c.pillars[2]) * 2 + hourBranch, 10);
  c.pillars[3] = sexagenary(hourStem, hourBranch);
  c.lunar = lunarDate(beijing);
  c.trueSolarLunar = lunarDate(ts);
  (void)floorDiv;
  return c;
}

std::string pillarText(int i) { return std::string(kStems[mod(i, 10)]) + kBranches[mod(i, 12)]; }
int stemOf(int i) { return mod(i, 10); }
int branchOf(int i) { return mod(i, 12); }

std::string starSign(int month, int day) {
  // First day of each sign in the calendar month (Capricorn runs over the year end).
  static const int starts[12] = {20, 19, 21, 20, 21, 22, 23, 23, 23, 24, 23, 22};
  static const char* const signs[12] = {"水瓶座", "双鱼座", "白羊座", "金牛座", "双子座", "巨蟹座",
                                        "狮子座", "处女座", "天秤座", "天蝎座", "射手座", "摩羯座"};
  if (month < 1 || month > 12) return {};
  int idx = day >= starts[month - 1] ? month - 1 : (month + 10) % 12;
  return signs[idx];
}

}  // namespace norvane::refservice
