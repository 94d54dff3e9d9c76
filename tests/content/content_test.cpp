// The report templates in the real web engine: each is loaded from the built
// content folder and filled the way the report windows fill it (SetData with
// string literals after the load), then the page is read back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <functional>

#include <QRegularExpression>
#include <memory>
#include <ostream>
#include <unistd.h>

#include "page_script.h"
#include "support/qt_application.h"
#include "reports/report_host.h"

// Failure messages show texts, not their code units.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace norvane::content {
namespace {

// Fixtures by name; "zongh_cc" is the summary page of a name with a classical source.
const char* const kPages[] = {"zongh", "zongh_cc", "baz", "sanc", "hout", "shux", "shengr", "xingz", "xiaoming", "yuns"};

// Keeps the page's console messages: script errors and resources the
// page's security policy refused show up there.
class RecordingPage : public QWebEnginePage {
 public:
  using QWebEnginePage::QWebEnginePage;
  QStringList problems;

 protected:
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                const QString& source) override {
    if (level != InfoMessageLevel) problems << QStringLiteral("%1 (%2:%3)").arg(message, source).arg(line);
  }
};

class ContentTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) return;
    test::startWebApplication("content_tests");
  }

  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
      GTEST_SKIP() << "the web view needs a display: run under xvfb-run (scripts/test does)";
    view_ = std::make_unique<QWebEngineView>();
    page_ = new RecordingPage(view_.get());
    view_->setPage(page_);
    view_->resize(690, 460);
    view_->show();
  }

  void TearDown() override { view_.reset(); }

  static PageFixture fixture(const QString& page) {
    PageFixture f;
    QString error;
    QString path = QStringLiteral(NORVANE_SOURCE_DIR "/tests/content/fixtures/%1.json").arg(page);
    EXPECT_TRUE(loadFixture(path, f, error)) << error.toStdString();
    return f;
  }

  // Loads a template of the built content folder; true when it loaded.
  bool load(const QString& templateName) {
    bool finished = false, ok = false;
    auto connection = QObject::connect(view_.get(), &QWebEngineView::loadFinished, [&](bool result) {
      finished = true;
      ok = result;
    });
    view_->load(QUrl::fromLocalFile(QStringLiteral(NORVANE_BIN_DIR "/content/") + templateName));
    waitUntil([&] { return finished; });
    QObject::disconnect(connection);
    return ok;
  }

  static bool waitUntil(const std::function<bool()>& done, int ms = 20000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
  }

  // Runs a script and returns its result as text.
  QString eval(const QString& script) {
    QString result;
    bool done = false;
    page_->runJavaScript(script, [&](const QVariant& v) {
      result = v.toString();
      done = true;
    });
    EXPECT_TRUE(waitUntil([&] { return done; })) << "no answer to " << script.toStdString();
    return result;
  }

  // Calls SetData as the report windows do; "ok" or the exception it threw.
  QString setData(const QStringList& arguments) {
    return eval(QStringLiteral("(function () { try { %1; return 'ok'; } catch (e) { return 'threw: ' + e; } })()")
                    .arg(norvane::reports::setDataScript(arguments)));
  }

  QString pageText() { return eval(QStringLiteral("document.body.innerText")); }
  QString pageErrors() { return eval(QStringLiteral("window.Report ? JSON.stringify(Report.errors) : 'no Report'")); }

  // Loads, fills and checks that nothing went wrong on the way.
  void fill(const QString& templateName, const QStringList& arguments, const std::string& what) {
    ASSERT_TRUE(load(templateName)) << what;
    EXPECT_EQ(setData(arguments), QStringLiteral("ok")) << what;
    EXPECT_EQ(pageErrors(), QStringLiteral("[]")) << what;
    EXPECT_TRUE(page_->problems.isEmpty()) << what << ": " << page_->problems.join(QLatin1Char('\n')).toStdString();
    page_->problems.clear();
  }

  std::unique_ptr<QWebEngineView> view_;
  RecordingPage* page_ = nullptr;
};

