#include "articlelist/ZPHSearchWindowController.h"

#include "articlelist/ZPHArticleListDelegate.h"
#include "articlelist/ZPHSearchField.h"
#include "articlelist/ZPHSearchOperation.h"
#include "articlelist/ZPHSearchTableRowView.h"
#include "articlelist/ZPHSearchWindow.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHMainThread.h"

#include <QtCore/QTimer>
#include <QtGui/QKeyEvent>
#include <QtGui/QStandardItemModel>
#include <QtWidgets/QApplication>
#include <QtWidgets/QListView>

namespace {

constexpr int RowKindRole = Qt::UserRole + 1;

}  // namespace

ZPHSearchWindowController::ZPHSearchWindowController(QWidget* host, QObject* parent) : QObject(parent), m_host(host)
{
  m_window = new ZPHSearchWindow(host);
  m_options = new QStandardItemModel(this);
  m_window->tableView()->setModel(m_options);
  m_window->tableView()->setItemDelegate(new ZPHSearchTableRowView(m_window->tableView()));
  connect(m_window->tableView(), &QListView::clicked, this,
          [this](const QModelIndex& index) { selectSearchStringAndDismiss(index.row()); });
  reloadOptions();
  selectOptionRow(0);
}

ZPHSearchWindowController::~ZPHSearchWindowController()
{
  if (m_watchingClicks)
    qApp->removeEventFilter(this);
  if (m_lastSearchOperation)
    m_lastSearchOperation->cancel();
}

ZPHArticleListDelegate* ZPHSearchWindowController::articleListDelegate() const
{
  return m_articleListDelegate ? m_articleListDelegate.data() : ZPHArticleListDelegate::sharedArticleListDelegate();
}

void ZPHSearchWindowController::setSearchField(ZPHSearchField* field)
{
  if (m_searchField)
    m_searchField->removeEventFilter(this);
  m_searchField = field;
  if (field == nullptr)
    return;
  field->installEventFilter(this);
  // Typing and the clear button.
  connect(field, &QLineEdit::textEdited, this, &ZPHSearchWindowController::searchEntered);
}

ZPHSearchField* ZPHSearchWindowController::searchField() const { return m_searchField.data(); }

void ZPHSearchWindowController::setSelectedFeeds(const QList<ZPHRepresentedObject>& feeds)
{
  m_selectedFeeds = feeds;
  const int row = selectedOptionRow();
  reloadOptions();
  selectOptionRow(row < optionRowCount() ? row : 0);
}

bool ZPHSearchWindowController::isOptionsWindowShown() const { return m_window != nullptr && m_window->isVisible(); }

// --------------------------------------------------------------- options

int ZPHSearchWindowController::optionRowCount() const { return m_selectedFeeds.isEmpty() ? 5 : 10; }

ZPHSearchWindowController::RowKind ZPHSearchWindowController::rowKind(int row)
{
  switch (row) {
    case 1:
    case 5:
      return RowKind::Separator;
    case 2:
    case 6:
      return RowKind::Header;
    default:
      return RowKind::Option;
  }
}

int ZPHSearchWindowController::rowHeight(int row)
{
  switch (rowKind(row)) {
    case RowKind::Separator:
      return 12;
    case RowKind::Header:
      return 17;
    case RowKind::Option:
      return 19;
  }
  return 19;
}

int ZPHSearchWindowController::typeForRow(int row)
{
  switch (row) {
    case 3:
      return 2;
    case 4:
      return 1;
    case 7:
      return 3;
    case 8:
      return 4;
    case 9:
      return 5;
    default:
      return 0;
  }
}

void ZPHSearchWindowController::reloadOptions()
{
  const QString text = m_searchField ? m_searchField->text() : QString();
  const auto title = [&](int row) -> QString {
    switch (row) {
      case 0:
        return tr("Search all articles for '%1'").arg(text);
      case 2:
        return tr("ALL SITES");
      case 3:
      case 8:
        return tr("Search titles for '%1'").arg(text);
      case 4:
      case 9:
        return tr("Search for articles written by '%1'").arg(text);
      case 6:
        return tr("SELECTED SITE(S)");
      case 7:
        return tr("Search articles for '%1'").arg(text);
      default:
        return QString();
    }
  };
  const int count = optionRowCount();
  if (m_options->rowCount() != count) {
    m_options->clear();
    for (int row = 0; row < count; ++row) m_options->appendRow(new QStandardItem);
  }
  for (int row = 0; row < count; ++row) {
    QStandardItem* item = m_options->item(row);
    item->setText(title(row));
    item->setData(int(rowKind(row)), RowKindRole);
    item->setSizeHint(QSize(0, rowHeight(row)));
    if (rowKind(row) == RowKind::Option) {
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    } else {
      item->setFlags(Qt::NoItemFlags);
      QFont font = item->font();
      font.setPixelSize(10);
      font.setBold(true);
      item->setFont(font);
    }
  }
}

