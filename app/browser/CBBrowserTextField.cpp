#include "browser/CBBrowserTextField.h"

#include "browser/ZPHBrowserImages.h"
#include "browser/ZPHFeedPopupButton.h"
#include "common/CBPasteboard.h"
#include "kit/ZPHIndeterminateProgressIndicator.h"
#include "kit/ZPHMenuAdditions.h"

#include <QtCore/QMimeData>
#include <QtGui/QDrag>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>

namespace {

constexpr int kIconAreaWidth = 20;
constexpr int kSpinnerRoom = 22;

}  // namespace

CBBrowserTextField::CBBrowserTextField(QWidget* parent) : ZPHThemeUpdatingView<QLineEdit>(parent)
{
  setFrame(false);
  setFixedHeight(Height);
  setAttribute(Qt::WA_MacShowFocusRect, false);
  setPlaceholderText(tr("Type an address"));
  m_image = ZPHBrowserImages::defaultTabIcon();

  m_spinner = new ZPHIndeterminateProgressIndicator(this);
  m_spinner->setAttribute(Qt::WA_TransparentForMouseEvents);
  m_spinner->hide();
  m_addButton = new ZPHFeedPopupButton(this);
  m_addButton->hide();
  configureTextColor();
  layoutSubviews();
}

void CBBrowserTextField::configureTextColor()
{
  QPalette palette = this->palette();
  if (ZPHTheme* theme = ZPHTheme::currentTheme())
    palette.setColor(QPalette::Text, theme->browserAddressFieldTextColor());
  palette.setColor(QPalette::Base, Qt::transparent);
  setPalette(palette);
}

void CBBrowserTextField::themeChanged(const ZPHNotification& notification)
{
  configureTextColor();
  ZPHThemeUpdatingView<QLineEdit>::themeChanged(notification);
}

void CBBrowserTextField::setTitle(const QString& title)
{
  m_title = title;
  if (m_displayTitle && text() != title)
    setText(title);
  update();
}

void CBBrowserTextField::setURLString(const QString& urlString)
{
  m_urlString = urlString;
  // What the user is typing stays.
  if (!m_displayTitle && text() != urlString && !(hasFocus() && isModified()))
    setText(urlString);
  update();
}

void CBBrowserTextField::setDisplayTitle(bool displayTitle)
{
  if (displayTitle == m_displayTitle)
    return;
  m_displayTitle = displayTitle;
  update();
}

void CBBrowserTextField::setImage(const QIcon& image)
{
  m_image = image.isNull() ? ZPHBrowserImages::defaultTabIcon() : image;
  update(iconRect());
}

void CBBrowserTextField::setInProgress(bool inProgress)
{
  if (inProgress == m_inProgress)
    return;
  m_inProgress = inProgress;
  m_spinner->setVisible(inProgress);
  if (inProgress)
    m_spinner->startProgressAnimation();
  else
    m_spinner->stopProgressAnimation();
  update();
}

void CBBrowserTextField::setEstimatedProgress(double progress) { m_estimatedProgress = std::clamp(progress, 0.0, 1.0); }

void CBBrowserTextField::setAddButtonHidden(bool hidden)
{
  m_addButtonHidden = hidden;
  m_addButton->setVisible(!hidden);
  layoutSubviews();
  update();
}

QRect CBBrowserTextField::addButtonFrame() const { return QRect(width() - 38, 4, 32, 14); }

QRect CBBrowserTextField::indeterminateProgressIndicatorFrame() const { return QRect(width() - 20, 3, 16, 16); }

QRect CBBrowserTextField::iconRect() const { return QRect(0, 0, kIconAreaWidth, height()); }

QRect CBBrowserTextField::textFrame() const
{
  const int left = 5 + std::max(16, kIconAreaWidth) + 5;
  int right = 5 + kSpinnerRoom;
  if (!m_addButtonHidden)
    right += 2 + addButtonFrame().width();
  return QRect(left, 0, std::max(0, width() - left - right), height());
}

void CBBrowserTextField::layoutSubviews()
{
  m_spinner->setGeometry(indeterminateProgressIndicatorFrame());
  // The feed button goes left of the spinner's place.
  m_addButton->setGeometry(addButtonFrame().translated(-kSpinnerRoom + 6, 0));
  const QRect text = textFrame();
  setTextMargins(text.left(), 0, width() - text.right() - 1, 0);
}

