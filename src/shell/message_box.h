#pragma once
// Messages for the user, by text key: ShowMessage looks the caption ("Title")
// and the text up in section "Message" of the language table and shows them
// in the message dialog, CMessageDlg ("dlg_message.xml").
#include <QString>
#include <string>

#include "toolkit/window.h"

class QWidget;

namespace norvane {

// Message-box flags (the values of the familiar message-box constants).
enum MessageBoxFlags : int {
  MB_YESNO_BUTTONS = 0x04,  // two buttons: yes (6) and no (7)
  MB_ERROR_ICON = 0x10,
  MB_WARNING_ICON = 0x20,
  MB_INFORMATION_ICON = 0x40,
};
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Shows the message stored under `key` with the caption stored under "Title"
// (both in section "Message"; missing texts show empty), owned by `owner`,
// modally; returns 6 when the yes button was pressed, otherwise 7.
// May be called from any thread: off the window thread the dialog runs on the
// window thread while the caller waits. Without a window system the message
// goes to standard error and the result is 7.
int ShowMessage(const std::string& key, QWidget* owner, int flags);

// The same with texts the caller already has.
int ShowMessageText(const QString& text, const QString& caption, QWidget* owner, int flags);

// The message dialog. Result 7 until a button sets it: "btnYes" gives 6,
// either "btnClose" gives 7; a close by the desktop keeps the result.
class CMessageDlg : public toolkit::Window {
  Q_OBJECT
 public:
  CMessageDlg(const QString& text, const QString& caption, int flags, QWidget* parent = nullptr);

  // Which icon the flags choose: "infoLogo" (0x40, or no icon bit), else
  // "errorLogo" (0x10), else "warnLogo" (0x20).
  static QString iconFor(int flags);

 protected:
  void notify(const QString& type, const QString& sender) override;
  void showEvent(QShowEvent* event) override;

 private:
  void initDialog();
  void fitHeightToText();

  QString text_;
  QString caption_;
  int flags_;
  bool fitted_ = false;
};

}  // namespace norvane
