#include "sourcelist/ZPHSourceListView.h"

#include "common/ZPHLiveResizeNotifications.h"
#include "foundation/CBStringExtras.h"
#include "kit/ZPHClock.h"
#include "kit/ZPHNamedImage.h"
#include "platform/ZPHNotificationCenter.h"
#include "sourcelist/ZPHSourceListItemDelegate.h"
#include "sourcelist/ZPHSourceListModel.h"

#include <QtCore/QTimer>
#include <QtGui/QAccessible>
#include <QtGui/QDragMoveEvent>
#include <QtGui/QKeyEvent>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QScrollBar>

#include <algorithm>

namespace {

constexpr qint64 TypeSelectWindow = 1200;  // ms
constexpr qreal FadeDistance = 4.0;

// The strip along the bottom of the list that tells more of it lies below.
// It takes no clicks.
class FadeStrip : public QWidget {
public:
  explicit FadeStrip(QWidget* parent) : QWidget(parent)
  {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
  }

  QImage image() const { return ZPHNamedImage(QStringLiteral("FeedsPaneBottomShadowActive")); }
  int imageHeight() const
  {
    const QImage strip = image();
    return strip.isNull() ? 8 : qRound(strip.height() / strip.devicePixelRatio());
  }
  qreal alpha() const { return m_alpha; }
  void setAlpha(qreal alpha)
  {
    if (qFuzzyCompare(alpha + 1, m_alpha + 1))
      return;
    m_alpha = alpha;
    update();
  }

protected:
  void paintEvent(QPaintEvent*) override
  {
    if (m_alpha <= 0)
      return;
    QPainter painter(this);
    painter.setOpacity(m_alpha);
    painter.drawImage(rect(), image());
  }

private:
  qreal m_alpha = 0;
};

}  // namespace

ZPHSourceListView::KeyCommand ZPHSourceListView::keyCommandForKey(int key, Qt::KeyboardModifiers modifiers,
                                                                  bool isFocused, bool canMoveFocusToArticleList,
                                                                  bool onlyFavoritesSelected)
{
  const Qt::KeyboardModifiers significant =
      modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  const bool bare = significant == Qt::NoModifier;
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return bare ? KeyCommand::OpenWebPage : KeyCommand::None;
    case Qt::Key_Right:
      if (!bare || !isFocused)
        return KeyCommand::None;
      return canMoveFocusToArticleList ? KeyCommand::MoveFocusToArticleList : KeyCommand::Swallow;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
      return (modifiers & Qt::ControlModifier) && onlyFavoritesSelected ? KeyCommand::RemoveFromFavorites
                                                                        : KeyCommand::None;
    default:
      return KeyCommand::None;
  }
}

ZPHSourceListView::ZPHSourceListView(QWidget* parent)
    : QTreeView(parent), m_delegate(new ZPHSourceListItemDelegate(this)), m_liveResizeTimer(new QTimer(this))
{
  setHeaderHidden(true);
  setRootIsDecorated(false);
  setUniformRowHeights(false);
  setIndentation(16);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setFrameShape(QFrame::NoFrame);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setAllColumnsShowFocus(true);
  setAnimated(false);
  setItemDelegate(m_delegate);

  updateColors();

  m_liveResizeTimer->setSingleShot(true);
  m_liveResizeTimer->setInterval(LiveResizeQuietInterval);
  connect(m_liveResizeTimer, &QTimer::timeout, this, &ZPHSourceListView::endLiveResize);

  m_fadeStrip = new FadeStrip(this);
  m_fadeStrip->show();
}

ZPHSourceListView::~ZPHSourceListView() = default;

// MARK: - Keys

void ZPHSourceListView::keyPressEvent(QKeyEvent* event)
{
  const bool canMove = canMoveFocusToArticleList ? canMoveFocusToArticleList() : false;
  const bool favorites = onlyFavoritesSelected ? onlyFavoritesSelected() : false;
  switch (keyCommandForKey(event->key(), event->modifiers(), hasFocus(), canMove, favorites)) {
    case KeyCommand::None:
      QTreeView::keyPressEvent(event);
      return;
    case KeyCommand::OpenWebPage:
      Q_EMIT openWebPageRequested();
      break;
    case KeyCommand::MoveFocusToArticleList:
      Q_EMIT moveFocusToArticleListRequested();
      break;
    case KeyCommand::RemoveFromFavorites:
      Q_EMIT removeFromFavoritesRequested();
      break;
    case KeyCommand::Swallow:
      break;
  }
  event->accept();
}

void ZPHSourceListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
  // The tree view finds the rectangle to draw again row by row, and the
  // place of each row by adding up the heights of the rows above it, which
  // are not all of one height: a change of every feed's row costs the
  // square of the rows (0.15 s at 10,000 feeds, at every change of the
  // counts). Such a range is drawn again whole. The rows' heights follow
  // their kind, which no change of their data alters.
  const QModelIndex parent = topLeft.parent();
  if (!topLeft.isValid() || !bottomRight.isValid() || bottomRight.parent() != parent ||
      bottomRight.row() - topLeft.row() < WideRangeRows) {
    QTreeView::dataChanged(topLeft, bottomRight, roles);
    return;
  }
  const QModelIndex editing = state() == EditingState ? currentIndex() : QModelIndex();
  if (editing.isValid() && editing.parent() == parent && editing.row() >= topLeft.row() &&
      editing.row() <= bottomRight.row())
    QTreeView::dataChanged(editing, editing, roles);
  viewport()->update();
#if QT_CONFIG(accessibility)
  if (QAccessible::isActive()) {
    QAccessibleTableModelChangeEvent event(this, QAccessibleTableModelChangeEvent::DataChanged);
    event.setFirstRow(topLeft.row());
    event.setFirstColumn(topLeft.column());
    event.setLastRow(bottomRight.row());
    event.setLastColumn(bottomRight.column());
    QAccessible::updateAccessibility(&event);
  }
#endif
}

void ZPHSourceListView::keyboardSearch(const QString& search)
{
  const qint64 now = ZPHClock::systemClock().now();
  if (m_lastTypeSelectTime < 0 || now - m_lastTypeSelectTime > QApplication::keyboardInputInterval())
    m_typeSelectString.clear();
  m_lastTypeSelectTime = now;
  m_typeSelectString += search;
  if (m_typeSelectString.isEmpty() || model() == nullptr)
    return;

  // The visible rows in order, starting at the current one.
  QModelIndexList rows;
  for (QModelIndex index = model()->index(0, 0); index.isValid(); index = indexBelow(index)) rows.append(index);
  if (rows.isEmpty())
    return;
  const qsizetype start = std::max<qsizetype>(0, rows.indexOf(currentIndex()));
  // A new first letter moves on from the current row; a longer string may
  // keep it.
  const qsizetype first = m_typeSelectString.size() == 1 ? start + 1 : start;
  for (qsizetype step = 0; step < rows.size(); ++step) {
    const QModelIndex& index = rows.at((first + step) % rows.size());
    if (!(model()->flags(index) & Qt::ItemIsSelectable))
      continue;
    const QString title = CobbletonExtras::zph_stringByRemovingLeadingArticles(index.data(Qt::DisplayRole).toString());
    if (title.startsWith(m_typeSelectString, Qt::CaseInsensitive)) {
      setCurrentIndex(index);
      scrollTo(index);
      return;
    }
  }
}

bool ZPHSourceListView::isCurrentlyTypeSelecting() const
{
  return m_lastTypeSelectTime >= 0 && std::abs(ZPHClock::systemClock().now() - m_lastTypeSelectTime) < TypeSelectWindow;
}

// MARK: - Live resize

void ZPHSourceListView::noteLiveResize()
{
  if (!m_inLiveResize) {
    m_inLiveResize = true;
    ZPHNotificationCenter::defaultCenter().post(ZPHSourceListLiveResizeStartedNotification,
                                                QVariant::fromValue(static_cast<QObject*>(this)));
  }
  m_liveResizeTimer->start();
}

void ZPHSourceListView::endLiveResize()
{
  if (!m_inLiveResize)
    return;
  m_inLiveResize = false;
  viewport()->update();
  ZPHNotificationCenter::defaultCenter().post(ZPHSourceListLiveResizeEndedNotification,
                                              QVariant::fromValue(static_cast<QObject*>(this)));
}

void ZPHSourceListView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
  if (!index.isValid())
    return;
  if (!isVisible()) {
    m_pendingScrollIndex = index;
    m_pendingScrollHint = hint;
    return;
  }
  m_pendingScrollIndex = QPersistentModelIndex();
  if (hint == EnsureVisible) {
    const QRect row = visualRect(index);
    if (!row.isEmpty() && row.bottom() + 1 + verticalOffset() <= viewport()->height()) {
      verticalScrollBar()->setValue(verticalScrollBar()->minimum());
      return;
    }
  }
  QTreeView::scrollTo(index, hint);
}