TEST_F(ContentTest, EveryTemplateShowsItsPageDataAtBothWindowSizes) {
  // The report window's web area as opened and when the window is enlarged.
  for (QSize size : {QSize(690, 455), QSize(1396, 835)}) {
    view_->resize(size);
    for (const char* name : kPages) {
      std::string what = std::string(name) + " at " + std::to_string(size.width());
      PageFixture f = fixture(QString::fromLatin1(name));
      fill(f.templateName, f.arguments, what);
      QString text = pageText();
      ASSERT_FALSE(f.shows.isEmpty()) << name;
      for (const QString& s : f.shows)
        EXPECT_TRUE(text.contains(s)) << what << " does not show \"" << s.toStdString() << "\"";
      EXPECT_FALSE(text.contains(QStringLiteral("<br>"))) << what << " shows a line-break mark as text";
      // Nothing is wider than the view: the page never scrolls sideways.
      EXPECT_EQ(eval(QStringLiteral("String(document.documentElement.scrollWidth <= window.innerWidth)")),
                QStringLiteral("true"))
          << what << ": " << eval(QStringLiteral("document.documentElement.scrollWidth + ' > ' + window.innerWidth")).toStdString();
    }
  }
}

TEST_F(ContentTest, EveryPageReadsAloudWithHeadingsAndNamedPictures) {
  // What a screen reader finds on each filled page: one page heading, a
  // heading for every section, and a text for every picture (or the picture
  // hidden where the text beside it says the same).
  const QString audit = QStringLiteral(R"JS((function () {
    var problems = [];
    if (document.querySelectorAll('h1').length !== 1) problems.push('page headings: ' + document.querySelectorAll('h1').length);
    document.querySelectorAll('section').forEach(function (s, i) {
      if (!s.querySelector('h2, h3, h4')) problems.push('section ' + i + ' without a heading');
    });
    document.querySelectorAll('svg').forEach(function (g, i) {
      if (g.closest('[aria-hidden="true"]')) return;
      var label = (g.getAttribute('aria-label') || '').trim();
      if (g.getAttribute('role') !== 'img' || label === '') problems.push('picture ' + i + ' without a text');
    });
    document.querySelectorAll('img').forEach(function (m, i) {
      if (!m.hasAttribute('alt')) problems.push('image ' + i + ' without alt');
    });
    if (document.querySelectorAll('section').length === 0) problems.push('no sections');
    return problems.join('; ');
  })())JS");
  for (const char* name : kPages) {
    PageFixture f = fixture(QString::fromLatin1(name));
    fill(f.templateName, f.arguments, name);
    EXPECT_EQ(eval(audit), QString()) << name;
  }
  // A picture's text says what it shows, not only what it is.
  PageFixture eight = fixture(QStringLiteral("baz"));
  fill(eight.templateName, eight.arguments, "baz");
  const QString labels = eval(QStringLiteral(
      "Array.prototype.map.call(document.querySelectorAll('svg[role=img]'), function (g) {"
      " return g.getAttribute('aria-label'); }).join('|')"));
  EXPECT_TRUE(labels.contains(QRegularExpression(QStringLiteral("八字五行分布：木(\\d|缺)")))) << labels.toStdString();
}

// Appends `tail` to every text of a page-data value.
QJsonValue withTail(const QJsonValue& v, const QString& tail) {
  if (v.isString()) return v.toString() + tail;
  if (v.isArray()) {
    QJsonArray a;
    for (const QJsonValue& e : v.toArray()) a.append(withTail(e, tail));
    return a;
  }
  if (v.isObject()) {
    QJsonObject o;
    const QJsonObject in = v.toObject();
    for (auto it = in.begin(); it != in.end(); ++it) o.insert(it.key(), withTail(it.value(), tail));
    return o;
  }
  return v;
}

// The page data with every text (of the JSON forms: every text member) changed.
QStringList transformed(const PageFixture& f, const std::function<QJsonValue(const QJsonValue&)>& change) {
  QStringList out;
  for (const QString& a : f.arguments) {
    QJsonDocument doc = QJsonDocument::fromJson(a.toUtf8());
    if (doc.isObject()) out << QString::fromUtf8(QJsonDocument(change(doc.object()).toObject()).toJson(QJsonDocument::Compact));
    else out << change(QJsonValue(a)).toString();
  }
  return out;
}

