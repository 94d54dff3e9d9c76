#include "toolkit/skin_archive.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "toolkit/skin_fixture.h"

namespace norvane::toolkit {
namespace {

TEST(SkinArchive, LooksFilesUpByNameFromMemory) {
  SkinArchive skin;
  ASSERT_TRUE(skin.loadBytes(test::makeZip({{"skin.xml", "<ui/>"}, {"images/logo.png", std::string("\x89PNG\0x", 6)}})));
  bool ok = false;
  EXPECT_EQ(skin.file(QStringLiteral("skin.xml"), &ok), QByteArray("<ui/>"));
  EXPECT_TRUE(ok);
  EXPECT_EQ(skin.file(QStringLiteral("images/logo.png"), &ok), QByteArray("\x89PNG\0x", 6));
  EXPECT_TRUE(ok);
  EXPECT_TRUE(skin.file(QStringLiteral("missing.xml"), &ok).isEmpty());
  EXPECT_FALSE(ok);
  EXPECT_FALSE(skin.contains(QStringLiteral("SKIN.XML")));  // names are exact
  EXPECT_EQ(skin.fileNames().size(), 2);
}

TEST(SkinArchive, EmptyOrBrokenArchivesCountAsMissing) {
  struct Case {
    const char* what;
    QByteArray bytes;
  };
  QByteArray valid = test::makeZip({{"skin.xml", "<ui/>"}});
  const Case cases[] = {
      {"no bytes", QByteArray()},
      {"not a zip", QByteArray("this is not a zip archive at all")},
      {"zip without files", test::makeZip({})},
      {"cut short", valid.left(valid.size() / 2)},
  };
  for (const Case& c : cases) {
    SkinArchive skin;
    EXPECT_FALSE(skin.loadBytes(c.bytes)) << c.what;
    EXPECT_FALSE(skin.isLoaded()) << c.what;
    EXPECT_TRUE(skin.file(QStringLiteral("skin.xml")).isEmpty()) << c.what;
  }
}

TEST(SkinArchive, ReplacementFromTheEnvironmentWinsAndAMissingOneIsMissing) {
  test::TempDir dir;
  QByteArray zip = test::makeZip({{"theme.xml", "x"}});
  test::writeFile(dir.file("theme.zip"), zip.toStdString());
  SkinArchive skin;
  qputenv("NORVANE_SKIN_ARCHIVE", QByteArray::fromStdString(dir.file("theme.zip")));
  EXPECT_TRUE(skin.loadDefault());
  EXPECT_TRUE(skin.contains(QStringLiteral("theme.xml")));
  qputenv("NORVANE_SKIN_ARCHIVE", QByteArray::fromStdString(dir.file("gone.zip")));
  EXPECT_FALSE(skin.loadDefault());
  EXPECT_FALSE(skin.isLoaded());
  qunsetenv("NORVANE_SKIN_ARCHIVE");
}

TEST(SkinArchive, TheBuiltArchiveHoldsTheLayouts) {
  SkinArchive skin;
  ASSERT_TRUE(skin.loadFile(QStringLiteral(NORVANE_SKIN_ZIP_PATH)));
  for (const char* name : {"skin.xml", "dlg_message.xml", "images/info.png", "images/error.png", "images/warn.png"})
    EXPECT_TRUE(skin.contains(QString::fromLatin1(name))) << name;
}

}  // namespace
}  // namespace norvane::toolkit
