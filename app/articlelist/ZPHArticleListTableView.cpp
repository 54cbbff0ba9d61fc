#include "articlelist/ZPHArticleListTableView.h"

#include "articlelist/ZPHArticleListArrowView.h"
#include "articlelist/ZPHArticleListModel.h"
#include "articlelist/ZPHArticleListSelectionModel.h"
#include "articlelist/ZPHTableViewContextualMenu.h"
#include "feeds/images/CBFaviconController.h"
#include "feeds/images/CBThumbnailController.h"
#include "kit/ZPHWindowShouldDrawActive.h"
#include "themes/ZPHTheme.h"

#include <QtCore/QTimer>
#include <QtGui/QKeyEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QGestureEvent>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QSwipeGesture>

#include <algorithm>
#include <cmath>

ZPHArticleListTableView::ZPHArticleListTableView(QWidget* parent) : QTableView(parent)
{
  setObjectName(QStringLiteral("ZPHArticleListTableView"));
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setShowGrid(false);
  setWordWrap(false);
  setTabKeyNavigation(false);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setMouseTracking(false);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setHighlightSections(false);
  setAutoFillBackground(false);
  viewport()->setAutoFillBackground(true);
  viewport()->grabGesture(Qt::SwipeGesture);

  m_menu = new ZPHTableViewContextualMenu(tr("Article Contextual Menu"), this);

  m_arrowTimer = new QTimer(this);
  m_arrowTimer->setInterval(16);
  connect(m_arrowTimer, &QTimer::timeout, this, [this] {
    for (qsizetype i = m_arrows.size() - 1; i >= 0; --i) {
      if (m_arrows[i].clock.elapsed() >= qint64(m_arrows[i].duration * 1000))
        m_arrows.removeAt(i);
    }
    if (m_arrows.isEmpty())
      m_arrowTimer->stop();
    viewport()->update();
  });

  m_observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHActiveTrackingWindowShouldDrawActiveChangedNotification, QVariant(), this,
      [this](const ZPHNotification& notification) {
        if (notification.object.value<QObject*>() == window())
          windowActiveStateChanged();
      },
      ZPHNotificationCenter::Delivery::MainThread));
  m_observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHThemeChangedNotification, QVariant(), this, [this](const ZPHNotification&) { updateViewColors(); },
      ZPHNotificationCenter::Delivery::MainThread));
  // A thumbnail or a favicon that came is drawn; a row whose thumbnail will
  // not come gives its text the room.
  for (const QString& name :
       {CBThumbnailDownloadedNotification, CBThumbnailUnavailableNotification, CBFaviconDownloadedNotification}) {
    m_observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
        name, QVariant(), this, [this](const ZPHNotification&) { viewport()->update(); },
        ZPHNotificationCenter::Delivery::MainThread));
  }
  updateViewColors();
}

ZPHArticleListTableView::~ZPHArticleListTableView() = default;

void ZPHArticleListTableView::setArticleListModel(ZPHArticleListModel* model)
{
  m_model = model;
  setModel(model);
  QItemSelectionModel* old = selectionModel();
  m_selectionModel = new ZPHArticleListSelectionModel(model, this);
  m_selectionModel->setGroupRowTest([this](int row) { return isGroupRow(row); });
  m_selectionModel->setNextRowAfterRow([this](int row) { return nextRowAfterRow(row); });
  setSelectionModel(m_selectionModel);
  if (old != nullptr && old != m_selectionModel)
    old->deleteLater();
}

bool ZPHArticleListTableView::isGroupRow(int row) const { return m_model != nullptr && m_model->isGroupRow(row); }

int ZPHArticleListTableView::selectedRow() const
{
  const QList<int> rows = selectedRowIndexes();
  return rows.isEmpty() ? -1 : rows.first();
}

