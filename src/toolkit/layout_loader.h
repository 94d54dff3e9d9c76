#pragma once
// Builds widget trees from the layout documents of the skin archive.
// A QUiLoader that never loads Designer plugins (their web view plugin makes
// its own, incompatible view) and creates the toolkit's own controls itself:
// class "WebView" (also accepted: "QWebEngineView", "WkeWebkit") becomes a
// norvane::toolkit::WebView (made by the web module, see web_view.h). An
// unknown class becomes a plain QWidget so a broken layout never takes the
// program down.
#include <QUiLoader>

#include <memory>

namespace norvane::toolkit {

class LayoutLoader : public QUiLoader {
  Q_OBJECT
 public:
  // A loader made while no Designer plugin can be found (make one only this way).
  static std::unique_ptr<LayoutLoader> make();
  QWidget* createWidget(const QString& className, QWidget* parent = nullptr, const QString& name = QString()) override;

  // Loads `file` from the process skin archive; nullptr (and errorString())
  // when it is missing or not a layout document.
  QWidget* loadLayout(const QString& file, QWidget* parent);
  QString lastError() const { return lastError_; }

 private:
  explicit LayoutLoader(QObject* parent = nullptr);
  QString lastError_;
};

// Applies the skin's images: every widget with the dynamic property
// "skinImage" (a file name in the skin archive) gets that image as its pixmap
// (labels) or icon (buttons). Missing images are left out silently.
void applySkinImages(QWidget* root);

}  // namespace norvane::toolkit
