#include "sharing/ZPHSharingPopoverViewController.h"

#include "kit/ZPHInterfaceLog.h"
#include "sharing/CBUserInterfaceContext.h"
#include "sharing/ZPHFakeMenuTableView.h"
#include "sharing/ZPHPluginManager.h"
#include "sharing/ZPHSharingHost.h"
#include "sharing/ZPHSharingMenuBuilder.h"
#include "sharing/ZPHSharingPluginCommand.h"
#include "sharing/ZPHSharingPopoverPluginCommandContentView.h"
#include "sharing/ZPHSharingPopoverTableRowView.h"

#include <QtCore/QTimer>
#include <QtGui/QKeyEvent>
#include <QtGui/QPixmap>
#include <QtGui/QScreen>
#include <QtGui/QStandardItemModel>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFrame>
#include <QtWidgets/QToolBar>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

namespace {

constexpr int Gap = 4;
constexpr int CredentialButtonSize = 18;

// A control on a toolbar stands over its label: what goes below the control
// goes below the whole item, label included.
QRect belowToolbarItem(QWidget* anchor, QRect target)
{
  for (QWidget* item = anchor; item->parentWidget() != nullptr; item = item->parentWidget()) {
    if (qobject_cast<QToolBar*>(item->parentWidget()) == nullptr)
      continue;
    const int bottom = item == anchor ? item->height() - 1 : anchor->mapFrom(item, QPoint(0, item->height() - 1)).y();
    target.setBottom(qMax(target.bottom(), bottom));
    break;
  }
  return target;
}

}  // namespace

ZPHSharingPopoverViewController* ZPHSharingPopoverViewController::sharingPopoverViewController()
{
  // Kept for the process: destroying widgets while the application object
  // goes away is not safe.
  static ZPHSharingPopoverViewController* shared = new ZPHSharingPopoverViewController;
  return shared;
}

ZPHSharingPopoverViewController::ZPHSharingPopoverViewController()
{
  m_model = new QStandardItemModel(this);
  m_preferredRect = QRect(0, 0, PreferredWidth, ExtraHeight);
}

ZPHSharingPopoverViewController::~ZPHSharingPopoverViewController() { delete m_popover; }

QFrame* ZPHSharingPopoverViewController::popover()
{
  if (m_popover != nullptr)
    return static_cast<QFrame*>(m_popover.data());
  auto* frame = new QFrame(nullptr, Qt::Popup | Qt::FramelessWindowHint);
  m_popover = frame;
  m_popover->setObjectName(QStringLiteral("ZPHSharingPopover"));
  // The click that closes the popup does not go on to what it hit: a
  // second click on Share closes the popup instead of opening it again.
  m_popover->setAttribute(Qt::WA_NoMouseReplay);
  m_popover->installEventFilter(this);
  auto* layout = new QVBoxLayout(m_popover);
  layout->setContentsMargins(0, 0, 0, 0);
  m_contentView = new ZPHSharingPopoverPluginCommandContentView(m_popover);
  layout->addWidget(m_contentView);
  auto* contentLayout = new QVBoxLayout(m_contentView);
  contentLayout->setContentsMargins(0, 0, 0, 0);
  m_containerView = new QWidget(m_contentView);
  m_containerView->setObjectName(QStringLiteral("ZPHSharingPopoverContainer"));
  contentLayout->addWidget(m_containerView);
  m_containerLayout = new QVBoxLayout(m_containerView);
  m_containerLayout->setContentsMargins(0, ExtraHeight / 2, 0, ExtraHeight / 2);
  m_containerLayout->setSpacing(0);

  m_tableView = new ZPHSharingPopoverTableView(m_containerView);
  m_tableView->setObjectName(QStringLiteral("ZPHSharingPopoverTableView"));
  m_tableView->setModel(m_model);
  m_tableView->setItemDelegate(new ZPHSharingPopoverTableRowView(m_tableView));
  m_tableView->viewport()->setAutoFillBackground(false);
  m_tableView->setAutoFillBackground(false);
  m_tableView->setStyleSheet(QStringLiteral("background: transparent;"));
  m_tableView->hide();
  // The row clicked is the row chosen: a grey row or a separator selects
  // nothing, and then nothing runs.
  connect(m_tableView, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
    m_tableView->selectRowIfAllowed(index.row());
    chooseShareItem();
  });
  rebuildList();
  return frame;
}

bool ZPHSharingPopoverViewController::isShown() const { return m_popover != nullptr && m_popover->isVisible(); }

