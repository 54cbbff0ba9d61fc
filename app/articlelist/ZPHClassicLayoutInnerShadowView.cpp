#include "articlelist/ZPHClassicLayoutInnerShadowView.h"

#include "kit/ZPHWindowShouldDrawActive.h"
#include "themes/ZPHTheme.h"

#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>

ZPHClassicLayoutInnerShadowView::ZPHClassicLayoutInnerShadowView(QWidget* parent) : QWidget(parent)
{
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ZPHClassicLayoutInnerShadowView::paintEvent(QPaintEvent* event)
{
  Q_UNUSED(event);
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  const bool active = zph_windowShouldDrawActive(this);
  QLinearGradient gradient(0, height(), 0, 0);
  gradient.setColorAt(0, active ? theme->classicArticleListBottomGradientBottomColor()
                                : theme->classicArticleListBottomGradientInactiveBottomColor());
  gradient.setColorAt(1, active ? theme->classicArticleListBottomGradientTopColor()
                                : theme->classicArticleListBottomGradientInactiveTopColor());
  QPainter painter(this);
  painter.fillRect(rect(), gradient);
}
