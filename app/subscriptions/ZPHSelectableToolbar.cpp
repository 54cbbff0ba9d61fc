#include "subscriptions/ZPHSelectableToolbar.h"

#include "kit/CBPathExtras.h"
#include "kit/ZPHShadow.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTimer>
#include <QtCore/QVariantAnimation>
#include <QtGui/QKeyEvent>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtWidgets/QApplication>
#include <QtWidgets/QHBoxLayout>

namespace {

constexpr int ImageTop = 6;
constexpr int TitleBottomMargin = 5;
constexpr int TitleHeight = 17;
constexpr int InterItemPadding = 2;
constexpr int Padding = 5;

QImage tinted(const QImage& image, const QColor& color)
{
  if (image.isNull())
    return image;
  QImage result = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&result);
  painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
  painter.fillRect(result.rect(), color);
  return result;
}

// Keyframes at 0, 0.6 and 1, linear between them.
double keyframe(double t, double a, double b, double c)
{
  if (t <= 0.6)
    return a + (b - a) * (t / 0.6);
  return b + (c - b) * ((t - 0.6) / 0.4);
}

void paintSelection(QPainter& painter, const QRectF& rect)
{
  ZPHTheme* theme = ZPHTheme::currentTheme();
  QPainterPath path;
  path.addRoundedRect(rect, 4, 4);
  QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
  gradient.setColorAt(0, theme->selectableToolbarSelectionBackgroundGradientTopColor());
  gradient.setColorAt(1, theme->selectableToolbarSelectionBackgroundGradientBottomColor());
  painter.fillPath(path, gradient);
  const ZPHShadow shadow(4, theme->selectableToolbarSelectionInnerShadowColor(), QPointF(0, 0));
  zph_drawInnerShadow(painter, path, shadow);
}

}  // namespace

// ------------------------------------------------------------------ items

ZPHSelectableToolbarItemView::ZPHSelectableToolbarItemView(QWidget* parent) : ZPHThemeUpdatingView(parent)
{
  setCheckable(true);
  setFocusPolicy(Qt::TabFocus);
  setAttribute(Qt::WA_Hover);
}

void ZPHSelectableToolbarItemView::setTemplateImage(const QImage& image)
{
  m_image = image;
  updateGeometry();
  update();
}

void ZPHSelectableToolbarItemView::setHighlightedForSelectedState(bool highlighted)
{
  m_highlightedForSelectedState = highlighted;
  update();
}

void ZPHSelectableToolbarItemView::setActualyDisabled(bool disabled)
{
  m_actualyDisabled = disabled;
  setFocusPolicy(disabled ? Qt::NoFocus : Qt::TabFocus);
  update();
}

void ZPHSelectableToolbarItemView::setHidesContentForAnimation(bool hides)
{
  m_hidesContentForAnimation = hides;
  update();
}

void ZPHSelectableToolbarItemView::runPopAnimationWithDelay(double delaySeconds)
{
  setHidesContentForAnimation(true);
  QPointer<ZPHSelectableToolbarItemView> self(this);
  QTimer::singleShot(int(delaySeconds * 1000), this, [self] {
    if (self == nullptr)
      return;
    auto* animation = new QVariantAnimation(self);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setDuration(260);
    QObject::connect(animation, &QVariantAnimation::valueChanged, self, [self](const QVariant& value) {
      self->m_popProgress = value.toDouble();
      self->update();
    });
    QObject::connect(animation, &QVariantAnimation::finished, self, [self] {
      self->m_popProgress = 1.0;
      self->setHidesContentForAnimation(false);
    });
    self->m_popProgress = 0.0;
    self->m_hidesContentForAnimation = false;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
  });
}

QSize ZPHSelectableToolbarItemView::sizeHint() const
{
  const QFontMetrics metrics(font());
  const int textWidth = metrics.horizontalAdvance(text());
  const int imageWidth = m_image.isNull() ? 0 : int(m_image.width() / m_image.devicePixelRatio());
  return {std::max(textWidth, imageWidth) + 6 + 16, ZPHSelectableToolbar::Height};
}

void ZPHSelectableToolbarItemView::mousePressEvent(QMouseEvent* event)
{
  if (m_actualyDisabled) {
    event->ignore();
    return;
  }
  QPushButton::mousePressEvent(event);
}

void ZPHSelectableToolbarItemView::mouseReleaseEvent(QMouseEvent* event)
{
  if (m_actualyDisabled) {
    event->ignore();
    return;
  }
  QPushButton::mouseReleaseEvent(event);
}

