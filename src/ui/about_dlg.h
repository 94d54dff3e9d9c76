#pragma once
// The about dialog ("dlg_about.xml"): logo, product name, program version and
// a link to the product web site.
#include "toolkit/window.h"

namespace norvane {

class CAboutDlg : public toolkit::Window {
  Q_OBJECT
 public:
  CAboutDlg();

 protected:
  void notify(const QString& type, const QString& sender) override;
};

}  // namespace norvane
