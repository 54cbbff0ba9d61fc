#pragma once

// Qt kind: QWidget (QMenu).

#include <QtCore/QPointer>
#include <QtWidgets/QMenu>

#include <functional>

// A context menu of the tabs list that tells its controller when it goes
// away (the outline of the tab it was opened on goes with it).
class ZPHBrowserContextualMenu : public QMenu {
  Q_OBJECT

public:
  ZPHBrowserContextualMenu(const QString& title, std::function<void()> didGoAway, QWidget* parent = nullptr);
  ~ZPHBrowserContextualMenu() override;

private:
  std::function<void()> m_didGoAway;
};
