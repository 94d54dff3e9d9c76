#pragma once
// The user's favourite names: an ordered list of NameRecord copies kept in
// memory while the program runs and persisted in the plain SQLite database
// "Favorit.db" in DataFolder (table favorit: thirteen columns in record order,
// then the name's source in ChuChuText, ChuChuTitle, ChuChuAuthor, ChuChuBook).
// The main window loads the file once and saves the list back once, only if
// anything changed. Used on one thread.
#include <cstddef>
#include <functional>
#include <list>
#include <string>

#include "service/name_query.h"

namespace norvane {

class FavoritesStore {
 public:
  using List = std::list<NameRecord>;  // stored records never move in memory

  // DataFolder + "/Favorit.db"; empty while DataFolder is unknown (then load
  // finds nothing and save fails).
  static std::string defaultPath();

  // Appends the rows of the file at `utf8Path` to the list. A missing file, a
  // file without the table or an unreadable file adds nothing (rows read
  // before a failure are kept); rows whose Xing, Ming or Birthday is NULL are
  // skipped. A missing file is not created. Does not set `modified`.
  // A file without the source columns gets them here, its rows unchanged
  // (one that cannot be written is read without sources).
  void load(const std::string& utf8Path);

  // When `modified`: rewrites the table from the list, in list order, in one
  // transaction, so the file holds either the previous rows or exactly the
  // list (also when the process stops during the save). Returns true when
  // nothing needed saving or the save completed (then `modified` is cleared);
  // false when the file could not be written (it keeps its previous rows).
  bool save(const std::string& utf8Path);

  // Appends a copy; returns the stored copy, valid until it is removed.
  NameRecord* add(const NameRecord& record);
  // Removes the first stored record equal to `record` (sameRecord); true when
  // one was removed.
  bool remove(const NameRecord& record);
  bool contains(const NameRecord& record) const;

  bool modified() const { return modified_; }
  std::size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }
  List::const_iterator begin() const { return records_.begin(); }
  List::const_iterator end() const { return records_.end(); }
  const List& records() const { return records_; }

  // Called by save after each row is written, with the number written so
  // far (progress reporting; tests use it to stop a save halfway).
  std::function<void(std::size_t)> onRowWritten;

 private:
  List records_;
  bool modified_ = false;
};

}  // namespace norvane
