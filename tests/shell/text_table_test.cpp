// The language text table: lookups on files written by the build tool's
// writer, on files written here directly with libgsf, and the checked
// formatter for the table's format strings.
#include "shell/text_table.h"

#include <gsf/gsf.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/utf8.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using test::TempDir;
using namespace std::string_literals;

// --- an independent writer: libgsf directly, the scrambling spelled out -----

std::string utf16le(const std::u16string& units) {
  std::string bytes;
  for (char16_t u : units) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

// XOR 0x6B1E into the first unit of every 4-byte group with 4k + 4 < size.
std::string scrambled(std::string bytes) {
  for (std::size_t k = 0; 4 * k + 4 < bytes.size(); ++k) {
    std::uint16_t unit = static_cast<std::uint8_t>(bytes[4 * k]) |
                         (static_cast<std::uint8_t>(bytes[4 * k + 1]) << 8);
    unit ^= 0x6B1E;
    bytes[4 * k] = static_cast<char>(unit & 0xFF);
    bytes[4 * k + 1] = static_cast<char>(unit >> 8);
  }
  return bytes;
}

void writeRawTable(const std::string& path, const std::vector<std::pair<std::string, std::string>>& streams) {
  gsf_init();
  GError* err = nullptr;
  GsfOutput* file = gsf_output_stdio_new(path.c_str(), &err);
  ASSERT_NE(file, nullptr);
  GsfOutfile* storage = gsf_outfile_msole_new(file);
  g_object_unref(file);
  for (const auto& [name, bytes] : streams) {
    GsfOutput* child = gsf_outfile_new_child(storage, name.c_str(), FALSE);
    ASSERT_TRUE(gsf_output_write(child, bytes.size(), reinterpret_cast<const guint8*>(bytes.data())));
    gsf_output_close(child);
    g_object_unref(child);
  }
  gsf_output_close(GSF_OUTPUT(storage));
  g_object_unref(storage);
}

std::string lookup(const std::string& path, const std::string& section, const std::string& key,
                   bool* found = nullptr, std::size_t bufferChars = 260) {
  std::string out = "stale";
  bool ok = LookupTextIn(path, section, key, "", out, bufferChars);
  if (found) *found = ok;
  return out;
}

// --- lookups on tables written by the tool's writer -------------------------

class WrittenTable : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(writeTextTable(path_,
                               {{"Text",
                                 {{"Score", "%0.2f分"},
                                  {"Expr", "a=b=c"},
                                  {"Title", "文本"},
                                  {"Dup", "first"},
                                  {"Dup", "second"},
                                  {"Empty", ""},
                                  {"Wide", "𠀀字\n次行"}}},
                                {"Message", {{"Title", "提示"}, {"NoSurname", "请输入姓氏"}}}},
                               error))
        << error;
  }
  TempDir dir_;
  std::string path_ = dir_.file("cn.dat");
};

TEST_F(WrittenTable, FindsEntriesExactlyAsStored) {
  struct Case {
    const char* section;
    const char* key;
    bool found;
    const char* value;
  } cases[] = {
      {"Text", "Score", true, "%0.2f分"},
      {"Text", "Expr", true, "a=b=c"},        // everything after the first "="
      {"Text", "Dup", true, "first"},         // first of two equal keys
      {"Text", "Empty", true, ""},            // present with an empty value
      {"Text", "Wide", true, "𠀀字\n次行"},  // surrogate pair and line break
      {"Message", "Title", true, "提示"},     // same key, other section
      {"Message", "title", false, ""},        // keys are case-sensitive
      {"Message", "Score", false, ""},        // key of another section
      {"Text", "Scor", false, ""},            // a prefix is not a key
      {"Text", "", false, ""},
      {"Other", "Title", false, ""},          // missing section
  };
  for (const Case& c : cases) {
    bool found = false;
    EXPECT_EQ(lookup(path_, c.section, c.key, &found), c.value) << c.section << "/" << c.key;
    EXPECT_EQ(found, c.found) << c.section << "/" << c.key;
  }
}

TEST_F(WrittenTable, FailedLookupCopiesTheDefault) {
  std::string out;
  EXPECT_FALSE(LookupTextIn(path_, "Text", "Missing", "默认", out));
  EXPECT_EQ(out, "默认");
  EXPECT_FALSE(LookupTextIn(dir_.file("absent.dat"), "Text", "Score", "d", out));
  EXPECT_EQ(out, "d");
  TempDir other;
  test::writeFile(other.file("junk.dat"), std::string(4096, 'x'));
  EXPECT_FALSE(LookupTextIn(other.file("junk.dat"), "Text", "Score", "", out));
  EXPECT_EQ(out, "");
  EXPECT_FALSE(LookupTextIn(other.path(), "Text", "Score", "", out));  // a folder
}

