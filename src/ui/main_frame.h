#pragma once
// The main window: title bar with the user area and the menu, the row of form
// tabs, the five naming forms with their result lists, the favourites page
// and the bottom bar, laid out by "skin.xml".
#include <QPointer>

#include <deque>

#include "data/favorites_store.h"
#include "data/knowledge_db.h"
#include "service/name_query.h"
#include "toolkit/window.h"
#include "ui/favorites_view.h"
#include "ui/report_warm_up.h"
#include "ui/result_list.h"
#include "ui/row_factory.h"
#include "ui/user_view.h"

class QComboBox;

namespace norvane {

class Clock;

namespace ui {
class PopupMenu;
struct NamingForm;
struct BirthData;
}  // namespace ui

class CMainFrame : public toolkit::Window {
  Q_OBJECT
 public:
  CMainFrame();
  ~CMainFrame() override;

  static constexpr const char* kClassName = "NorvaneWindowClass";

  // The clock the forms take the current date from when no birthday was saved.
  void setClock(const Clock& clock) { clock_ = &clock; }

  // The window's parts, for the report windows' paging and for tests.
  NameQuery& nameQuery() { return nameQuery_; }
  NicknameQuery& nicknameQuery() { return nicknameQuery_; }
  ui::ResultList& nameList() { return nameList_; }
  ui::ResultList& nicknameList() { return nicknameList_; }
  FavoritesStore& favorites() { return favorites_; }
  ui::FavoritesView& favoritesView() { return favoritesView_; }

 protected:
  void notify(const QString& type, const QString& sender) override;
  bool onMessage(unsigned number, quintptr wParam) override;
  bool onCloseRequest() override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void initWindow();
  void selectPage(int index);
  void fillProvincePickers();
  void fillPicker(QComboBox* picker, int parentId);
  void pickerSelected(const QString& picker);

  void onClick(const QString& sender);
  bool rowAction(const QString& sender, QWidget* button);
  void toggleFavorite(QAbstractButton* heart);

  void submitNameSearch();
  void submitNicknameSearch();
  void submitNameAnalysis();
  void submitNicknameAnalysis();
  void submitFortune();
  void openAdvancedSettings();
  // Shows the validation message `key` and puts the focus into `focusEdit` when given.
  void refuse(const char* key, const char* focusEdit = nullptr);
  // The surname tests shared by every form; false after refusing.
  bool checkSurname(const QString& surname, const char* focusEdit);
  float countyLongitude(int countyId);
  void fillBirthInfo(PageQuery& query, const ui::NamingForm& form);
  // The record an analysis form reports on: its names and birth, other fields default.
  NameRecord analysisRecord(const QString& surname, const QString& name, const ui::BirthData& birth);

  void openMenu(const QString& layoutFile);
  void menuCommand(const QString& item);

  const Clock* clock_;
  KnowledgeDb knowledge_;
  FavoritesStore favorites_;
  NameQuery nameQuery_;
  NicknameQuery nicknameQuery_;
  ui::RowFactory resultRows_;
  ui::RowFactory favoriteRows_;
  ui::FavoritesView favoritesView_;
  ui::ResultList nameList_;
  ui::ResultList nicknameList_;
  UserView userView_;
  ui::ReportWarmUp reportWarmUp_;
  QPointer<ui::PopupMenu> menu_;
  std::deque<QString> menuCommands_;  // chosen menu items waiting for message 1145
};

}  // namespace norvane
