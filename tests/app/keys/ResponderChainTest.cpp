#include "keys/ZPHResponderChain.h"
#include "keys/ZPHUserInterfaceValidations.h"

#include <QtGui/QAction>
#include <QtWidgets/QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A controller answering some commands, recording what ran.
class Controller : public QObject, public ZPHUserInterfaceValidations {
public:
  Controller(const QString& name, const QStringList& selectors, QStringList* log) : m_log(log)
  {
    setObjectName(name);
    for (const QString& selector : selectors) {
      auto* action = new QAction(this);
      action->setObjectName(selector);
      connect(action, &QAction::triggered, this, [this, selector] { m_log->append(objectName() + " " + selector); });
    }
  }
  QStringList disabled;
  bool validateUserInterfaceItem(QAction* item) override
  {
    item->setEnabled(!disabled.contains(item->objectName()));
    return item->isEnabled();
  }

private:
  QStringList* m_log;
};

}  // namespace

TEST(ResponderChainTest, TheFocusedControllersAnswerFirstThenTheWindowThenTheApplication)
{
  QStringList log;
  Controller sourceList(QStringLiteral("sourceList"), {"markAllAsRead:", "delete:"}, &log);
  Controller articles(QStringLiteral("articles"), {"toggleRead:"}, &log);
  auto window = std::make_unique<Controller>(QStringLiteral("window"),
                                             QStringList{"markAllAsRead:", "toggleRead:", "nextUnread:"}, &log);
  auto application = std::make_unique<QObject>();
  application->setObjectName(QStringLiteral("application"));
  auto* refresh = new QAction(application.get());
  refresh->setObjectName(QStringLiteral("refreshAll:"));
  QObject::connect(refresh, &QAction::triggered, [&] { log.append(QStringLiteral("application refreshAll:")); });

  QWidget root;
  auto* sourceListView = new QWidget(&root);
  auto* outline = new QWidget(sourceListView);
  auto* articleView = new QWidget(&root);
  auto* table = new QWidget(articleView);
  ZPHResponderChain::setViewController(sourceListView, &sourceList);
  ZPHResponderChain::setViewController(articleView, &articles);
  EXPECT_EQ(ZPHResponderChain::viewController(sourceListView), &sourceList);
  EXPECT_EQ(ZPHResponderChain::viewController(outline), nullptr);

  ZPHResponderChain chain({window.get(), application.get()});
  EXPECT_EQ(chain.responders(outline), (QList<QObject*>{&sourceList, window.get(), application.get()}));
  EXPECT_EQ(chain.responders(nullptr), (QList<QObject*>{window.get(), application.get()}));

  EXPECT_TRUE(chain.sendAction(QStringLiteral("markAllAsRead:"), outline));
  EXPECT_TRUE(chain.sendAction(QStringLiteral("markAllAsRead:"), table));
  EXPECT_TRUE(chain.sendAction(QStringLiteral("toggleRead:"), table));
  EXPECT_TRUE(chain.sendAction(QStringLiteral("toggleRead:"), outline));
  EXPECT_TRUE(chain.sendAction(QStringLiteral("refreshAll:"), table));
  EXPECT_FALSE(chain.sendAction(QStringLiteral("noSuchCommand:"), table));
  EXPECT_EQ(log, (QStringList{"sourceList markAllAsRead:", "window markAllAsRead:", "articles toggleRead:",
                              "window toggleRead:", "application refreshAll:"}));

  // A command that does not validate is used up but does not run.
  log.clear();
  window->disabled = {QStringLiteral("nextUnread:")};
  EXPECT_TRUE(chain.sendAction(QStringLiteral("nextUnread:"), table));
  EXPECT_TRUE(log.isEmpty());
  EXPECT_FALSE(window->findChild<QAction*>(QStringLiteral("nextUnread:"))->isEnabled());

  // Responders that went away drop out of the chain.
  window.reset();
  EXPECT_EQ(chain.responders(table), (QList<QObject*>{&articles, application.get()}));
  EXPECT_FALSE(chain.sendAction(QStringLiteral("nextUnread:"), table));
  ZPHResponderChain::setViewController(articleView, nullptr);
  EXPECT_EQ(chain.responders(table), (QList<QObject*>{application.get()}));
}
