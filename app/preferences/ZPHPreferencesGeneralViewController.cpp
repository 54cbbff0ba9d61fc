#include "preferences/ZPHPreferencesGeneralViewController.h"

#include "foundation/CBPrefs.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "keys/ZPHKeyMappingController.h"
#include "kit/ZPHErrorSheet.h"
#include "platform/ZPHError.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBDataController.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFileInfo>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QStyle>
#include <QtWidgets/QVBoxLayout>
#include <QtWidgets/QWidget>

const QString ZPHPreferencesGeneralViewController::FeedMimeType = QStringLiteral("x-scheme-handler/feed");

namespace {

QIcon iconOfEntry(const ZPHDesktopEntry& entry)
{
  if (entry.icon.isEmpty())
    return {};
  if (QFileInfo(entry.icon).isAbsolute())
    return QFileInfo(entry.icon).isFile() ? QIcon(entry.icon) : QIcon();
  return QIcon::fromTheme(entry.icon);
}

CBDataController* dataController()
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  return delegate != nullptr ? delegate->dataController() : nullptr;
}

}  // namespace

ZPHPreferencesGeneralViewController::ZPHPreferencesGeneralViewController(QObject* parent)
    : FRNHPreferenceViewController(parent)
{
}

ZPHPreferencesGeneralViewController::~ZPHPreferencesGeneralViewController() = default;

QString ZPHPreferencesGeneralViewController::title() const { return tr("General"); }

QIcon ZPHPreferencesGeneralViewController::image() const
{
  return QIcon::fromTheme(QStringLiteral("preferences-system"),
                          QApplication::style()->standardIcon(QStyle::SP_ComputerIcon));
}

QList<ZPHPreferencesGeneralViewController::FeedReader> ZPHPreferencesGeneralViewController::allFeedReaders()
{
  QList<FeedReader> readers;
  const QString own = ZPHDesktopEntries::ownDesktopFileID();
  bool ownListed = false;
  for (const ZPHDesktopEntry& entry : ZPHDesktopEntries::entriesHandling(FeedMimeType)) {
    ownListed |= entry.desktopFileID == own;
    readers.append({entry.name, iconOfEntry(entry), entry.desktopFileID, entry.name});
  }
  if (!ownListed) {
    // Zephlin is offered also where its entry is not installed (choosing it
    // installs one).
    const ZPHDesktopEntry entry = ZPHDesktopEntries::entryWithID(own);
    const QString name = entry.isNull() || entry.name.isEmpty() ? QStringLiteral("Zephlin") : entry.name;
    readers.prepend({name, QApplication::windowIcon(), own, name});
  }
  return readers;
}

