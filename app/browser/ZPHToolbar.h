#pragma once

// Qt kind: QWidget.

#include "themes/ZPHThemeUpdatingView.h"

#include <QtCore/QList>
#include <QtCore/QPointer>

class QHBoxLayout;
class ZPHCloseButton;

// The strip at the top of a browser tab: its close button at the left,
// then its items (the back/forward and stop/reload controls and the address
// field), drawn in the light theme's browser-toolbar colours whatever the
// theme (the page below is a web page, which knows no dark theme).
class ZPHToolbar : public ZPHThemeUpdatingView<QWidget> {
  Q_OBJECT

public:
  static constexpr int Height = 32;

  explicit ZPHToolbar(QWidget* parent = nullptr);

  ZPHCloseButton* closeButton() const { return m_closeButton; }
  QList<QWidget*> toolbarItems() const;
  // Replaces the items (the old ones are taken out, not deleted); `stretch`
  // names the one that takes the width left.
  void setToolbarItems(const QList<QWidget*>& items, QWidget* stretch = nullptr);
  void hideAllItems();
  void unhideItemsInArray(const QList<QWidget*>& items);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  ZPHCloseButton* m_closeButton;
  QHBoxLayout* m_layout;
  QList<QPointer<QWidget>> m_items;
};
