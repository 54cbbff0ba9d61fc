#include "mainwindow/toolbar/ZPHMainWindowToolbarController.h"

#include "articlelist/ZPHArticleListDelegate.h"
#include "articlelist/ZPHReadingLayoutViewController.h"
#include "articlelist/ZPHSearchField.h"
#include "articlelist/ZPHSearchWindowController.h"
#include "feeds/network/ZPHNetworkController.h"
#include "feeds/refresh/ZPHRefreshController.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "keys/ZPHUserInterfaceValidations.h"
#include "mainwindow/ZPHContentPaneController.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "mainwindow/toolbar/CBRefreshToolbarButton.h"
#include "mainwindow/toolbar/ZPHToolbarCustomizationSheet.h"
#include "mainwindow/toolbar/ZPHToolbarImages.h"
#include "platform/ZPHUserDefaults.h"
#include "preferences/ZPHStylePopoverViewController.h"
#include "sharing/ZPHPluginManager.h"
#include "sharing/ZPHSharingPluginCommand.h"
#include "sharing/ZPHSharingPopoverViewController.h"
#include "themes/CBToolbarSegmentedControl.h"
#include "themes/ZPHTheme.h"

#include <QtGui/QAction>
#include <QtGui/QActionGroup>
#include <QtGui/QIcon>
#include <QtGui/QPixmap>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QToolBar>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

const QString ZPHMainWindowToolbarController::ToolbarIdentifier = QStringLiteral("MainWindowToolbar");
const QString ZPHMainWindowToolbarController::AddRemoveItemIdentifier = QStringLiteral("ZPHToolbarItemAddRemove");
const QString ZPHMainWindowToolbarController::RefreshItemIdentifier = QStringLiteral("ZPHToolbarToolbarItemRefresh");
const QString ZPHMainWindowToolbarController::MarkAllAsReadItemIdentifier =
    QStringLiteral("ZPHToolbarItemMarkAllAsRead");
const QString ZPHMainWindowToolbarController::NextUnreadItemIdentifier = QStringLiteral("ZPHToolbarItemNextUnread");
const QString ZPHMainWindowToolbarController::ArticleThemeItemIdentifier = QStringLiteral("ZPHToolbarItemArticleTheme");
const QString ZPHMainWindowToolbarController::ShareItemIdentifier = QStringLiteral("ZPHToolbarItemShare");
const QString ZPHMainWindowToolbarController::FlagItemIdentifier = QStringLiteral("ZWHToolbarItemFlag");
const QString ZPHMainWindowToolbarController::OpenInBrowserItemIdentifier =
    QStringLiteral("ZPHToolbarItemOpenInBrowser");
const QString ZPHMainWindowToolbarController::SearchItemIdentifier = QStringLiteral("ZPHToolbarItemSearch");
const QString ZPHMainWindowToolbarController::NewFolderItemIdentifier = QStringLiteral("ZPHToolbarItemNewFolder");
const QString ZPHMainWindowToolbarController::FlexibleSpaceItemIdentifier =
    QStringLiteral("NSToolbarFlexibleSpaceItem");
const QString ZPHMainWindowToolbarController::SpaceItemIdentifier = QStringLiteral("NSToolbarSpaceItem");
const QString ZPHMainWindowToolbarController::SeparatorItemIdentifier = QStringLiteral("NSToolbarSeparatorItem");
const QString ZPHMainWindowToolbarController::ItemIdentifiersKey = QStringLiteral("itemIdentifiers");
const QString ZPHMainWindowToolbarController::DisplayModeKey = QStringLiteral("displayMode");

namespace {

constexpr int ControlWidth = 38;
constexpr int ControlHeight = 24;
constexpr int SearchFieldMinimumWidth = 50;
constexpr int SearchFieldMaximumWidth = 296;

}  // namespace

QString ZPHMainWindowToolbarController::titleForDisplayMode(DisplayMode mode)
{
  switch (mode) {
    case IconAndLabel:
      return tr("Icon and Text");
    case IconOnly:
      return tr("Icon Only");
    case LabelOnly:
      return tr("Text Only");
  }
  return QString();
}