void CBBrowserTextField::resizeEvent(QResizeEvent* event)
{
  QLineEdit::resizeEvent(event);
  layoutSubviews();
}

void CBBrowserTextField::paintEvent(QPaintEvent* event)
{
  ZPHTheme* theme = ZPHTheme::currentTheme();
  if (theme != nullptr) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -1.5);
    const qreal c = std::min(3.6, std::min(r.width(), r.height()) / 2);
    // Round on the left only: the stop/reload control sits against it.
    QPainterPath outline;
    outline.moveTo(r.left(), r.top() + c);
    outline.arcTo(QRectF(r.left(), r.top(), 2 * c, 2 * c), 180, -90);
    outline.lineTo(r.right(), r.top());
    outline.lineTo(r.right(), r.bottom());
    outline.lineTo(r.left() + c, r.bottom());
    outline.arcTo(QRectF(r.left(), r.bottom() - 2 * c, 2 * c, 2 * c), 270, -90);
    outline.closeSubpath();
    painter.fillPath(outline, theme->browserAddressFieldFillColor());
    QLinearGradient stroke(r.topLeft(), r.bottomLeft());
    stroke.setColorAt(0, theme->browserAddressFieldOutlineGradientTopColor());
    stroke.setColorAt(1, theme->browserAddressFieldOutlineGradientBottomColor());
    painter.setPen(QPen(theme->browserAddressFieldShadowColor(), 1));
    painter.drawPath(outline.translated(0, 1));
    painter.setPen(QPen(QBrush(stroke), 1));
    painter.drawPath(outline);
    const QRect icon = QRect(5, (height() - 16) / 2, 16, 16);
    m_image.paint(&painter, icon);
  }
  QLineEdit::paintEvent(event);
  if (theme != nullptr) {
    // Text that runs on fades out before the controls at the right.
    QPainter painter(this);
    const QRect text = textFrame();
    const QRect band(text.right() - 19, 2, 20, height() - 4);
    QLinearGradient fade(band.topRight(), band.topLeft());
    QColor fill = theme->browserAddressFieldFillColor();
    fade.setColorAt(0, fill);
    fill.setAlphaF(0.0);
    fade.setColorAt(1, fill);
    painter.fillRect(band, fade);
    painter.setPen(theme->browserAddressFieldInnerShadowColor());
    painter.drawLine(QPointF(4, 1.5), QPointF(width() - 1, 1.5));
  }
}

void CBBrowserTextField::mousePressEvent(QMouseEvent* event)
{
  m_iconPressed = false;
  if (event->button() == Qt::LeftButton && iconRect().contains(event->position().toPoint()) && !m_inProgress) {
    m_iconPressed = true;
    m_iconPressPoint = event->position().toPoint();
    event->accept();
    return;
  }
  QLineEdit::mousePressEvent(event);
}

void CBBrowserTextField::mouseMoveEvent(QMouseEvent* event)
{
  if (m_iconPressed && (event->buttons() & Qt::LeftButton)) {
    if ((event->position().toPoint() - m_iconPressPoint).manhattanLength() >= QApplication::startDragDistance()) {
      m_iconPressed = false;
      startIconDrag();
    }
    event->accept();
    return;
  }
  QLineEdit::mouseMoveEvent(event);
}

void CBBrowserTextField::startIconDrag()
{
  const QUrl url(m_urlString);
  if (m_urlString.isEmpty() || !url.isValid())
    return;
  QMimeData* data = CBMimeDataWithURLAndTitle(m_urlString, m_title);
  QPixmap picture = grab(rect().adjusted(2, 2, -2, -2));
  QPixmap faded(picture.size());
  faded.setDevicePixelRatio(picture.devicePixelRatio());
  faded.fill(Qt::transparent);
  {
    QPainter painter(&faded);
    painter.setOpacity(0.5);
    painter.drawPixmap(0, 0, picture);
  }
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  drag->setPixmap(faded);
  Q_EMIT iconDragStarted();
  drag->exec(Qt::CopyAction, Qt::CopyAction);
}

void CBBrowserTextField::contextMenuEvent(QContextMenuEvent* event)
{
  QMenu* menu = createStandardContextMenu();
  const QList<QAction*> items = menu->actions();
  const QList<QAction*> kept = zph_menuItemsByCleaningUpSeparatorItems(items);
  for (QAction* item : items) menu->removeAction(item);
  menu->addActions(kept);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}
