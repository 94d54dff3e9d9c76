#pragma once
// The web view control: an embedded browser page that the report windows fill
// by script. It loads file URLs, reports each finished load with its URL and
// success, runs script text in the page, and lets the page call the host:
// every page gets the function
//     window.JS2Native(method, content)   // returns a Promise of the host's answer
// which reaches the window as OnJS2Native(method, content). Calls made before
// the page's channel is connected are queued and delivered once it is.
// Views that show pages which must not reach the host (the report pages)
// switch that off with setHostObjectExposed(false) before their first load.
#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>

class QWebEngineView;
class QWebChannel;

namespace norvane::toolkit {

class NativeBridge;

// Lets the web engine give its pages' content to assistive technology (a
// screen reader reads a report's text, headings and pictures' descriptions)
// when one runs: Qt's accessibility is active, QT_LINUX_ACCESSIBILITY_ALWAYS_ON
// is set, or the AT-SPI bus reports a screen reader (ScreenReaderEnabled or
// IsEnabled). Without one the engine's accessibility stays off and the pages
// cost what they did. It must run before the engine starts, which is at the
// first web view; the WebView constructor calls it. Returns whether the
// engine's accessibility is on (decided at the first call).
bool enableWebEngineAccessibility();

class WebView : public QWidget {
  Q_OBJECT
 public:
  explicit WebView(QWidget* parent = nullptr);
  ~WebView() override;

  // Starts loading a URL; a local path (without scheme) is taken as a file.
  void navigate(const QString& urlOrPath);
  // Runs script text in the current page; nothing is returned.
  void runScript(const QString& script);
  // Runs script text and hands its result (as text) to `done`. When the page
  // goes away first, `done` is called with an empty text as the view ends, so
  // whatever it refers to must outlive the view.
  void runScript(const QString& script, std::function<void(const QString&)> done);

  // Whether pages get window.JS2Native and the channel to the host object
  // (default true). Takes effect from the next page load.
  void setHostObjectExposed(bool exposed);
  bool hostObjectExposed() const { return hostExposed_; }

  void setLoadFinishedHandler(std::function<void(const QString& url, bool ok)> handler);

  // Decides which navigations the page may follow (links, redirects, script
  // and form navigations of the page and its frames, and the view's own
  // loads); a refused one is not followed. No filter: every navigation is
  // followed. The page never opens windows of its own.
  void setNavigationFilter(std::function<bool(const QUrl& url)> filter);
  void setNativeCallHandler(std::function<QString(const QString& method, const QString& content)> handler);

  QWebEngineView* view() const { return view_; }

 signals:
  void loadFinished(const QString& url, bool ok);

 private:
  friend class NativeBridge;
  friend class GuardedPage;
  QString callNative(const QString& method, const QString& content);

  QWebEngineView* view_ = nullptr;
  QWebChannel* channel_ = nullptr;
  NativeBridge* bridge_ = nullptr;
  bool hostExposed_ = true;
  std::function<void(const QString&, bool)> loadFinishedHandler_;
  std::function<bool(const QUrl&)> navigationFilter_;
  std::function<QString(const QString&, const QString&)> nativeHandler_;
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
