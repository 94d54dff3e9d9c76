#include "toolkit/window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLabel>
#include <QListWidget>
#include <QMovie>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTextEdit>
#include <QTimerEvent>
#include <QVBoxLayout>
#include <QWindow>

#include <memory>
#include <vector>

#ifdef NORVANE_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

#include "toolkit/accessibility.h"
#include "toolkit/keyboard_access.h"
#include "toolkit/layout_loader.h"
#include "toolkit/message_channel.h"
#include "toolkit/skin_archive.h"
#include "toolkit/web_view.h"
#include "toolkit/window_registry.h"

namespace norvane::toolkit {
namespace {

const QEvent::Type kPostedMessageEvent = static_cast<QEvent::Type>(QEvent::User + 0x4E56);

class PostedMessage : public QEvent {
 public:
  PostedMessage(unsigned number, quintptr wParam) : QEvent(kPostedMessageEvent), number(number), wParam(wParam) {}
  unsigned number;
  quintptr wParam;
};

// The windows whose modal loops run now, outermost first. Windows live on
// the UI thread only, so neither list needs a lock.
std::vector<QPointer<Window>>& modalWindows() {
  static std::vector<QPointer<Window>> list;
  return list;
}

// Windows that closed while modal loops ran above them, waiting for those
// loops to return before they are deleted.
std::vector<QPointer<Window>>& pendingDeletions() {
  static std::vector<QPointer<Window>> list;
  return list;
}

// Plays a skin animation in a label while the label is on screen (a hidden
// page's animation costs nothing).
class LabelAnimation : public QObject {
 public:
  LabelAnimation(QLabel* label, const QByteArray& image) : QObject(label) {
    bytes_.setData(image);
    bytes_.open(QIODevice::ReadOnly);
    movie_ = std::make_unique<QMovie>(&bytes_);
    label->setMovie(movie_.get());
    label->installEventFilter(this);
    if (label->isVisible()) movie_->start();
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      movie_->start();
    } else if (event->type() == QEvent::Hide) {
      movie_->stop();
    }
    return false;
  }

 private:
  QBuffer bytes_;
  std::unique_ptr<QMovie> movie_;  // goes before the bytes it reads
};

// True when a compositing manager runs, so translucent window margins (the
// drop shadow) show the desktop instead of black.
bool desktopComposites() {
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("wayland")) return true;
#ifdef NORVANE_HAVE_XCB
  if (platform == QLatin1String("xcb")) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) return false;
    xcb_connection_t* c = x11->connection();
    int screen = 0;
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
      screen = QGuiApplication::screens().indexOf(primary);
      if (screen < 0) screen = 0;
    }
    QByteArray atomName = "_NET_WM_CM_S" + QByteArray::number(screen);
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, atomName.size(), atomName.constData()), nullptr);
    if (atom == nullptr) return false;
    bool composites = false;
    if (atom->atom != XCB_ATOM_NONE) {
      xcb_get_selection_owner_reply_t* owner =
          xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
      composites = owner != nullptr && owner->owner != XCB_WINDOW_NONE;
      free(owner);
    }
    free(atom);
    return composites;
  }
#endif
  return false;
}

}  // namespace

Window::Window(const QString& className, const QString& layoutFile, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), className_(className), layoutFile_(layoutFile) {
  setMouseTracking(true);
  installAccessibleControls();
}

Window::~Window() {
  if (channel_) channel_->close();  // a worker's late message finds nobody
  WindowRegistry::unregisterWindow(this);
  if (modalLoop_) modalLoop_->exit(result_);
}

