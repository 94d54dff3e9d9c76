#pragma once
// The main window: title bar, the row of form tabs, the form pages and the
// bottom bar, laid out by "skin.xml".
#include "toolkit/window.h"

namespace norvane {

class CMainFrame : public toolkit::Window {
  Q_OBJECT
 public:
  CMainFrame();
  ~CMainFrame() override;

  static constexpr const char* kClassName = "NorvaneWindowClass";

 protected:
  void notify(const QString& type, const QString& sender) override;
  bool onMessage(unsigned number, quintptr wParam) override;
  bool onCloseRequest() override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void initWindow();
  void selectPage(int index);
};

}  // namespace norvane