TEST_F(ContentTest, HostileTextsShowAsTextAndRunNothing) {
  // Quotes, backslashes, a script end, markup with a handler and a line
  // separator: the page must show them literally and run none of it.
  const QString hostile = QStringLiteral(
      "'\"\\' </script><script>window.ran=1</script><img src=x onerror=\"window.ran=2\"><b>粗</b>&amp; \\u0041 \u2028末");
  for (const char* name : kPages) {
    PageFixture f = fixture(QString::fromLatin1(name));
    fill(f.templateName, transformed(f, [&](const QJsonValue& v) { return withTail(v, hostile); }), name);
    EXPECT_EQ(eval(QStringLiteral("typeof window.ran")), QStringLiteral("undefined")) << name;
    EXPECT_EQ(eval(QStringLiteral("document.querySelectorAll('img, b, script:not([src])').length")), QStringLiteral("0"))
        << name << " turned a text into markup";
    EXPECT_TRUE(eval(QStringLiteral("document.body.textContent")).contains(hostile))
        << name << " does not show the text as it was";

    // The page's policy itself refuses inline script, so markup that slipped
    // in some other way could not run either.
    eval(QStringLiteral("var s = document.createElement('script'); s.textContent = 'window.inline = 1';"
                        "document.body.appendChild(s); true"));
    EXPECT_EQ(eval(QStringLiteral("typeof window.inline")), QStringLiteral("undefined")) << name;
    // The refusal is reported on the console, possibly a moment later; it is
    // awaited so it cannot be taken for a problem of the next page.
    EXPECT_TRUE(waitUntil([&] { return page_->problems.join(QLatin1Char('\n')).contains(QStringLiteral("Content Security Policy")); }, 5000))
        << name << ": " << page_->problems.join(QLatin1Char('\n')).toStdString();
    page_->problems.clear();
  }
}

// Every text, number and flag of a page-data value replaced by `leaf`.
QJsonValue replaceLeaves(const QJsonValue& v, const QJsonValue& leaf) {
  if (v.isArray()) {
    QJsonArray a;
    for (const QJsonValue& e : v.toArray()) a.append(replaceLeaves(e, leaf));
    return a;
  }
  if (v.isObject()) {
    QJsonObject o;
    const QJsonObject in = v.toObject();
    for (auto it = in.begin(); it != in.end(); ++it) o.insert(it.key(), replaceLeaves(it.value(), leaf));
    return o;
  }
  return leaf;
}

// Every member of the page-data object itself replaced by `value`.
QJsonValue replaceMembers(const QJsonValue& v, const QJsonValue& value) {
  if (!v.isObject()) return v;
  QJsonObject o = v.toObject();
  for (auto it = o.begin(); it != o.end(); ++it) it.value() = value;
  return o;
}

// Sparse arrays: a null before and after every element.
QJsonValue withNulls(const QJsonValue& v) {
  if (v.isArray()) {
    QJsonArray a;
    for (const QJsonValue& e : v.toArray()) {
      a.append(QJsonValue::Null);
      a.append(withNulls(e));
    }
    a.append(QJsonValue::Null);
    return a;
  }
  if (v.isObject()) {
    QJsonObject o;
    const QJsonObject in = v.toObject();
    for (auto it = in.begin(); it != in.end(); ++it) o.insert(it.key(), withNulls(it.value()));
    return o;
  }
  return v;
}

// Arrays where objects are expected and the reverse, everywhere.
QJsonValue swapContainers(const QJsonValue& v) {
  if (v.isArray()) {
    QJsonObject o;
    int i = 0;
    for (const QJsonValue& e : v.toArray()) o.insert(QString::number(i++), swapContainers(e));
    return o;
  }
  if (v.isObject()) {
    QJsonArray a;
    for (const QJsonValue& e : v.toObject()) a.append(swapContainers(e));
    return a;
  }
  return v;
}

