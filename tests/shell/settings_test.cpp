#include "shell/settings.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace norvane;
using norvane::test::TempDir;
using norvane::test::writeFile;

TEST(Settings, AppSettingsDefaultsAndValues) {
  TempDir dir;
  AppSettings s;
  LoadAppSettings(s, dir.file("config.ini"));
  EXPECT_EQ(s.path, dir.file("config.ini"));
  EXPECT_EQ(s.CanUpdate, 1);
  EXPECT_EQ(s.SaveInput, 1);
  EXPECT_EQ(s.AwareDPI, 0);
  writeFile(dir.file("config.ini"), "[Main]\nCanUpdate=0\nSaveInput=0\nAwareDPI=1\n");
  LoadAppSettings(s, dir.file("config.ini"));
  EXPECT_EQ(s.CanUpdate, 0);
  EXPECT_EQ(s.SaveInput, 0);
  EXPECT_EQ(s.AwareDPI, 1);
}

TEST(Settings, OemPartnerAndHosts) {
  TempDir dir;
  OemSettings oem;
  LoadOemSettings(oem, dir.file("oem.ini"));
  EXPECT_EQ(oem.partnerId, 1);
  EXPECT_EQ(oem.hosts.service, defaultHosts().service);
  writeFile(dir.file("oem.ini"),
            "[Partner]\nId=37\n[Hosts]\nService=http://127.0.0.1:8080/\nUpdate=upd.example.org\n");
  LoadOemSettings(oem, dir.file("oem.ini"));
  EXPECT_EQ(oem.partnerId, 37);
  EXPECT_EQ(oem.hosts.service, "http://127.0.0.1:8080");
  EXPECT_EQ(oem.hosts.update, "upd.example.org");
  EXPECT_EQ(oem.hosts.statistics, defaultHosts().statistics);
}

TEST(Settings, SavedInputGoesToConfigIni) {
  TempDir dir;
  appSettings().path = dir.file("config.ini");
  EXPECT_TRUE(WriteSavedInt("Quming", "Sheng", -1));
  EXPECT_TRUE(WriteSavedText("Quming", "Xing", "欧阳"));
  EXPECT_EQ(ReadSavedInt("Quming", "Sheng", 5), -1);
  EXPECT_EQ(ReadSavedText("Quming", "Xing"), "欧阳");
  EXPECT_EQ(ReadSavedInt("Quming", "Xian", 0), 0);
}

TEST(Settings, BirthdayTextRoundTrip) {
  EXPECT_EQ(formatBirthday(2021, 5, 3, 7, 5), "2021-5-3 07:05:00");
  struct Case { const char* text; int fields; BirthDateTime expected; } cases[] = {
      {"2021-5-3 07:05:00", 6, {2021, 5, 3, 7, 5, 0}},
      {"2020-12-31 23:59:00", 6, {2020, 12, 31, 23, 59, 0}},
      {"2020-2", 2, {2020, 2, 0, 0, 0, 0}},
      {"garbage", 0, {}},
      {"", 0, {}},
  };
  for (const auto& c : cases) {
    BirthDateTime b;
    EXPECT_EQ(parseBirthday(c.text, b), c.fields) << c.text;
    EXPECT_EQ(b.year, c.expected.year);
    EXPECT_EQ(b.month, c.expected.month);
    EXPECT_EQ(b.day, c.expected.day);
    EXPECT_EQ(b.hour, c.expected.hour);
    EXPECT_EQ(b.minute, c.expected.minute);
  }
}
