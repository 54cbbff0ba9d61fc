#pragma once

// Qt kind: QWidget.

#include "themes/ZPHThemeUpdatingView.h"

#include <QtCore/QPointer>

class CBPopupButton;
class QToolButton;
class ZPHTabsTableView;
class ZPHUserDefaults;

// The background of the tabs column: the tabs list over a strip with the
// thumbnails and labels buttons and the gear button (the selected tab's
// menu). It follows "tabsViewState" (read through
// ZPHTabsController::tabsViewState) and shows the list that way; its
// buttons store 0 (thumbnails) or 1 (labels). Painted in the theme's
// colours, inactive ones when its window is not drawn as active.
class ZPHTabsContainerView : public ZPHThemeUpdatingView<QWidget> {
  Q_OBJECT

public:
  static constexpr int Width = 150;
  static constexpr int StripHeight = 24;

  ZPHTabsContainerView(ZPHTabsTableView* table, ZPHUserDefaults* defaults = nullptr, QWidget* parent = nullptr);
  ~ZPHTabsContainerView() override;

  ZPHTabsTableView* tableView() const { return m_table; }
  QToolButton* useThumbnailsButton() const { return m_useThumbnails; }
  QToolButton* useLabelsButton() const { return m_useLabels; }
  CBPopupButton* gearButton() const { return m_gearButton; }

  void useThumbnails();
  void useLabels();
  // Shows the list as the setting says.
  void applyViewState();

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  ZPHTabsTableView* m_table;
  ZPHUserDefaults* m_defaults;
  QToolButton* m_useThumbnails = nullptr;
  QToolButton* m_useLabels = nullptr;
  CBPopupButton* m_gearButton = nullptr;
  ZPHObserverToken m_activeObserver;
};