QWidget* ZPHPreferencesGeneralViewController::loadView()
{
  auto* view = new QWidget();
  view->setObjectName(QStringLiteral("PreferencesGeneral"));
  auto* form = new QFormLayout(view);
  form->setContentsMargins(24, 20, 24, 20);
  form->setVerticalSpacing(10);
  form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);

  m_defaultFeedReaderPopupButton = new QComboBox(view);
  m_defaultFeedReaderPopupButton->setObjectName(QStringLiteral("defaultFeedReaderPopupButton"));
  m_defaultFeedReaderPopupButton->setMinimumWidth(220);
  form->addRow(tr("Default news reader:"), m_defaultFeedReaderPopupButton);

  m_allowPluginsButton = new QCheckBox(tr("Allow plug-ins in web pages"), view);
  m_allowPluginsButton->setObjectName(QStringLiteral("allowPluginsButton"));
  form->addRow(tr("Web content:"), m_allowPluginsButton);

  m_openLinksInBrowserButton = new QCheckBox(tr("Open links in your web browser"), view);
  m_openLinksInBrowserButton->setObjectName(QStringLiteral("openLinksInBrowserButton"));
  m_openLinksInBackgroundButton = new QCheckBox(tr("Open links in the background"), view);
  m_openLinksInBackgroundButton->setObjectName(QStringLiteral("openLinksInBackgroundButton"));
  form->addRow(tr("Links:"), m_openLinksInBrowserButton);
  form->addRow(QString(), m_openLinksInBackgroundButton);

  m_keyboardShortcutsPopupButton = new QComboBox(view);
  m_keyboardShortcutsPopupButton->setObjectName(QStringLiteral("keyboardShortcutsPopupButton"));
  m_keyboardShortcutsPopupButton->addItem(tr("Zephlin 4"), 1);
  m_keyboardShortcutsPopupButton->addItem(tr("Zephlin 3 (single keys)"), 2);
  form->addRow(tr("Keyboard shortcuts:"), m_keyboardShortcutsPopupButton);

  m_badgeUnreadCountButton = new QCheckBox(tr("Show the unread count in the title and the tray"), view);
  m_badgeUnreadCountButton->setObjectName(QStringLiteral("badgeUnreadCountButton"));
  m_allUnreadFavoritesOnlyButton = new QCheckBox(tr("All Unread shows favorite sites only"), view);
  m_allUnreadFavoritesOnlyButton->setObjectName(QStringLiteral("allUnreadFavoritesOnlyButton"));
  m_todayFavoritesOnlyButton = new QCheckBox(tr("Today shows favorite sites only"), view);
  m_todayFavoritesOnlyButton->setObjectName(QStringLiteral("todayFavoritesOnlyButton"));
  form->addRow(tr("Unread counts:"), m_badgeUnreadCountButton);
  form->addRow(QString(), m_allUnreadFavoritesOnlyButton);
  form->addRow(QString(), m_todayFavoritesOnlyButton);

  m_feedReaders = allFeedReaders();
  fillFeedReaderPopup();
  updateFromDefaults();
  reloadDefaultFeedReader();

  connect(m_defaultFeedReaderPopupButton, &QComboBox::activated, this, [this](int index) {
    setDefaultFeedReaderBundleId(m_defaultFeedReaderPopupButton->itemData(index).toString());
  });
  connect(m_allowPluginsButton, &QCheckBox::clicked, this,
          &ZPHPreferencesGeneralViewController::pluginsCheckboxClicked);
  connect(m_openLinksInBrowserButton, &QCheckBox::clicked, this,
          [](bool checked) { ZPHUserDefaults::standardUserDefaults().setBool(ZPHBrowserOpenLinksInZephlin, checked); });
  connect(m_openLinksInBackgroundButton, &QCheckBox::clicked, this, [](bool checked) {
    ZPHUserDefaults::standardUserDefaults().setBool(ZPHOpenInBrowserInBackgroundDefaultsKey, checked);
  });
  connect(m_keyboardShortcutsPopupButton, &QComboBox::activated, this,
          [this](int index) { setKeyboardShortcutSet(m_keyboardShortcutsPopupButton->itemData(index).toInt()); });
  connect(m_badgeUnreadCountButton, &QCheckBox::clicked, this,
          &ZPHPreferencesGeneralViewController::badgeUnreadCountPreferenceChanged);
  connect(m_allUnreadFavoritesOnlyButton, &QCheckBox::clicked, this,
          &ZPHPreferencesGeneralViewController::displayAllFeedsPreferenceChanged);
  connect(m_todayFavoritesOnlyButton, &QCheckBox::clicked, this,
          &ZPHPreferencesGeneralViewController::displayTodayFeedPreferenceChanged);

  // The controls follow changes made elsewhere (the tray's menu, a second
  // window of the settings).
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  for (const QString& key :
       {ZPHPluginsEnabled, ZPHBrowserOpenLinksInZephlin, ZPHOpenInBrowserInBackgroundDefaultsKey, ZPHKeyMapSetName,
        ZPHUnreadCountSelection, ZPHAllUnreadFeedsSelection, ZPHTodayFeedSelection})
    defaults.observe(key, this, [this](const QVariant&) { updateFromDefaults(); });
  setInitialFirstResponder(m_defaultFeedReaderPopupButton);
  return view;
}

void ZPHPreferencesGeneralViewController::fillFeedReaderPopup()
{
  m_updating = true;
  m_defaultFeedReaderPopupButton->clear();
  for (const FeedReader& reader : std::as_const(m_feedReaders))
    m_defaultFeedReaderPopupButton->addItem(reader.appIcon, reader.appTitle, reader.bundleId);
  m_defaultFeedReaderPopupButton->setEnabled(!m_feedReaders.isEmpty());
  m_defaultFeedReaderPopupButton->setPlaceholderText(m_feedReaders.isEmpty() ? tr("No news readers are installed")
                                                                             : tr("None chosen"));
  m_defaultFeedReaderPopupButton->setCurrentIndex(-1);
  m_updating = false;
}

void ZPHPreferencesGeneralViewController::selectDefaultFeedReaderInPopup()
{
  if (m_defaultFeedReaderPopupButton == nullptr)
    return;
  m_updating = true;
  m_defaultFeedReaderPopupButton->setCurrentIndex(
      m_defaultFeedReaderPopupButton->findData(m_defaultFeedReaderBundleId));
  m_updating = false;
}

void ZPHPreferencesGeneralViewController::reloadDefaultFeedReader()
{
  ZPHDesktopEntries::queryDefaultApplication(FeedMimeType, this, [this](const QString& id) {
    m_defaultFeedReaderBundleId = id;
    selectDefaultFeedReaderInPopup();
    Q_EMIT defaultFeedReaderChanged(id);
  });
}

