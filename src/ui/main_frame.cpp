#include "ui/main_frame.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QStackedWidget>

namespace norvane {
namespace {

// The tab buttons in the order of the pages of "tabMain".
const char* const kTabButtons[] = {"tabQuMing", "tabFengXi", "tabBaGua", "tabXiaoMing", "tabFenxiXiaoMing", "tabFavorites"};

}  // namespace

CMainFrame::CMainFrame() : toolkit::Window(QString::fromLatin1(kClassName), QStringLiteral("skin.xml")) {
  // The object ends with its window (its destruction ends the message loop).
  setDeleteOnClose(true);
  enableShadow(true);
}

CMainFrame::~CMainFrame() {
  // Later work, in this order: save the favourites to "Favorit.db", wait for
  // the name and nickname search workers, close an open menu.
  QCoreApplication::exit(0);  // ends the message loop
}

void CMainFrame::notify(const QString& type, const QString& sender) {
  if (type == QLatin1String("windowinit")) {
    initWindow();
    return;
  }
  if (type != QLatin1String("click")) return;
  for (int i = 0; i < 6; ++i) {
    if (sender == QLatin1String(kTabButtons[i])) {
      selectPage(i);
      return;
    }
  }
  if (sender == QLatin1String("btnClose") || sender == QLatin1String("btnMin")) {
    toolkit::Window::notify(type, sender);
  }
}

bool CMainFrame::onMessage(unsigned, quintptr) { return false; }

bool CMainFrame::onCloseRequest() {
  // The fade-out runs as part of every close; nothing else keeps the window.
  return true;
}

void CMainFrame::keyPressEvent(QKeyEvent* event) {
  // Enter and Escape have no default action in the main window.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  toolkit::Window::keyPressEvent(event);
}

void CMainFrame::initWindow() { selectPage(0); }

void CMainFrame::selectPage(int index) {
  if (auto* pages = control<QStackedWidget>(QStringLiteral("tabMain"))) {
    if (index >= 0 && index < pages->count()) pages->setCurrentIndex(index);
  }
  if (auto* tab = control<QAbstractButton>(QString::fromLatin1(kTabButtons[index]))) tab->setChecked(true);
}

}  // namespace norvane