QList<int> ZPHArticleListTableView::selectedRowIndexes() const
{
  QList<int> rows;
  if (selectionModel() == nullptr)
    return rows;
  for (const QItemSelectionRange& range : selectionModel()->selection()) {
    for (int row = range.top(); row <= range.bottom(); ++row) rows.append(row);
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

int ZPHArticleListTableView::nextRowAfterRow(int row) const
{
  const int count = m_model ? m_model->rowCount() : 0;
  if (count == 0)
    return -1;
  for (int next = qMax(row + 1, 0); next < count; ++next) {
    if (!isGroupRow(next))
      return next;
  }
  // Nothing after it: clamped to the last row (an article when the row was
  // one).
  if (row >= 0 && row < count && !isGroupRow(row))
    return row;
  return m_model->lastArticleRow();
}

int ZPHArticleListTableView::nextRow() const { return nextRowAfterRow(selectedRow()); }

int ZPHArticleListTableView::previousRow() const
{
  const int selected = selectedRow();
  if (selected < 0)
    return -1;
  for (int row = selected - 1; row >= 0; --row) {
    if (!isGroupRow(row))
      return row;
  }
  return selected;
}

bool ZPHArticleListTableView::selectRow(int row)
{
  if (selectionModel() == nullptr)
    return false;
  ZPHArticleListSelectionModel::ProgrammaticChange change(m_selectionModel);
  if (m_model == nullptr || row < 0 || row >= m_model->rowCount()) {
    selectionModel()->clearSelection();
    return true;
  }
  const QModelIndex index = m_model->index(row, 0);
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  selectionModel()->select(QItemSelection(index, m_model->index(row, m_model->columnCount() - 1)),
                           QItemSelectionModel::ClearAndSelect);
  return true;
}

void ZPHArticleListTableView::selectRow(int row, bool scrollToVisibleIfNeeded)
{
  selectRow(row);
  if (scrollToVisibleIfNeeded && m_model != nullptr && row >= 0 && row < m_model->rowCount())
    scrollTo(m_model->index(row, 0), QAbstractItemView::EnsureVisible);
}

void ZPHArticleListTableView::selectRowIndexes(const QList<int>& rows, bool extend)
{
  if (selectionModel() == nullptr || m_model == nullptr)
    return;
  ZPHArticleListSelectionModel::ProgrammaticChange change(m_selectionModel);
  QItemSelection selection;
  for (const int row : rows) {
    if (row >= 0 && row < m_model->rowCount())
      selection.select(m_model->index(row, 0), m_model->index(row, m_model->columnCount() - 1));
  }
  selectionModel()->select(selection, extend ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect);
  if (!rows.isEmpty() && rows.first() >= 0 && rows.first() < m_model->rowCount())
    selectionModel()->setCurrentIndex(m_model->index(rows.first(), 0), QItemSelectionModel::NoUpdate);
}

void ZPHArticleListTableView::selectNextRow()
{
  const int count = m_model ? m_model->rowCount() : 0;
  if (count == 0)
    return;
  const int selected = selectedRow();
  selectRow(qMin(selected + 1, count - 1), true);
}

void ZPHArticleListTableView::selectPreviousRow()
{
  const int selected = selectedRow();
  if (selected < 0)
    return;
  selectRow(qMax(selected - 1, 0), true);
}

void ZPHArticleListTableView::selectTopRowIfNoneSelected()
{
  if (selectedRow() >= 0 || m_model == nullptr)
    return;
  const int top = m_model->firstArticleRow();
  if (top >= 0)
    selectRow(top, true);
}

QRect ZPHArticleListTableView::rectOfRow(int row) const
{
  if (m_model == nullptr || row < 0 || row >= m_model->rowCount())
    return {};
  return QRect(0, rowViewportPosition(row), viewport()->width(), rowHeight(row));
}

bool ZPHArticleListTableView::scrollRowToMiddleIfNotVisible(int row, bool animate)
{
  Q_UNUSED(animate);  // scrolling is never animated here
  if (m_model == nullptr || row < 0 || row >= m_model->rowCount())
    return false;
  const int rowY = rowViewportPosition(row) + verticalOffset();
  const int height = viewport()->height();
  const int y = int(std::lround(std::max(0.0, rowY + (rowHeight(row) - height) * 0.5)));
  verticalScrollBar()->setValue(y);
  return true;
}

ZPHArticleListTableView::ScrollAnchor ZPHArticleListTableView::scrollAnchor() const
{
  const int value = verticalScrollBar()->value();
  const int row = rowAt(0);
  if (value <= 0 || row < 0)
    return {};
  return {row, value - verticalHeader()->sectionPosition(row)};
}

void ZPHArticleListTableView::restoreScrollAnchor(const ScrollAnchor& anchor, const std::vector<int>& newRowOfOldRow)
{
  if (anchor.row < 0 || m_model == nullptr)
    return;
  for (size_t old = size_t(anchor.row); old < newRowOfOldRow.size(); ++old) {
    const int row = newRowOfOldRow[old];
    if (row < 0 || row >= m_model->rowCount())
      continue;
    // The scroll range follows the new rows first.
    executeDelayedItemsLayout();
    updateGeometries();
    const int offset = old == size_t(anchor.row) ? anchor.offset : 0;
    verticalScrollBar()->setValue(verticalHeader()->sectionPosition(row) + offset);
    return;
  }
}

void ZPHArticleListTableView::setContextualHighlightRow(int row)
{
  if (row == m_contextualHighlightRow)
    return;
  m_contextualHighlightRow = row;
  viewport()->update();
}

bool ZPHArticleListTableView::isActive() const { return zph_windowShouldDrawActive(this); }

bool ZPHArticleListTableView::isListFocused() const
{
  const QWidget* focus = QApplication::focusWidget();
  return focus != nullptr && (focus == this || isAncestorOf(focus));
}

void ZPHArticleListTableView::updateViewColors()
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  const bool active = isActive();
  QPalette palette = viewport()->palette();
  palette.setColor(QPalette::Base, active ? theme->articleListEmptyBackgroundColor()
                                          : theme->articleListEmptyBackgroundInactiveColor());
  palette.setColor(QPalette::Window, palette.color(QPalette::Base));
  viewport()->setPalette(palette);
  // The scroller's knob: dark on light lists, light on dark ones.
  const bool lightKnob = theme->articleListScrollerKnobStyle() == ZPHScrollerKnobStyle::Light;
  verticalScrollBar()->setStyleSheet(
      QStringLiteral("QScrollBar:vertical { background: %1; width: 11px; margin: 0; border: none; }"
                     "QScrollBar::handle:vertical { background: %2; border-radius: 3px; min-height: 24px;"
                     " margin: 2px; }"
                     "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
                     "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }")
          .arg(palette.color(QPalette::Base).name(),
               lightKnob ? QStringLiteral("rgba(255, 255, 255, 110)") : QStringLiteral("rgba(0, 0, 0, 90)")));
  viewport()->update();
  horizontalHeader()->viewport()->update();
}

void ZPHArticleListTableView::windowActiveStateChanged() { updateViewColors(); }

void ZPHArticleListTableView::runArrowAnimation(int row, double duration, int widthMultiplier)
{
  if (m_model == nullptr || !m_model->isArticleRow(row))
    return;
  Arrow arrow;
  arrow.objectID = m_model->objectIDAtRow(row);
  arrow.row = row;
  arrow.duration = duration;
  arrow.widthMultiplier = widthMultiplier;
  arrow.clock.start();
  m_arrows.append(arrow);
  m_arrowTimer->start();
}

void ZPHArticleListTableView::keyPressEvent(QKeyEvent* event)
{
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Right) {
    // Shift or Meta (the other desktop's Control) without Alt or Ctrl is
    // not ours.
    const bool plainOrAltOrCtrl =
        (modifiers & (Qt::AltModifier | Qt::ControlModifier)) || !(modifiers & (Qt::ShiftModifier | Qt::MetaModifier));
    if (plainOrAltOrCtrl) {
      Q_EMIT openSelectedArticleRequested();
      event->accept();
      return;
    }
    event->ignore();
    return;
  }
  if (key == Qt::Key_Left) {
    if (modifiers == Qt::NoModifier) {
      Q_EMIT moveFocusToSourceListRequested();
      event->accept();
      return;
    }
    event->ignore();
    return;
  }
  QTableView::keyPressEvent(event);
}