TEST(TextTableCut, ValuesAndDefaultsAreCutToTheBuffer) {
  TempDir dir;
  const std::string path = dir.file("t.dat");
  std::string longValue;
  for (int i = 0; i < 300; ++i) longValue += "字";
  // 258 BMP characters then a surrogate pair that would straddle the cut.
  std::string straddle;
  for (int i = 0; i < 258; ++i) straddle += "a";
  straddle += "𠀀b";
  std::string error;
  ASSERT_TRUE(writeTextTable(path, {{"Text", {{"Long", longValue}, {"Pair", straddle}}}}, error));

  std::string out = lookup(path, "Text", "Long");
  EXPECT_EQ(utf8Length(out), 259u);
  EXPECT_EQ(out, utf8Prefix(longValue, 259));
  EXPECT_EQ(lookup(path, "Text", "Pair"), std::string(258, 'a'));  // pair dropped whole
  EXPECT_EQ(lookup(path, "Text", "Long", nullptr, 4), "字字字");
  bool found = false;
  EXPECT_EQ(lookup(path, "Text", "Long", &found, 1), "");
  EXPECT_TRUE(found);
  EXPECT_FALSE(LookupTextIn(path, "Text", "None", longValue, out, 11));
  EXPECT_EQ(out, utf8Prefix(longValue, 10));
}

// --- files from another writer ---------------------------------------------

TEST(ForeignTable, ReadsScrambledStreamsOfEveryShape) {
  TempDir dir;
  const std::string path = dir.file("foreign.dat");
  // Ends with the empty string; odd number of units so groups and units differ.
  const std::string normal = scrambled(utf16le(u"Title=你好\0NoEq\0Key=值=二\0\0"s));
  writeRawTable(path, {
                          {"Text", normal},
                          // no terminating empty string: the data just ends
                          {"Message", scrambled(utf16le(u"A=1\0B=22"s))},
                          // the first entry is empty: no entries at all
                          {"Empty", scrambled(utf16le(u"\0A=1\0\0"s))},
                          // a trailing odd byte and a partial group
                          {"Odd", scrambled(utf16le(u"K=v\0"s) + "\x01")},
                          {"Zero", ""},
                      });
  EXPECT_EQ(lookup(path, "Text", "Title"), "你好");
  EXPECT_EQ(lookup(path, "Text", "Key"), "值=二");
  bool found = true;
  lookup(path, "Text", "NoEq", &found);
  EXPECT_FALSE(found);
  EXPECT_EQ(lookup(path, "Message", "A"), "1");
  EXPECT_EQ(lookup(path, "Message", "B"), "22");
  lookup(path, "Empty", "A", &found);
  EXPECT_FALSE(found);
  EXPECT_EQ(lookup(path, "Odd", "K"), "v");
  lookup(path, "Zero", "K", &found);
  EXPECT_FALSE(found);
}

// Streams at and beyond the read bound: a full buffer keeps its terminator,
// and an entry cut by the bound is not returned half.
TEST(ForeignTable, StreamsAtTheReadBound) {
  TempDir dir;
  const std::string path = dir.file("big.dat");
  auto filler = [](std::size_t bytes) {  // "F=xxxx...\0" of exactly `bytes` bytes
    std::u16string s = u"F=";
    s.append(bytes / 2 - 3, u'x');
    s.push_back(u'\0');
    return s;
  };
  // Exactly 131072 bytes, last entry unterminated: read whole, no room lost.
  std::u16string exact = filler(131072 - 12) + u"Last=1";
  ASSERT_EQ(exact.size() * 2, 131072u);
  // Beyond the bound: an entry complete before it, one cut by it.
  std::u16string over = u"Early=ok";
  over.push_back(u'\0');
  over += filler(131072 - over.size() * 2 - 4);
  over += u"Cut=0123456789";
  over.push_back(u'\0');
  over.push_back(u'\0');
  writeRawTable(path, {{"Exact", scrambled(utf16le(exact))}, {"Over", scrambled(utf16le(over))}});

  EXPECT_EQ(lookup(path, "Exact", "Last"), "1");
  EXPECT_EQ(lookup(path, "Over", "Early"), "ok");
  bool found = true;
  EXPECT_EQ(lookup(path, "Over", "Cut", &found), "");
  EXPECT_FALSE(found);
}

// --- the writer refuses what a reader could not read back -------------------

