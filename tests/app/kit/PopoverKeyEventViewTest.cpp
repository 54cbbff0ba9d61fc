#include "kit/ZPHPopoverKeyEventView.h"

#include <QtTest/QTest>

#include <gtest/gtest.h>

TEST(PopoverKeyEventViewTest, ReturnAndEnterCloseThePopover)
{
  struct Popover : ZPHPopoverKeyEquivalentProtocol {
    QList<QObject*> closedBy;
    void closePopOver(QObject* sender) override { closedBy.append(sender); }
  } popover;
  ZPHPopoverKeyEventView view;
  view.setDelegate(&popover);
  QTest::keyClick(&view, Qt::Key_A);
  QTest::keyClick(&view, Qt::Key_Escape);
  EXPECT_TRUE(popover.closedBy.isEmpty());
  QTest::keyClick(&view, Qt::Key_Return);
  QTest::keyClick(&view, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(popover.closedBy, (QList<QObject*>{&view, &view}));
  view.setDelegate(nullptr);
  QTest::keyClick(&view, Qt::Key_Return);
  EXPECT_EQ(popover.closedBy.size(), 2);
}
