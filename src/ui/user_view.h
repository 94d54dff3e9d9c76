#pragma once
// The user area of the main window's title bar: the logged-out page of
// "tabUser" with "btnLogin", the logged-in page with "nicknameView" and
// "userNickname", login from "btnLogin", logout from the menu's "menuLog", and
// the start-up re-validation of a stored login (message 1038).
#include <QtGlobal>

#include <memory>
#include <optional>
#include <utility>

class QLabel;
class QString;

namespace norvane::toolkit {
class Window;
}

namespace norvane {

class UserView {
 public:
  explicit UserView(toolkit::Window& mainWindow);
  ~UserView();
  UserView(const UserView&) = delete;
  UserView& operator=(const UserView&) = delete;

  // At "windowinit": shows the view of the stored login and starts its
  // re-validation.
  void initialize();

  // "click" on "btnLogin"; returns true when the sender was the user area's.
  bool handleClick(const QString& sender);

  // The menu command "menuLog".
  void logout();

  // Message 1038 (and any message the re-validation posts); true when handled.
  bool handleMessage(unsigned number, quintptr wParam);

  // Waits for the re-validation worker; called by the window's destruction.
  void stop();

 private:
  struct Worker;

  void login();
  void showLoggedIn();
  void showLoggedOut();
  void finishWorker();
  void setNicknameEnabled(bool enabled);
  QLabel* nicknameLabel();

  toolkit::Window& window_;
  std::unique_ptr<Worker> worker_;
  std::optional<std::pair<int, int>> skinWidths_;  // "tabUser" minimum and maximum width
};

}  // namespace norvane
