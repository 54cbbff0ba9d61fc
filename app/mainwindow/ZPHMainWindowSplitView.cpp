#include "mainwindow/ZPHMainWindowSplitView.h"

#include "foundation/CBPrefs.h"

#include <QtCore/QEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>

// Draws the divider in its view's colour and takes drags through the view's
// constraint.
class ZPHMainWindowSplitViewHandle : public QSplitterHandle {
public:
  ZPHMainWindowSplitViewHandle(Qt::Orientation orientation, ZPHMainWindowSplitView* parent)
      : QSplitterHandle(orientation, parent), m_view(parent)
  {
  }

protected:
  void paintEvent(QPaintEvent*) override
  {
    QPainter painter(this);
    painter.fillRect(rect(), m_view->dividerColor());
  }

  void mousePressEvent(QMouseEvent* event) override
  {
    if (event->button() == Qt::LeftButton)
      m_offset = event->position().toPoint().x();
    QSplitterHandle::mousePressEvent(event);
  }

  void mouseMoveEvent(QMouseEvent* event) override
  {
    if (!(event->buttons() & Qt::LeftButton) || m_view->indexOf(this) != 1) {
      QSplitterHandle::mouseMoveEvent(event);
      return;
    }
    const int proposed = m_view->mapFromGlobal(event->globalPosition().toPoint()).x() - m_offset;
    moveSplitter(m_view->constrain(proposed));
  }

private:
  ZPHMainWindowSplitView* m_view;
  int m_offset = 0;
};

ZPHMainWindowSplitView::ZPHMainWindowSplitView(QWidget* parent) : QSplitter(Qt::Horizontal, parent)
{
  setHandleWidth(1);
  setChildrenCollapsible(false);
  setOpaqueResize(true);
  m_stylesObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHStylesDidChangeNotification, QVariant(), this,
      [this](const ZPHNotification&) { setTexturedSplitter(m_texturedSplitter); });
}

ZPHMainWindowSplitView::~ZPHMainWindowSplitView() = default;

QSplitterHandle* ZPHMainWindowSplitView::createHandle()
{
  return new ZPHMainWindowSplitViewHandle(orientation(), this);
}

void ZPHMainWindowSplitView::setTexturedSplitter(bool textured)
{
  m_texturedSplitter = textured;
  for (int index = 0; index < count(); ++index) {
    if (QSplitterHandle* divider = handle(index))
      divider->update();
  }
}

QColor ZPHMainWindowSplitView::mainWindowSplitViewTexturedDividerColor() { return QColor::fromRgbF(0.44, 0.44, 0.44); }

QColor ZPHMainWindowSplitView::mainWindowNotKeySplitViewTexturedDividerColor()
{
  return QColor::fromRgbF(0.6, 0.6, 0.6);
}

QColor ZPHMainWindowSplitView::dividerColor() const
{
  if (!m_texturedSplitter)
    return palette().color(QPalette::Mid);
  return isActiveWindow() ? mainWindowSplitViewTexturedDividerColor() : mainWindowNotKeySplitViewTexturedDividerColor();
}

void ZPHMainWindowSplitView::setDividerPositionConstraint(std::function<int(int)> constraint)
{
  m_constraint = std::move(constraint);
}

int ZPHMainWindowSplitView::constrain(int proposed) const { return m_constraint ? m_constraint(proposed) : proposed; }

void ZPHMainWindowSplitView::moveDividerToPosition(int proposed) { moveSplitter(constrain(proposed), 1); }

int ZPHMainWindowSplitView::dividerPosition() const
{
  const QWidget* first = count() > 0 ? widget(0) : nullptr;
  return first != nullptr ? first->width() : 0;
}

void ZPHMainWindowSplitView::changeEvent(QEvent* event)
{
  QSplitter::changeEvent(event);
  if (event->type() == QEvent::ActivationChange)
    setTexturedSplitter(m_texturedSplitter);
}