void ZPHSourceListView::showEvent(QShowEvent* event)
{
  QTreeView::showEvent(event);
  if (m_pendingScrollIndex.isValid())
    scrollTo(m_pendingScrollIndex, m_pendingScrollHint);
}

void ZPHSourceListView::resizeEvent(QResizeEvent* event)
{
  QTreeView::resizeEvent(event);
  if (isVisible())
    noteLiveResize();
  updateFadeStrip();
}

// MARK: - Drawing

void ZPHSourceListView::setSelectionHidden(bool hidden)
{
  if (hidden == m_selectionHidden)
    return;
  m_selectionHidden = hidden;
  viewport()->update();
}

QColor ZPHSourceListView::selectionColor(bool focused) const { return focused ? m_highlight : m_inactiveHighlight; }

void ZPHSourceListView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
  if (!m_selectionHidden && selectionModel() != nullptr && selectionModel()->isSelected(index)) {
    const QRect row(0, option.rect.top(), viewport()->width(), option.rect.height());
    const bool focused = hasFocus() && isActiveWindow();
    if (focused) {
      const QColor base = selectionColor(true);
      QColor light = base;
      // The colour 40 % of the way to white at the top.
      light.setRgbF(base.redF() + (1 - base.redF()) * 0.4f, base.greenF() + (1 - base.greenF()) * 0.4f,
                    base.blueF() + (1 - base.blueF()) * 0.4f, base.alphaF());
      QLinearGradient gradient(row.topLeft(), row.bottomLeft());
      gradient.setColorAt(0, light);
      gradient.setColorAt(1, base);
      painter->fillRect(row, gradient);
    } else {
      painter->fillRect(row, selectionColor(false));
    }
  }
  QTreeView::drawRow(painter, option, index);
}

qreal ZPHSourceListView::fadeAlpha(qreal documentHeight, qreal visibleY, qreal visibleHeight)
{
  if (visibleY < 0)
    return std::min<qreal>(1, -visibleY / FadeDistance);
  if (documentHeight <= visibleHeight)
    return 0;
  const qreal remaining = documentHeight - (visibleY + visibleHeight);
  if (remaining > FadeDistance)
    return 1;
  return std::max<qreal>(0, remaining / FadeDistance);
}

qreal ZPHSourceListView::currentFadeAlpha() const
{
  const QScrollBar* bar = verticalScrollBar();
  const qreal visible = viewport()->height();
  return fadeAlpha(bar->maximum() + visible, bar->value(), visible);
}

void ZPHSourceListView::updateFadeStrip()
{
  auto* strip = static_cast<FadeStrip*>(m_fadeStrip.data());
  if (strip == nullptr)
    return;
  const QRect area = viewport()->geometry();
  const int height = strip->imageHeight();
  strip->setGeometry(area.left(), area.bottom() + 1 - height, area.width(), height);
  strip->setAlpha(currentFadeAlpha());
  strip->raise();
}

void ZPHSourceListView::scrollContentsBy(int dx, int dy)
{
  QTreeView::scrollContentsBy(dx, dy);
  updateFadeStrip();
}

void ZPHSourceListView::updateGeometries()
{
  QTreeView::updateGeometries();
  updateFadeStrip();
}

void ZPHSourceListView::changeEvent(QEvent* event)
{
  QTreeView::changeEvent(event);
  if (event->type() == QEvent::ActivationChange)
    viewport()->update();
  // The window's colours changed (a theme): the list takes them again.
  if (event->type() == QEvent::PaletteChange)
    updateColors();
}

void ZPHSourceListView::updateColors()
{
  // The list draws the selection itself, across the whole row: the view's
  // own highlight is made clear, and the window's is kept for drawRow(). The
  // list sits on the window's colour, apart from the reading area. Only
  // these two are the list's own; the rest it inherits.
  const QPalette window = parentWidget() != nullptr ? parentWidget()->palette() : QApplication::palette(this);
  m_highlight = window.color(QPalette::Active, QPalette::Highlight);
  m_inactiveHighlight = window.color(QPalette::Inactive, QPalette::Highlight);
  const QColor background = window.color(QPalette::Active, QPalette::Window);
  if (palette().color(QPalette::Base) == background && palette().color(QPalette::Highlight) == Qt::transparent)
    return;
  QPalette own;
  own.setColor(QPalette::All, QPalette::Highlight, Qt::transparent);
  own.setColor(QPalette::All, QPalette::Base, background);
  setPalette(own);
  viewport()->update();
}

// MARK: - Clicks

