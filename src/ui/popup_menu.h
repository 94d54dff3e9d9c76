#pragma once
// A pop-up menu built from a menu layout of the skin archive ("main_menu.xml",
// "user_menu.xml"): every button of the layout is an item, and a click on an
// item closes the menu and hands the item's name to the owner.
#include <QString>
#include <QWidget>

#include <functional>

namespace norvane::ui {

class PopupMenu : public QWidget {
  Q_OBJECT
 public:
  using Chosen = std::function<void(const QString& item)>;

  // Builds the menu; isValid() is false when the layout is missing.
  PopupMenu(const QString& layoutFile, QWidget* owner, Chosen chosen);
  bool isValid() const { return valid_; }

  // Shows the menu with its top-left corner at `globalPos`, kept on the screen.
  void popupAt(const QPoint& globalPos);

 private:
  Chosen chosen_;
  QWidget* root_ = nullptr;
  bool valid_ = false;
};

}  // namespace norvane::ui
