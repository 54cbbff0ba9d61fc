#pragma once

// Qt kind: QObject.

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtGui/QIcon>

#include <optional>

class QSystemTrayIcon;
class QWidget;

// The unread badge. The desktop has no dock tile, so the count shows in the
// main window's title ("Zephlin (12)"; "Zephlin" for none) and, where a
// tray exists, painted on the tray icon with a tool tip. Which count:
// "ZPHUnreadCountSelection" 0 the favourites' unread articles, 1 all
// unread articles, anything else none; the badge follows changes of the
// counts and of the choice. A count that did not change touches nothing.
//
// The application makes one at start-up and hands it the counts as they
// change. Main thread.
class ZPHDockIconController : public QObject {
  Q_OBJECT

public:
  explicit ZPHDockIconController(QObject* parent = nullptr);
  ~ZPHDockIconController() override;

  void setMainWindow(QWidget* window);
  void setTrayIcon(QSystemTrayIcon* trayIcon);
  void setUnreadCounts(quint64 unreadCount, quint64 unreadFavoritesCount);

  // The count the choice picks, shown.
  void updateDockIcon();
  void updateDockBadgeWithUnreadCount(quint64 count);
  // The count shown last (none before the first).
  std::optional<quint64> shownCount() const { return m_shownCount; }
  // How often the badge was redrawn.
  int badgeUpdates() const { return m_badgeUpdates; }

  static QString windowTitleForCount(quint64 count);
  static QString toolTipForCount(quint64 count);
  // The icon with the count in a red disc at its top right (the icon alone
  // for 0).
  static QIcon badgedIcon(const QIcon& base, quint64 count);

private:
  QPointer<QWidget> m_window;
  QPointer<QSystemTrayIcon> m_trayIcon;
  QIcon m_trayBaseIcon;
  quint64 m_unreadCount = 0;
  quint64 m_unreadFavoritesCount = 0;
  std::optional<quint64> m_shownCount;
  int m_badgeUpdates = 0;
};