QStringList ZPHMainWindowToolbarController::defaultItemIdentifiers()
{
  return {AddRemoveItemIdentifier,     RefreshItemIdentifier,    FlexibleSpaceItemIdentifier,
          MarkAllAsReadItemIdentifier, NextUnreadItemIdentifier, SpaceItemIdentifier,
          ArticleThemeItemIdentifier,  ShareItemIdentifier,      FlagItemIdentifier,
          FlexibleSpaceItemIdentifier, SearchItemIdentifier};
}

QStringList ZPHMainWindowToolbarController::allowedItemIdentifiers()
{
  // No item is made for "ZPHToolbarItemNewFolder" (the add menu offers New
  // Folder): the sheet does not offer it.
  return {AddRemoveItemIdentifier,     RefreshItemIdentifier,      MarkAllAsReadItemIdentifier,
          NextUnreadItemIdentifier,    ArticleThemeItemIdentifier, ShareItemIdentifier,
          FlagItemIdentifier,          SearchItemIdentifier,       OpenInBrowserItemIdentifier,
          FlexibleSpaceItemIdentifier, SpaceItemIdentifier,        SeparatorItemIdentifier};
}

QList<ZPHSharingPluginCommand*> ZPHMainWindowToolbarController::pluginCommands()
{
  const ZPHPluginManager* manager = ZPHPluginManager::sharedManager();
  QList<ZPHSharingPluginCommand*> commands;
  for (const int type : {int(ZPHSharingPluginCommand::Sharing), int(ZPHSharingPluginCommand::OpenInBrowser)})
    for (ZPHSharingPluginCommand* command : manager->orderedPluginCommandsOfType(type))
      if (!command->title().isEmpty() && !command->image().isNull() && !commands.contains(command))
        commands.append(command);
  return commands;
}

ZPHSharingPluginCommand* ZPHMainWindowToolbarController::pluginCommandForItemIdentifier(const QString& identifier)
{
  if (identifier.isEmpty())
    return nullptr;
  for (ZPHSharingPluginCommand* command : pluginCommands())
    if (command->commandID() == identifier)
      return command;
  return nullptr;
}

QStringList ZPHMainWindowToolbarController::offeredItemIdentifiers()
{
  QStringList offered = allowedItemIdentifiers();
  qsizetype at = offered.indexOf(FlexibleSpaceItemIdentifier);
  for (const ZPHSharingPluginCommand* command : pluginCommands())
    if (!offered.contains(command->commandID()))
      offered.insert(at++, command->commandID());
  return offered;
}

QString ZPHMainWindowToolbarController::labelForItemIdentifier(const QString& identifier)
{
  if (identifier == AddRemoveItemIdentifier)
    return tr("Add Site");
  if (identifier == NewFolderItemIdentifier)
    return tr("New Folder");
  if (identifier == RefreshItemIdentifier)
    return tr("Refresh");
  if (identifier == MarkAllAsReadItemIdentifier)
    return tr("Mark All Read");
  if (identifier == NextUnreadItemIdentifier)
    return tr("Next Unread");
  if (identifier == ArticleThemeItemIdentifier)
    return tr("Style");
  if (identifier == ShareItemIdentifier)
    return tr("Share");
  if (identifier == FlagItemIdentifier)
    return tr("Bookmark");
  if (identifier == OpenInBrowserItemIdentifier)
    return tr("Open in Browser");
  if (identifier == SearchItemIdentifier)
    return tr("Search");
  if (identifier == FlexibleSpaceItemIdentifier)
    return tr("Flexible Space");
  if (identifier == SpaceItemIdentifier)
    return tr("Space");
  if (identifier == SeparatorItemIdentifier)
    return tr("Separator");
  if (const ZPHSharingPluginCommand* command = pluginCommandForItemIdentifier(identifier))
    return command->title();
  return QString();
}

