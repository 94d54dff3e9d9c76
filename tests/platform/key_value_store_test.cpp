#include "platform/key_value_store.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace norvane;

TEST(KeyValueStore, ValuesKeepTheirType) {
  test::TempDir dir;
  KeyValueStore store(dir.file("sub/registry.ini"));
  EXPECT_FALSE(store.exists("Account"));
  ASSERT_TRUE(store.writeText("Account", "13800000000"));
  ASSERT_TRUE(store.writeNumber("LoginType", 1));
  ASSERT_TRUE(store.writeText("NickName", ""));
  EXPECT_EQ(store.readText("Account"), "13800000000");
  EXPECT_EQ(store.readNumber("LoginType"), 1u);
  EXPECT_EQ(store.readText("NickName"), "");  // an empty value still exists
  EXPECT_TRUE(store.exists("NickName"));
  EXPECT_FALSE(store.readNumber("Account").has_value());
  EXPECT_FALSE(store.readText("LoginType").has_value());
}

TEST(KeyValueStore, RemoveAndLineBreaks) {
  test::TempDir dir;
  KeyValueStore store(dir.file("r.ini"));
  store.writeText("a", "one\ntwo");
  EXPECT_EQ(store.readText("a"), "one two");
  EXPECT_TRUE(store.remove("a"));
  EXPECT_TRUE(store.remove("a"));
  EXPECT_FALSE(store.exists("a"));
}

TEST(KeyValueStore, UnwritableStoreFailsQuietly) {
  KeyValueStore store("/proc/norvane-no-such/registry.ini");
  EXPECT_FALSE(store.writeText("a", "b"));
  EXPECT_FALSE(store.readText("a").has_value());
}
