#pragma once
// The base of every window and dialog of the program.
//
// A Window is a frameless top-level widget built from one layout file of the
// skin archive. Its controls are found by name; their notifications reach one
// handler, notify(type, senderName), with the types
//   "windowinit"  once, after the layout is built and before the window shows,
//   "click"       a button, option or check box was clicked,
//   "itemselect"  a combo box or list changed its current item,
//   "textchanged" an edit's text changed.
// Messages posted with post(number, wParam) from any thread arrive in
// onMessage() on the window's thread, in posting order.
//
// The layout's root widget may carry these dynamic properties:
//   captionHeight (int)  the top band that drags the window (default 30)
//   shadow (bool)        a drop shadow around the window where the desktop composites
//   resizeBorder (QRect) left, top, right, bottom widths of the resize edges
//                        (x, y, width, height of the rect); none when absent
// A label with the property animation (a skin image path, e.g.
// "images/translator.gif") shows that animated image, playing while the label
// is on screen.
// Its geometry gives the window size and its minimumSize the smallest size.
//
// Modal loops nest: a dialog opened from a dialog runs its loop inside the
// first one's. A window that closes ends the modal windows opened above it
// (for the main window: every one), and a window that deletes itself on
// close is deleted only once the modal loops running above it have returned,
// never inside one of them; a modal window under a closing owner does not open.
#include <QPointer>
#include <QString>
#include <QWidget>

#include <map>
#include <memory>

class QEventLoop;
class QPropertyAnimation;

namespace norvane::toolkit {

class MessageChannel;
class WebView;

class Window : public QWidget {
  Q_OBJECT
 public:
  Window(const QString& className, const QString& layoutFile, QWidget* parent = nullptr);
  ~Window() override;

  // The window class name other code finds the window by (WindowRegistry).
  QString className() const { return className_; }
  QString layoutFile() const { return layoutFile_; }

  // Builds the window from its layout, owned by `owner` (or none), and sends
  // "windowinit". Returns false, with lastError(), when the layout is missing
  // or unreadable. Calling it again does nothing.
  bool create(QWidget* owner = nullptr);
  bool isCreated() const { return root_ != nullptr; }
  QString lastError() const { return lastError_; }

  // The first control of that name and type in the layout, or nullptr.
  template <class T = QWidget>
  T* control(const QString& name) const {
    if (root_ == nullptr) return nullptr;
    if (root_->objectName() == name) {
      if (T* self = qobject_cast<T*>(root_)) return self;
    }
    return root_->findChild<T*>(name);
  }
  QWidget* root() const { return root_; }

  // Centres the window on its owner's screen (or the primary screen).
  void centerWindow();

  // Shows the window modally (creating it first, owned by `owner`) and runs a
  // local event loop until it closes; returns the result. The window object
  // survives the call unless setDeleteOnClose(true) was chosen. When `owner`
  // (or a window owning it) is closing or closed, the window does not open and
  // the call returns the result at once.
  int showModal(QWidget* owner = nullptr);
  // The number of modal loops running now.
  static int modalDepth();

  // Sets the result and closes with the 100 ms fade-out.
  void close(int result);
  // A close request without a result (the caption's close button, the desktop's
  // close): runs onCloseRequest and, when allowed, asks the modal windows
  // opened above this one to close, then fades out and closes with the result
  // left unchanged.
  void requestClose();
  int result() const { return result_; }
  void setResult(int result) { result_ = result; }
  bool isClosing() const { return closing_; }

  // The window deletes itself once it has closed (the object ends with its
  // window), outside every modal loop opened above it.
  void setDeleteOnClose(bool on) { deleteOnClose_ = on; }
  // Whether a close fades the window out first (the default) or closes it at once.
  void setFadeOnClose(bool on) { fadeOnClose_ = on; }

  // Asks for a drop shadow; it is drawn where a compositing desktop can show
  // it, otherwise the window gets a thin border instead.
  void enableShadow(bool on);
  bool hasShadow() const { return shadowShown_; }

  // Posts message `number` with `wParam` to this window; safe from any thread
  // while the window exists.
  void post(unsigned number, quintptr wParam = 0);
  // The way back for a worker that may outlive the window (MessageChannel).
  std::shared_ptr<MessageChannel> messageChannel();

  // Timers by the caller's own ids; onTimer(id) fires on the window thread.
  void setTimer(int id, int milliseconds);
  void killTimer(int id);
  // Whether the timer of that caller id runs.
  bool hasTimer(int id) const;

  void minimizeWindow() { showMinimized(); }

  // The widget that sent the notification being handled (for names that occur twice).
  QWidget* notifySender() const { return notifySender_; }

 signals:
  // Emitted once the window has closed (after the fade).
  void windowClosed(int result);

 protected:
  // Notifications. The default: "click" on "btnClose" requests a close and
  // "click" on "btnMin" minimises; everything else is ignored.
  virtual void notify(const QString& type, const QString& sender);
  // Posted messages; return true when handled.
  virtual bool onMessage(unsigned number, quintptr wParam);
  virtual void onTimer(int id);
  // The close handler: return false to keep the window open.
  virtual bool onCloseRequest() { return true; }
  // Web view events of the window's WebView controls.
  virtual void onPageLoaded(WebView* view, const QString& url, bool ok);
  virtual QString OnJS2Native(const QString& method, const QString& content);

  // Sends a notification as a control would (subclasses and tests).
  void sendNotify(const QString& type, const QString& sender, QWidget* senderWidget = nullptr);

  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  void wireControls();
  void finishClose();
  // Deletes the window now, or once the modal loops above it have returned.
  void scheduleDeletion();
  // True when this window or one owning it is closing or closed.
  static bool ownerIsEnding(QWidget* owner);
  // Deletes the windows waiting for the modal loops above them, now returned.
  static void deletePendingWindows();
  // The deepest modal loop the window may be deleted in.
  int deletableDepth() const;
  Qt::Edges edgesAt(const QPoint& pos) const;

  QString className_;
  QString layoutFile_;
  QString lastError_;
  QWidget* root_ = nullptr;
  QWidget* notifySender_ = nullptr;
  int result_ = 0;
  bool closing_ = false;
  bool closed_ = false;
  bool deleteOnClose_ = false;
  bool fadeOnClose_ = true;
  bool deletionPending_ = false;
  int homeDepth_ = 0;  // the modal depth the window lives at (below its own loop)
  bool shadowWanted_ = false;
  bool shadowShown_ = false;
  int captionHeight_ = 30;
  QMargins resizeBorder_;
  int shadowMargin_ = 0;
  QPoint dragOffset_;
  bool dragging_ = false;
  QPointer<QEventLoop> modalLoop_;
  std::shared_ptr<MessageChannel> channel_;
  std::map<int, int> timers_;  // qt timer id -> caller id
};

// While alive, the application shows the wait cursor.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// The duration of the close fade-out.
constexpr int kFadeMilliseconds = 100;

}  // namespace norvane::toolkit
