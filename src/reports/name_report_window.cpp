#include "reports/name_report_window.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QWidget>

#include "service/json_access.h"
#include "reports/report_document.h"
#include "shell/text_table.h"

namespace norvane::reports {

const char* const CQuMingResultWnd::kTabOptions[kNamePageCount] = {
    "tabZhongheTishi", "tabBaziFenxi", "tabSancaiWuge", "tabHoutianBujiu",
    "tabShuxiangFenxi", "tabShengriMima", "tabXingzhuo"};

namespace {

constexpr int kHeaderPlaces = 4;
constexpr int kBadgeStep = 30;

QString text(const Json::Value& array, Json::ArrayIndex i) {
  const Json::Value& a = jsonArray(array);
  return QString::fromStdString(i < a.size() ? jsonText(a[i]) : std::string());
}

// The colour class of a five-element mark ("" for any other text).
const char* elementClass(const QString& mark) {
  static const std::pair<const char16_t*, const char*> classes[] = {
      {u"木", "wood"}, {u"火", "fire"}, {u"土", "earth"}, {u"金", "metal"}, {u"水", "water"}};
  for (const auto& [element, name] : classes)
    if (mark == QString::fromUtf16(element)) return name;
  return "";
}

// Sets a style property and lets the style sheet see the new value.
void setStyleProperty(QWidget* w, const char* name, const char* value) {
  w->setProperty(name, QString::fromLatin1(value));
  w->style()->unpolish(w);
  w->style()->polish(w);
}

void moveToX(QWidget* w, int x) {
  if (w != nullptr) w->move(x, w->y());
}

}  // namespace

CQuMingResultWnd::CQuMingResultWnd(const NameRecord& record, QWidget* parent)
    : AnalysisReportWindow(QStringLiteral("QuMingResult.xml"), QStringLiteral("tabQumingResult"),
                           Endpoint::NameAnalysis, false, record, parent) {}

void CQuMingResultWnd::notify(const QString& type, const QString& sender) {
  if (type == QLatin1String("windowinit")) {
    startReport(namePageTemplate(0));
    return;
  }
  if (type != QLatin1String("click")) return;
  if (sender == QLatin1String("btnClose")) {
    waitForWorker();
    requestClose();
    return;
  }
  if (handleExportClick(sender)) return;
  for (int page = 0; page < kNamePageCount; ++page) {
    if (sender == QLatin1String(kTabOptions[page])) {
      navigateTo(namePageTemplate(page));
      return;
    }
  }
  handleStripClick(sender);
}

void CQuMingResultWnd::prepareReport() {
  // The birth place of the name the window opened with.
  AreaLocation location;
  if (knowledgeDb().areaLocation(current_.CityId, location)) {
    place_.longitude = location.longitude;
    place_.latitude = location.latitude;
    place_.place = shortenPlaceName(location.place);
  }
}

void CQuMingResultWnd::onAnalysisShown() {
  fillHeader();
  if (auto* title = control<QLabel>(QStringLiteral("Title"))) {
    title->setTextFormat(Qt::PlainText);
    title->setText(QStringLiteral("姓名分析报告 · ") + QString::fromStdString(current_.Xing + current_.Ming));
  }
  selectTab(0);
  showTemplate(namePageTemplate(0));
  showContentView();
}

void CQuMingResultWnd::selectTab(int page) {
  if (auto* tab = control<QPushButton>(QString::fromLatin1(kTabOptions[page]))) tab->setChecked(true);
}

void CQuMingResultWnd::fillHeader() {
  const Json::Value& name = jsonMember(query_.Data, "name");
  const Json::Value& words = jsonArray(jsonMember(name, "words"));
  // The header has four places; a longer answer shows its first four.
  const int n = static_cast<int>(std::min<Json::ArrayIndex>(words.size(), kHeaderPlaces));
  for (int i = 1; i <= kHeaderPlaces; ++i) {
    const bool shown = i <= n;
    const Json::ArrayIndex at = static_cast<Json::ArrayIndex>(i - 1);
    auto set = [&](const char* pattern, const char* member) {
      auto* label = control<QLabel>(QString::fromLatin1(pattern).arg(i));
      if (label == nullptr) return;
      label->setTextFormat(Qt::PlainText);
      label->setText(shown ? text(jsonMember(name, member), at) : QString());
      label->setVisible(shown);
    };
    set("MingZhi_%1", "words");
    set("MingZhi_PY_%1", "py");
    set("Wuxing_%1", "wx");
    set("Jixiong_%1", "jx");
    if (auto* mark = control<QLabel>(QStringLiteral("Wuxing_%1").arg(i)))
      setStyleProperty(mark, "element", elementClass(mark->text()));
    if (auto* mark = control<QLabel>(QStringLiteral("Jixiong_%1").arg(i)))
      setStyleProperty(mark, "luck", mark->text().contains(QStringLiteral("凶")) ? "bad" : "good");
  }
  int x = headerColumnX(n);
  for (int i = 1; i <= n; ++i, x += kBadgeStep) {
    moveToX(control(QStringLiteral("Wuxing_%1").arg(i)), x);
    moveToX(control(QStringLiteral("Jixiong_%1").arg(i)), x);
  }
  // The row captions follow the last mark.
  moveToX(control(QStringLiteral("WuxingCaption")), x + 4);
  moveToX(control(QStringLiteral("JixiongCaption")), x + 4);

  if (auto* label = control<QLabel>(QStringLiteral("score"))) {
    label->setTextFormat(Qt::PlainText);
    label->setText(QString::fromStdString(totalScoreText(query_.Data)));
  }
}

ReportDocument CQuMingResultWnd::exportDocument() {
  return nameReportDocument(query_.Data, knowledgeDb(), current_, place_, exportDate());
}

void CQuMingResultWnd::onTemplateLoaded(const QString& url) {
  const int page = namePageForUrl(url.toStdString());
  if (page < 0) return;
  host().send(buildPageData(page, query_.Data, knowledgeDb(), current_, place_));
  shownPage_ = page;
}

}  // namespace norvane::reports
