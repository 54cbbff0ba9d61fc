#include "sheets/ZPHWelcomeViewController.h"

#include "sheets/ZPHWelcomeButton.h"
#include "sheets/ZPHWelcomeWindowController.h"

#include <QtWidgets/QWidget>

ZPHWelcomeViewController::ZPHWelcomeViewController(ZPHWelcomeWindowController* windowController)
    : QObject(nullptr), m_windowController(windowController)
{
}

ZPHWelcomeViewController::~ZPHWelcomeViewController() { delete m_view.data(); }

void ZPHWelcomeViewController::invalidate() { m_windowController = nullptr; }

QWidget* ZPHWelcomeViewController::makeView()
{
  if (m_view == nullptr) {
    m_view = new QWidget();
    m_view->setAttribute(Qt::WA_TranslucentBackground);
    m_view->resize(600, 400);
  }
  return m_view;
}

QPushButton* ZPHWelcomeViewController::defaultButton() const
{
  if (m_view == nullptr)
    return nullptr;
  for (ZPHWelcomeButton* button : m_view->findChildren<ZPHWelcomeButton*>())
    if (button->kind() == ZPHWelcomeButton::Kind::Selected && button->isVisibleTo(m_view) && button->isEnabled())
      return button;
  return nullptr;
}
