#include "browser/ZPHFeedPopupButton.h"

#include "common/ZPHAppServices.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "store/CBDataController.h"

#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtWidgets/QMenu>

ZPHFeedPopupButton::ZPHFeedPopupButton(QWidget* parent) : ZPHThemeUpdatingView<QToolButton>(parent)
{
  setText(tr("Add"));
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::ArrowCursor);
  setToolTip(tr("Subscribe to a feed of this page"));
  connect(this, &QToolButton::clicked, this, &ZPHFeedPopupButton::showMenu);
}

QString ZPHFeedPopupButton::menuTitleForFeedTitle(const QString& title, const QFontMetrics& metrics)
{
  const QString plain = title.simplified();
  const QString cut = metrics.elidedText(plain, Qt::ElideMiddle, LongestTitleWidth);
  QString escaped = cut;
  escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
  return escaped;
}

QMenu* ZPHFeedPopupButton::menuForPopupButton(QWidget* parent) const
{
  if (m_availableFeeds.isEmpty())
    return nullptr;
  auto* menu = new QMenu(parent);
  const QFontMetrics metrics(menu->font());
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  const CBDataController* data = delegate != nullptr ? delegate->dataController() : nullptr;
  for (const CBFeedLink& feed : m_availableFeeds) {
    if (feed.url.isEmpty())
      continue;
    QString title = menuTitleForFeedTitle(feed.title.isEmpty() ? feed.url : feed.title, metrics);
    if (data != nullptr && data->anyAccountIsSubscribedToFeedWithURL(QUrl(feed.url)))
      title += QLatin1Char(' ') + tr("(already added)");
    QAction* item = menu->addAction(title);
    item->setData(feed.url);
    const QString url = feed.url;
    connect(item, &QAction::triggered, menu, [url] { subscribeToFeedLink(url); });
  }
  if (menu->actions().isEmpty()) {
    delete menu;
    return nullptr;
  }
  return menu;
}

void ZPHFeedPopupButton::subscribeToFeedLink(const QString& url)
{
  if (!url.isEmpty())
    ZPHAppServices::current().handleSubscribeToFeedRequest(url, true, true);
}

void ZPHFeedPopupButton::showMenu()
{
  QMenu* menu = menuForPopupButton(this);
  if (menu == nullptr)
    return;
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(mapToGlobal(QPoint(0, height() + 2)));
}

void ZPHFeedPopupButton::paintEvent(QPaintEvent* event)
{
  Q_UNUSED(event);
  ZPHTheme* theme = ZPHTheme::currentTheme();
  if (theme == nullptr)
    return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QPainterPath bezel;
  bezel.addRoundedRect(frame, 1.5, 1.5);
  const bool pressed = isDown();
  QLinearGradient gradient(frame.topLeft(), frame.bottomLeft());
  gradient.setColorAt(0, pressed ? theme->browserAddressFieldAddButtonGradientHighlightedTopColor()
                                 : theme->browserAddressFieldAddButtonGradientTopColor());
  gradient.setColorAt(1, pressed ? theme->browserAddressFieldAddButtonGradientHighlightedBottomColor()
                                 : theme->browserAddressFieldAddButtonGradientBottomColor());
  painter.fillPath(bezel, gradient);
  painter.setPen(QPen(theme->browserAddressFieldAddButtonOutlineColor(), 1));
  painter.drawPath(bezel);

  QFont font = painter.font();
  font.setPixelSize(10);
  font.setBold(true);
  painter.setFont(font);
  const QRectF textRect = QRectF(rect()).translated(0, 0.5);
  painter.setPen(theme->browserAddressFieldAddButtonTextShadowColor());
  painter.drawText(textRect.translated(0, 1), Qt::AlignCenter, text());
  painter.setPen(theme->browserAddressFieldAddButtonTextColor());
  painter.drawText(textRect, Qt::AlignCenter, text());
}