ZPHMainWindowToolbarController::ZPHMainWindowToolbarController(ZPHMainWindowController* mainWindowController,
                                                               QObject* parent)
    : QObject(parent), m_mainWindowController(mainWindowController)
{
}

ZPHMainWindowToolbarController::~ZPHMainWindowToolbarController()
{
  m_observers.clear();
  if (m_customizationSheet != nullptr)
    delete m_customizationSheet.data();
  // Taken off the toolbar, the search field is the controller's.
  if (m_searchField != nullptr && m_searchField->parent() == nullptr)
    delete m_searchField.data();
}

void ZPHMainWindowToolbarController::setupToolbar(QMainWindow* window, ZPHSearchField* searchField)
{
  m_window = window;
  m_searchField = searchField;
  m_toolbar = new QToolBar(tr("Toolbar"), window);
  m_toolbar->setObjectName(ToolbarIdentifier);
  m_toolbar->setMovable(false);
  m_toolbar->setFloatable(false);
  m_toolbar->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(m_toolbar, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
    QMenu* menu = contextMenu(m_toolbar);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_toolbar->mapToGlobal(position));
  });
  window->addToolBar(Qt::TopToolBarArea, m_toolbar);
  // The pictures take the toolbar's colours as they change (a theme).
  m_toolbar->installEventFilter(this);
  if (m_searchField != nullptr) {
    m_searchField->setMinimumWidth(SearchFieldMinimumWidth);
    m_searchField->setMaximumWidth(SearchFieldMaximumWidth);
    m_searchField->setToolTip(tr("Search articles"));
  }

  // The arrangement and the mode as saved; a bare list is the arrangement
  // of an earlier version.
  const QVariant stored = ZPHUserDefaults::standardUserDefaults().objectForKey(ToolbarIdentifier);
  QVariantList items;
  if (stored.typeId() == QMetaType::QVariantMap) {
    const QVariantMap map = stored.toMap();
    items = map.value(ItemIdentifiersKey).toList();
    bool ok = false;
    const int mode = map.value(DisplayModeKey).toInt(&ok);
    if (ok && mode >= IconAndLabel && mode <= LabelOnly)
      m_displayMode = DisplayMode(mode);
  } else if (stored.canConvert<QVariantList>()) {
    items = stored.toList();
  }
  QStringList saved;
  for (const QVariant& value : std::as_const(items))
    if (value.typeId() == QMetaType::QString)
      saved.append(value.toString());
  m_itemIdentifiers = saved.isEmpty() ? defaultItemIdentifiers() : saved;
  rebuild();

  m_observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHThemeChangedNotification, QVariant(), [this](const ZPHNotification&) { updateImages(); }));
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  setRefreshController(delegate != nullptr ? delegate->refreshController() : nullptr);
}

void ZPHMainWindowToolbarController::setItemIdentifiers(const QStringList& identifiers)
{
  QStringList kept;
  const QStringList allowed = offeredItemIdentifiers();
  for (const QString& identifier : identifiers) {
    // The fixed items once each; spaces and separators as often as asked.
    const bool repeatable = identifier == FlexibleSpaceItemIdentifier || identifier == SpaceItemIdentifier ||
                            identifier == SeparatorItemIdentifier;
    if (allowed.contains(identifier) && (repeatable || !kept.contains(identifier)))
      kept.append(identifier);
  }
  m_itemIdentifiers = kept;
  save();
  if (m_toolbar != nullptr)
    rebuild();
}

void ZPHMainWindowToolbarController::setDisplayMode(DisplayMode mode)
{
  if (mode < IconAndLabel || mode > LabelOnly)
    return;
  m_displayMode = mode;
  save();
  if (m_toolbar != nullptr)
    rebuild();
  if (ZPHSearchWindowController* search =
          m_mainWindowController != nullptr ? m_mainWindowController->searchWindowController() : nullptr)
    search->toolbarDisplayModeDidChange(int(mode));
}

bool ZPHMainWindowToolbarController::isToolbarVisible() const { return m_toolbar != nullptr && !m_toolbar->isHidden(); }

