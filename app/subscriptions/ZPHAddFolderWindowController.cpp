#include "subscriptions/ZPHAddFolderWindowController.h"

#include "common/ZPHApplicationNotifications.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "kit/CBSolidColorView.h"
#include "kit/ZPHBottomBorderView.h"
#include "kit/ZPHInnerGlowClipView.h"
#include "kit/ZPHNamedImage.h"
#include "kit/ZPHPlainTextToolTip.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFolder.h"
#include "subscriptions/ZPHAddSiteOrFolderTextView.h"
#include "subscriptions/ZPHSubscriptionsLog.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

const QString CBNameKey = QStringLiteral("name");

ZPHAddFolderWindowController::ZPHAddFolderWindowController(QObject* parent) : QObject(parent)
{
  m_themeObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHThemeChangedNotification, QVariant(), this, [this](const ZPHNotification&) { themeChanged(); },
      ZPHNotificationCenter::Delivery::MainThread);
}

ZPHAddFolderWindowController::~ZPHAddFolderWindowController()
{
  m_themeObserver = {};
  delete m_window.data();
}

QDialog* ZPHAddFolderWindowController::window()
{
  if (m_window == nullptr)
    windowDidLoad();
  return m_window;
}

QString ZPHAddFolderWindowController::titleForItemInToolbar(ZPHSelectableToolbar*, int) { return tr("Add Folder"); }

QImage ZPHAddFolderWindowController::templateImageForItemInToolbar(ZPHSelectableToolbar*, int)
{
  return ZPHNamedImage(QStringLiteral("NewFolderTemplate"));
}

void ZPHAddFolderWindowController::windowDidLoad()
{
  auto* dialog = new QDialog;
  dialog->setObjectName(QStringLiteral("AddFolder"));
  dialog->setWindowTitle(tr("New Folder"));
  m_window = dialog;
  auto* layout = new QVBoxLayout(dialog);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  m_toolbar = new ZPHSelectableToolbar(dialog);
  m_toolbar->setAllowsAndShowsSelection(false);
  m_toolbar->setDataSource(this);
  m_toolbar->reloadData();
  layout->addWidget(m_toolbar);

  m_bottomBorderView = new ZPHBottomBorderView(dialog);
  m_bottomBorderView->setAutoFillBackground(true);
  auto* fields = new QVBoxLayout(m_bottomBorderView);
  fields->setContentsMargins(20, 16, 20, 17);
  fields->setSpacing(10);
  m_folderNameTextView = ZPHAddSiteOrFolderTextView::makeInBackdrop(m_bottomBorderView, &m_nameBackdrop);
  m_folderNameTextView->setObjectName(QStringLiteral("folderName"));
  m_folderNameTextView->setCustomPlaceholderString(tr("Name of new folder"));
  m_folderNameTextView->setDefaultLineBreakMode(ZPHAddSiteOrFolderTextView::LineBreakMode::TruncatingHead);
  m_nameBackdrop->setFixedHeight(m_folderNameTextView->textHeightForWidth(350));
  m_nameBackdrop->setMinimumWidth(350);
  fields->addWidget(m_nameBackdrop);
  m_folderPopupButton = new QComboBox(m_bottomBorderView);
  m_folderPopupButton->setObjectName(QStringLiteral("folderPopUp"));
  fields->addWidget(m_folderPopupButton);
  layout->addWidget(m_bottomBorderView, 1);

  auto* bottom = new CBSolidColorView(dialog);
  auto* buttons = new QHBoxLayout(bottom);
  buttons->setContentsMargins(12, 10, 12, 10);
  m_cancelButton = new QPushButton(tr("Cancel"), bottom);
  m_cancelButton->setAutoDefault(false);
  m_addButton = new QPushButton(tr("Add"), bottom);
  m_addButton->setDefault(true);
  m_addButton->setEnabled(false);
  buttons->addWidget(m_cancelButton);
  buttons->addStretch(1);
  buttons->addWidget(m_addButton);
  layout->addWidget(bottom);

  connect(m_cancelButton, &QPushButton::clicked, this, &ZPHAddFolderWindowController::cancel);
  connect(m_addButton, &QPushButton::clicked, this, &ZPHAddFolderWindowController::createFolder);
  connect(m_folderNameTextView, &QPlainTextEdit::textChanged, this, [this] {
    const bool canAdd = !folderName().isEmpty();
    if (canAdd == m_canAddFolder)
      return;
    m_canAddFolder = canAdd;
    m_addButton->setEnabled(canAdd);
    Q_EMIT canAddFolderChanged(canAdd);
  });
  connect(m_folderNameTextView, &ZPHAddSiteOrFolderTextView::returnPressed, this, [this] {
    if (canAddFolder())
      createFolder();
    else
      QApplication::beep();
  });
  connect(m_folderPopupButton, &QComboBox::activated, this,
          &ZPHAddFolderWindowController::updateFolderPopUpButtonTootlip);

  themeChanged();
  populateFolderMenu();
  dialog->setFixedSize(dialog->sizeHint().expandedTo(QSize(390, 0)));
  m_folderNameTextView->setFocus();
}

