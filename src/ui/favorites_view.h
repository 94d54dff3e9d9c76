#pragma once
// The favourites page of the main window: the list "listFavorite" built from
// the favourites store, one row per stored name. Every change a click makes
// is written to "Favorit.db" at once, so a crash or a power cut keeps the
// session's favourites.
#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "service/name_query.h"

class QAbstractButton;
class QListWidget;
class QListWidgetItem;
class QWidget;

namespace norvane {
class FavoritesStore;
namespace toolkit {
class Window;
}
}  // namespace norvane

namespace norvane::ui {

class RowFactory;

// The cell texts of a name row, shared by the result lists and the favourites.
QString scoreText(const NameRecord& record);
QString percentText(int value);
// Favourites show nicknames as the name followed by the nickname note.
QString favoriteNameText(const NameRecord& record);

class FavoritesView {
 public:
  FavoritesView(toolkit::Window& window, FavoritesStore& store, std::string databasePath, RowFactory& rows);

  // Rebuilds the list from the store, numbered 1, 2, 3, ….
  void fill();

  bool contains(const NameRecord& record) const;
  // Stores a copy, appends its row (numbered row count + 1) and writes the file.
  void add(const NameRecord& record);
  // Removes every row and every stored copy equal to `record` and writes the file.
  void removeEqual(const NameRecord& record);
  // The stored record a row's button belongs to, or nullptr.
  const NameRecord* recordOfRow(const QWidget* button) const;
  // Removes the row of that button with its stored record (and any equal
  // copies), writes the file.
  void removeRowOf(const QWidget* button);

  // The stored records of the rows whose check box "XuanZe" is ticked, in
  // list order (the names to compare).
  std::vector<NameRecord> chosenRecords() const;

  // Writes the store when it changed; false when the file could not be written.
  bool persist();

  const std::string& databasePath() const { return path_; }

  // Receives the clicks of the rows' buttons.
  std::function<void(QAbstractButton*)> onRowButton;

 private:
  QListWidget* list() const;
  void appendRow(const NameRecord* stored, int number);
  void buildRowWidget(QListWidgetItem* item);
  void buildVisibleRows();
  void watchScrolling();
  int rowOf(const QWidget* button) const;

  toolkit::Window& window_;
  FavoritesStore& store_;
  std::string path_;
  RowFactory& rows_;
  bool watching_ = false;
};

}  // namespace norvane::ui
