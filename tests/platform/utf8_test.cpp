#include "platform/utf8.h"

#include <gtest/gtest.h>

using namespace norvane;

TEST(Utf8, FromUtf8RepairsInvalidInputAndStopsAtZero) {
  struct Case { std::string in; std::string out; } cases[] = {
      {"李白", "李白"},
      {"a\xff" "b", "a\xEF\xBF\xBD" "b"},
      {"\xE6\x9D", "\xEF\xBF\xBD\xEF\xBF\xBD"},          // truncated sequence
      {"\xC0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD"},          // overlong
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // surrogate
      {std::string("ab\0cd", 5), "ab"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fromUtf8(c.in), c.out);
    EXPECT_TRUE(isValidUtf8(fromUtf8(c.in)));
  }
}

TEST(Utf8, RepairKeepsZeroBytesAndValidText) {
  EXPECT_EQ(repairUtf8(std::string("a\0\xff" "b", 4)), std::string("a\0\xEF\xBF\xBD" "b", 6));
  EXPECT_EQ(repairUtf8("\xED\xB0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  const std::string valid = "欧阳𠀀\x7f";
  EXPECT_EQ(repairUtf8(valid), valid);
}

TEST(Utf8, LengthAndPrefixCountCharacters) {
  EXPECT_EQ(utf8Length("欧阳a"), 3u);
  EXPECT_EQ(utf8Prefix("欧阳明", 2), "欧阳");
  EXPECT_EQ(utf8Prefix("ab", 5), "ab");
  EXPECT_EQ(utf8ToCodePoints("阳"), std::u32string(1, U'阳'));
  EXPECT_EQ(codePointToUtf8(U'𠀀'), "𠀀");
}