int ZPHSearchWindowController::selectedOptionRow() const
{
  const QModelIndexList selected = m_window->tableView()->selectionModel()->selectedRows();
  return selected.isEmpty() ? -1 : selected.first().row();
}

void ZPHSearchWindowController::selectOptionRow(int row)
{
  QItemSelectionModel* selection = m_window->tableView()->selectionModel();
  if (row < 0 || row >= m_options->rowCount()) {
    selection->clearSelection();
    return;
  }
  selection->setCurrentIndex(m_options->index(row, 0), QItemSelectionModel::ClearAndSelect);
}

// --------------------------------------------------------------- search

void ZPHSearchWindowController::searchEntered()
{
  searchStringUpdated();
  if (m_searchField && !m_searchField->text().isEmpty()) {
    reveal();
    return;
  }
  resetClearingSearchField(true);
  if (ZPHArticleListDelegate* delegate = articleListDelegate())
    delegate->searchCanceledUpdatingArticles(true, false, false);
}

void ZPHSearchWindowController::searchStringUpdated()
{
  const int row = selectedOptionRow();
  reloadOptions();
  selectOptionRow(row < 0 ? 0 : row);
  doSearch();
}

void ZPHSearchWindowController::doSearch()
{
  const int row = selectedOptionRow();
  const QString text = m_searchField ? m_searchField->text() : QString();
  if (row == m_lastSelectedRow && m_lastSearchOperation && text == m_lastSearchOperation->queryString())
    return;
  executeSearch(typeForRow(row), text);
  m_lastSelectedRow = row;
}

void ZPHSearchWindowController::executeSearchWithType(int type)
{
  executeSearch(type, m_searchField ? m_searchField->text() : QString());
}

void ZPHSearchWindowController::executeSearch(int type, const QString& query)
{
  ZPH_ASSERT_MAIN_THREAD();
  // The search it supersedes is of no use any more.
  if (m_lastSearchOperation)
    m_lastSearchOperation->cancel();
  if (query.isEmpty()) {
    m_lastSearchOperation.reset();
    if (m_searchField)
      m_searchField->stopProgressIndicatorAnimation();
    if (ZPHArticleListDelegate* delegate = articleListDelegate())
      delegate->searchCanceledUpdatingArticles(true, false, false);
    return;
  }
  ZPHCoreApplicationDelegate* application = ZPHCoreApplicationDelegate::sharedDelegate();
  if (application == nullptr)
    return;
  if (m_searchField)
    m_searchField->startProgressIndicatorAnimation();
  auto operation = std::make_shared<ZPHSearchOperation>();
  operation->setType(type);
  operation->setQueryString(query);
  operation->setSelectedFeeds(m_selectedFeeds, m_dateManager);
  std::weak_ptr<ZPHSearchOperation> weak = operation;
  QPointer<ZPHSearchWindowController> self(this);
  operation->setCompletionBlock([self, weak] {
    ZPHMainThread::async([self, weak] {
      std::shared_ptr<ZPHSearchOperation> finished = weak.lock();
      if (!self || !finished || finished != self->m_lastSearchOperation || finished->isCancelled())
        return;  // superseded: dropped
      if (self->m_searchField)
        self->m_searchField->stopProgressIndicatorAnimation();
      if (ZPHArticleListDelegate* delegate = self->articleListDelegate())
        delegate->searchResultsObtained(finished);
    });
  });
  m_lastSearchOperation = operation;
  application->addCoreDataQueueOperation(operation);
}

// ---------------------------------------------------------------- field

