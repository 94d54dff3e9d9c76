#pragma once
// The user area of the main window's title bar: the logged-out page of
// "tabUser" with "btnLogin", the logged-in page with "nicknameView" and
// "userNickname", login from "btnLogin", logout from the menu's "menuLog", and
// the start-up re-validation of a stored login (message 1038).
//
// The views carry the login into the window's search inputs: the logged-in
// view copies the account and token into each of them, the logged-out view
// empties them, so every later request (a new search, the next page of an
// existing list) asks as the user shown.
#include <QtGlobal>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QLabel;
class QString;

namespace norvane::toolkit {
class Window;
}

namespace norvane {

class PageQuery;

class UserView {
 public:
  // `accountInputs`: the queries that ask as the logged-in user (the window
  // keeps them alive as long as the view).
  explicit UserView(toolkit::Window& mainWindow, std::vector<PageQuery*> accountInputs = {});
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

  // Lets a running re-validation go without waiting for it (its answer then
  // reaches nobody); called by the window's destruction.
  void stop();

 private:
  struct Worker;

  void login();
  void showLoggedIn();
  void showLoggedOut();
  void finishWorker();
  void setNicknameEnabled(bool enabled);
  void copyAccountToInputs(bool loggedIn);
  QLabel* nicknameLabel();

  toolkit::Window& window_;
  std::vector<PageQuery*> accountInputs_;
  std::unique_ptr<Worker> worker_;
  std::optional<std::pair<int, int>> skinWidths_;  // "tabUser" minimum and maximum width
};

}  // namespace norvane
