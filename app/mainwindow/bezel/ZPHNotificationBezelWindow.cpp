#include "mainwindow/bezel/ZPHNotificationBezelWindow.h"

#include "kit/ZPHShadow.h"
#include "mainwindow/bezel/ZPHNotificationBezelContentView.h"
#include "mainwindow/bezel/ZPHNotificationBezelImageView.h"
#include "mainwindow/bezel/ZPHNotificationBezelTextField.h"

#include <QtGui/QPainter>
#include <QtWidgets/QGraphicsOpacityEffect>

#include <algorithm>
#include <cmath>

namespace {

// Room around the panel for its shadow.
constexpr int ShadowMargin = 24;
constexpr int TopPadding = 22;
constexpr int ImageTextSpacing = 12;
constexpr int BottomPadding = 20;

}  // namespace

ZPHNotificationBezelWindow::ZPHNotificationBezelWindow(QWidget* parent)
    : QWidget(parent),
      m_bezelContentView(new ZPHNotificationBezelContentView(this)),
      m_bezelTextField(new ZPHNotificationBezelTextField(m_bezelContentView)),
      m_imageView(new ZPHNotificationBezelImageView(m_bezelContentView)),
      m_opacity(new QGraphicsOpacityEffect(this))
{
  setObjectName(QStringLiteral("notificationBezel"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::NoFocus);
  m_opacity->setOpacity(0);
  setGraphicsEffect(m_opacity);
  hide();
}

ZPHShadow ZPHNotificationBezelWindow::contentShadow() { return ZPHShadow(2, QColor(0, 0, 0), QPointF(0, 1)); }

void ZPHNotificationBezelWindow::setContents(const QString& text, const QImage& image)
{
  m_bezelTextField->setText(text);
  m_imageView->setImage(image);

  const QSize imageSize = m_imageView->imageSize();
  const QSize textSize = m_bezelTextField->sizeHint();
  const int width =
      std::clamp(std::max({textSize.width() + HorizontalRoom, imageSize.width() + HorizontalRoom, MinimumPanelWidth}),
                 MinimumPanelWidth, MaximumPanelWidth);
  int y = TopPadding;
  if (!image.isNull()) {
    m_imageView->setGeometry(0, y, width, imageSize.height());
    m_imageView->show();
    y += imageSize.height() + ImageTextSpacing;
  } else {
    m_imageView->hide();
  }
  m_bezelTextField->setGeometry(HorizontalRoom / 2, y, width - HorizontalRoom, textSize.height());
  y += textSize.height() + BottomPadding;

  m_bezelContentView->setGeometry(ShadowMargin, ShadowMargin, width, y);
  resize(width + 2 * ShadowMargin, y + 2 * ShadowMargin);
}

void ZPHNotificationBezelWindow::centreOnParent()
{
  const QWidget* parent = parentWidget();
  if (parent == nullptr)
    return;
  const QSizeF panel = m_bezelContentView->size();
  const QPointF origin(std::floor((parent->width() - panel.width()) * 0.5),
                       std::floor((parent->height() - panel.height()) * 0.5));
  move(origin.toPoint() - QPoint(ShadowMargin, ShadowMargin));
}

qreal ZPHNotificationBezelWindow::contentAlpha() const { return m_opacity->opacity(); }

void ZPHNotificationBezelWindow::setContentAlpha(qreal alpha) { m_opacity->setOpacity(std::clamp(alpha, 0.0, 1.0)); }

void ZPHNotificationBezelWindow::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const ZPHShadow shadow(ZPHNotificationBezelContentView::ShadowSpread, QColor::fromRgbF(0, 0, 0, 0.1), QPointF(0, 1));
  shadow.drawForPath(painter, m_bezelContentView->shadowPath());
}