QWidget* ZPHSharingPopoverViewController::containerView() const { return m_containerView; }

ZPHSharingPopoverTableView* ZPHSharingPopoverViewController::tableView() const { return m_tableView; }

void ZPHSharingPopoverViewController::setMainWindowController(ZPHSharingHost* controller)
{
  if (controller == m_mainWindowController)
    return;
  m_mainWindowController = controller;
  rebuildList();
  restore();
}

void ZPHSharingPopoverViewController::rebuildList()
{
  m_sharingPluginArray.clear();
  for (ZPHSharingPluginCommand* command : ZPHSharingMenuBuilder::commandList(*ZPHPluginManager::sharedManager())) {
    // Browsers are toolbar items, not rows.
    if (command != nullptr && command->isOfType(ZPHSharingPluginCommand::OpenInBrowser))
      continue;
    m_sharingPluginArray.append(command);
  }
  while (!m_sharingPluginArray.isEmpty() && m_sharingPluginArray.constLast() == nullptr)
    m_sharingPluginArray.removeLast();
  int commands = 0;
  int separators = 0;
  m_model->clear();
  for (ZPHSharingPluginCommand* command : std::as_const(m_sharingPluginArray)) {
    auto* row = new QStandardItem;
    if (command == nullptr) {
      ++separators;
      row->setData(true, ZPHSharingPopoverTableRowView::SeparatorRole);
      row->setFlags(Qt::NoItemFlags);
    } else {
      ++commands;
      row->setText(command->title());
      row->setData(QVariant::fromValue(static_cast<void*>(command)), ZPHSharingPopoverTableRowView::CommandRole);
      const QImage image = command->image();
      if (!image.isNull())
        row->setIcon(QIcon(QPixmap::fromImage(image)));
    }
    m_model->appendRow(row);
  }
  m_preferredRect = QRect(0, 0, PreferredWidth,
                          commands * ZPHSharingPopoverTableRowView::CommandRowHeight +
                              separators * ZPHSharingPopoverTableRowView::SeparatorRowHeight + ExtraHeight);
}

void ZPHSharingPopoverViewController::reloadData()
{
  for (int row = 0; row < m_model->rowCount(); ++row) {
    QStandardItem* item = m_model->item(row);
    ZPHSharingPluginCommand* command = m_sharingPluginArray.value(row);
    if (command == nullptr)
      continue;
    const bool valid = validateCommand(command);
    item->setData(valid, ZPHSharingPopoverTableRowView::ValidRole);
    item->setFlags(valid ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags);
  }
  if (m_tableView != nullptr)
    m_tableView->selectRowIfAllowed(-1);
  placeCredentialButtons();
}

void ZPHSharingPopoverViewController::placeCredentialButtons()
{
  for (const QPointer<QToolButton>& button : std::as_const(m_credentialButtons)) delete button;
  m_credentialButtons.clear();
  if (m_tableView == nullptr)
    return;
  for (int row = 0; row < m_sharingPluginArray.size(); ++row) {
    ZPHSharingPluginCommand* command = m_sharingPluginArray.at(row);
    if (command == nullptr || !command->canClearCredentials()) {
      m_credentialButtons.append(nullptr);
      continue;
    }
    auto* button = new QToolButton(m_tableView->viewport());
    button->setObjectName(QStringLiteral("clearCredentialsButton"));
    button->setText(QStringLiteral("\u00d7"));
    button->setToolTip(
        tr("Forget the login of %1").arg(command->shortTitle().isEmpty() ? command->title() : command->shortTitle()));
    button->setAutoRaise(true);
    button->setProperty("tag", row);
    button->setFixedSize(CredentialButtonSize, CredentialButtonSize);
    int top = ExtraHeight / 2;
    for (int before = 0; before < row; ++before)
      top += m_sharingPluginArray.at(before) == nullptr ? ZPHSharingPopoverTableRowView::SeparatorRowHeight
                                                        : ZPHSharingPopoverTableRowView::CommandRowHeight;
    top -= ExtraHeight / 2;
    button->move(PreferredWidth - CredentialButtonSize - 8,
                 top + (ZPHSharingPopoverTableRowView::CommandRowHeight - CredentialButtonSize) / 2);
    connect(button, &QToolButton::clicked, this, [this, row] { clearCredentialsForPluginFromTag(row); });
    button->show();
    m_credentialButtons.append(button);
  }
}

QToolButton* ZPHSharingPopoverViewController::clearCredentialsButtonForRow(int row) const
{
  return row >= 0 && row < m_credentialButtons.size() ? m_credentialButtons.at(row).data() : nullptr;
}