bool Window::create(QWidget* owner) {
  if (root_ != nullptr) return true;
  if (owner != nullptr && owner != parentWidget()) {
    setParent(owner, windowFlags() | Qt::Window | Qt::FramelessWindowHint);
  }
  std::unique_ptr<LayoutLoader> loader = LayoutLoader::make();
  QWidget* root = loader->loadLayout(layoutFile_, this);
  if (root == nullptr) {
    lastError_ = loader->lastError();
    return false;
  }
  root_ = root;
  homeDepth_ = modalDepth();
  if (root_->objectName().isEmpty()) root_->setObjectName(QStringLiteral("root"));

  QVariant caption = root_->property("captionHeight");
  if (caption.isValid()) captionHeight_ = caption.toInt();
  QVariant border = root_->property("resizeBorder");
  if (border.isValid()) {
    QRect r = border.toRect();
    resizeBorder_ = QMargins(r.x(), r.y(), r.width(), r.height());
  }
  if (root_->property("shadow").toBool()) shadowWanted_ = true;

  QSize size = root_->size();
  QSize minimum = root_->minimumSize();
  auto* box = new QVBoxLayout(this);
  box->setContentsMargins(0, 0, 0, 0);
  box->setSpacing(0);
  box->addWidget(root_);
  root_->setMinimumSize(minimum);
  enableShadow(shadowWanted_);
  QSize outer = size.expandedTo(minimum).grownBy(QMargins(shadowMargin_, shadowMargin_, shadowMargin_, shadowMargin_));
  resize(outer);
  if (!minimum.isEmpty())
    setMinimumSize(minimum.grownBy(QMargins(shadowMargin_, shadowMargin_, shadowMargin_, shadowMargin_)));

  wireControls();
  prepareKeyboardAccess(root_);
  WindowRegistry::registerWindow(this);
  box->activate();
  sendNotify(QStringLiteral("windowinit"), QString(), this);
  return true;
}

void Window::enableShadow(bool on) {
  shadowWanted_ = on;
  if (root_ == nullptr) return;
  bool show = on && desktopComposites();
  if (show == shadowShown_) {
    update();
    return;
  }
  shadowShown_ = show;
  if (show) {
    shadowMargin_ = 10;
    setAttribute(Qt::WA_TranslucentBackground, true);
    layout()->setContentsMargins(shadowMargin_, shadowMargin_, shadowMargin_, shadowMargin_);
    auto* effect = new QGraphicsDropShadowEffect(root_);
    effect->setBlurRadius(18);
    effect->setOffset(0, 2);
    effect->setColor(QColor(0, 0, 0, 90));
    root_->setGraphicsEffect(effect);
  } else {
    shadowMargin_ = 0;
    layout()->setContentsMargins(0, 0, 0, 0);
    root_->setGraphicsEffect(nullptr);
  }
  update();
}

void Window::wireControls() {
  QList<QWidget*> widgets = root_->findChildren<QWidget*>();
  for (QWidget* w : widgets) {
    if (auto* label = qobject_cast<QLabel*>(w)) {
      const QString animation = label->property("animation").toString();
      bool found = false;
      const QByteArray image = animation.isEmpty() ? QByteArray() : SkinArchive::instance().file(animation, &found);
      if (found) new LabelAnimation(label, image);
      continue;
    }
    if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_"))) continue;
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      connect(button, &QAbstractButton::clicked, this,
              [this, button] { sendNotify(QStringLiteral("click"), button->objectName(), button); });
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
      connect(combo, &QComboBox::currentIndexChanged, this,
              [this, combo] { sendNotify(QStringLiteral("itemselect"), combo->objectName(), combo); });
    } else if (auto* list = qobject_cast<QListWidget*>(w)) {
      connect(list, &QListWidget::currentRowChanged, this,
              [this, list] { sendNotify(QStringLiteral("itemselect"), list->objectName(), list); });
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      connect(edit, &QLineEdit::textChanged, this,
              [this, edit] { sendNotify(QStringLiteral("textchanged"), edit->objectName(), edit); });
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
      connect(plain, &QPlainTextEdit::textChanged, this,
              [this, plain] { sendNotify(QStringLiteral("textchanged"), plain->objectName(), plain); });
    } else if (auto* text = qobject_cast<QTextEdit*>(w)) {
      connect(text, &QTextEdit::textChanged, this,
              [this, text] { sendNotify(QStringLiteral("textchanged"), text->objectName(), text); });
    } else if (auto* web = qobject_cast<WebView*>(w)) {
      web->setLoadFinishedHandler([this, web](const QString& url, bool ok) { onPageLoaded(web, url, ok); });
      web->setNativeCallHandler(
          [this](const QString& method, const QString& content) { return OnJS2Native(method, content); });
    }
  }
}

void Window::sendNotify(const QString& type, const QString& sender, QWidget* senderWidget) {
  QWidget* previous = notifySender_;
  notifySender_ = senderWidget;
  notify(type, sender);
  notifySender_ = previous;
}

