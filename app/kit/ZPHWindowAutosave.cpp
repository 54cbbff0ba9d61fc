#include "kit/ZPHWindowAutosave.h"

#include "platform/ZPHUserDefaults.h"

#include <QtCore/QEvent>
#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWidgets/QWidget>

#include <algorithm>

ZPHWindowAutosave::ZPHWindowAutosave(QWidget* window, const QString& frameKey, const QString& maximizedKey,
                                     QObject* parent)
    : QObject(parent), m_window(window), m_frameKey(frameKey), m_maximizedKey(maximizedKey)
{
  m_saveTimer = new QTimer(this);
  m_saveTimer->setSingleShot(true);
  m_saveTimer->setInterval(SaveDelay);
  connect(m_saveTimer, &QTimer::timeout, this, &ZPHWindowAutosave::save);
  if (m_window != nullptr) {
    m_shown = m_window->isVisible();
    m_window->installEventFilter(this);
  }
}

ZPHWindowAutosave::~ZPHWindowAutosave()
{
  if (m_window != nullptr) {
    m_window->removeEventFilter(this);
    save();
  }
}

bool ZPHWindowAutosave::restore()
{
  if (m_window == nullptr)
    return false;
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  const QVariant stored = defaults.objectForKey(m_frameKey);
  const QRect frame = stored.canConvert<QRect>() ? stored.toRect() : QRect();
  // The title bar above the content counts: the whole window fits.
  const QSize titleBar(0, TitleBarAllowance);
  const QSize minimum = m_window->minimumSize().expandedTo(m_window->minimumSizeHint()) + titleBar;
  const QList<QRect> screens = availableScreenAreas();
  if (frame.isValid()) {
    const QRect onScreen = frameOnScreens(QRect(frame.topLeft(), frame.size() + titleBar), screens, minimum);
    m_window->move(onScreen.topLeft());
    m_window->resize(onScreen.size() - titleBar);
  } else if (!screens.isEmpty()) {
    // The first time the window's own size, where the screen has room for
    // it, in the middle of the primary screen (not wherever the window
    // manager's first free place is).
    const QRect screen = screens.first();
    const QSize size = m_window->size().boundedTo(screen.size() - titleBar).expandedTo(minimum - titleBar);
    m_window->resize(size);
    QRect whole(QPoint(), size + titleBar);
    whole.moveCenter(screen.center());
    m_window->move(std::max(whole.left(), screen.left()), std::max(whole.top(), screen.top()));
  }
  const bool maximized = defaults.boolForKey(m_maximizedKey);
  if (maximized)
    m_window->setWindowState(m_window->windowState() | Qt::WindowMaximized);
  return frame.isValid() || maximized;
}

void ZPHWindowAutosave::save()
{
  m_saveTimer->stop();
  if (m_window == nullptr || !m_shown)
    return;
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  const Qt::WindowStates state = m_window->windowState();
  // A minimised window keeps what it had; the frame is the normal one's.
  if (state & Qt::WindowMinimized)
    return;
  defaults.setBool(m_maximizedKey, state.testFlag(Qt::WindowMaximized));
  if (!(state & (Qt::WindowMaximized | Qt::WindowFullScreen)))
    defaults.setObject(m_frameKey, QRect(m_window->pos(), m_window->size()));
}

bool ZPHWindowAutosave::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == m_window) {
    switch (event->type()) {
      case QEvent::Show:
        m_shown = true;
        break;
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::WindowStateChange:
        // Changes come in bursts while the user drags; one save follows.
        if (m_shown)
          m_saveTimer->start();
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

QRect ZPHWindowAutosave::frameOnScreens(const QRect& frame, const QList<QRect>& screens, const QSize& minimum)
{
  if (screens.isEmpty() || frame.isEmpty())
    return frame;
  qsizetype best = 0;
  qint64 bestArea = 0;
  for (qsizetype index = 0; index < screens.size(); ++index) {
    const QRect overlap = frame.intersected(screens.at(index));
    const qint64 area = overlap.isEmpty() ? 0 : qint64(overlap.width()) * overlap.height();
    if (area > bestArea) {
      bestArea = area;
      best = index;
    }
  }
  const QRect screen = screens.at(best);
  const QSize size = frame.size().boundedTo(screen.size()).expandedTo(minimum);
  const int x =
      std::clamp(frame.x(), screen.left(), std::max(screen.left(), screen.left() + screen.width() - size.width()));
  const int y =
      std::clamp(frame.y(), screen.top(), std::max(screen.top(), screen.top() + screen.height() - size.height()));
  return QRect(QPoint(x, y), size);
}

QList<QRect> ZPHWindowAutosave::availableScreenAreas()
{
  QList<QRect> areas;
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (primary != nullptr)
    areas.append(primary->availableGeometry());
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen != primary)
      areas.append(screen->availableGeometry());
  }
  return areas;
}
