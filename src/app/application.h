#pragma once
// The process entry routine of the program.
#include <QString>

#include <functional>

namespace norvane {

namespace toolkit {
class Window;
}

// Makes the (not yet created) main window; the entry routine creates, centres
// and shows it and runs the message loop until the window is destroyed.
using MainWindowFactory = std::function<toolkit::Window*()>;

// The entry routine: installs the crash handler, chooses the run from the
// command line (uninstall report, machine code, or the window program with a
// single instance per user), starts up, runs and shuts down in a fixed order.
// Returns the process exit code: 0, except 1 when the window program cannot
// reach any display.
int RunApplication(int argc, char** argv, const MainWindowFactory& createMainWindow);

// The text and title of the message shown when the skin archive is missing or empty.
extern const char kSkinMissingText[];
extern const char kSkinMissingTitle[];

// True when windows can be shown to someone: a display (X11 or Wayland) is
// named, or a Qt platform other than "offscreen"/"minimal" is chosen.
bool hasVisibleDisplay();

// Shows a fixed error message without an owner window (error icon), or writes
// it to standard error when no display can show it.
void showFatalMessage(const QString& text, const QString& title);

}  // namespace norvane