void Window::notify(const QString& type, const QString& sender) {
  if (type != QLatin1String("click")) return;
  if (sender == QLatin1String("btnClose")) {
    requestClose();
  } else if (sender == QLatin1String("btnMin")) {
    minimizeWindow();
  }
}

void Window::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    // What the window's close button does: a dialog's cancel, a report's
    // close with its wait for the running request.
    auto* closeButton = control<QAbstractButton>(QStringLiteral("btnClose"));
    if (closeButton != nullptr && closeButton->isEnabled())
      sendNotify(QStringLiteral("click"), closeButton->objectName(), closeButton);
    else
      requestClose();
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void Window::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (focusPlaced_ || root_ == nullptr) return;
  focusPlaced_ = true;
  // A control that already has the focus (given before the window showed) keeps it.
  QWidget* focused = focusWidget();
  if (focused == nullptr || focused == this || focused == root_) focusInitialControl(root_);
}

bool Window::onMessage(unsigned, quintptr) { return false; }
void Window::onTimer(int) {}
void Window::onPageLoaded(WebView*, const QString&, bool) {}
QString Window::OnJS2Native(const QString&, const QString&) { return QString(); }

void Window::centerWindow() {
  QScreen* screen = nullptr;
  if (QWidget* owner = parentWidget()) screen = owner->screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect area = screen->availableGeometry();
  QRect frame = frameGeometry();
  frame.moveCenter(area.center());
  move(frame.topLeft());
}

int Window::modalDepth() { return static_cast<int>(modalWindows().size()); }

bool Window::ownerIsEnding(QWidget* owner) {
  for (QWidget* w = owner; w != nullptr; w = w->parentWidget()) {
    if (auto* window = qobject_cast<Window*>(w); window != nullptr && (window->closing_ || window->closed_)) return true;
  }
  return false;
}

int Window::showModal(QWidget* owner) {
  // Nothing opens over a window that is going (the program is ending).
  if (ownerIsEnding(owner != nullptr ? owner : parentWidget())) {
    homeDepth_ = modalDepth();
    if (deleteOnClose_) scheduleDeletion();
    return result_;
  }
  if (!create(owner)) return result_;
  setWindowModality(Qt::ApplicationModal);
  centerWindow();
  QPointer<Window> self(this);
  QEventLoop loop;
  modalLoop_ = &loop;
  homeDepth_ = modalDepth();
  modalWindows().push_back(self);
  show();
  raise();
  activateWindow();
  int result = closed_ ? result_ : loop.exec();
  modalWindows().pop_back();
  deletePendingWindows();  // deferred deletions: served by the loop below
  if (self) {
    self->modalLoop_ = nullptr;
    return self->result_;
  }
  return result;
}

int Window::deletableDepth() const {
  // A modal window may go inside its own loop (showModal holds it weakly),
  // never inside one opened above it.
  return homeDepth_ + (modalLoop_ ? 1 : 0);
}

void Window::deletePendingWindows() {
  const int depth = modalDepth();
  std::vector<QPointer<Window>>& pending = pendingDeletions();
  for (auto it = pending.begin(); it != pending.end();) {
    Window* window = it->data();
    if (window != nullptr && window->deletableDepth() < depth) {
      ++it;
      continue;
    }
    if (window != nullptr) window->deleteLater();
    it = pending.erase(it);
  }
}

void Window::scheduleDeletion() {
  if (modalDepth() > deletableDepth()) {
    // Deleting it now would run its destructor inside a modal loop opened
    // above it (its deferred deletion would be served there), under code that
    // still uses it and its children once that loop returns.
    if (!deletionPending_) pendingDeletions().push_back(QPointer<Window>(this));
    deletionPending_ = true;
    return;
  }
  deleteLater();
}

void Window::close(int result) {
  result_ = result;
  requestClose();
}

