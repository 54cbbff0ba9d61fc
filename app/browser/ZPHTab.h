#pragma once

// Qt kind: QObject.

#include "common/ZPHApplicationNotifications.h"

#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtGui/QImage>

// ZPHTabsTableViewControllerTabsNeedsDisplayNotification (the application's
// notifications) redraws a tab's row.

// One tab of the main window: the news-items tab (the article list and the
// article view, always first) or a browser tab. The tabs list draws a tab
// from these answers. Main thread only.
class ZPHTab : public QObject {
  Q_OBJECT

public:
  explicit ZPHTab(QObject* parent = nullptr) : QObject(parent) {}
  ~ZPHTab() override;

  virtual bool isBrowserTab() const = 0;
  bool isNewsItemsTab() const { return !isBrowserTab(); }
  // The title shown for the tab (plain text).
  virtual QString displayTitle() = 0;
  // The picture shown in the tabs list; null for none.
  virtual QImage thumbnailImage() const = 0;

  bool isSelected() const { return m_selected; }
  virtual void setIsSelected(bool selected) { m_selected = selected; }
  // Outlined in the tabs list while its context menu is open.
  bool highlightedForContextualMenu() const { return m_highlightedForContextualMenu; }
  void setHighlightedForContextualMenu(bool highlighted) { m_highlightedForContextualMenu = highlighted; }

  // Posts ZPHTabsTableViewControllerTabsNeedsDisplayNotification for the tab.
  void markSelfAsNeedingRedisplay(bool shouldUpdateNewsItemsThumbnail = true);

protected:
  bool m_selected = false;

private:
  bool m_highlightedForContextualMenu = false;
};