QModelIndex ZPHArticleListTableView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
  if (m_model == nullptr || m_model->rowCount() == 0)
    return QTableView::moveCursor(cursorAction, modifiers);
  const int current = currentIndex().isValid() ? currentIndex().row() : selectedRow();
  int row = -1;
  switch (cursorAction) {
    case MoveUp:
    case MovePrevious: {
      row = current;
      for (int candidate = current - 1; candidate >= 0; --candidate) {
        if (!isGroupRow(candidate)) {
          row = candidate;
          break;
        }
      }
      if (row < 0)
        row = m_model->firstArticleRow();
      break;
    }
    case MoveDown:
    case MoveNext:
      row = nextRowAfterRow(current);
      break;
    default: {
      const QModelIndex proposed = QTableView::moveCursor(cursorAction, modifiers);
      row = proposed.isValid() ? proposed.row() : current;
      // Pages and ends land on articles, never on a header.
      if (isGroupRow(row))
        row = nextRowAfterRow(row);
      break;
    }
  }
  if (row < 0)
    return QModelIndex();
  return m_model->index(row, currentIndex().isValid() ? currentIndex().column() : 0);
}

void ZPHArticleListTableView::contextMenuEvent(QContextMenuEvent* event)
{
  const int row = rowAt(event->pos().y());
  if (row >= 0 && isGroupRow(row)) {
    event->accept();
    return;
  }
  m_menu->setClickedRow(row);
  m_clickedRow = row;
  Q_EMIT contextualMenuRequested(m_menu, event->globalPos());
  event->accept();
}