void ZPHSearchWindowController::revealSearchField()
{
  if (m_searchField == nullptr)
    return;
  if (m_toolbar != nullptr && !m_preflightedAutoHide) {
    m_oldToolbarVisibility = m_toolbar->isToolbarVisible();
    m_oldDisplayMode = m_toolbar->toolbarDisplayMode();
    m_oldSearchFieldPresent = m_toolbar->toolbarHasSearchItem();
    m_preflightedAutoHide = true;
  }
  if (m_searchField->hasFocus())
    return;
  if (m_toolbar != nullptr) {
    if (!m_toolbar->toolbarHasSearchItem())
      m_toolbar->setToolbarHasSearchItemForSearch(true);
    if (m_toolbar->toolbarDisplayMode() == 3)
      m_toolbar->setToolbarDisplayModeForSearch(1);
    m_toolbar->setToolbarVisible(true);
  }
  makeSearchFieldFirstResponderAndSetInsertionPointToEnd();
}

void ZPHSearchWindowController::toolbarDisplayModeDidChange(int mode)
{
  if (m_toolbar == nullptr)
    return;
  m_toolbar->setToolbarVisible(true);
  m_oldDisplayMode = mode;
}

void ZPHSearchWindowController::restoreToolbarAfterSearch()
{
  if (m_toolbar == nullptr || !m_preflightedAutoHide || m_searchField == nullptr || !m_searchField->text().isEmpty() ||
      m_searchField->hasFocus() || !m_toolbar->toolbarHasSearchItem() || !m_searchField->isVisible())
    return;
  m_preflightedAutoHide = false;
  m_toolbar->setToolbarVisible(m_oldToolbarVisibility);
  if (m_toolbar->toolbarDisplayMode() != m_oldDisplayMode)
    m_toolbar->setToolbarDisplayModeForSearch(m_oldDisplayMode);
  if (!m_oldSearchFieldPresent)
    m_toolbar->setToolbarHasSearchItemForSearch(false);
}

void ZPHSearchWindowController::clearSearchField()
{
  if (m_searchField == nullptr || m_searchField->text().isEmpty())
    return;
  resetClearingSearchField(true);
  searchEntered();
}

void ZPHSearchWindowController::clearSearchFieldQuietly()
{
  if (m_searchField == nullptr || m_searchField->text().isEmpty())
    return;
  const QSignalBlocker blocker(m_searchField);
  m_searchField->clear();
  cancelRunningSearch();
  resetClearingSearchField(false);
}

void ZPHSearchWindowController::cancelRunningSearch()
{
  // Search mode ended: a search still running must not bring it back.
  if (m_lastSearchOperation)
    m_lastSearchOperation->cancel();
  m_lastSearchOperation.reset();
  if (m_searchField)
    m_searchField->stopProgressIndicatorAnimation();
}

void ZPHSearchWindowController::makeSearchFieldFirstResponderAndSetInsertionPointToEnd()
{
  if (m_searchField == nullptr)
    return;
  m_searchField->setFocus(Qt::OtherFocusReason);
  m_searchField->deselect();
  m_searchField->setCursorPosition(int(m_searchField->text().size()));
}

void ZPHSearchWindowController::selectSearchStringAndDismiss(int row)
{
  if (rowKind(row) != RowKind::Option || row >= optionRowCount())
    return;
  selectOptionRow(row);
  doSearch();
  resetClearingSearchField(false);
}

// --------------------------------------------------------- the window

void ZPHSearchWindowController::reveal()
{
  if (!m_preflighted) {
    m_preflighted = true;
    selectOptionRow(selectedOptionRow() < 0 ? 0 : selectedOptionRow());
  }
  updatePopoverPosition();
  m_window->show();
  m_window->raise();
  if (!m_watchingClicks) {
    qApp->installEventFilter(this);
    m_watchingClicks = true;
  }
}

void ZPHSearchWindowController::resetClearingSearchField(bool clearing)
{
  m_preflighted = false;
  if (clearing && m_searchField && !m_searchField->text().isEmpty()) {
    const QSignalBlocker blocker(m_searchField);
    m_searchField->clear();
    cancelRunningSearch();
  }
  const bool wasShown = m_window->isVisible();
  m_window->hide();
  if (m_watchingClicks) {
    qApp->removeEventFilter(this);
    m_watchingClicks = false;
  }
  if (m_searchField && m_searchField->text().isEmpty())
    selectOptionRow(0);
  if (wasShown && m_searchField && !m_searchField->text().isEmpty())
    Q_EMIT moveFocusToArticleListAndSelectNoneRequested();
}

