#include "ui/user_view.h"

// Placeholder until the account subsystem exists: always logged out.
namespace norvane {

UserView::UserView(toolkit::Window& mainWindow) : window_(mainWindow) {}
UserView::~UserView() = default;
void UserView::initialize() {}
bool UserView::handleClick(const QString&) { return false; }
void UserView::logout() {}
bool UserView::handleMessage(unsigned, quintptr) { return false; }
void UserView::stop() {}

}  // namespace norvane