void ZPHSelectableToolbarItemView::paintEvent(QPaintEvent*)
{
  if (m_hidesContentForAnimation)
    return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  if (m_popProgress < 1.0) {
    const double scale = keyframe(m_popProgress, 0.1, 1.2, 1.0);
    painter.setOpacity(keyframe(m_popProgress, 0.0, 1.0, 1.0));
    painter.translate(width() / 2.0, height() / 2.0);
    painter.scale(scale, scale);
    painter.translate(-width() / 2.0, -height() / 2.0);
  }
  const bool showsOn = isChecked() && m_highlightedForSelectedState;
  if (showsOn && !isDown())
    paintSelection(painter, QRectF(rect()).adjusted(1.5, 3.5, -1.5, -3.5));
  ZPHTheme* theme = ZPHTheme::currentTheme();
  QColor color = theme->selectableToolbarTextColor();
  if (isDown())
    color = color.darker(160);
  if (!m_image.isNull()) {
    const QSizeF imageSize = QSizeF(m_image.size()) / m_image.devicePixelRatio();
    const QPointF origin(std::round((width() - imageSize.width()) / 2.0), ImageTop);
    painter.drawImage(QRectF(origin, imageSize), tinted(m_image, color));
  }
  QFont titleFont = font();
  titleFont.setPixelSize(13);
  painter.setFont(titleFont);
  painter.setPen(color);
  const QRectF titleRect(3, height() - TitleHeight - TitleBottomMargin, width() - 6, TitleHeight);
  painter.drawText(titleRect, Qt::AlignHCenter | Qt::AlignVCenter, text());
  if (hasFocus()) {
    QPen pen(palette().color(QPalette::Highlight));
    pen.setWidthF(1.5);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(2, 4, -2, -4), 4, 4);
  }
}

void ZPHSelectableToolbarSelectionView::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  paintSelection(painter, QRectF(rect()));
}

// ---------------------------------------------------------------- toolbar

ZPHSelectableToolbar::ZPHSelectableToolbar(QWidget* parent) : ZPHThemeUpdatingView(parent)
{
  setFixedHeight(Height);
  auto* outer = new QHBoxLayout(this);
  outer->setContentsMargins(Padding, 0, Padding, 0);
  outer->setSpacing(0);
  outer->addStretch(1);
  m_containerView = new QWidget(this);
  m_containerLayout = new QHBoxLayout(m_containerView);
  m_containerLayout->setContentsMargins(0, 0, 0, 0);
  m_containerLayout->setSpacing(InterItemPadding);
  outer->addWidget(m_containerView);
  outer->addStretch(1);
}

ZPHSelectableToolbar::~ZPHSelectableToolbar()
{
  if (QCoreApplication* application = QCoreApplication::instance())
    application->removeEventFilter(this);
}

QSize ZPHSelectableToolbar::sizeHint() const { return {m_containerView->sizeHint().width() + 2 * Padding, Height}; }

void ZPHSelectableToolbar::setAllowsAndShowsSelection(bool allows)
{
  if (allows == m_allowsAndShowsSelection)
    return;
  m_allowsAndShowsSelection = allows;
  if (m_dataSource != nullptr)
    reloadData();
}

void ZPHSelectableToolbar::setDrawsSelection(bool draws)
{
  if (draws == m_drawsSelection)
    return;
  m_drawsSelection = draws;
  if (draws) {
    m_selectionView = new ZPHSelectableToolbarSelectionView(m_containerView);
    m_selectionView->lower();
    m_selectionView->show();
  } else if (m_selectionView != nullptr) {
    delete m_selectionView.data();
  }
  updateSelectionViewGeometry();
}

void ZPHSelectableToolbar::reloadDataWithAnimation(bool animate)
{
  m_numberOfItems = m_dataSource != nullptr ? std::max(0, m_dataSource->numberOfItemsInToolbar(this)) : 0;
  if (m_indexOfSelectedItem >= m_numberOfItems)
    m_indexOfSelectedItem = 0;
  for (ZPHSelectableToolbarItemView* view : std::as_const(m_itemViews)) delete view;
  m_itemViews.clear();

  for (int i = 0; i < m_numberOfItems; ++i) {
    auto* item = new ZPHSelectableToolbarItemView(m_containerView);
    if (!m_allowsAndShowsSelection) {
      item->setHighlightedForSelectedState(false);
      item->setActualyDisabled(true);
    }
    item->setText(m_dataSource->titleForItemInToolbar(this, i));
    item->setTemplateImage(m_dataSource->templateImageForItemInToolbar(this, i));
    item->setChecked(i == m_indexOfSelectedItem);
    connect(item, &QAbstractButton::clicked, this, [this, i] {
      // A momentary button: the state follows the selection, not the click.
      m_itemViews.at(i)->setChecked(i == m_indexOfSelectedItem);
      selectItemAtIndex(i, true);
    });
    m_containerLayout->addWidget(item);
    m_itemViews.append(item);
  }
  // Equally wide items.
  int width = 0;
  for (ZPHSelectableToolbarItemView* item : std::as_const(m_itemViews))
    width = std::max(width, item->sizeHint().width());
  for (ZPHSelectableToolbarItemView* item : std::as_const(m_itemViews)) item->setFixedWidth(width);
  if (m_selectionView != nullptr)
    m_selectionView->lower();
  if (animate) {
    for (int i = 0; i < m_itemViews.size(); ++i) m_itemViews.at(i)->runPopAnimationWithDelay(0.3 + 0.2 * i);
  }
  if (m_numberOfItems > 0)
    selectItemAtIndex(m_indexOfSelectedItem);
}

