#include "reports/report_page_policy.h"

#include <QDir>
#include <QWebEngineNavigationRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "toolkit/web_engine_view.h"

namespace norvane::reports {

bool isInsideContentFolder(const QUrl& url, const QString& folder) {
  if (!url.isLocalFile() || !url.host().isEmpty() || folder.isEmpty()) return false;
  const QString path = QDir::cleanPath(url.toLocalFile());
  const QString root = QDir::cleanPath(folder);
  return path.startsWith(root + QLatin1Char('/')) && path.size() > root.size() + 1;
}

void ContentFolderInterceptor::interceptRequest(QWebEngineUrlRequestInfo& info) {
  if (!isInsideContentFolder(info.requestUrl(), folder_)) info.block(true);
}

void restrictToContentFolder(toolkit::WebView* view, const QString& folder) {
  if (view == nullptr) return;
  view->setHostObjectExposed(false);
  auto* engine = qobject_cast<toolkit::WebEngineWebView*>(view);
  if (engine == nullptr) return;  // not the engine's view: nothing else to restrict
  QWebEnginePage* page = engine->engineView()->page();
  page->setUrlRequestInterceptor(new ContentFolderInterceptor(folder, page));
  QWebEngineSettings* settings = page->settings();
  settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
  settings->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
  settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
  QObject::connect(page, &QWebEnginePage::navigationRequested, page, [folder](QWebEngineNavigationRequest& request) {
    if (isInsideContentFolder(request.url(), folder))
      request.accept();
    else
      request.reject();
  });
  // Nobody takes up a new-window request, so no window opens.
  QObject::connect(page, &QWebEnginePage::newWindowRequested, page, [](QWebEngineNewWindowRequest&) {});
}

}  // namespace norvane::reports