void ZPHMainWindowToolbarController::setToolbarVisible(bool visible)
{
  if (m_toolbar != nullptr)
    m_toolbar->setVisible(visible);
}

void ZPHMainWindowToolbarController::setToolbarDisplayModeForSearch(int mode)
{
  if (mode < IconAndLabel || mode > LabelOnly || mode == m_displayMode)
    return;
  m_displayMode = DisplayMode(mode);
  if (m_toolbar != nullptr)
    rebuild();
}

void ZPHMainWindowToolbarController::setToolbarHasSearchItemForSearch(bool has)
{
  if (has == toolbarHasSearchItem())
    return;
  if (has)
    m_itemIdentifiers.append(SearchItemIdentifier);
  else
    m_itemIdentifiers.removeAll(SearchItemIdentifier);
  if (m_toolbar != nullptr)
    rebuild();
}

void ZPHMainWindowToolbarController::save()
{
  QVariantList items;
  for (const QString& identifier : std::as_const(m_itemIdentifiers)) items.append(identifier);
  ZPHUserDefaults::standardUserDefaults().setObject(
      ToolbarIdentifier, QVariantMap{{ItemIdentifiersKey, items}, {DisplayModeKey, int(m_displayMode)}});
}

QAbstractButton* ZPHMainWindowToolbarController::textButtonForItemIdentifier(const QString& identifier) const
{
  for (const auto& [item, button] : m_textButtons)
    if (item == identifier)
      return button;
  return nullptr;
}

QWidget* ZPHMainWindowToolbarController::controlForItemIdentifier(const QString& identifier) const
{
  for (const auto& [item, control] : m_items)
    if (item == identifier)
      return control;
  return nullptr;
}

void ZPHMainWindowToolbarController::rebuild()
{
  // The search field outlives the items around it.
  if (m_searchField != nullptr && m_searchField->parent() != nullptr) {
    m_searchField->hide();
    m_searchField->setParent(nullptr);
  }
  for (QAction* action : m_toolbar->actions()) {
    m_toolbar->removeAction(action);
    delete action;
  }
  m_items.clear();
  m_textButtons.clear();
  m_refreshButton = nullptr;
  for (const QString& identifier : std::as_const(m_itemIdentifiers)) {
    if (identifier == SeparatorItemIdentifier) {
      m_toolbar->addSeparator();
      continue;
    }
    QWidget* item = makeItem(identifier);
    if (item == nullptr)
      continue;
    m_toolbar->addWidget(item);
  }
  validateToolbarItems();
  updateRefreshButton();
}

CBToolbarSegmentedControl* ZPHMainWindowToolbarController::makeControl(const QString& identifier,
                                                                       const QString& imageName, const QString& label,
                                                                       const QString& toolTip)
{
  CBToolbarSegmentedControl* control =
      identifier == RefreshItemIdentifier ? new CBRefreshToolbarButton() : new CBToolbarSegmentedControl();
  control->setObjectName(identifier);
  control->setSegmentCount(1);
  if (!imageName.isEmpty())
    control->setImage(ZPHToolbarImages::icon(imageName, ZPHToolbarImages::templateColor(m_toolbar->palette())), 0);
  control->setWidth(ControlWidth, 0);
  control->setToolTip(toolTip, 0);
  control->setToolTip(toolTip);
  control->setAccessibleName(label);
  control->setFixedSize(ControlWidth, ControlHeight);
  control->setProperty("zphImageName", imageName);
  return control;
}

