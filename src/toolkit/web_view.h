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
//
// This is the control's interface only. The browser engine behind it lives
// in the web module (see web_module.h), which the program loads when the
// first window that holds a web view is built: layouts get their views from
// makeWebView(), so nothing of the engine is loaded before one is needed.
#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>

namespace norvane::toolkit {

class WebView : public QWidget {
  Q_OBJECT
 public:
  explicit WebView(QWidget* parent = nullptr);
  ~WebView() override;

  // Starts loading a URL; a local path (without scheme) is taken as a file.
  virtual void navigate(const QString& urlOrPath) = 0;
  // Stops a load in progress.
  virtual void stop() = 0;
  // The URL of the page shown (or being loaded).
  virtual QUrl url() const = 0;
  // Runs script text in the current page; nothing is returned.
  virtual void runScript(const QString& script) = 0;
  // Runs script text and hands its result (as text) to `done`. When the page
  // goes away first, `done` is called with an empty text as the view ends, so
  // whatever it refers to must outlive the view.
  virtual void runScript(const QString& script, std::function<void(const QString&)> done) = 0;

  // Whether pages get window.JS2Native and the channel to the host object
  // (default true). Takes effect from the next page load.
  virtual void setHostObjectExposed(bool exposed) = 0;
  bool hostObjectExposed() const { return hostExposed_; }

  void setLoadFinishedHandler(std::function<void(const QString& url, bool ok)> handler);

  // Decides which navigations the page may follow (links, redirects, script
  // and form navigations of the page and its frames, and the view's own
  // loads); a refused one is not followed. No filter: every navigation is
  // followed. The page never opens windows of its own.
  void setNavigationFilter(std::function<bool(const QUrl& url)> filter);
  void setNativeCallHandler(std::function<QString(const QString& method, const QString& content)> handler);

  // What the host object answers to a call of the page.
  QString callNative(const QString& method, const QString& content);

 signals:
  void loadFinished(const QString& url, bool ok);

 protected:
  // For the engine's view: a load has finished (handler, then signal).
  void pageLoaded(const QString& url, bool ok);
  // For the engine's view: whether the navigation filter lets `url` through.
  bool navigationAllowed(const QUrl& url) const;
  bool hostExposed_ = true;

 private:
  std::function<void(const QString&, bool)> loadFinishedHandler_;
  std::function<bool(const QUrl&)> navigationFilter_;
  std::function<QString(const QString&, const QString&)> nativeHandler_;
};

// How web views are made. The web module installs its maker when it is
// loaded; the loader is what loads the module (the program installs it): it
// is asked whenever a view is wanted and no maker is there.
using WebViewMaker = std::function<WebView*(QWidget* parent)>;
void setWebViewMaker(WebViewMaker maker);
void setWebViewLoader(std::function<bool()> loader);
bool hasWebViewMaker();

// A new web view, loading the web module first when needed; nullptr when no
// module could be loaded (the caller then makes do without a view).
WebView* makeWebView(QWidget* parent);

}  // namespace norvane::toolkit