void ZPHAddFolderWindowController::themeChanged()
{
  if (m_window == nullptr)
    return;
  ZPHTheme* theme = ZPHTheme::currentTheme();
  QPalette colors = m_bottomBorderView->palette();
  colors.setColor(QPalette::Window, theme->addSiteOrFolderContainerBackgroundColor());
  m_bottomBorderView->setPalette(colors);
  m_bottomBorderView->setBorderColor(theme->addSiteOrFolderBorderColor());
  m_bottomBorderView->setBorderHeight(1.0);
  if (auto* bottom = qobject_cast<CBSolidColorView*>(m_addButton->parentWidget()))
    bottom->setBackgroundColor(theme->addSiteOrFolderContainerBackgroundColor());
  m_nameBackdrop->setInnerGlowColor(theme->addSiteOrFolderTextViewBlueGlowColor());
  m_window->update();
}

void ZPHAddFolderWindowController::populateFolderMenu()
{
  ZPHFillFolderPopUp(m_folderPopupButton, ZPHGenerateMenuOfAllModifiableFolders());
  const int index = ZPHIndexOfFolderTarget(m_folderPopupButton, ZPHTargetOfSelectedTreeNode());
  if (index >= 0)
    m_folderPopupButton->setCurrentIndex(index);
  updateFolderPopUpButtonTootlip();
}

void ZPHAddFolderWindowController::updateFolderPopUpButtonTootlip()
{
  m_folderPopupButton->setToolTip(ZPHPlainTextToolTip(m_folderPopupButton->currentData(Qt::ToolTipRole).toString()));
}

QString ZPHAddFolderWindowController::folderName() const
{
  return m_folderNameTextView != nullptr ? m_folderNameTextView->toPlainText() : QString();
}

void ZPHAddFolderWindowController::setFolderName(const QString& name)
{
  window();
  m_folderNameTextView->setPlainText(name);
}

bool ZPHAddFolderWindowController::canAddFolder() const { return !folderName().isEmpty(); }

void ZPHAddFolderWindowController::cancel()
{
  if (m_window != nullptr)
    m_window->reject();
}

void ZPHAddFolderWindowController::createFolder()
{
  if (!canAddFolder()) {
    QApplication::beep();
    return;
  }
  const QString name = folderName();
  const ZPHFolderTarget target = ZPHFolderTargetAtIndex(m_folderPopupButton, m_folderPopupButton->currentIndex());
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (delegate == nullptr) {
    cancel();
    return;
  }
  m_addButton->setEnabled(false);
  QPointer<ZPHAddFolderWindowController> self(this);
  delegate->addMainThreadCoreDataQueueBlock([self, name, target] {
    CBFolder* folder = nullptr;
    CBDataAccount* account = CBDataAccount::localAccount();
    if (account != nullptr) {
      if (target.folder != nullptr)
        folder = account->addFolderWithName(name, target.folder);
      else if (target.account != nullptr)
        folder = target.account->addFolderWithName(name);
    }
    if (self != nullptr && self->m_window != nullptr)
      self->m_window->accept();
    if (folder == nullptr) {
      qCWarning(zphSubscriptions) << "no folder was made";
      return;
    }
    ZPHNotificationCenter::defaultCenter().post(
        ZPHFolderAddedNotification, QVariant::fromValue(static_cast<QObject*>(self.data())), {{CBNameKey, name}});
    if (self != nullptr && self->m_folderAddedHandler)
      self->m_folderAddedHandler(folder);
  });
}
