#include "kit/CBPopupButton.h"

#include <QtGui/QMouseEvent>
#include <QtWidgets/QMenu>

CBPopupButton::CBPopupButton(QWidget* parent) : QPushButton(parent) { setFocusPolicy(Qt::NoFocus); }

void CBPopupButton::setPullDownMenu(QMenu* menu)
{
  if (m_pullDownMenu == menu)
    return;
  QMenu* previous = m_pullDownMenu;
  m_pullDownMenu = menu;
  if (menu != nullptr && menu->parent() == nullptr)
    menu->setParent(this, menu->windowFlags());
  // A menu the button took for itself goes when replaced (once closed).
  if (previous != nullptr && previous->parent() == this)
    previous->deleteLater();
}

void CBPopupButton::getMenuFromPullDownMenuDelegate()
{
  if (m_pullDownMenuDelegate != nullptr)
    setPullDownMenu(m_pullDownMenuDelegate->menuForPopupButton(this));
}

QPoint CBPopupButton::menuAnchor() const { return mapToGlobal(QPoint(rect().left() + 3, rect().bottom() + 1 + 3)); }

void CBPopupButton::mousePressEvent(QMouseEvent* event)
{
  event->accept();
  if (event->button() != Qt::LeftButton || !isEnabled())
    return;
  getMenuFromPullDownMenuDelegate();
  QMenu* menu = m_pullDownMenu;
  if (menu == nullptr)
    return;
  setDown(true);
  connect(
      menu, &QMenu::aboutToHide, this, [this] { setDown(false); }, Qt::SingleShotConnection);
  menu->popup(menuAnchor());
}

void CBPopupButton::mouseReleaseEvent(QMouseEvent* event)
{
  // The menu took the press; the release has nothing to click.
  event->accept();
}
