#include "browser/ZPHToolbar.h"

#include "browser/ZPHBrowserImages.h"
#include "browser/ZPHCloseButton.h"

#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtWidgets/QHBoxLayout>

ZPHToolbar::ZPHToolbar(QWidget* parent) : ZPHThemeUpdatingView<QWidget>(parent)
{
  setFixedHeight(Height);
  setAttribute(Qt::WA_OpaquePaintEvent);
  m_layout = new QHBoxLayout(this);
  m_layout->setContentsMargins(6, 4, 8, 4);
  m_layout->setSpacing(6);
  m_closeButton = new ZPHCloseButton(this);
  m_closeButton->setObjectName(QStringLiteral("ZPHBrowserCloseButton"));
  m_closeButton->setRealImage(ZPHBrowserImages::icon(QStringLiteral("tab_close")));
  m_closeButton->setPressedImage(ZPHBrowserImages::icon(QStringLiteral("tab_closePressed")));
  m_closeButton->setMouseOverImage(ZPHBrowserImages::icon(QStringLiteral("tab_closeMouseover")));
  m_closeButton->setToolTip(tr("Close web page. You can also use Ctrl+W to close the web page."));
  m_layout->addWidget(m_closeButton);
}

QList<QWidget*> ZPHToolbar::toolbarItems() const
{
  QList<QWidget*> items;
  for (const QPointer<QWidget>& item : m_items)
    if (item)
      items.append(item);
  return items;
}

void ZPHToolbar::setToolbarItems(const QList<QWidget*>& items, QWidget* stretch)
{
  for (const QPointer<QWidget>& item : std::as_const(m_items)) {
    if (item) {
      m_layout->removeWidget(item);
      item->setParent(nullptr);
    }
  }
  m_items.clear();
  for (QWidget* item : items) {
    m_items.append(item);
    m_layout->addWidget(item, item == stretch ? 1 : 0);
  }
  update();
}

void ZPHToolbar::hideAllItems()
{
  for (QWidget* item : toolbarItems()) item->hide();
}

void ZPHToolbar::unhideItemsInArray(const QList<QWidget*>& items)
{
  for (QWidget* item : items)
    if (toolbarItems().contains(item))
      item->show();
}

void ZPHToolbar::paintEvent(QPaintEvent* event)
{
  Q_UNUSED(event);
  ZPHTheme* light = ZPHTheme::lightTheme();
  QPainter painter(this);
  painter.fillRect(rect(), Qt::gray);
  if (light == nullptr)
    return;
  QLinearGradient gradient(0, 0, 0, height());
  gradient.setColorAt(0, light->browserToolbarGradientTopColor());
  gradient.setColorAt(1, light->browserToolbarGradientBottomColor());
  painter.fillRect(rect(), gradient);
  painter.fillRect(QRect(0, 0, width(), 1), light->browserToolbarTopStrokeColor());
  painter.fillRect(QRect(0, height() - 1, width(), 1), light->browserToolbarBottomStrokeColor());
}
