#pragma once

// Qt kind: QWidget (QComboBox).

#include "themes/ZPHCustomPopUpButton.h"

// The "Search:" header's pop-up of what a search looks at, drawn in the
// theme's search-scope colours: a rounded bezel (radius 8) with a vertical
// gradient, its stroke and shadow, the title and a down arrow. Pressed
// while its menu is open; inactive while the window does not draw active.
class ZPHSearchScopePopUpButtonCell : public ZPHCustomPopUpButton {
  Q_OBJECT

public:
  explicit ZPHSearchScopePopUpButtonCell(QWidget* parent = nullptr);

  enum class Look { Normal, Pressed, Inactive };
  Look look() const;

  void showPopup() override;
  void hidePopup() override;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  bool m_popupShown = false;
};
