#pragma once

// Qt kind: QWidget.

#include "articlelist/ZPHArticleListGroupItem.h"
#include "store/tree/ZPHTreeNodeRepresentedObjects.h"

#include <QtWidgets/QWidget>

#include <memory>

class ZPHSearchOperation;
class ZPHSearchScopePopUpButtonCell;

// The header over search results: "Search:" and the pop-up that chooses
// what the search looks at (All Articles, All Titles, Written By, and with
// selected sites, after a separator, the same three within them; each item's
// tag is the search type). Choosing a type other than the current search's
// asks for a new search of that type (searchTypeChosen).
//
// The standard layout shows it over the results' header row; the classic
// layout in a strip above its table (ZPHClassicLayoutSearchHeader).
class ZPHArticleSearchGroupHeaderView : public QWidget {
  Q_OBJECT

public:
  explicit ZPHArticleSearchGroupHeaderView(QWidget* parent = nullptr);
  ~ZPHArticleSearchGroupHeaderView() override;

  QString title() const { return m_title; }
  void setTitle(const QString& title);
  const ZPHArticleListGroupItem& groupItem() const { return m_groupItem; }
  void setGroupItem(const ZPHArticleListGroupItem& item) { m_groupItem = item; }

  std::shared_ptr<ZPHSearchOperation> searchOperation() const { return m_searchOperation; }
  // A different value rebuilds the menu.
  void setSearchOperation(std::shared_ptr<ZPHSearchOperation> operation);
  const QList<ZPHRepresentedObject>& selectedFeeds() const { return m_selectedFeeds; }
  void setSelectedFeeds(const QList<ZPHRepresentedObject>& feeds);

  ZPHSearchScopePopUpButtonCell* searchTypePopUpButton() const { return m_searchTypePopUpButton; }
  // The items' tags in order (-1 for the separator).
  QList<int> menuTags() const;

  // x: 6 after the title; width: the room left less 12, at most 300;
  // height 20, centred (the classic strip: 3 above the bottom).
  QRect searchTypePopUpButtonFrame() const;
  static QRect searchTypePopUpButtonFrame(const QRectF& titleFrame, const QSize& bounds, bool classic);

  // The menu anew; the current search's type selected.
  void menuNeedsUpdate();

Q_SIGNALS:
  void searchTypeChosen(int type);

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  virtual bool isClassic() const { return false; }

private:
  void searchTypeChanged(int index);
  void placeButton();

  QString m_title;
  ZPHArticleListGroupItem m_groupItem;
  std::shared_ptr<ZPHSearchOperation> m_searchOperation;
  QList<ZPHRepresentedObject> m_selectedFeeds;
  ZPHSearchScopePopUpButtonCell* m_searchTypePopUpButton = nullptr;
  bool m_rebuilding = false;
};