void ZPHSelectableToolbar::selectItemAtIndex(int index, bool animated)
{
  Q_UNUSED(animated);
  if (!m_allowsAndShowsSelection && !m_itemViews.isEmpty() && index != m_indexOfSelectedItem)
    return;
  if (m_delegate != nullptr && !m_delegate->toolbarShouldSelectItemAtIndex(this, index))
    return;
  Q_ASSERT_X(index >= 0 && index < m_itemViews.size(), Q_FUNC_INFO, "an index without an item view");
  if (index < 0 || index >= m_itemViews.size())
    return;
  if (m_delegate != nullptr)
    m_delegate->toolbarWillSelectItemAtIndex(this, index);
  m_indexOfSelectedItem = index;
  for (int i = 0; i < m_itemViews.size(); ++i) m_itemViews.at(i)->setChecked(i == index);
  updateSelectionViewGeometry();
  if (m_delegate != nullptr)
    m_delegate->toolbarDidSelectItemAtIndex(this, index);
}

void ZPHSelectableToolbar::updateSelectionViewGeometry()
{
  if (m_selectionView == nullptr || m_indexOfSelectedItem >= m_itemViews.size())
    return;
  m_containerView->layout()->activate();
  m_selectionView->setGeometry(m_itemViews.at(m_indexOfSelectedItem)->geometry());
}

std::optional<int> ZPHSelectableToolbar::indexSelectedByKey(int key, Qt::KeyboardModifiers modifiers,
                                                            const QString& text, int selectedIndex, int numberOfItems)
{
  if (!modifiers.testFlag(Qt::ControlModifier) || modifiers.testFlag(Qt::AltModifier) ||
      modifiers.testFlag(Qt::MetaModifier))
    return std::nullopt;
  if (modifiers.testFlag(Qt::ShiftModifier)) {
    const bool next = text == QLatin1String("}") || key == Qt::Key_BraceRight;
    const bool previous = text == QLatin1String("{") || key == Qt::Key_BraceLeft;
    if (next && selectedIndex < numberOfItems - 1)
      return selectedIndex + 1;
    if (previous && selectedIndex > 0)
      return selectedIndex - 1;
    return std::nullopt;
  }
  if (key >= Qt::Key_1 && key <= Qt::Key_9 && key - Qt::Key_1 < numberOfItems)
    return key - Qt::Key_1;
  return std::nullopt;
}

bool ZPHSelectableToolbar::event(QEvent* event)
{
  if (event->type() == QEvent::ParentChange || event->type() == QEvent::Show || event->type() == QEvent::Hide)
    watchWindow();
  return ZPHThemeUpdatingView::event(event);
}

void ZPHSelectableToolbar::watchWindow()
{
  QCoreApplication* application = QCoreApplication::instance();
  if (application == nullptr)
    return;
  application->removeEventFilter(this);
  m_watchedWindow = isVisible() ? window() : nullptr;
  if (m_watchedWindow != nullptr)
    application->installEventFilter(this);
}

bool ZPHSelectableToolbar::eventFilter(QObject* watched, QEvent* event)
{
  if ((event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) || m_watchedWindow == nullptr)
    return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != m_watchedWindow || !m_allowsAndShowsSelection)
    return false;
  auto* key = static_cast<QKeyEvent*>(event);
  const std::optional<int> index =
      indexSelectedByKey(key->key(), key->modifiers(), key->text(), m_indexOfSelectedItem, m_numberOfItems);
  if (!index.has_value())
    return false;
  if (event->type() == QEvent::ShortcutOverride) {
    // Claims the key, so no shortcut takes it; it comes back as a key press.
    event->accept();
    return false;
  }
  selectItemAtIndex(*index, true);
  return true;
}

void ZPHSelectableToolbar::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  ZPHTheme* theme = ZPHTheme::currentTheme();
  QLinearGradient gradient(0, 0, 0, height());
  gradient.setColorAt(0, theme->selectableToolbarBackgroundGradientTopColor());
  gradient.setColorAt(1, theme->selectableToolbarBackgroundGradientBottomColor());
  painter.fillRect(rect(), gradient);
  painter.fillRect(QRectF(0, height() - 1, width(), 1), theme->selectableToolbarBottomBorderColor());
}