void Window::requestClose() {
  if (closing_ || closed_) return;
  if (!onCloseRequest()) return;
  closing_ = true;
  // The modal windows opened above this one go with it, innermost first;
  // their loops return before this window is deleted.
  const std::vector<QPointer<Window>> running = modalWindows();
  for (auto it = running.rbegin(); it != running.rend(); ++it) {
    Window* modal = it->data();
    if (modal == nullptr || modal == this || modal->homeDepth_ < homeDepth_) continue;
    modal->requestClose();
  }
  if (!isVisible() || !fadeOnClose_) {
    finishClose();
    return;
  }
  auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
  fade->setDuration(kFadeMilliseconds);
  fade->setStartValue(windowOpacity());
  fade->setEndValue(0.0);
  connect(fade, &QPropertyAnimation::finished, this, &Window::finishClose);
  fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void Window::finishClose() {
  if (closed_) return;
  closed_ = true;
  closing_ = false;
  QWidget::close();  // our closeEvent lets it through now
  hide();
  emit windowClosed(result_);
  if (modalLoop_) modalLoop_->exit(result_);
  if (deleteOnClose_) scheduleDeletion();
}

void Window::closeEvent(QCloseEvent* event) {
  if (closed_) {
    event->accept();
    return;
  }
  // The desktop's close (or QWidget::close from outside): go through the close
  // handler and the fade; the window goes away in finishClose.
  event->ignore();
  requestClose();
}

void Window::post(unsigned number, quintptr wParam) {
  QCoreApplication::postEvent(this, new PostedMessage(number, wParam));
}

std::shared_ptr<MessageChannel> Window::messageChannel() {
  if (!channel_) channel_ = std::make_shared<MessageChannel>(this);
  return channel_;
}

bool Window::event(QEvent* event) {
  if (event->type() == kPostedMessageEvent) {
    auto* message = static_cast<PostedMessage*>(event);
    onMessage(message->number, message->wParam);
    return true;
  }
  return QWidget::event(event);
}

void Window::setTimer(int id, int milliseconds) {
  killTimer(id);
  int qtId = QObject::startTimer(milliseconds);
  if (qtId != 0) timers_[qtId] = id;
}

void Window::killTimer(int id) {
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->second == id) {
      QObject::killTimer(it->first);
      timers_.erase(it);
      return;
    }
  }
}

bool Window::hasTimer(int id) const {
  for (const auto& [qtId, callerId] : timers_)
    if (callerId == id) return true;
  return false;
}

void Window::timerEvent(QTimerEvent* event) {
  auto it = timers_.find(event->timerId());
  if (it != timers_.end()) {
    onTimer(it->second);
    return;
  }
  QWidget::timerEvent(event);
}

Qt::Edges Window::edgesAt(const QPoint& pos) const {
  Qt::Edges edges;
  if (resizeBorder_.isNull() || isMaximized()) return edges;
  QRect inner = rect().marginsRemoved(QMargins(shadowMargin_, shadowMargin_, shadowMargin_, shadowMargin_));
  if (pos.x() < inner.left() + resizeBorder_.left()) edges |= Qt::LeftEdge;
  if (pos.x() > inner.right() - resizeBorder_.right()) edges |= Qt::RightEdge;
  if (pos.y() < inner.top() + resizeBorder_.top()) edges |= Qt::TopEdge;
  if (pos.y() > inner.bottom() - resizeBorder_.bottom()) edges |= Qt::BottomEdge;
  return edges;
}

void Window::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  QPoint pos = event->position().toPoint();
  Qt::Edges edges = edgesAt(pos);
  if (edges && windowHandle() && windowHandle()->startSystemResize(edges)) return;
  int y = pos.y() - shadowMargin_;
  if (y >= 0 && y < captionHeight_) {
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    dragging_ = true;  // the platform cannot move it: follow the mouse ourselves
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
  }
}

void Window::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) {
    move(event->globalPosition().toPoint() - dragOffset_);
    return;
  }
  Qt::Edges edges = edgesAt(event->position().toPoint());
  if ((edges & Qt::LeftEdge && edges & Qt::TopEdge) || (edges & Qt::RightEdge && edges & Qt::BottomEdge))
    setCursor(Qt::SizeFDiagCursor);
  else if ((edges & Qt::RightEdge && edges & Qt::TopEdge) || (edges & Qt::LeftEdge && edges & Qt::BottomEdge))
    setCursor(Qt::SizeBDiagCursor);
  else if (edges & (Qt::LeftEdge | Qt::RightEdge))
    setCursor(Qt::SizeHorCursor);
  else if (edges & (Qt::TopEdge | Qt::BottomEdge))
    setCursor(Qt::SizeVerCursor);
  else
    unsetCursor();
}

void Window::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

WaitCursor::WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
WaitCursor::~WaitCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace norvane::toolkit