QWidget* ZPHMainWindowToolbarController::makeItem(const QString& identifier)
{
  if (identifier == FlexibleSpaceItemIdentifier) {
    auto* space = new QWidget();
    space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return space;
  }
  if (identifier == SpaceItemIdentifier) {
    auto* space = new QWidget();
    space->setFixedWidth(16);
    return space;
  }
  if (identifier == NewFolderItemIdentifier)
    return nullptr;  // offered by the add menu, no toolbar item of its own
  if (identifier == SearchItemIdentifier) {
    if (m_searchField == nullptr)
      return nullptr;
    auto* item = new QWidget();
    item->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* layout = new QHBoxLayout(item);
    layout->setContentsMargins(4, 0, 4, 0);
    m_searchField->setParent(item);
    m_searchField->setFixedWidth(220);
    layout->addWidget(m_searchField);
    m_searchField->show();
    m_items.append({identifier, m_searchField});
    return item;
  }

  CBToolbarSegmentedControl* control = nullptr;
  if (identifier == AddRemoveItemIdentifier) {
    control =
        makeControl(identifier, QStringLiteral("AddFeedTemplate"), labelForItemIdentifier(identifier), tr("Add Site"));
    connect(control, &ZPHCustomSegmentedControl::segmentClicked, this,
            &ZPHMainWindowToolbarController::addRemoveSegmentedControlClicked);
  } else if (identifier == RefreshItemIdentifier) {
    control = makeControl(identifier, QStringLiteral("RefreshFeedsTemplate"), labelForItemIdentifier(identifier),
                          tr("Refresh all sites"));
    m_refreshButton = static_cast<CBRefreshToolbarButton*>(control);
    connect(control, &ZPHCustomSegmentedControl::segmentClicked, this,
            [this] { sendCommand(QStringLiteral("refreshAll:")); });
  } else {
    struct Fixed {
      const QString& identifier;
      const char* image;
      const char* toolTip;
      const char* selector;
    };
    static const QList<Fixed> fixed = {
        {MarkAllAsReadItemIdentifier, "MarkAllReadTemplate", QT_TR_NOOP("Mark All Read"), "markAllAsRead:"},
        {NextUnreadItemIdentifier, "NextUnreadTemplate", QT_TR_NOOP("Next Unread"), "nextUnread:"},
        {ArticleThemeItemIdentifier, "StyleTemplate", QT_TR_NOOP("Choose theme and change article typography"),
         "styleButtonPressed:"},
        {ShareItemIdentifier, "ShareTemplate", QT_TR_NOOP("Share the selected article on the web"), ""},
        {FlagItemIdentifier, "BookmarkTemplate", QT_TR_NOOP("Bookmark Article"), "toggleFlagged:"},
        {OpenInBrowserItemIdentifier, "OpenInBrowserTemplate", QT_TR_NOOP("Open article in default browser"),
         "openInBrowser:"},
    };
    // Sharing: a plug-in command runs on the article, as from the share
    // menus.
    if (ZPHSharingPluginCommand* command = pluginCommandForItemIdentifier(identifier)) {
      control = makeControl(identifier, QString(), command->title(),
                            command->tooltip().isEmpty() ? command->title() : command->tooltip());
      // In the sizes of the toolbar's own pictures.
      QIcon icon;
      for (const int pixels : {16, 32})
        icon.addPixmap(
            QPixmap::fromImage(command->image().scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
      control->setImage(icon, 0);
      connect(control, &ZPHCustomSegmentedControl::segmentClicked, this,
              [this, command] { m_mainWindowController->performSharingPluginCommandWithPluginCommand(command); });
    }
    for (const Fixed& item : fixed) {
      if (item.identifier != identifier)
        continue;
      control = makeControl(identifier, QString::fromLatin1(item.image), labelForItemIdentifier(identifier),
                            tr(item.toolTip));
      const QString selector = QString::fromLatin1(item.selector);
      // Sharing: the share control toggles the sharing popover.
      if (identifier == ShareItemIdentifier)
        connect(control, &ZPHCustomSegmentedControl::segmentClicked, this, [this] { shareButtonPressed(); });
      if (selector == QLatin1String("styleButtonPressed:"))
        connect(control, &ZPHCustomSegmentedControl::segmentClicked, this,
                [this, control] { styleButtonPressed(control); });
      else if (!selector.isEmpty())
        connect(control, &ZPHCustomSegmentedControl::segmentClicked, this, [this, selector] {
          m_mainWindowController->commandAction(selector)->trigger();
          validateToolbarItems();
        });
    }
  }
  if (control == nullptr)
    return nullptr;
  m_items.append({identifier, control});

  auto* item = new QWidget();
  auto* layout = new QVBoxLayout(item);
  layout->setContentsMargins(2, 0, 2, 0);
  layout->setSpacing(1);
  control->setParent(item);
  if (m_displayMode == LabelOnly) {
    // The label alone, as a button: Add Site's asks for a new site, the
    // others do what their control does.
    control->hide();
    auto* button = new QToolButton(item);
    button->setObjectName(identifier + QStringLiteral("TextButton"));
    button->setText(labelForItemIdentifier(identifier));
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setAutoRaise(true);
    button->setToolTip(control->toolTip());
    if (identifier == AddRemoveItemIdentifier)
      connect(button, &QToolButton::clicked, this, [this] { sendCommand(QStringLiteral("addFeed:")); });
    else if (identifier == ShareItemIdentifier)
      connect(button, &QToolButton::clicked, this, [this] { shareButtonPressed(); });
    else if (identifier == ArticleThemeItemIdentifier)
      connect(button, &QToolButton::clicked, this, [this, button] { styleButtonPressed(button); });
    else
      connect(button, &QToolButton::clicked, control, [control] { Q_EMIT control->segmentClicked(0); });
    layout->addWidget(button, 0, Qt::AlignCenter);
    m_textButtons.append({identifier, button});
    return item;
  }
  layout->addWidget(control, 0, Qt::AlignHCenter);
  if (m_displayMode == IconOnly)
    return item;
  // The control over its label.
  auto* label = new QLabel(labelForItemIdentifier(identifier), item);
  label->setObjectName(identifier + QStringLiteral("Label"));
  label->setTextFormat(Qt::PlainText);
  QFont font = label->font();
  font.setPointSizeF(font.pointSizeF() * 0.85);
  label->setFont(font);
  layout->addWidget(label, 0, Qt::AlignHCenter);
  return item;
}

bool ZPHMainWindowToolbarController::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == m_toolbar && event->type() == QEvent::PaletteChange)
    updateImages();
  return QObject::eventFilter(watched, event);
}

