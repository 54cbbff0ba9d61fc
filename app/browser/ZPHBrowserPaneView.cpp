#include "browser/ZPHBrowserPaneView.h"

#include <QtCore/QEasingCurve>
#include <QtCore/QVariantAnimation>

#include <cmath>

ZPHBrowserPaneView::ZPHBrowserPaneView(QWidget* parent) : QWidget(parent)
{
  setObjectName(QStringLiteral("ZPHArticleListContentView"));
}

ZPHBrowserPaneView::~ZPHBrowserPaneView()
{
  if (m_animation)
    m_animation->stop();
}

bool ZPHBrowserPaneView::animating() const { return m_animation != nullptr; }

void ZPHBrowserPaneView::setContentView(QWidget* content)
{
  m_content = content;
  if (content != nullptr) {
    content->setParent(this);
    content->show();
  }
  layOut(m_fraction);
}

void ZPHBrowserPaneView::setTabsColumn(QWidget* tabs, int width)
{
  m_tabs = tabs;
  m_tabsWidth = width;
  if (tabs != nullptr) {
    tabs->setParent(this);
    tabs->setVisible(m_tabsShown);
  }
  layOut(m_fraction);
}

int ZPHBrowserPaneView::visibleTabsWidth() const
{
  return m_tabs != nullptr && m_tabs->isVisible() ? int(std::lround(m_tabsWidth * m_fraction)) : 0;
}

bool ZPHBrowserPaneView::setTabsShown(bool shown, bool animate)
{
  if (m_animation)
    return false;
  m_tabsShown = shown;
  const qreal target = shown ? 1.0 : 0.0;
  if (m_tabs != nullptr && shown)
    m_tabs->show();
  if (!animate || !isVisible() || m_tabs == nullptr) {
    layOut(target);
    if (!shown && m_tabs != nullptr)
      m_tabs->hide();
    Q_EMIT tabsWidthChanged(visibleTabsWidth());
    return true;
  }
  auto* slide = new QVariantAnimation(this);
  slide->setDuration(SlideDuration);
  slide->setEasingCurve(QEasingCurve::OutCubic);
  slide->setStartValue(m_fraction);
  slide->setEndValue(target);
  connect(slide, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) { layOut(value.toReal()); });
  connect(slide, &QVariantAnimation::finished, this, [this, shown] {
    layOut(shown ? 1.0 : 0.0);
    if (!shown && m_tabs != nullptr)
      m_tabs->hide();
    m_animation = nullptr;
    Q_EMIT tabsWidthChanged(visibleTabsWidth());
    Q_EMIT animationFinished();
  });
  m_animation = slide;
  slide->start(QAbstractAnimation::DeleteWhenStopped);
  return true;
}

void ZPHBrowserPaneView::layOut(qreal shownFraction)
{
  m_fraction = shownFraction;
  const int column = int(std::lround(m_tabsWidth * shownFraction));
  if (m_content != nullptr)
    m_content->setGeometry(0, 0, std::max(0, width() - column), height());
  if (m_tabs != nullptr)
    m_tabs->setGeometry(width() - column, 0, m_tabsWidth, height());
  const int reported = visibleTabsWidth();
  if (reported != m_reportedWidth && !m_animation) {
    m_reportedWidth = reported;
    Q_EMIT tabsWidthChanged(reported);
  }
}

void ZPHBrowserPaneView::resizeEvent(QResizeEvent* event)
{
  QWidget::resizeEvent(event);
  layOut(m_fraction);
}
