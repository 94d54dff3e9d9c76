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