TEST_F(ContentTest, BrokenPageDataNeverStopsThePage) {
  struct Case {
    const char* what;
    std::function<QStringList(const PageFixture&)> arguments;
  };
  auto leaves = [](QJsonValue leaf) {
    return [leaf](const PageFixture& f) {
      return transformed(f, [&](const QJsonValue& v) { return v.isObject() ? replaceLeaves(v, leaf) : v; });
    };
  };
  auto members = [](QJsonValue value) {
    return [value](const PageFixture& f) {
      return transformed(f, [&](const QJsonValue& v) { return replaceMembers(v, value); });
    };
  };
  const Case cases[] = {
      {"no arguments", [](const PageFixture&) { return QStringList{}; }},
      {"empty text", [](const PageFixture& f) { return QStringList(f.arguments.size(), QString()); }},
      {"text that is not JSON", [](const PageFixture& f) { return QStringList(f.arguments.size(), QStringLiteral("{\"a\":")); }},
      {"JSON null and an array", [](const PageFixture&) { return QStringList{QStringLiteral("null"), QStringLiteral("[1,2]")}; }},
      {"an empty object", [](const PageFixture&) { return QStringList{QStringLiteral("{}"), QStringLiteral("{}")}; }},
      {"every member null", members(QJsonValue::Null)},
      {"every member a text", members(QJsonValue(QStringLiteral("文")))},
      {"every member an empty array", members(QJsonArray{})},
      {"every value null", leaves(QJsonValue::Null)},
      {"every value a number", leaves(QJsonValue(7))},
      {"every value a text", leaves(QJsonValue(QStringLiteral("文")))},
      {"every value an empty object", leaves(QJsonObject{})},
      {"nulls around every array element", [](const PageFixture& f) { return transformed(f, withNulls); }},
      {"arrays and objects swapped", [](const PageFixture& f) { return transformed(f, swapContainers); }},
  };
  for (const char* name : kPages) {
    PageFixture f = fixture(QString::fromLatin1(name));
    for (const Case& c : cases) {
      std::string what = std::string(name) + ", " + c.what;
      fill(f.templateName, c.arguments(f), what);
      EXPECT_FALSE(eval(QStringLiteral("document.querySelector('h1') ? document.querySelector('h1').textContent : ''")).isEmpty())
          << what << ": the page lost its title";
    }
  }
}

TEST_F(ContentTest, MissingPiecesAreLeftOutAndTheRestIsShown) {
  // Sparse arrays of the report data hold nulls where a lookup found nothing;
  // unfilled placeholders of the client's text templates are not shown.
  struct Case {
    const char* page;
    const char* data;
    QStringList shows;
    QStringList hides;
  };
  const Case cases[] = {
      {"xiaoming.html", R"({"hz":[null,"宝：宝贵、珍宝。"],"sx":[null,"宝：忌：冲。"]})",
       {QStringLiteral("宝贵、珍宝。"), QStringLiteral("冲。")}, {QStringLiteral("null")}},
      {"yuns.html", R"({"name":"李白","list":[null,["2","吉","地泽临","运势上升。"],null],"yunshi":null})",
       {QStringLiteral("2．地泽临"), QStringLiteral("运势上升。"), QStringLiteral("李白")}, {QStringLiteral("null")}},
      {"baz.html", R"({"sclm":["日时解读。","{2}","纳音之外","",null]})",
       {QStringLiteral("日时解读。"), QStringLiteral("纳音之外")}, {QStringLiteral("{2}"), QStringLiteral("null")}},
      {"sanc.html", R"({"wuge":{"tg":["天格","{2}","{3}","{4}","{5}","{6}"],"rg":["人格","24（火）","吉","","",""]}})",
       {QStringLiteral("24"), QStringLiteral("人格")}, {QStringLiteral("{2}"), QStringLiteral("{6}")}},
      {"zongh.html", R"({"time":{"sr":"2020-2-8 09:05:00","csd":"","xsr":"","jd":0,"wd":0,"nl":"庚子年正月十五巳时"},"hz":null})",
       {QStringLiteral("2020-2-8 09:05:00"), QStringLiteral("庚子年正月十五巳时")},
       {QStringLiteral("经纬度"), QStringLiteral("合计校正"), QStringLiteral("名字出处")}},
      {"zongh.html", R"({"cc":{"text":"  ","title":"诫子书","author":"诸葛亮","book":"诸葛亮集","ming":"明远"}})", {},
       {QStringLiteral("名字出处"), QStringLiteral("诫子书")}},
  };
  for (const Case& c : cases) {
    fill(QString::fromLatin1(c.page), {QString::fromUtf8(c.data)}, c.page);
    QString text = pageText();
    EXPECT_FALSE(text.isEmpty()) << c.page;
    for (const QString& s : c.shows) EXPECT_TRUE(text.contains(s)) << c.page << " misses " << s.toStdString();
    for (const QString& s : c.hides) EXPECT_FALSE(text.contains(s)) << c.page << " shows " << s.toStdString();
  }
}

