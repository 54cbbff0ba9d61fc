#pragma once

// Qt kind: QObject that owns widgets.

#include "articleview/ZPHArticleDetailPane.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QPointer>

class QLabel;
class QWidget;

// The article view where no rendered page is installed (the layouts'
// default without the application): the selected article's title and date
// as plain text. A load "finishes" on the next
// turn of the event loop; margins are only remembered.
class ZPHPlainArticleDetailPane : public ZPHArticleDetailPane {
  Q_OBJECT

public:
  ZPHPlainArticleDetailPane();
  ~ZPHPlainArticleDetailPane() override;

  QWidget* view() override;
  void loadArticle(const LoadRequest& request) override;
  void updateArticleFlaggedState() override {}
  bool shouldAllowArticleWidthIncrease() const override { return true; }
  bool shouldAllowArticleWidthDecrease() const override { return true; }
  double articleWidth() const override { return m_width; }
  void setMarginWidth(double width) override { m_width = width; }

  QString shownTitle() const;
  QString shownDate() const;
  int loads() const { return m_loads; }

private:
  void recolor();

  QPointer<QWidget> m_view;
  ZPHObserverToken m_themeObserver;
  QLabel* m_title = nullptr;
  QLabel* m_date = nullptr;
  double m_width = 0;
  int m_loads = 0;
};