void ZPHArticleListTableView::mousePressEvent(QMouseEvent* event)
{
  const int row = rowAt(event->position().toPoint().y());
  if (m_selectionModel)
    m_selectionModel->setClickedRow(row);
  QTableView::mousePressEvent(event);
}

void ZPHArticleListTableView::mouseReleaseEvent(QMouseEvent* event)
{
  QTableView::mouseReleaseEvent(event);
  if (m_selectionModel)
    m_selectionModel->setClickedRow(-1);
}

void ZPHArticleListTableView::mouseDoubleClickEvent(QMouseEvent* event)
{
  const int row = rowAt(event->position().toPoint().y());
  if (m_model != nullptr && m_model->isArticleRow(row) && event->button() == Qt::LeftButton) {
    Q_EMIT openSelectedArticleRequested();
    event->accept();
    return;
  }
  QTableView::mouseDoubleClickEvent(event);
}

bool ZPHArticleListTableView::viewportEvent(QEvent* event)
{
  if (event->type() == QEvent::Gesture) {
    auto* gestureEvent = static_cast<QGestureEvent*>(event);
    if (auto* swipe = static_cast<QSwipeGesture*>(gestureEvent->gesture(Qt::SwipeGesture))) {
      if (swipe->state() == Qt::GestureFinished) {
        if (swipe->verticalDirection() == QSwipeGesture::Up)
          selectPreviousRow();
        else if (swipe->verticalDirection() == QSwipeGesture::Down)
          selectNextRow();
      }
      gestureEvent->accept(swipe);
      return true;
    }
  }
  return QTableView::viewportEvent(event);
}

void ZPHArticleListTableView::paintEvent(QPaintEvent* event)
{
  QTableView::paintEvent(event);
  if (m_arrows.isEmpty() || m_model == nullptr)
    return;
  QPainter painter(viewport());
  for (const Arrow& arrow : std::as_const(m_arrows)) {
    const int row = m_model->rowForObjectID(arrow.objectID);
    const QRect rowRect = rectOfRow(row);
    if (!rowRect.isValid())
      continue;
    const double t = qBound(0.0, arrow.clock.elapsed() / (arrow.duration * 1000.0), 1.0);
    const double eased = 1.0 - (1.0 - t) * (1.0 - t);  // ease out
    const double h = rowRect.height();
    const double w = arrow.widthMultiplier * h;
    const double x = -w + eased * (rowRect.width() + w);
    painter.save();
    painter.setClipRect(rowRect);
    ZPHArticleListArrowView::paint(&painter, QRectF(x, rowRect.top(), w, h));
    painter.restore();
  }
}

void ZPHArticleListTableView::focusInEvent(QFocusEvent* event)
{
  QTableView::focusInEvent(event);
  viewport()->update();
}

void ZPHArticleListTableView::focusOutEvent(QFocusEvent* event)
{
  QTableView::focusOutEvent(event);
  viewport()->update();
}