void ZPHMainWindowToolbarController::updateImages()
{
  if (m_toolbar == nullptr)
    return;
  const QColor color = ZPHToolbarImages::templateColor(m_toolbar->palette());
  for (const auto& [identifier, widget] : std::as_const(m_items)) {
    auto* control = qobject_cast<CBToolbarSegmentedControl*>(widget);
    // A plug-in command's picture is its own, in its own colours.
    if (control == nullptr || control == m_refreshButton || control->property("zphImageName").toString().isEmpty())
      continue;
    control->setImage(ZPHToolbarImages::icon(control->property("zphImageName").toString(), color), 0);
  }
  if (m_refreshButton != nullptr && !m_refreshButton->isCurrentRefreshing())
    m_refreshButton->setImage(ZPHToolbarImages::icon(QStringLiteral("RefreshFeedsTemplate"), color), 0);
}

void ZPHMainWindowToolbarController::setRefreshController(ZPHRefreshController* controller)
{
  if (m_refreshConnection)
    disconnect(m_refreshConnection);
  m_refreshController = controller;
  if (controller != nullptr)
    m_refreshConnection = connect(controller, &ZPHRefreshController::visualRefreshInProgressChanged, this,
                                  &ZPHMainWindowToolbarController::updateRefreshButton);
  updateRefreshButton();
}

void ZPHMainWindowToolbarController::updateRefreshButton()
{
  if (m_refreshButton == nullptr)
    return;
  m_refreshButton->setCurrentlyRefreshing(m_refreshController != nullptr &&
                                          m_refreshController->visualRefreshInProgress());
  // Text only, the label is off while the control is.
  if (QAbstractButton* button = textButtonForItemIdentifier(RefreshItemIdentifier))
    button->setEnabled(m_refreshButton->isEnabled());
}

