#include "browser/ZPHBrowserContextualMenu.h"

ZPHBrowserContextualMenu::ZPHBrowserContextualMenu(const QString& title, std::function<void()> didGoAway,
                                                   QWidget* parent)
    : QMenu(title, parent), m_didGoAway(std::move(didGoAway))
{
  setObjectName(QStringLiteral("TabMenu"));
}

ZPHBrowserContextualMenu::~ZPHBrowserContextualMenu()
{
  if (m_didGoAway)
    m_didGoAway();
}