TEST_F(ContentTest, TheSourceLineMarksTheNamesCharactersInOrder) {
  // The line as the page built it: marked characters in brackets, line
  // breaks as "/", any other element by its tag name.
  const QString readLine = QStringLiteral(
      "(function () { var l = document.querySelector('.source-line'); if (!l) return 'none'; var out = '';"
      "  l.childNodes.forEach(function (n) {"
      "    if (n.nodeType === 3) out += n.data;"
      "    else if (n.tagName === 'MARK') out += '[' + n.textContent + ']';"
      "    else if (n.tagName === 'BR') out += '/';"
      "    else out += '<' + n.tagName + '>'; });"
      "  return out; })()");
  struct Case {
    const char* what;
    QString text;
    QString ming;
    QString shown;
  } cases[] = {
      {"in order", QStringLiteral("非淡泊无以明志，非宁静无以致远"), QStringLiteral("明远"),
       QStringLiteral("非淡泊无以[明]志，非宁静无以致[远]")},
      {"a repeated character is marked once, where the order puts it", QStringLiteral("在明明德，在亲民"),
       QStringLiteral("明德"), QStringLiteral("在[明]明[德]，在亲民")},
      {"the same character twice in the name", QStringLiteral("明明如月"), QStringLiteral("明明"),
       QStringLiteral("[明][明]如月")},
      {"out of order: still marked", QStringLiteral("远方明月"), QStringLiteral("明远"),
       QStringLiteral("[远]方[明]月")},
      {"a character the line lacks", QStringLiteral("清泉石上流"), QStringLiteral("明"),
       QStringLiteral("清泉石上流")},
      {"markup in the line stays text", QStringLiteral("<b>明</b><img src=x onerror=\"window.ran=1\">远"),
       QStringLiteral("明远"), QStringLiteral("<b>[明]</b><img src=x onerror=\"window.ran=1\">[远]")},
      {"a line break of the data", QStringLiteral("明月松间照<br>清泉石上流远"), QStringLiteral("明远"),
       QStringLiteral("[明]月松间照/清泉石上流[远]")},
      {"a character outside the basic plane", QStringLiteral("\U0002000B明"), QStringLiteral("\U0002000B"),
       QStringLiteral("[\U0002000B]明")},
  };
  for (const Case& c : cases) {
    QJsonObject cc{{QStringLiteral("text"), c.text},
                   {QStringLiteral("title"), QStringLiteral("诫子书")},
                   {QStringLiteral("author"), QStringLiteral("诸葛亮")},
                   {QStringLiteral("book"), QStringLiteral("诸葛亮集")},
                   {QStringLiteral("ming"), c.ming}};
    const QString data = QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("cc"), cc}}).toJson(QJsonDocument::Compact));
    fill(QStringLiteral("zongh.html"), {data}, c.what);
    EXPECT_EQ(eval(readLine), c.shown) << c.what;
    EXPECT_EQ(eval(QStringLiteral("typeof window.ran")), QStringLiteral("undefined")) << c.what;
    EXPECT_EQ(eval(QStringLiteral("document.querySelector('.source-cite').textContent")),
              QStringLiteral("—— 诸葛亮《诫子书》 · 选自《诸葛亮集》"))
        << c.what;
  }

  // Anonymous works have no author; a missing title or book is left out.
  const QString anonymous = QStringLiteral(R"({"cc":{"text":"关关雎鸠，在河之洲","title":"周南·关雎","author":"","book":"诗经","ming":"雎洲"}})");
  fill(QStringLiteral("zongh.html"), {anonymous}, "anonymous");
  EXPECT_EQ(eval(readLine), QStringLiteral("关关[雎]鸠，在河之[洲]"));
  EXPECT_EQ(eval(QStringLiteral("document.querySelector('.source-cite').textContent")),
            QStringLiteral("—— 《周南·关雎》 · 选自《诗经》"));
  fill(QStringLiteral("zongh.html"), {QStringLiteral(R"({"cc":{"text":"关关雎鸠","ming":"雎"}})")}, "bare");
  EXPECT_EQ(eval(readLine), QStringLiteral("关关[雎]鸠"));
  EXPECT_EQ(eval(QStringLiteral("String(document.querySelector('.source-cite'))")), QStringLiteral("null"));
}

}  // namespace
}  // namespace norvane::content
