#include "platform/folders.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace norvane;

TEST(Folders, JoinPathAddsExactlyOneSeparatorAndNormalisesNothing) {
  EXPECT_EQ(JoinPath("/a/b", "config.ini"), "/a/b/config.ini");
  EXPECT_EQ(JoinPath("/a/b/", "x"), "/a/b//x");
  EXPECT_EQ(JoinPath("/a", ""), "/a/");
}

TEST(Folders, DataFolderFollowsXdgConfigHome) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  std::string restore = saved ? saved : "";
  setenv("XDG_CONFIG_HOME", "/tmp/xdg-here/", 1);
  EXPECT_EQ(locateDataFolder(), "/tmp/xdg-here/Norvane");
  setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(locateDataFolder(), "/home/u/.config/Norvane");
  if (saved) setenv("XDG_CONFIG_HOME", restore.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
}

TEST(Folders, ProgramFolderIsTheTestExecutablesFolder) {
  EXPECT_EQ(locateProgramFolder(), NORVANE_TEST_BIN_DIR);
}