QString ZPHMainWindowToolbarController::commandOfItem(const QString& identifier) const
{
  if (identifier == MarkAllAsReadItemIdentifier)
    return QStringLiteral("markAllAsRead:");
  if (identifier == NextUnreadItemIdentifier)
    return QStringLiteral("nextUnread:");
  if (identifier == FlagItemIdentifier)
    return QStringLiteral("toggleFlagged:");
  if (identifier == OpenInBrowserItemIdentifier)
    return QStringLiteral("openInBrowser:");
  return QString();
}

bool ZPHMainWindowToolbarController::validateItem(const QString& identifier)
{
  if (identifier == SearchItemIdentifier)
    return true;
  // Add Site is on while a responder takes "addFeed:" (the Add Site window).
  if (identifier == AddRemoveItemIdentifier) {
    QWidget* focus =
        m_mainWindowController->isWindowLoaded() ? m_mainWindowController->window()->focusWidget() : nullptr;
    return m_mainWindowController->responderChain().validatedActionForSelector(QStringLiteral("addFeed:"), focus) !=
           nullptr;
  }
  if (identifier == RefreshItemIdentifier)
    return m_refreshButton == nullptr || !m_refreshButton->isCurrentRefreshing();
  if (identifier == ShareItemIdentifier)
    return validateShareItem();
  // The style popover is always there.
  if (identifier == ArticleThemeItemIdentifier)
    return true;
  if (const ZPHSharingPluginCommand* command = pluginCommandForItemIdentifier(identifier))
    return m_mainWindowController->validateSharingPluginCommand(command);
  const QString selector = commandOfItem(identifier);
  QAction* action = selector.isEmpty() ? nullptr : m_mainWindowController->commandAction(selector);
  return action != nullptr && m_mainWindowController->validateUserInterfaceItem(action);
}

void ZPHMainWindowToolbarController::validateToolbarItems()
{
  for (const auto& [identifier, widget] : std::as_const(m_items)) {
    if (widget == m_refreshButton) {
      m_refreshButton->updateEnabledState();
      if (QAbstractButton* button = textButtonForItemIdentifier(identifier))
        button->setEnabled(m_refreshButton->isEnabled());
      continue;
    }
    const bool enabled = validateItem(identifier);
    widget->setEnabled(enabled);
    if (auto* label = widget->parentWidget()->findChild<QLabel*>(identifier + QStringLiteral("Label")))
      label->setEnabled(enabled);
    QAbstractButton* button = textButtonForItemIdentifier(identifier);
    if (button != nullptr)
      button->setEnabled(enabled);
    if (identifier == FlagItemIdentifier) {
      // The label follows the command's title: "Bookmark" or "Unbookmark".
      const QString title = m_mainWindowController->toggleFlaggedTitle();
      if (auto* label = widget->parentWidget()->findChild<QLabel*>(identifier + QStringLiteral("Label")))
        label->setText(title);
      if (button != nullptr)
        button->setText(title);
    }
  }
}

bool ZPHMainWindowToolbarController::sendCommand(const QString& selector)
{
  return m_mainWindowController->sendAction(selector);
}

void ZPHMainWindowToolbarController::addRemoveSegmentedControlClicked(int segment)
{
  if (segment == 0)
    sendCommand(QStringLiteral("addFeed:"));
  else if (segment == 1)
    sendCommand(QStringLiteral("deleteSelectedFeedsAndFolders:"));
}

QMenu* ZPHMainWindowToolbarController::contextMenu(QWidget* parent)
{
  auto* menu = new QMenu(parent);
  auto* modes = new QActionGroup(menu);
  for (const DisplayMode mode : {IconAndLabel, IconOnly, LabelOnly}) {
    QAction* action = menu->addAction(titleForDisplayMode(mode));
    action->setCheckable(true);
    action->setChecked(mode == m_displayMode);
    action->setData(int(mode));
    modes->addAction(action);
    connect(action, &QAction::triggered, this, [this, mode] { setDisplayMode(mode); });
  }
  menu->addSeparator();
  QAction* customize = menu->addAction(tr("Customize Toolbar\u2026"));
  customize->setObjectName(QStringLiteral("runToolbarCustomizationPalette:"));
  connect(customize, &QAction::triggered, this, [this] { runCustomizationSheet(); });
  return menu;
}