void ZPHPreferencesGeneralViewController::setDefaultFeedReaderBundleId(const QString& bundleId)
{
  if (bundleId.isEmpty() || m_updating)
    return;
  // Zephlin from where it is, its entry not installed: the user's own entry
  // starts this program.
  if (bundleId == ZPHDesktopEntries::ownDesktopFileID() && ZPHDesktopEntries::entryWithID(bundleId).isNull()) {
    QString reason;
    if (!ZPHDesktopEntries::installOwnEntryForUser(QCoreApplication::applicationFilePath(), &reason)) {
      showDefaultFeedReaderFailure(tr("Its desktop entry could not be written (%1). Install Zephlin "
                                      "(cmake --install) and choose it again.")
                                       .arg(reason));
      reloadDefaultFeedReader();
      return;
    }
  }
  ZPHDesktopEntries::setDefaultApplication(bundleId, FeedMimeType, this, [this, bundleId](bool done) {
    if (!done)
      showDefaultFeedReaderFailure(
          tr("The desktop did not take it. To make it the default, run: xdg-mime default %1 %2")
              .arg(bundleId, FeedMimeType));
    reloadDefaultFeedReader();
  });
}

void ZPHPreferencesGeneralViewController::showDefaultFeedReaderFailure(const QString& reason)
{
  QWidget* over = m_defaultFeedReaderPopupButton != nullptr ? m_defaultFeedReaderPopupButton->window() : nullptr;
  delete m_failureAlert.data();
  m_failureAlert = ZPHErrorSheet::present(
      over, ZPHError(QStringLiteral("com.fernhollow.zephlin.errorDomains.preferences"), 1,
                     {{ZPHLocalizedDescriptionKey, tr("The default news reader could not be set.")},
                      {ZPHLocalizedRecoverySuggestionKey, reason}}));
  if (m_failureAlert != nullptr)
    m_failureAlert->setObjectName(QStringLiteral("defaultFeedReaderFailureAlert"));
}

void ZPHPreferencesGeneralViewController::updateFromDefaults()
{
  if (m_allowPluginsButton == nullptr)
    return;
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  m_allowPluginsButton->setChecked(defaults.boolForKey(ZPHPluginsEnabled));
  m_openLinksInBrowserButton->setChecked(defaults.boolForKey(ZPHBrowserOpenLinksInZephlin));
  m_openLinksInBackgroundButton->setChecked(defaults.boolForKey(ZPHOpenInBrowserInBackgroundDefaultsKey));
  const bool previousSet = defaults.stringForKey(ZPHKeyMapSetName) == ZPHKeyMappingController::Zephlin3SetName;
  m_keyboardShortcutsPopupButton->setCurrentIndex(m_keyboardShortcutsPopupButton->findData(previousSet ? 2 : 1));
  m_badgeUnreadCountButton->setChecked(defaults.integerForKey(ZPHUnreadCountSelection) != 2);
  m_allUnreadFavoritesOnlyButton->setChecked(defaults.integerForKey(ZPHAllUnreadFeedsSelection) == 0);
  m_todayFavoritesOnlyButton->setChecked(defaults.integerForKey(ZPHTodayFeedSelection) == 0);
}

void ZPHPreferencesGeneralViewController::pluginsCheckboxClicked(bool checked)
{
  // The web profiles follow the setting.
  ZPHUserDefaults::standardUserDefaults().setBool(ZPHPluginsEnabled, checked);
}

void ZPHPreferencesGeneralViewController::setKeyboardShortcutSet(int tag)
{
  const QString name = tag == 2 ? ZPHKeyMappingController::Zephlin3SetName : ZPHKeyMappingController::Zephlin4SetName;
  // Stored for the next start; the set applies at once.
  ZPHUserDefaults::standardUserDefaults().setString(ZPHKeyMapSetName, name);
  ZPHKeyMappingController::sharedMappingController()->setKeySetName(name);
}

void ZPHPreferencesGeneralViewController::badgeUnreadCountPreferenceChanged(bool checked)
{
  ZPHUserDefaults::standardUserDefaults().setInteger(ZPHUnreadCountSelection, checked ? 1 : 2);
  if (CBDataController* data = dataController())
    data->updateAllUnreadCountsOnMainThread();
}

void ZPHPreferencesGeneralViewController::displayAllFeedsPreferenceChanged(bool checked)
{
  ZPHUserDefaults::standardUserDefaults().setInteger(ZPHAllUnreadFeedsSelection, checked ? 0 : 1);
  if (CBDataController* data = dataController())
    data->updateAllUnreadCountsOnMainThread();
}

void ZPHPreferencesGeneralViewController::displayTodayFeedPreferenceChanged(bool checked)
{
  ZPHUserDefaults::standardUserDefaults().setInteger(ZPHTodayFeedSelection, checked ? 0 : 1);
  if (CBDataController* data = dataController())
    data->updateTodayCount();
}
