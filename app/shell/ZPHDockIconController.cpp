#include "shell/ZPHDockIconController.h"

#include "foundation/CBPrefs.h"
#include "platform/ZPHUserDefaults.h"

#include <QtGui/QPainter>
#include <QtWidgets/QSystemTrayIcon>
#include <QtWidgets/QWidget>

ZPHDockIconController::ZPHDockIconController(QObject* parent) : QObject(parent)
{
  ZPHUserDefaults::standardUserDefaults().observe(ZPHUnreadCountSelection, this,
                                                  [this](const QVariant&) { updateDockIcon(); });
}

ZPHDockIconController::~ZPHDockIconController() = default;

void ZPHDockIconController::setMainWindow(QWidget* window)
{
  m_window = window;
  m_shownCount.reset();
  updateDockIcon();
}

void ZPHDockIconController::setTrayIcon(QSystemTrayIcon* trayIcon)
{
  m_trayIcon = trayIcon;
  m_trayBaseIcon = trayIcon != nullptr ? trayIcon->icon() : QIcon();
  m_shownCount.reset();
  updateDockIcon();
}

void ZPHDockIconController::setUnreadCounts(quint64 unreadCount, quint64 unreadFavoritesCount)
{
  m_unreadCount = unreadCount;
  m_unreadFavoritesCount = unreadFavoritesCount;
  updateDockIcon();
}

void ZPHDockIconController::updateDockIcon()
{
  const qint64 selection = ZPHUserDefaults::standardUserDefaults().integerForKey(ZPHUnreadCountSelection);
  updateDockBadgeWithUnreadCount(selection == 0 ? m_unreadFavoritesCount : selection == 1 ? m_unreadCount : 0);
}

void ZPHDockIconController::updateDockBadgeWithUnreadCount(quint64 count)
{
  if (m_shownCount == count)
    return;
  m_shownCount = count;
  ++m_badgeUpdates;
  if (m_window != nullptr)
    m_window->setWindowTitle(windowTitleForCount(count));
  if (m_trayIcon != nullptr) {
    m_trayIcon->setIcon(badgedIcon(m_trayBaseIcon, count));
    m_trayIcon->setToolTip(toolTipForCount(count));
  }
}

QString ZPHDockIconController::windowTitleForCount(quint64 count)
{
  return count == 0 ? QStringLiteral("Zephlin") : QStringLiteral("Zephlin (%1)").arg(count);
}

QString ZPHDockIconController::toolTipForCount(quint64 count)
{
  if (count == 0)
    return QStringLiteral("Zephlin");
  return count == 1 ? tr("Zephlin: 1 unread article") : tr("Zephlin: %1 unread articles").arg(count);
}

QIcon ZPHDockIconController::badgedIcon(const QIcon& base, quint64 count)
{
  if (count == 0 || base.isNull())
    return base;
  QIcon badged;
  for (int size : {16, 22, 24, 32, 48, 64}) {
    QPixmap pixmap = base.pixmap(size, size);
    if (pixmap.isNull())
      continue;
    pixmap.setDevicePixelRatio(1);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QString text = count > 999 ? QStringLiteral("999+") : QString::number(count);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(std::max(7, size * 9 / 16));
    painter.setFont(font);
    const int textWidth = painter.fontMetrics().horizontalAdvance(text);
    const int height = std::max(9, size * 5 / 8);
    const int width = std::min(size, std::max(height, textWidth + height / 2));
    const QRectF disc(size - width, 0, width, height);
    painter.setPen(QPen(Qt::white, std::max(1, size / 24)));
    painter.setBrush(QColor(214, 48, 49));
    painter.drawRoundedRect(disc, height / 2.0, height / 2.0);
    painter.setPen(Qt::white);
    painter.drawText(disc, Qt::AlignCenter, text);
    painter.end();
    badged.addPixmap(pixmap);
  }
  return badged;
}
