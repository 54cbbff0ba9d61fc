#pragma once

// Qt kind: QWidget (QScrollArea).

#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QList>
#include <QtWidgets/QScrollArea>

#include <functional>
#include <vector>

class QVBoxLayout;
class ZPHAddSiteTableCellView;

// Watches the notifications after which a row's site image may be another
// (an icon downloaded or found, a new screen scale); `changed` runs on the
// main thread while `owner` lives. The tokens go into `observers`.
void ZPHObserveFaviconChanges(QObject* owner, const std::function<void(const ZPHNotification&)>& changed,
                              std::vector<ZPHObserverToken>& observers);

// The list of rows of an Add Site pane: rows one above the other, no
// selection, a vertical scroller when they do not fit. It never takes the
// focus itself (its rows' check boxes do).
class ZPHAddSiteSubscriptionListTableView : public QScrollArea {
  Q_OBJECT
public:
  explicit ZPHAddSiteSubscriptionListTableView(QWidget* parent = nullptr);

  // Takes the rows (the old ones go).
  void setRows(const QList<ZPHAddSiteTableCellView*>& rows);
  const QList<ZPHAddSiteTableCellView*>& rows() const { return m_rows; }
  int numberOfRows() const { return int(m_rows.size()); }
  // The height of the first `count` rows (all when fewer); 0 for none.
  int zph_fittingHeightForMaxNumberOfRows(int count) const;

private:
  QWidget* m_content = nullptr;
  QVBoxLayout* m_layout = nullptr;
  QList<ZPHAddSiteTableCellView*> m_rows;
};
