#include "toolkit/web_view.h"

#include <utility>

namespace norvane::toolkit {
namespace {

// Process-wide: set once by the program (loader) and by the web module (maker).
WebViewMaker& maker() {
  static WebViewMaker instance;
  return instance;
}

std::function<bool()>& loader() {
  static std::function<bool()> instance;
  return instance;
}

}  // namespace

WebView::WebView(QWidget* parent) : QWidget(parent) {}
WebView::~WebView() = default;

void WebView::setLoadFinishedHandler(std::function<void(const QString&, bool)> handler) {
  loadFinishedHandler_ = std::move(handler);
}

void WebView::setNavigationFilter(std::function<bool(const QUrl&)> filter) { navigationFilter_ = std::move(filter); }

void WebView::setNativeCallHandler(std::function<QString(const QString&, const QString&)> handler) {
  nativeHandler_ = std::move(handler);
}

QString WebView::callNative(const QString& method, const QString& content) {
  return nativeHandler_ ? nativeHandler_(method, content) : QString();
}

void WebView::pageLoaded(const QString& url, bool ok) {
  if (loadFinishedHandler_) loadFinishedHandler_(url, ok);
  emit loadFinished(url, ok);
}

bool WebView::navigationAllowed(const QUrl& url) const { return !navigationFilter_ || navigationFilter_(url); }

void setWebViewMaker(WebViewMaker m) { maker() = std::move(m); }
void setWebViewLoader(std::function<bool()> l) { loader() = std::move(l); }
bool hasWebViewMaker() { return static_cast<bool>(maker()); }

WebView* makeWebView(QWidget* parent) {
  if (!maker() && loader()) loader()();
  return maker() ? maker()(parent) : nullptr;
}

}  // namespace norvane::toolkit
