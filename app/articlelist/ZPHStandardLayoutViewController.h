#pragma once

// Qt kind: QObject that owns widgets.

#include "articlelist/ZPHClassicLayoutViewController.h"

// The standard layout: the article list to the left of the detail pane,
// one column of tall rows (title, preview, feed, thumbnail) under date
// headers, or under one "Search:" header while search results show.
// Clicking or arrowing onto a header selects the first article under it.
// Everything else is the classic layout's.
class ZPHStandardLayoutViewController : public ZPHClassicLayoutViewController {
  Q_OBJECT

public:
  static constexpr int MinimumListWidth = 200;
  static constexpr int MaximumListWidth = 700;

  explicit ZPHStandardLayoutViewController(QObject* parent = nullptr);
  ~ZPHStandardLayoutViewController() override;

  bool supportsGroupHeaders() const override { return true; }
  bool isArticleAtRowLastInGroup(int row) const;
  // The height of a row as the layout gives it.
  int heightOfRow(int row) const;

protected:
  Qt::Orientation splitOrientation() const override { return Qt::Horizontal; }
  int columnCount() const override { return 1; }
  void setupTableHeader() override;
  QAbstractItemDelegate* makeItemDelegate() override;
  void configureSplitView() override;
  QString listSizeKey() const override { return QStringLiteral("ZPHStandardLayoutListWidth"); }
  bool fillsDetailPaneAtLoad() const override { return false; }
  void applyRowHeights() override;
  void tableViewSelectionDidChange() override;
  void didReloadData() override;
  const ZPHClassicLayoutRowView& rowView() const override;
};