void ZPHSharingPopoverViewController::restore()
{
  popover();
  setContent(m_tableView, m_preferredRect, false);
  m_showingShareMenu = true;
  reloadData();
}

void ZPHSharingPopoverViewController::prepareForCustomContent()
{
  popover();
  while (QLayoutItem* item = m_containerLayout->takeAt(0)) {
    if (QWidget* widget = item->widget()) {
      widget->hide();
      if (widget != m_tableView)
        widget->setParent(nullptr);
    }
    delete item;
  }
  m_showingShareMenu = false;
}

void ZPHSharingPopoverViewController::setContent(QWidget* view, const QRect& newFrame, bool animated)
{
  Q_UNUSED(animated);
  prepareForCustomContent();
  m_contentChildView = view;
  // The popup takes its new size at once, still pointing at what it points
  // at; the view comes a turn later.
  m_popover->setFixedSize(newFrame.size());
  if (m_popover->isVisible())
    place();
  m_containerLayout->setContentsMargins(0, view == m_tableView ? ExtraHeight / 2 : 0, 0,
                                        view == m_tableView ? ExtraHeight / 2 : 0);
  QPointer<QWidget> requested(view);
  QTimer::singleShot(0, this, [this, requested] {
    if (requested == nullptr || requested != m_contentChildView)
      return;  // a later request won
    if (requested->parentWidget() != m_containerView)
      requested->setParent(m_containerView);
    m_containerLayout->addWidget(requested);
    requested->show();
    if (requested == m_tableView)
      placeCredentialButtons();
  });
}

std::optional<CBSharableItem> ZPHSharingPopoverViewController::sharableItem() const
{
  if (m_item.has_value())
    return m_item;
  return m_mainWindowController != nullptr ? m_mainWindowController->presentedSharableItemForSharing() : std::nullopt;
}

bool ZPHSharingPopoverViewController::validateCommand(ZPHSharingPluginCommand* command) const
{
  if (command == nullptr)
    return false;
  const std::optional<CBSharableItem> item = sharableItem();
  return command->validateWithItems(item.has_value() ? QList<CBSharableItem>{*item} : QList<CBSharableItem>{});
}

void ZPHSharingPopoverViewController::perform(ZPHSharingPluginCommand* command)
{
  if (!m_item.has_value() && m_mainWindowController != nullptr) {
    m_mainWindowController->performSharingPluginCommandWithPluginCommand(command);
    return;
  }
  const std::optional<CBSharableItem> item = sharableItem();
  if (!item.has_value())
    return;
  ZPHPluginManager::sharedManager()->runPluginCommand(command, {*item}, nullptr, m_anchor, nullptr,
                                                      CBUserInterfaceContext::currentEvent(), nullptr);
}

void ZPHSharingPopoverViewController::chooseShareItem()
{
  const int row = m_tableView != nullptr ? m_tableView->selectedRow() : -1;
  ZPHSharingPluginCommand* command = m_sharingPluginArray.value(row);
  if (command == nullptr)
    return;  // a separator or a grey row
  if (validateCommand(command))
    perform(command);
  if (!command->showsItsViewsInSharingPopover())
    closePopOver();
}

void ZPHSharingPopoverViewController::runPlugin(const QString& commandID)
{
  for (ZPHSharingPluginCommand* command : std::as_const(m_sharingPluginArray)) {
    if (command == nullptr || command->commandID() != commandID || !validateCommand(command))
      continue;
    perform(command);
    if (!command->showsItsViewsInSharingPopover())
      closePopOver();
  }
}

void ZPHSharingPopoverViewController::clearCredentialsForPluginFromTag(int row)
{
  if (ZPHSharingPluginCommand* command = m_sharingPluginArray.value(row))
    command->clearCredentials();
  closePopOver();
}

void ZPHSharingPopoverViewController::closePopOver()
{
  if (m_popover != nullptr && m_popover->isVisible())
    m_popover->close();
}

bool ZPHSharingPopoverViewController::showRelativeToRect(const QRect& rect, QWidget* anchor, Edge edge)
{
  if (anchor == nullptr || !anchor->window()->isVisible())
    return false;
  QFrame* frame = popover();
  // The popup belongs to the anchor's window, so it stays with it.
  if (frame->parentWidget() != anchor->window())
    frame->setParent(anchor->window(), frame->windowFlags());
  m_anchor = anchor;
  m_edge = edge;
  m_anchorRect = rect.isNull() ? anchor->rect() : rect;
  if (edge == Edge::Below)
    m_anchorRect = belowToolbarItem(anchor, m_anchorRect);
  place();
  if (!frame->isVisible()) {
    m_firstResponderWhenPopoverShown = QApplication::focusWidget();
    Q_EMIT popoverWillShow();
    frame->show();
  }
  frame->raise();
  return true;
}

