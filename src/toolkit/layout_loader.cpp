#include "toolkit/layout_loader.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QCoreApplication>
#include <QLabel>
#include <QPixmap>
#include <QXmlStreamReader>

#include "toolkit/row_list.h"
#include "toolkit/skin_archive.h"
#include "toolkit/web_view.h"

namespace norvane::toolkit {

namespace {

// QUiLoader's constructor loads every Designer plugin found in the
// "designer" folder of each library path, and Qt's own folder holds the
// plugins of the Quick widget and of the web engine's view, which load those
// modules with them. While a loader is made, the library paths are empty.
class NoDesignerPlugins {
 public:
  NoDesignerPlugins() : saved_(QCoreApplication::libraryPaths()) { QCoreApplication::setLibraryPaths({}); }
  ~NoDesignerPlugins() { QCoreApplication::setLibraryPaths(saved_); }
  NoDesignerPlugins(const NoDesignerPlugins&) = delete;
  NoDesignerPlugins& operator=(const NoDesignerPlugins&) = delete;

 private:
  QStringList saved_;
};

// The root widget's style sheet, taken out of the layout document. Set on
// the root before its children are made (as the document has it), it styles
// every child again as each is added and moved into its place; set once on
// the finished tree it gives the same look for a fraction of the work. Only
// a style sheet that is a property of the root itself (before its first
// child widget) is taken; an unreadable one is left where it is.
QString takeRootStyleSheet(QByteArray& document) {
  const QByteArray open = "<property name=\"styleSheet\">";
  const qsizetype rootAt = document.indexOf("<widget");
  const qsizetype childAt = rootAt < 0 ? -1 : document.indexOf("<widget", rootAt + 1);
  const qsizetype at = rootAt < 0 ? -1 : document.indexOf(open, rootAt);
  if (at < 0 || (childAt >= 0 && at > childAt)) return QString();
  const QByteArray close = "</property>";
  const qsizetype end = document.indexOf(close, at);
  if (end < 0) return QString();
  const qsizetype length = end + close.size() - at;
  QXmlStreamReader reader(document.mid(at, length));
  QString sheet;
  while (reader.readNextStartElement()) {
    if (reader.name() == QLatin1String("string")) {
      sheet = reader.readElementText();
      break;
    }
  }
  if (reader.hasError() || sheet.isEmpty()) return QString();
  document.remove(at, length);
  return sheet;
}

}  // namespace

LayoutLoader::LayoutLoader(QObject* parent) : QUiLoader(parent) {
  // Designer plugins stay out: the layouts use only standard widgets and the
  // controls created below.
  clearPluginPaths();
}

std::unique_ptr<LayoutLoader> LayoutLoader::make() {
  NoDesignerPlugins guard;
  return std::unique_ptr<LayoutLoader>(new LayoutLoader());
}

QWidget* LayoutLoader::createWidget(const QString& className, QWidget* parent, const QString& name) {
  QWidget* widget = nullptr;
  if (className == QLatin1String("WebView") || className == QLatin1String("QWebEngineView") ||
      className == QLatin1String("WkeWebkit")) {
    widget = makeWebView(parent);
    // Without the web module the window gets an empty place instead, and
    // finds no web view control.
    if (widget == nullptr) widget = new QWidget(parent);
  } else if (className == QLatin1String("QListWidget")) {
    widget = new RowList(parent);  // lists of widget rows, by keyboard and screen reader
  } else {
    widget = QUiLoader::createWidget(className, parent, name);
    if (widget == nullptr) widget = new QWidget(parent);
  }
  widget->setObjectName(name);
  return widget;
}

QWidget* LayoutLoader::loadLayout(const QString& file, QWidget* parent) {
  bool ok = false;
  QByteArray document = SkinArchive::instance().file(file, &ok);
  if (!ok || document.isEmpty()) {
    lastError_ = QStringLiteral("layout %1 is not in the skin archive").arg(file);
    return nullptr;
  }
  const QString rootStyleSheet = takeRootStyleSheet(document);
  QBuffer buffer(&document);
  buffer.open(QIODevice::ReadOnly);
  QWidget* root = load(&buffer, parent);
  if (root == nullptr) {
    lastError_ = QStringLiteral("layout %1 could not be read: %2").arg(file, errorString());
    return nullptr;
  }
  if (!rootStyleSheet.isEmpty()) root->setStyleSheet(rootStyleSheet);
  applySkinImages(root);
  return root;
}

void applySkinImages(QWidget* root) {
  QList<QWidget*> widgets = root->findChildren<QWidget*>();
  widgets.prepend(root);
  for (QWidget* w : widgets) {
    QVariant image = w->property("skinImage");
    if (!image.isValid()) continue;
    bool ok = false;
    QByteArray bytes = SkinArchive::instance().file(image.toString(), &ok);
    QPixmap pixmap;
    if (!ok || !pixmap.loadFromData(bytes)) continue;
    if (auto* label = qobject_cast<QLabel*>(w)) {
      label->setPixmap(pixmap);
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      button->setIcon(QIcon(pixmap));
      if (button->iconSize().isEmpty() || button->property("skinImageFullSize").toBool())
        button->setIconSize(pixmap.size());
    }
  }
}

}  // namespace norvane::toolkit
