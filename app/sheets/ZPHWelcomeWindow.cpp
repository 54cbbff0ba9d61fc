#include "sheets/ZPHWelcomeWindow.h"

#include <QtGui/QCloseEvent>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

#include <cmath>

ZPHWelcomeWindow::ZPHWelcomeWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
  setObjectName(QStringLiteral("WelcomeWindow"));
  setWindowTitle(tr("Welcome to Zephlin"));
  setFixedSize(Width, Height);
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QColor(38, 52, 74));
  setPalette(palette);
  // Wide enough for several steps' slides.
  m_far = new ZPHWelcomeParallaxView(ZPHWelcomeParallaxView::Layer::Far, this);
  m_far->setGeometry(0, 0, Width + 4 * 40, Height);
  m_near = new ZPHWelcomeParallaxView(ZPHWelcomeParallaxView::Layer::Near, this);
  m_near->setGeometry(0, 0, Width + 4 * 120, Height);
  m_stateContainer = new QWidget(this);
  m_stateContainer->setObjectName(QStringLiteral("stateContainerView"));
  m_stateContainer->setGeometry(0, 0, Width, Height);
}

void ZPHWelcomeWindow::closeEvent(QCloseEvent* event)
{
  if (m_shouldClose && !m_shouldClose()) {
    event->ignore();
    return;
  }
  Q_EMIT willClose();
  QWidget::closeEvent(event);
}

ZPHWelcomeParallaxView::ZPHWelcomeParallaxView(Layer layer, QWidget* parent) : QWidget(parent), m_layer(layer)
{
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ZPHWelcomeParallaxView::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal w = width();
  const qreal h = height();
  if (m_layer == Layer::Far) {
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(30, 44, 70));
    sky.setColorAt(1, QColor(58, 86, 120));
    painter.fillRect(rect(), sky);
    // Soft lights scattered across the sky.
    for (int i = 0; i < 24; ++i) {
      const qreal x = std::fmod(i * 97.0, w);
      const qreal y = 20 + std::fmod(i * 53.0, h * 0.55);
      const qreal r = 2 + (i % 4) * 3;
      QRadialGradient glow(QPointF(x, y), r * 3);
      glow.setColorAt(0, QColor(255, 255, 255, 60));
      glow.setColorAt(1, QColor(255, 255, 255, 0));
      painter.setPen(Qt::NoPen);
      painter.setBrush(glow);
      painter.drawEllipse(QPointF(x, y), r * 3, r * 3);
    }
    return;
  }
  // Hills along the bottom.
  for (int band = 0; band < 2; ++band) {
    QPainterPath hills;
    const qreal base = h * (band == 0 ? 0.72 : 0.82);
    hills.moveTo(0, h);
    for (qreal x = 0; x <= w; x += 8) hills.lineTo(x, base + std::sin(x / (band == 0 ? 90.0 : 60.0)) * 18);
    hills.lineTo(w, h);
    hills.closeSubpath();
    painter.fillPath(hills, band == 0 ? QColor(36, 62, 88, 200) : QColor(26, 44, 64, 230));
  }
}
