#pragma once
// Builds the rows of the name lists from a row template of the skin archive
// ("listitem_mingzi.xml", "listitem_favorite.xml"). The template is read and
// parsed once, into a prototype row; every row is then a copy of the
// prototype made in code, which costs a small fraction of parsing the
// document again (a favourites page may hold a thousand rows).
//
// A copy carries what a row template uses: labels, push buttons and plain
// containers in box layouts with spacers, their names, texts, sizes, size
// policies, alignment, check state, visibility, cursor, focus policy, tool
// tips, accessible names and dynamic properties.
#include <QString>

#include <memory>

class QWidget;

namespace norvane::ui {

class RowFactory {
 public:
  explicit RowFactory(QString templateFile);
  ~RowFactory();

  // A new row widget (no parent yet), or nullptr when the template is
  // missing or unreadable. Its buttons are clicked by Enter as by Space and
  // stay out of the window's Tab chain: the list they are shown in leads
  // the keyboard through the current row's buttons (toolkit::RowList).
  QWidget* build();

  // Names the row's buttons for the name the row shows: each button's
  // action (its accessible name in the template, else its caption) followed
  // by the name, as "收藏 李秋宏", "查看 李秋宏".
  static void nameButtons(QWidget* row, const QString& name);

 private:
  QString file_;
  std::unique_ptr<QWidget> prototype_;
  bool read_ = false;
};

}  // namespace norvane::ui
