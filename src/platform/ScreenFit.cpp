#include "ScreenFit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace vtx {
namespace {
// Fits the window within its screen's available area now.
void FitToScreen(QWidget *window)
{
  if (!window)
    return;
  QScreen *screen = window->screen();
  if (!screen)
    screen = QGuiApplication::primaryScreen();
  if (!screen)
    return;
  const QRect area = screen->availableGeometry();
  // The frame's share (title bar, borders), known once the window was shown.
  const QRect frame = window->frameGeometry();
  const int extraW = std::max(0, frame.width() - window->width());
  const int extraH = std::max(0, frame.height() - window->height());
  const QSize minimum = window->minimumSize();
  const int w = std::max(std::min(window->width(), area.width() - extraW), minimum.width());
  const int h = std::max(std::min(window->height(), area.height() - extraH), minimum.height());
  if (w != window->width() || h != window->height())
    window->resize(w, h);
  QPoint pos = window->pos(); // the frame's top-left
  pos.setX(std::max(area.left(), std::min(pos.x(), area.right() + 1 - (w + extraW))));
  pos.setY(std::max(area.top(), std::min(pos.y(), area.bottom() + 1 - (h + extraH))));
  if (pos != window->pos())
    window->move(pos);
}

// A window manager adds its frame a little after the window is mapped
// (never, without one): fit again once the frame is known.
void FitOnceFramed(QPointer<QWidget> window, int triesLeft)
{
  QTimer::singleShot(50, window, [window, triesLeft] {
    if (!window || !window->isVisible())
      return;
    if (window->frameGeometry().size() == window->size() && triesLeft > 0) {
      FitOnceFramed(window, triesLeft - 1);
      return;
    }
    FitToScreen(window);
  });
}

class ScreenFitFilter : public QObject {
public:
  using QObject::QObject;
  bool eventFilter(QObject *watched, QEvent *event) override
  {
    if (event->type() == QEvent::Show)
      if (auto *w = qobject_cast<QWidget *>(watched); w && w->isWindow()) {
        FitToScreen(w);
        FitOnceFramed(w, 20);
      }
    return false;
  }
};
} // namespace

void KeepOnScreen(QWidget *window)
{
  static const QString kName = QStringLiteral("vtxScreenFit");
  if (!window || window->findChild<QObject *>(kName, Qt::FindDirectChildrenOnly))
    return;
  auto *filter = new ScreenFitFilter(window);
  filter->setObjectName(kName);
  window->installEventFilter(filter);
  if (window->isVisible()) { // shown already: this show counts too
    FitToScreen(window);
    FitOnceFramed(window, 20);
  }
}
} // namespace vtx
