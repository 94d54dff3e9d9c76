#include "account/web_browser_dlg.h"

#include "toolkit/web_view.h"

#include <QLabel>
#include <QStackedWidget>
#include <QTimer>

namespace norvane {
namespace {

int defaultPortFor(const QString& scheme) {
  if (scheme == QLatin1String("http")) return 80;
  if (scheme == QLatin1String("https")) return 443;
  return -1;
}

}  // namespace

CWebBrowserDlg::CWebBrowserDlg(const QString& url, QWidget* parent)
    : toolkit::Window(QStringLiteral("NorvaneDialogClass"), QStringLiteral("dlg_webbrowser.xml"), parent),
      url_(url),
      home_(QUrl(url)) {
  enableShadow(true);
}

bool CWebBrowserDlg::hasWebView() const { return control<toolkit::WebView>(QStringLiteral("ie")) != nullptr; }

void CWebBrowserDlg::SetCaption(const QString& text) {
  if (text.isEmpty()) return;
  if (auto* caption = control<QLabel>(QStringLiteral("caption"))) caption->setText(text);
}

bool CWebBrowserDlg::mayNavigateTo(const QUrl& url) const {
  const QString scheme = url.scheme().toLower();
  if (scheme == QLatin1String("about") && url.path() == QLatin1String("blank")) return true;
  if (!home_.isValid() || home_.host().isEmpty()) return false;
  return scheme == home_.scheme().toLower() &&
         url.host().compare(home_.host(), Qt::CaseInsensitive) == 0 &&
         url.port(defaultPortFor(scheme)) == home_.port(defaultPortFor(home_.scheme().toLower()));
}

void CWebBrowserDlg::notify(const QString& type, const QString& sender) {
  if (type == QLatin1String("windowinit")) {
    initDialog();
  } else if (type == QLatin1String("click")) {
    if (sender == QLatin1String("btnClose")) {
      close(1);
    } else if (sender == QLatin1String("btnRefresh")) {
      showStep(0);
      if (auto* web = control<toolkit::WebView>(QStringLiteral("ie"))) {
        web->stop();
        web->navigate(url_);
      }
    }
  }
}

void CWebBrowserDlg::initDialog() {
  centerWindow();
  auto* web = control<toolkit::WebView>(QStringLiteral("ie"));
  if (web == nullptr) return;
  web->setNavigationFilter([this](const QUrl& url) { return mayNavigateTo(url); });
  if (!url_.isEmpty() && mayNavigateTo(home_)) web->navigate(url_);
}

void CWebBrowserDlg::showStep(int step) {
  if (auto* steps = control<QStackedWidget>(QStringLiteral("step"))) steps->setCurrentIndex(step);
}

void CWebBrowserDlg::onPageLoaded(toolkit::WebView*, const QString&, bool ok) {
  if (!ok) showStep(1);
}

QString CWebBrowserDlg::OnJS2Native(const QString& method, const QString&) {
  answer_ = method;
  if (answer_.startsWith(QLatin1Char('{'))) {
    // Closed from the event loop, after this call has returned to the page.
    QTimer::singleShot(0, this, [this] { requestClose(); });
  }
  return QString();
}

}  // namespace norvane
