#pragma once

// Qt kind: QWidget (QPushButton).

#include <QtCore/QPointer>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPushButton>

class CBPopupButton;
class QMenu;

// Asked by a pull-down button for the menu to pop up, on every press.
class CBPopupButtonDelegate {
public:
  virtual ~CBPopupButtonDelegate() = default;
  // The menu, or null for none (the press then does nothing).
  virtual QMenu* menuForPopupButton(CBPopupButton* button) = 0;
};

// A plain button that, when pressed, pops a menu up directly under itself
// as a pull-down: its top-left corner 3 points right of the button's left
// edge and 3 points below its bottom edge, wherever the press was. A
// delegate, when set, supplies the menu on every press; otherwise the menu
// set earlier is used. Without a menu a press does nothing. The button never
// takes the keyboard focus. A menu without a parent becomes the button's.
class CBPopupButton : public QPushButton {
  Q_OBJECT

public:
  explicit CBPopupButton(QWidget* parent = nullptr);

  QMenu* pullDownMenu() const { return m_pullDownMenu; }
  void setPullDownMenu(QMenu* menu);
  // Not owned; must outlive the button or be unset.
  CBPopupButtonDelegate* pullDownMenuDelegate() const { return m_pullDownMenuDelegate; }
  void setPullDownMenuDelegate(CBPopupButtonDelegate* delegate) { m_pullDownMenuDelegate = delegate; }

  // The delegate's answer, null included, becomes the pull-down menu; with
  // no delegate the menu stays.
  void getMenuFromPullDownMenuDelegate();
  // Where the menu's top-left corner goes, in global coordinates.
  QPoint menuAnchor() const;

protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  QPointer<QMenu> m_pullDownMenu;
  CBPopupButtonDelegate* m_pullDownMenuDelegate = nullptr;
};