ZPHToolbarCustomizationSheet* ZPHMainWindowToolbarController::runCustomizationSheet()
{
  if (m_customizationSheet != nullptr) {
    m_customizationSheet->raise();
    return m_customizationSheet;
  }
  auto* sheet = new ZPHToolbarCustomizationSheet(m_window);
  sheet->setItems(m_itemIdentifiers, offeredItemIdentifiers(), defaultItemIdentifiers());
  sheet->setDisplayMode(m_displayMode);
  connect(sheet, &ZPHToolbarCustomizationSheet::itemsChosen, this,
          [this](const QStringList& identifiers) { setItemIdentifiers(identifiers); });
  connect(sheet, &ZPHToolbarCustomizationSheet::displayModeChosen, this,
          [this](int mode) { setDisplayMode(DisplayMode(mode)); });
  sheet->setAttribute(Qt::WA_DeleteOnClose);
  m_customizationSheet = sheet;
  sheet->open();
  return sheet;
}

// MARK: - Sharing

bool ZPHMainWindowToolbarController::validateShareItem() const
{
  for (const ZPHSharingPluginCommand* command : pluginCommands())
    if (m_mainWindowController->validateSharingPluginCommand(command))
      return true;
  return false;
}

void ZPHMainWindowToolbarController::shareButtonPressed()
{
  ZPHSharingPopoverViewController* popover = ZPHSharingPopoverViewController::sharingPopoverViewController();
  popover->setMainWindowController(m_mainWindowController);
  QWidget* control = controlForItemIdentifier(ShareItemIdentifier);
  if (control == nullptr || !control->isVisible())
    control = textButtonForItemIdentifier(ShareItemIdentifier);
  popover->togglePopoverForPresentedItem(control);
}

void ZPHMainWindowToolbarController::showSharePopover()
{
  ZPHSharingPopoverViewController* popover = ZPHSharingPopoverViewController::sharingPopoverViewController();
  if (popover->isShown())
    return;
  QWidget* control = controlForItemIdentifier(ShareItemIdentifier);
  if (control == nullptr || !control->isVisible())
    control = textButtonForItemIdentifier(ShareItemIdentifier);
  popover->togglePopoverForPresentedItem(control);
}

ZPHStylePopoverViewController* ZPHMainWindowToolbarController::stylePopoverViewController()
{
  if (m_stylePopoverViewController == nullptr) {
    ZPHStylePopoverViewController::Window window;
    // The commands go through the window's responder chain.
    window.validate = [this](const QString& selector) {
      QWidget* focus = m_window != nullptr ? m_window->focusWidget() : nullptr;
      QAction* action = m_mainWindowController->responderChain().actionForSelector(selector, focus);
      if (action == nullptr)
        return false;
      if (auto* validations = dynamic_cast<ZPHUserInterfaceValidations*>(action->parent()))
        return validations->validateUserInterfaceItem(action);
      return action->isEnabled();
    };
    window.send = [this](const QString& selector) { return m_mainWindowController->sendAction(selector); };
    window.showsBrowserTab = [this] {
      ZPHContentPaneController* pane = m_mainWindowController->contentPaneController();
      return pane != nullptr && pane->currentDetailViewIsATab();
    };
    m_stylePopoverViewController = std::make_unique<ZPHStylePopoverViewController>(std::move(window));
  }
  return m_stylePopoverViewController.get();
}

void ZPHMainWindowToolbarController::styleButtonPressed(QWidget* sender)
{
  ZPHStylePopoverViewController* popover = stylePopoverViewController();
  ZPHArticleListDelegate* list = m_mainWindowController->articleListDelegate();
  ZPHReadingLayoutViewController* layout = list != nullptr ? list->currentLayoutViewController() : nullptr;
  popover->setMode(layout != nullptr && layout->hasAnyAdjustableContent() ? 1 : 0);
  popover->togglePopoverRelativeTo(sender);
}
