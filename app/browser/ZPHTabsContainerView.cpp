#include "browser/ZPHTabsContainerView.h"

#include "browser/ZPHTabsController.h"
#include "browser/ZPHTabsTableView.h"
#include "foundation/CBPrefs.h"
#include "kit/CBPathExtras.h"
#include "kit/CBPopupButton.h"
#include "kit/ZPHShadow.h"
#include "kit/ZPHWindowShouldDrawActive.h"
#include "platform/ZPHUserDefaults.h"

#include <QtCore/QTimer>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtWidgets/QToolButton>

namespace {

QToolButton* stripButton(const QString& text, const QString& toolTip, QWidget* parent)
{
  auto* button = new QToolButton(parent);
  button->setText(text);
  button->setToolTip(toolTip);
  button->setCheckable(true);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  QFont font = button->font();
  font.setPixelSize(11);
  button->setFont(font);
  return button;
}

}  // namespace

ZPHTabsContainerView::ZPHTabsContainerView(ZPHTabsTableView* table, ZPHUserDefaults* defaults, QWidget* parent)
    : ZPHThemeUpdatingView<QWidget>(parent),
      m_table(table),
      m_defaults(defaults != nullptr ? defaults : &ZPHUserDefaults::standardUserDefaults())
{
  setObjectName(QStringLiteral("ZPHTabsContainerView"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  m_table->setParent(this);
  m_useThumbnails = stripButton(tr("Thumbnails"), tr("Show the tabs as pictures"), this);
  m_useLabels = stripButton(tr("Labels"), tr("Show the tabs as titles"), this);
  m_gearButton = new CBPopupButton(this);
  m_gearButton->setText(QStringLiteral("\u2699"));
  m_gearButton->setToolTip(tr("Actions for the selected tab"));
  m_gearButton->setFlat(true);
  connect(m_useThumbnails, &QToolButton::clicked, this, &ZPHTabsContainerView::useThumbnails);
  connect(m_useLabels, &QToolButton::clicked, this, &ZPHTabsContainerView::useLabels);
  m_defaults->observe(ZPHBrowserTabsViewState, this, [this](const QVariant&) { applyViewState(); });
  m_activeObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHActiveTrackingWindowShouldDrawActiveChangedNotification, QVariant(), this,
      [this](const ZPHNotification&) { update(); });
  applyViewState();
  // Once more when the list has its size.
  QTimer::singleShot(0, this, &ZPHTabsContainerView::applyViewState);
}

ZPHTabsContainerView::~ZPHTabsContainerView() = default;

void ZPHTabsContainerView::useThumbnails() { m_defaults->setInteger(ZPHBrowserTabsViewState, 0); }

void ZPHTabsContainerView::useLabels() { m_defaults->setInteger(ZPHBrowserTabsViewState, 1); }

void ZPHTabsContainerView::applyViewState()
{
  const int state = ZPHTabsController::tabsViewState(m_defaults);
  m_useThumbnails->setChecked(state == 0);
  m_useLabels->setChecked(state == 1);
  m_table->setTabsViewState(state);
  m_table->viewport()->update();
}

void ZPHTabsContainerView::resizeEvent(QResizeEvent* event)
{
  QWidget::resizeEvent(event);
  const int strip = StripHeight;
  m_table->setGeometry(1, 1, width() - 2, height() - strip - 1);
  const int y = height() - strip + 2;
  const int buttonHeight = strip - 4;
  m_useThumbnails->setGeometry(6, y, 70, buttonHeight);
  m_useLabels->setGeometry(78, y, 44, buttonHeight);
  m_gearButton->setGeometry(width() - 28, y, 22, buttonHeight);
}

void ZPHTabsContainerView::paintEvent(QPaintEvent* event)
{
  Q_UNUSED(event);
  ZPHTheme* theme = ZPHTheme::currentTheme();
  if (theme == nullptr)
    return;
  const bool active = window() == nullptr || window() == this || zph_windowShouldDrawActive(this);
  QPainter painter(this);
  painter.fillRect(
      rect(), active ? theme->tabsContainerViewBackgroundColor() : theme->tabsContainerViewInactiveBackgroundColor());
  QPainterPath bounds;
  bounds.addRect(QRectF(rect()));
  zph_drawInnerShadow(
      painter, bounds,
      ZPHShadow(4.0, active ? theme->tabsContainerViewShadowColor() : theme->tabsContainerViewInactiveShadowColor(),
                QPointF(0, 0)));
  painter.setPen(active ? theme->tabsContainerViewStrokeColor() : theme->tabsContainerViewInactiveStrokeColor());
  painter.drawRect(QRectF(rect()).adjusted(0.5, 0, -0.5, -1));
  // The strip of the buttons.
  painter.drawLine(QPointF(0, height() - StripHeight + 0.5), QPointF(width(), height() - StripHeight + 0.5));
}
