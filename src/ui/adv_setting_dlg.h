#pragma once
// The advanced naming settings dialog ("dlg_quming_adv.xml"): the user
// narrows the formal-name search by ten choice lists, up to one fixed
// character and the book the names come from ("comboCC"). The dialog edits a copy of the name query's settings block; the
// main window copies it back only when the user confirmed.
#include "service/name_query.h"
#include "toolkit/window.h"

namespace norvane {

class CQumingAdvSettingDlg : public toolkit::Window {
  Q_OBJECT
 public:
  CQumingAdvSettingDlg();

  // Hands in the block to edit (before the window is created).
  void SetSettings(const AdvancedNamingSettings& settings);
  // The edited block; meaningful when confirmed().
  const AdvancedNamingSettings& settings() const { return settings_; }
  // True after "btnYes"; false after a close by either "btnClose".
  bool confirmed() const { return flag_; }

  // The ten lists in the order of the block's fields.
  static const char* const kLists[10];
  // The list of source books, in the order of kSourceBooks.
  static constexpr const char* kSourceList = "comboCC";

 protected:
  void notify(const QString& type, const QString& sender) override;

 private:
  void initDialog();
  void updateFixedEdits();
  void confirm();

  AdvancedNamingSettings settings_;
  // Set when a block was handed in (until the window initialises), then set
  // again when the user confirms.
  bool flag_ = false;
};

}  // namespace norvane