TEST(TextTableWriter, RefusesUnreadableTables) {
  TempDir dir;
  std::string error;
  struct Case {
    const char* what;
    TextEntries entries;
  } cases[] = {
      {"empty key", {{"", "v"}}},
      {"key with =", {{"a=b", "v"}}},
      {"invalid UTF-8", {{"k", "\xff"}}},
      {"zero character", {{"k", std::string("a\0b", 3)}}},
      {"too large", {{"k", std::string(70000, 'x')}}},
  };
  for (const Case& c : cases) {
    error.clear();
    EXPECT_FALSE(writeTextTable(dir.file("t.dat"), {{"Text", c.entries}}, error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
    EXPECT_FALSE(test::readFile(dir.file("t.dat")).size() > 0) << c.what;
  }
}

// --- checked formatting -----------------------------------------------------

TEST(FormatText, UsesOnlyFormatsWhoseConversionsMatch) {
  std::string out;
  EXPECT_TRUE(formatText("%0.2f分", {87.456}, out));
  EXPECT_EQ(out, "87.46分");
  EXPECT_TRUE(formatText("%.2f", {2.0f}, out));
  EXPECT_EQ(out, "2.00");
  EXPECT_TRUE(formatText("%s（%s分）", {"张三", "95.50"}, out));
  EXPECT_EQ(out, "张三（95.50分）");
  EXPECT_TRUE(formatText("{i images/login_type_%d.png}%s", {2, std::string("小明")}, out));
  EXPECT_EQ(out, "{i images/login_type_2.png}小明");
  EXPECT_TRUE(formatText("%d秒后 100%%", {59}, out));
  EXPECT_EQ(out, "59秒后 100%");
  EXPECT_TRUE(formatText("[%4s][%-3s]", {"字", "ab"}, out));  // width in characters
  EXPECT_EQ(out, "[   字][ab ]");
  EXPECT_TRUE(formatText("没有转换", {}, out));
  EXPECT_EQ(out, "没有转换");

  struct Bad {
    const char* format;
    std::vector<FormatArg::Kind> kinds;
  } bad[] = {
      {"%d", {FormatArg::Kind::String}},
      {"%s", {FormatArg::Kind::Integer}},
      {"%f", {FormatArg::Kind::Integer}},
      {"%s%s", {FormatArg::Kind::String}},
      {"%s", {FormatArg::Kind::String, FormatArg::Kind::String}},
      {"%n", {FormatArg::Kind::Integer}},
      {"%*d", {FormatArg::Kind::Integer, FormatArg::Kind::Integer}},
      {"%ld", {FormatArg::Kind::Integer}},
      {"%x", {FormatArg::Kind::Integer}},
      {"%.3s", {FormatArg::Kind::String}},
      {"%99999d", {FormatArg::Kind::Integer}},
      {"50%", {}},
  };
  for (const Bad& b : bad) {
    EXPECT_FALSE(formatMatches(b.format, b.kinds)) << b.format;
  }
  out = "stale";
  EXPECT_FALSE(formatText("%s %s", {"only one"}, out));
  EXPECT_EQ(out, "");
  EXPECT_TRUE(formatMatches("%0.2f", {FormatArg::Kind::Floating}));
}

// --- the build tool ---------------------------------------------------------

TEST(LanguageBuildTool, WritesSimplifiedAndTraditionalTables) {
  TempDir dir;
  test::writeFile(dir.file("zh_CN.txt"),
                  "\xEF\xBB\xBF# 注释\r\n"
                  "[Text]\r\n"
                  "软件=简体中文软件\r\n"
                  "Fmt=%d个%s\r\n"
                  "\n"
                  "Eq==开头\n"
                  "[Message]\n"
                  "Title=提示\n"
                  "Multi=第一行\\n第二行\n");
  const std::string tool = std::string(NORVANE_BIN_DIR) + "/norvane-language-build";
  const std::string command = "'" + tool + "' '" + dir.file("zh_CN.txt") + "' '" + dir.file("out") + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string cn = dir.file("out/cn.dat");
  const std::string tw = dir.file("out/tw.dat");
  EXPECT_EQ(lookup(cn, "Text", "软件"), "简体中文软件");
  EXPECT_EQ(lookup(cn, "Text", "Eq"), "=开头");
  EXPECT_EQ(lookup(cn, "Text", "Fmt"), "%d个%s");
  EXPECT_EQ(lookup(cn, "Message", "Multi"), "第一行\n第二行");
  // Keys stay as written; values become traditional (Taiwan phrasing).
  EXPECT_EQ(lookup(tw, "Text", "软件"), "簡體中文軟體");
  EXPECT_EQ(lookup(tw, "Text", "Fmt"), "%d個%s");
  EXPECT_EQ(lookup(tw, "Message", "Title"), "提示");
  EXPECT_EQ(lookup(tw, "Message", "Multi"), "第一行\n第二行");

  test::writeFile(dir.file("bad.txt"), "[Text]\nno equals sign here\n");
  const std::string bad = "'" + tool + "' '" + dir.file("bad.txt") + "' '" + dir.file("bad") + "' 2>/dev/null";
  EXPECT_NE(std::system(bad.c_str()), 0);
  EXPECT_FALSE(test::readFile(dir.file("bad/cn.dat")).size() > 0);
}

}  // namespace
}  // namespace norvane
