#pragma once
// The web view control on the browser engine (Qt WebEngine), with the
// channel that offers window.JS2Native to its pages. Part of the web module:
// only code loaded with the module includes this header.
#include "toolkit/web_view.h"

class QWebEngineView;
class QWebChannel;

namespace norvane::toolkit {

class NativeBridge;
class GuardedPage;

// Lets the web engine give its pages' content to assistive technology (a
// screen reader reads a report's text, headings and pictures' descriptions)
// when one runs: Qt's accessibility is active, QT_LINUX_ACCESSIBILITY_ALWAYS_ON
// is set, or the AT-SPI bus reports a screen reader (ScreenReaderEnabled or
// IsEnabled). Without one the engine's accessibility stays off and the pages
// cost what they did. It must run before the engine starts, which is at the
// first web view; the WebEngineWebView constructor calls it. Returns whether
// the engine's accessibility is on (decided at the first call).
bool enableWebEngineAccessibility();

class WebEngineWebView : public WebView {
  Q_OBJECT
 public:
  explicit WebEngineWebView(QWidget* parent = nullptr);
  ~WebEngineWebView() override;

  void navigate(const QString& urlOrPath) override;
  void stop() override;
  QUrl url() const override;
  void runScript(const QString& script) override;
  void runScript(const QString& script, std::function<void(const QString&)> done) override;
  void setHostObjectExposed(bool exposed) override;

  QWebEngineView* engineView() const { return view_; }

 private:
  friend class GuardedPage;
  QWebEngineView* view_ = nullptr;
  QWebChannel* channel_ = nullptr;
  NativeBridge* bridge_ = nullptr;
};

// The object the page reaches through the channel (named "norvaneHost").
class NativeBridge : public QObject {
  Q_OBJECT
 public:
  explicit NativeBridge(WebView* owner) : QObject(owner), owner_(owner) {}
  Q_INVOKABLE QString call(const QString& method, const QString& content) { return owner_->callNative(method, content); }

 private:
  WebView* owner_;
};

}  // namespace norvane::toolkit