void ZPHSourceListView::mouseDoubleClickEvent(QMouseEvent* event)
{
  // A section header neither opens nor closes.
  const QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid() &&
      ZPHSourceListModel::Kind(index.data(ZPHSourceListModel::KindRole).toInt()) == ZPHSourceListModel::Kind::Header) {
    event->accept();
    return;
  }
  QTreeView::mouseDoubleClickEvent(event);
}

void ZPHSourceListView::mouseReleaseEvent(QMouseEvent* event)
{
  QTreeView::mouseReleaseEvent(event);
  m_delegate->endPress();
}

// MARK: - Expansion

void ZPHSourceListView::collapseAllItems()
{
  if (model() == nullptr)
    return;
  QModelIndexList rows;
  for (QModelIndex index = model()->index(0, 0); index.isValid(); index = indexBelow(index)) rows.append(index);
  for (auto it = rows.crbegin(); it != rows.crend(); ++it) collapse(*it);
}

void ZPHSourceListView::expandAllItems()
{
  if (model() == nullptr)
    return;
  for (QModelIndex index = model()->index(0, 0); index.isValid(); index = indexBelow(index)) expand(index);
}

// MARK: - The drop mark

void ZPHSourceListView::dragMoveEvent(QDragMoveEvent* event)
{
  QTreeView::dragMoveEvent(event);
  const DropMark before = m_dropMark;
  m_dropMark = event->isAccepted() && dropMarkProvider ? dropMarkProvider() : DropMark();
  if (before.shown || m_dropMark.shown)
    viewport()->update();
}

void ZPHSourceListView::dragLeaveEvent(QDragLeaveEvent* event)
{
  m_dropMark = {};
  QTreeView::dragLeaveEvent(event);
  viewport()->update();
}

void ZPHSourceListView::dropEvent(QDropEvent* event)
{
  m_dropMark = {};
  QTreeView::dropEvent(event);
  viewport()->update();
}

QRect ZPHSourceListView::dropMarkRect() const
{
  if (!m_dropMark.shown || model() == nullptr)
    return {};
  const QRect area = viewport()->rect();
  const QModelIndex index = m_dropMark.index;
  if (m_dropMark.childIndex < 0) {
    if (!index.isValid())
      return area.adjusted(1, 1, -1, -1);
    const QRect row = visualRect(index);
    return QRect(area.left() + 1, row.top(), area.width() - 2, row.height());
  }
  // A gap: the top of the child, or below the group's last visible row.
  const int rows = model()->rowCount(index);
  int x = 0;
  int y = 0;
  if (m_dropMark.childIndex < rows) {
    const QRect child = visualRect(model()->index(m_dropMark.childIndex, 0, index));
    x = child.left();
    y = child.top();
  } else if (rows > 0) {
    const QModelIndex lastChild = model()->index(rows - 1, 0, index);
    x = visualRect(lastChild).left();
    QModelIndex last = lastChild;
    while (isExpanded(last) && model()->rowCount(last) > 0) last = model()->index(model()->rowCount(last) - 1, 0, last);
    y = visualRect(last).bottom() + 1;
  } else {
    const QRect group = index.isValid() ? visualRect(index) : QRect();
    x = group.left() + indentation();
    y = group.bottom() + 1;
  }
  return QRect(std::max(x, area.left()), y - 1, area.right() - std::max(x, area.left()), 2);
}

void ZPHSourceListView::paintEvent(QPaintEvent* event)
{
  if (!m_dropMark.shown) {
    QTreeView::paintEvent(event);
    return;
  }
  // The tree view's own mark would point where the pointer is, not where
  // the drop goes.
  const bool indicator = showDropIndicator();
  setDropIndicatorShown(false);
  QTreeView::paintEvent(event);
  setDropIndicatorShown(indicator);
  const QRect mark = dropMarkRect();
  if (mark.isEmpty())
    return;
  QPainter painter(viewport());
  painter.setRenderHint(QPainter::Antialiasing);
  QPen pen(selectionColor(true), 2);
  painter.setPen(pen);
  if (m_dropMark.childIndex < 0) {
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(mark).adjusted(1, 1, -1, -1), 4, 4);
  } else {
    // A line with a ring at its start, across the gap.
    const qreal y = mark.center().y() + 0.5;
    painter.drawLine(QPointF(mark.left() + 6, y), QPointF(mark.right(), y));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawEllipse(QPointF(mark.left() + 3, y), 3, 3);
  }
}

void ZPHSourceListView::commitOpenEditor()
{
  if (state() != EditingState)
    return;
  if (QWidget* editor = indexWidget(currentIndex())) {
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
}
