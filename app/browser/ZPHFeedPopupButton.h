#pragma once

// Qt kind: QWidget (QToolButton).

#include "browser/CBFeedLinkDetector.h"
#include "themes/ZPHThemeUpdatingView.h"

#include <QtWidgets/QToolButton>

class QMenu;

// The small "Add" button at the right end of a browser tab's address
// field, shown while the page offers feeds. A click pops up a menu of the
// page's feeds, built anew each time: each feed by its title (its address
// when it has none; as plain text, long ones cut in the middle), followed by
// "(already added)" when an account is subscribed to it. Choosing one asks
// the application to subscribe to it (which shows a subscribed feed
// instead of adding it again). Drawn in the theme's colours.
class ZPHFeedPopupButton : public ZPHThemeUpdatingView<QToolButton> {
  Q_OBJECT

public:
  // The widest an item's title may be.
  static constexpr int LongestTitleWidth = 420;  // px

  explicit ZPHFeedPopupButton(QWidget* parent = nullptr);

  QList<CBFeedLink> availableFeeds() const { return m_availableFeeds; }
  void setAvailableFeeds(const QList<CBFeedLink>& feeds) { m_availableFeeds = feeds; }

  // The menu of the feeds (the caller owns it); null for none.
  QMenu* menuForPopupButton(QWidget* parent = nullptr) const;
  // A menu item's title for a feed title: "&" doubled (no mnemonic), cut
  // in the middle when wider than LongestTitleWidth in `metrics`.
  static QString menuTitleForFeedTitle(const QString& title, const QFontMetrics& metrics);
  // Asks the application to subscribe to the address.
  static void subscribeToFeedLink(const QString& url);

  QSize sizeHint() const override { return QSize(32, 14); }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  void showMenu();

  QList<CBFeedLink> m_availableFeeds;
};