void ZPHSearchWindowController::updatePopoverPosition()
{
  if (m_searchField == nullptr || m_host == nullptr)
    return;
  int height = ZPHSearchWindow::Chrome;
  for (int row = 0; row < optionRowCount(); ++row) height += rowHeight(row) + m_window->tableView()->spacing() * 2;
  const QPoint fieldTopLeft = m_searchField->mapTo(m_host, QPoint(0, 0));
  m_window->setGeometry(fieldTopLeft.x() + 3, fieldTopLeft.y() + m_searchField->height() + 9,
                        qMax(120, m_searchField->width() - 12), height);
}

bool ZPHSearchWindowController::doCommand(Command command)
{
  const int count = optionRowCount();
  switch (command) {
    case Command::MoveUp: {
      int row = selectedOptionRow();
      for (int candidate = row - 1; candidate >= 0; --candidate) {
        if (rowKind(candidate) == RowKind::Option) {
          row = candidate;
          break;
        }
      }
      selectOptionRow(qMax(row, 0));
      return true;
    }
    case Command::MoveDown: {
      int row = selectedOptionRow();
      for (int candidate = row + 1; candidate < count; ++candidate) {
        if (rowKind(candidate) == RowKind::Option) {
          row = candidate;
          break;
        }
      }
      selectOptionRow(row);
      return true;
    }
    case Command::InsertTab:
      resetClearingSearchField(false);
      return false;
    case Command::InsertNewline: {
      const bool alreadyRan = selectedOptionRow() == 0 && m_lastSearchOperation && m_lastSearchOperation->type() == 0 &&
                              m_searchField && m_lastSearchOperation->queryString() == m_searchField->text();
      if (!alreadyRan)
        doSearch();
      m_preflighted = false;
      const bool wasShown = m_window->isVisible();
      m_window->hide();
      if (m_watchingClicks) {
        qApp->removeEventFilter(this);
        m_watchingClicks = false;
      }
      if (wasShown && m_searchField && !m_searchField->text().isEmpty())
        Q_EMIT moveFocusToArticleListAndSelectNoneRequested();
      return false;
    }
    case Command::CancelOperation:
      if (m_window->isVisible()) {
        m_preflighted = false;
        m_window->hide();
        if (m_watchingClicks) {
          qApp->removeEventFilter(this);
          m_watchingClicks = false;
        }
        selectOptionRow(0);
        QPointer<ZPHSearchField> field = m_searchField;
        QTimer::singleShot(0, this, [field] {
          if (field)
            field->selectAll();
        });
        return true;
      }
      if (m_searchField && !m_searchField->text().isEmpty()) {
        const int row = selectedOptionRow();
        resetClearingSearchField(true);
        selectOptionRow(row);
      }
      if (ZPHArticleListDelegate* delegate = articleListDelegate())
        delegate->searchCanceledUpdatingArticles(true, true, true);
      return true;
  }
  return false;
}

bool ZPHSearchWindowController::eventFilter(QObject* watched, QEvent* event)
{
  // Editing ended (the field lost the focus) with the field empty: what a
  // Find changed on the toolbar goes back, once the focus has moved on.
  if (watched == m_searchField && event->type() == QEvent::FocusOut && m_preflightedAutoHide)
    QTimer::singleShot(0, this, &ZPHSearchWindowController::restoreToolbarAfterSearch);
  if (watched == m_searchField && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
      case Qt::Key_Up:
        return doCommand(Command::MoveUp);
      case Qt::Key_Down:
        return doCommand(Command::MoveDown);
      case Qt::Key_Tab:
        return doCommand(Command::InsertTab);
      case Qt::Key_Return:
      case Qt::Key_Enter:
        return doCommand(Command::InsertNewline);
      case Qt::Key_Escape:
        return doCommand(Command::CancelOperation);
      default:
        return false;
    }
  }
  if (m_watchingClicks && event->type() == QEvent::MouseButtonPress && m_searchField && m_window->isVisible()) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint global = mouse->globalPosition().toPoint();
    QRect area(m_searchField->mapToGlobal(QPoint(0, 0)), m_searchField->size());
    area.setHeight(area.height() + m_window->height() + 9);
    const QRect window(m_window->mapToGlobal(QPoint(0, 0)), m_window->size());
    if (!area.contains(global) && !window.contains(global))
      resetClearingSearchField(false);
  }
  return QObject::eventFilter(watched, event);
}
