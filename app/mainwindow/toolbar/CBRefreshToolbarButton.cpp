#include "mainwindow/toolbar/CBRefreshToolbarButton.h"

#include "mainwindow/toolbar/ZPHToolbarImages.h"

#include <QtCore/QEvent>
#include <QtCore/QTimer>
#include <QtGui/QPainter>
#include <QtGui/QPixmap>

#include <numbers>

CBRefreshToolbarButton::CBRefreshToolbarButton(QWidget* parent)
    : CBToolbarSegmentedControl(parent), m_heartbeat(new QTimer(this))
{
  m_heartbeat->setInterval(HeartbeatInterval);
  m_heartbeat->setTimerType(Qt::PreciseTimer);
  connect(m_heartbeat, &QTimer::timeout, this, &CBRefreshToolbarButton::zph_refreshHeartbeat);
}

CBRefreshToolbarButton::~CBRefreshToolbarButton() = default;

void CBRefreshToolbarButton::setCurrentlyRefreshing(bool refreshing)
{
  if (refreshing == m_currentlyRefreshing)
    return;
  m_currentlyRefreshing = refreshing;
  updateEnabledState();
  if (refreshing) {
    m_originalImage = imageForSegment(0);
    zph_startRefreshHeartbeat();
  } else {
    zph_stopRefreshHeartbeat();
    setImage(m_originalImage, 0);
    m_originalImage = QIcon();
  }
}

void CBRefreshToolbarButton::updateEnabledState() { setEnabled(!m_currentlyRefreshing); }

bool CBRefreshToolbarButton::isHeartbeatRunning() const { return m_heartbeat->isActive(); }

void CBRefreshToolbarButton::zph_startRefreshHeartbeat()
{
  m_heartbeatStep = 0;
  // The first frame at once, then one every 40 ms; a timer keeps turning
  // while menus are open or the window is resized.
  zph_refreshHeartbeat();
  m_heartbeat->start();
}

void CBRefreshToolbarButton::zph_stopRefreshHeartbeat() { m_heartbeat->stop(); }

void CBRefreshToolbarButton::zph_refreshHeartbeat()
{
  QIcon frame;
  frame.addPixmap(QPixmap::fromImage(zph_refreshImageForStep(m_heartbeatStep)));
  setImage(frame, 0);
  m_heartbeatStep = (m_heartbeatStep + 1) % NumberOfBars;
}

void CBRefreshToolbarButton::changeEvent(QEvent* event)
{
  CBToolbarSegmentedControl::changeEvent(event);
  if (event->type() == QEvent::PaletteChange)
    m_cacheImages.clear();
}

QString CBRefreshToolbarButton::cacheKeyForNumberOfBars(int bars, int step, int controlSize)
{
  return QStringLiteral("refresh-cache-%1-%2-%3").arg(bars).arg(step).arg(controlSize);
}

QImage CBRefreshToolbarButton::zph_refreshImageForStep(int step)
{
  const QString key = cacheKeyForNumberOfBars(NumberOfBars, step, m_controlSize);
  const auto cached = m_cacheImages.constFind(key);
  if (cached != m_cacheImages.constEnd())
    return *cached;
  if (m_cacheImages.isEmpty())
    m_cacheImages.reserve(NumberOfBars);

  qreal inner = 3.5;
  qreal length = 4.5;
  if (m_controlSize == Small) {
    inner = 2.5;
    length = 3.5;
  } else if (m_controlSize == Mini) {
    inner = 1.5;
    length = 2.5;
  }
  const qreal scale = qMax<qreal>(1.0, devicePixelRatioF());
  QImage image(QSize(16, 16) * scale, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  image.setDevicePixelRatio(scale);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor base = ZPHToolbarImages::templateColor(palette());
  for (int bar = 0; bar < NumberOfBars; ++bar) {
    const qreal angle = (1.0 - qreal(bar) / NumberOfBars) * 2 * std::numbers::pi + std::numbers::pi / 2;
    const qreal alpha =
        qBound<qreal>(0.0, 1.05 - qreal((step - bar + NumberOfBars) % NumberOfBars) / NumberOfBars, 1.0);
    QColor color = base;
    color.setAlphaF(float(alpha));
    painter.setPen(QPen(color, 2.0, Qt::SolidLine, Qt::FlatCap));
    // The image's y axis points down: the angle turns the other way.
    const QPointF direction(std::cos(angle), -std::sin(angle));
    painter.drawLine(QPointF(8, 8) + direction * inner, QPointF(8, 8) + direction * (inner + length));
  }
  painter.end();
  m_cacheImages.insert(key, image);
  return image;
}