void ZPHSharingPopoverViewController::place()
{
  if (m_popover == nullptr || m_anchor == nullptr)
    return;
  const QRect global(m_anchor->mapToGlobal(m_anchorRect.topLeft()), m_anchorRect.size());
  const QSize size = m_popover->size();
  QPoint origin;
  switch (m_edge) {
    case Edge::Below:
      origin = QPoint(global.center().x() - size.width() / 2, global.bottom() + 1 + Gap);
      break;
    case Edge::Right:
      origin = QPoint(global.right() + 1 + Gap, global.center().y() - size.height() / 2);
      break;
    case Edge::Left:
      origin = QPoint(global.left() - Gap - size.width(), global.center().y() - size.height() / 2);
      break;
  }
  if (const QScreen* screen = m_anchor->screen()) {
    const QRect area = screen->availableGeometry();
    origin.setX(qBound(area.left(), origin.x(), qMax(area.left(), area.right() + 1 - size.width())));
    origin.setY(qBound(area.top(), origin.y(), qMax(area.top(), area.bottom() + 1 - size.height())));
  }
  m_popover->move(origin);
}

bool ZPHSharingPopoverViewController::togglePopoverForPresentedItem(QWidget* anchor, const QRect& rect)
{
  if (isShown()) {
    closePopOver();
    return false;
  }
  m_item.reset();
  restore();
  return showRelativeToRect(rect, anchor, Edge::Below);
}

bool ZPHSharingPopoverViewController::togglePopoverForItem(const CBSharableItem& item, QWidget* anchor,
                                                           const QRect& rect, Edge edge)
{
  if (isShown()) {
    closePopOver();
    return false;
  }
  m_item = item;
  restore();
  const bool shown = showRelativeToRect(rect, anchor, edge);
  if (!shown)
    m_item.reset();
  return shown;
}

bool ZPHSharingPopoverViewController::displaySharingPopoverIfNeeded(const CBUserInterfaceContext& context,
                                                                    ZPHSharingPluginCommand* command)
{
  if (isShown())
    return true;
  QWidget* anchor = nullptr;
  QRect rect;
  Edge edge = Edge::Right;
  auto* host = dynamic_cast<CBUserInterfaceContextControllerPopoverViewDelegate*>(context.hostViewController());
  if (host != nullptr) {
    if (QWidget* view = host->pluginCommandPopoverRelativeView(command)) {
      anchor = view;
      rect = host->pluginCommandPopoverPositioningRectRelativeOfView(command, view);
      const QWidget* shareControl = m_mainWindowController != nullptr
                                        ? m_mainWindowController->presentedSharableItemPopoverRelativeView()
                                        : nullptr;
      if (view == shareControl)
        edge = Edge::Below;
      else
        edge = rect.center().x() > view->rect().center().x() ? Edge::Right : Edge::Left;
    }
  }
  if (anchor == nullptr) {
    anchor = context.view();
    rect = anchor != nullptr ? anchor->rect() : QRect();
    edge = Edge::Right;
  }
  if (anchor == nullptr || !anchor->window()->isVisible())
    return false;
  popover();
  return showRelativeToRect(rect, anchor, edge);
}

void ZPHSharingPopoverViewController::restoreFirstResponder()
{
  QWidget* previous = m_firstResponderWhenPopoverShown;
  m_firstResponderWhenPopoverShown = nullptr;
  if (previous == nullptr)
    return;
  if (previous->window()->isVisible())
    previous->setFocus(Qt::PopupFocusReason);
}

bool ZPHSharingPopoverViewController::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == m_popover) {
    if (event->type() == QEvent::Hide && !m_popover->isVisible()) {
      restoreFirstResponder();
      m_item.reset();
      Q_EMIT popoverDidClose();
    } else if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      // Return closes the list (a command's view has its own use for it);
      // Escape always closes.
      if (key == Qt::Key_Escape || (m_showingShareMenu && (key == Qt::Key_Return || key == Qt::Key_Enter))) {
        closePopOver();
        return true;
      }
    }
  }
  return QObject::eventFilter(watched, event);
}
