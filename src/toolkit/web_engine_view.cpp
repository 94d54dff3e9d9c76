#include "toolkit/web_engine_view.h"

#include <QAccessible>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QFile>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

namespace norvane::toolkit {
namespace {

// Runs in every page before its own scripts: connects the channel and offers
// window.JS2Native, queueing calls until the channel is up.
QString bridgeScript() {
  QFile channelJs(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
  QString script;
  if (channelJs.open(QIODevice::ReadOnly)) script = QString::fromUtf8(channelJs.readAll());
  script += QStringLiteral(R"JS(
(function () {
  var pending = [];
  var host = null;
  window.JS2Native = function (method, content) {
    return new Promise(function (resolve) {
      var send = function () { host.call(String(method), String(content === undefined ? '' : content), resolve); };
      if (host) { send(); } else { pending.push(send); }
    });
  };
  function connect() {
    if (typeof qt === 'undefined' || !qt.webChannelTransport) { return; }
    new QWebChannel(qt.webChannelTransport, function (channel) {
      host = channel.objects.norvaneHost;
      var queued = pending; pending = [];
      queued.forEach(function (send) { send(); });
    });
  }
  connect();
})();
)JS");
  return script;
}

const QString kBridgeScriptName = QStringLiteral("norvane-bridge");

QWebEngineScript bridgeUserScript() {
  QWebEngineScript script;
  script.setName(kBridgeScriptName);
  script.setSourceCode(bridgeScript());
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setRunsOnSubFrames(false);
  return script;
}

}  // namespace

// The view's page: asks the view's navigation filter before following a
// navigation and opens no new windows.
class GuardedPage : public QWebEnginePage {
 public:
  GuardedPage(WebEngineWebView* owner, QObject* parent) : QWebEnginePage(parent), owner_(owner) {}

  // True once after a refused navigation of the main frame: the load that
  // the refusal ends as failed is no failure of the shown page.
  bool takeRefusal() {
    bool refused = refused_;
    refused_ = false;
    return refused;
  }

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
    bool accepted = owner_->navigationAllowed(url);
    if (isMainFrame) refused_ = !accepted;
    return accepted;
  }
  QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }

 private:
  WebEngineWebView* owner_;
  bool refused_ = false;
};

namespace {

// Whether an assistive tool asks for the program's accessibility: Qt's own
// accessibility is active, Qt is told to keep it always on, or the
// accessibility bus says a screen reader (or another tool) runs. The bus is
// only asked when it is there; nothing is started for the question.
bool assistiveTechnologyRuns() {
  if (QAccessible::isActive()) return true;
  if (qEnvironmentVariableIntValue("QT_LINUX_ACCESSIBILITY_ALWAYS_ON") != 0) return true;
  if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return false;  // no bus to ask (none is launched)
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || bus.interface() == nullptr) return false;
  const QString service = QStringLiteral("org.a11y.Bus");
  if (!bus.interface()->isServiceRegistered(service).value()) return false;
  for (const char* property : {"ScreenReaderEnabled", "IsEnabled"}) {
    QDBusMessage get = QDBusMessage::createMethodCall(service, QStringLiteral("/org/a11y/bus"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << QStringLiteral("org.a11y.Status") << QString::fromLatin1(property);
    QDBusReply<QDBusVariant> reply = bus.call(get, QDBus::Block, 500);
    if (reply.isValid() && reply.value().variant().toBool()) return true;
  }
  return false;
}

}  // namespace

bool enableWebEngineAccessibility() {
  // Decided once, before the engine starts; the engine reads its flags then.
  static const bool on = [] {
    if (!assistiveTechnologyRuns()) return false;
    const QByteArray flag = "--force-renderer-accessibility";
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.split(' ').contains(flag)) qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.isEmpty() ? flag : flags + ' ' + flag);
    return true;
  }();
  return on;
}

WebEngineWebView::WebEngineWebView(QWidget* parent) : WebView(parent) {
  enableWebEngineAccessibility();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  view_ = new QWebEngineView(this);
  setFocusProxy(view_);  // the focus given to the control reaches the page
  auto* guarded = new GuardedPage(this, view_);
  view_->setPage(guarded);
  layout->addWidget(view_);

  bridge_ = new NativeBridge(this);
  channel_ = new QWebChannel(this);
  channel_->registerObject(QStringLiteral("norvaneHost"), bridge_);
  QWebEnginePage* page = view_->page();
  page->setWebChannel(channel_);

  page->scripts().insert(bridgeUserScript());

  connect(view_, &QWebEngineView::loadFinished, this, [this, guarded](bool ok) {
    if (!ok && guarded->takeRefusal()) return;  // the page stays as it was
    pageLoaded(view_->url().toString(), ok);
  });
}

WebEngineWebView::~WebEngineWebView() = default;

void WebEngineWebView::navigate(const QString& urlOrPath) {
  QUrl url(urlOrPath);
  if (url.scheme().isEmpty() || urlOrPath.startsWith(QLatin1Char('/'))) url = QUrl::fromLocalFile(urlOrPath);
  view_->load(url);
}

void WebEngineWebView::stop() { view_->stop(); }

QUrl WebEngineWebView::url() const { return view_->url(); }

void WebEngineWebView::runScript(const QString& script) { view_->page()->runJavaScript(script); }

void WebEngineWebView::runScript(const QString& script, std::function<void(const QString&)> done) {
  view_->page()->runJavaScript(script, [done](const QVariant& value) {
    if (done) done(value.toString());
  });
}

void WebEngineWebView::setHostObjectExposed(bool exposed) {
  if (exposed == hostExposed_) return;
  hostExposed_ = exposed;
  QWebEnginePage* page = view_->page();
  if (exposed) {
    page->setWebChannel(channel_);
    page->scripts().insert(bridgeUserScript());
  } else {
    for (const QWebEngineScript& script : page->scripts().find(kBridgeScriptName))
      page->scripts().remove(script);
    page->setWebChannel(nullptr);
  }
}

}  // namespace norvane::toolkit
