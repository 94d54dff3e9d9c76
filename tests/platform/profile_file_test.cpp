#include "platform/profile_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <thread>
#include <vector>

using namespace norvane;
using norvane::test::TempDir;
using norvane::test::readFile;
using norvane::test::writeFile;

TEST(ProfileFile, MissingFileSectionOrKeyGiveTheDefault) {
  TempDir dir;
  std::string path = dir.file("config.ini");
  EXPECT_EQ(readProfileInt(path, "Main", "SaveInput", 1), 1);
  EXPECT_EQ(readProfileString(path, "Main", "X", "dflt"), "dflt");
  writeFile(path, "[Main]\nCanUpdate=0\n");
  EXPECT_EQ(readProfileInt(path, "Other", "CanUpdate", 7), 7);
  EXPECT_EQ(readProfileInt(path, "Main", "SaveInput", 1), 1);
  EXPECT_EQ(readProfileInt(path, "Main", "CanUpdate", 1), 0);
}

TEST(ProfileFile, IntegerValuesReadTheirLeadingNumber) {
  TempDir dir;
  std::string path = dir.file("a.ini");
  writeFile(path, "[S]\nneg=-1\nspaced =  42  \ntrail=12abc\nword=abc\nempty=\n");
  struct Case { const char* key; int expected; } cases[] = {
      {"neg", -1}, {"spaced", 42}, {"trail", 12}, {"word", 0}, {"empty", 0}};
  for (const auto& c : cases) EXPECT_EQ(readProfileInt(path, "S", c.key, 99), c.expected) << c.key;
}

TEST(ProfileFile, NamesMatchWithoutCaseAndFirstKeyWins) {
  TempDir dir;
  std::string path = dir.file("a.ini");
  writeFile(path, "[quming]\r\nXING=张\r\nxing=李\r\n");
  EXPECT_EQ(readProfileString(path, "Quming", "Xing", ""), "张");
}

TEST(ProfileFile, AByteOrderMarkDoesNotHideTheFirstSection) {
  TempDir dir;
  std::string path = dir.file("oem.ini");
  writeFile(path, "\xEF\xBB\xBF[Hosts]\r\nService=http://127.0.0.1:8080\r\n[Partner]\r\nId=7\r\n");
  EXPECT_EQ(readProfileString(path, "Hosts", "Service", ""), "http://127.0.0.1:8080");
  EXPECT_EQ(readProfileInt(path, "Partner", "Id", 1), 7);
  ASSERT_TRUE(writeProfileString(path, "Hosts", "Site", "www"));
  EXPECT_EQ(readFile(path), "[Hosts]\nService=http://127.0.0.1:8080\nSite=www\n[Partner]\nId=7\n");
}

TEST(ProfileFile, WriteCreatesFileAndSectionAndKeepsOtherLines) {
  TempDir dir;
  std::string path = dir.file("config.ini");
  ASSERT_TRUE(writeProfileString(path, "Quming", "Xing", "欧阳"));
  ASSERT_TRUE(writeProfileString(path, "Main", "SaveInput", "0"));
  ASSERT_TRUE(writeProfileString(path, "Quming", "Gender", "2"));
  ASSERT_TRUE(writeProfileString(path, "Quming", "Xing", "李"));
  EXPECT_EQ(readFile(path), "[Quming]\nXing=李\nGender=2\n[Main]\nSaveInput=0\n");
}

TEST(ProfileFile, ValuesAreCutTo259Characters) {
  TempDir dir;
  std::string path = dir.file("a.ini");
  std::string longChinese;
  for (int i = 0; i < 300; ++i) longChinese += "字";
  writeProfileString(path, "S", "k", longChinese);
  std::string read = readProfileString(path, "S", "k", "");
  EXPECT_EQ(read.size(), 259u * 3);
}

TEST(ProfileFile, DeleteRemovesOnlyThatKey) {
  TempDir dir;
  std::string path = dir.file("a.ini");
  writeFile(path, "[S]\na=1\nb=2\n");
  EXPECT_TRUE(deleteProfileKey(path, "S", "a"));
  EXPECT_TRUE(deleteProfileKey(path, "S", "missing"));
  EXPECT_EQ(readFile(path), "[S]\nb=2\n");
}

TEST(ProfileFile, WritesFromSeveralThreadsAreAllKept) {
  // The window thread saves form input while a worker records its own
  // values in the same file: every value must survive.
  TempDir dir;
  std::string path = dir.file("config.ini");
  constexpr int kThreads = 4, kKeys = 60;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int k = 0; k < kKeys; ++k)
        writeProfileString(path, "S" + std::to_string(t), "k" + std::to_string(k), std::to_string(k));
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t)
    for (int k = 0; k < kKeys; ++k)
      ASSERT_EQ(readProfileInt(path, "S" + std::to_string(t), "k" + std::to_string(k), -1), k)
          << "S" << t << "/k" << k;
  // No temporary file is left beside it.
  std::size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
  EXPECT_EQ(files, 1u);
}

TEST(ProfileFile, AValueStaysOnItsLine) {
  TempDir dir;
  std::string path = dir.file("config.ini");
  ASSERT_TRUE(writeProfileString(path, "Quming", "Xing", "李\n[Main]\r\nSaveInput=0"));
  EXPECT_EQ(readProfileInt(path, "Main", "SaveInput", 1), 1);
  EXPECT_EQ(readProfileString(path, "Quming", "Xing", ""), "李 [Main]  SaveInput=0");
  EXPECT_EQ(readFile(path), "[Quming]\nXing=李 [Main]  SaveInput=0\n");
}

TEST(ProfileFile, RewriteKeepsThePermissionsOfTheFile) {
  TempDir dir;
  std::string path = dir.file("registry.ini");
  writeFile(path, "[S]\na=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  ASSERT_TRUE(writeProfileString(path, "S", "b", "2"));
  ASSERT_TRUE(deleteProfileKey(path, "S", "a"));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(readFile(path), "[S]\nb=2\n");
}
