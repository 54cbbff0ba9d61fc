#include "articleview/ZPHStyleSheetController.h"

#include "articleview/ZPHArticleTheme.h"
#include "common/ZPHArticlesLog.h"
#include "foundation/CBPrefs.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "themes/ZPHTheme.h"

#include <QtCore/QDir>
#include <QtCore/QDirIterator>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QLoggingCategory>
#include <QtCore/QSaveFile>
#include <QtCore/QSet>
#include <QtCore/QStandardPaths>
#include <QtGui/QFontDatabase>
#include <QtGui/QFontInfo>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWebEngineCore/QWebEngineSettings>

#include <algorithm>

const QString ZPHStyleSheetController::HasSetStyleDefaultsKey = QStringLiteral("ZPHHasSetStyleDefaults");
const QString ZPHStyleSheetController::DisableAutomaticFamilyChangeKey =
    QStringLiteral("ZPHDisableAutomaticHelveticaFamilyChangeUponWindowScaleChange");
const QString ZPHStyleSheetController::StandardFontFamilyKey = QStringLiteral("ZPHArticleStandardFontFamily");
const QString ZPHStyleSheetController::FixedFontFamilyKey = QStringLiteral("ZPHArticleFixedFontFamily");
const QString ZPHStyleSheetController::DefaultFontSizeKey = QStringLiteral("ZPHArticleDefaultFontSize");
const QString ZPHStyleSheetController::DefaultFixedFontSizeKey = QStringLiteral("ZPHArticleDefaultFixedFontSize");
const QString ZPHStyleSheetController::MinimumFontSizeKey = QStringLiteral("ZPHArticleMinimumFontSize");

namespace {

const QString kHelvetica = QStringLiteral("Helvetica");
const QString kHelveticaNeue = QStringLiteral("Helvetica Neue");
const QString kMenlo = QStringLiteral("Menlo");
constexpr int kResetMinimumFontSize = 10;
constexpr int kResetFixedFontSize = 15;
constexpr int kResetStandardFontSize = 17;
constexpr int kDefaultFontPointSize = 12;

// The family the system uses for text or fixed-width text, as the font
// database resolves it; a generic name without a GUI application.
QString systemFamily(bool fixedPitch)
{
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
    return fixedPitch ? QStringLiteral("monospace") : QStringLiteral("sans-serif");
  return QFontInfo(QFontDatabase::systemFont(fixedPitch ? QFontDatabase::FixedFont : QFontDatabase::GeneralFont))
      .family();
}

bool familyIsInstalled(const QString& family)
{
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
    return false;
  return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

QString cacheFolder()
{
  if (const ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate()) {
    const QString folder = delegate->pathToCacheFolder();
    if (!folder.isEmpty())
      return folder;
  }
  return QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
}

}  // namespace

ZPHStyleSheetController* ZPHStyleSheetController::sharedController()
{
  ZPH_ASSERT_MAIN_THREAD();
  static ZPHStyleSheetController* const controller = [] {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return new ZPHStyleSheetController(
        ZPHUserDefaults::standardUserDefaults(), familyIsInstalled,
        screen != nullptr ? screen->devicePixelRatio() : 1.0,
        QDir(cacheFolder()).filePath(QStringLiteral("ArticleThemes.noindex/StyleSheets")));
  }();
  return controller;
}

ZPHStyleSheetController::ZPHStyleSheetController(ZPHUserDefaults& defaults, FamilyInstalled familyInstalled,
                                                 qreal screenScaleFactor, const QString& themeFolder)
    : m_defaults(defaults),
      m_familyInstalled(std::move(familyInstalled)),
      m_screenScaleFactor(screenScaleFactor),
      m_themeFolder(themeFolder)
{
  m_defaults.registerDefaults({{ZPHSubthemeStyleIndexKey, 0}, {ZPHStyleMarginIndexKey, 0}});
  if (!m_defaults.boolForKey(HasSetStyleDefaultsKey)) {
    resetFontDefaults();
    m_defaults.setBool(HasSetStyleDefaultsKey, true);
  }
  for (int step = 0; step < 16; ++step) m_margins.push_back(34.0 + 4.0 * step);
}

ZPHStyleSheetController::~ZPHStyleSheetController() = default;

ZPHArticleTheme* ZPHStyleSheetController::defaultArticleTheme()
{
  if (!m_theme) {
    if (!installTheme(QStringLiteral(":/StyleSheets"), m_themeFolder))
      qCWarning(zphArticles) << Q_FUNC_INFO << "the article theme could not be copied to" << m_themeFolder;
    m_theme = std::make_unique<ZPHArticleTheme>(m_themeFolder, &m_defaults);
  }
  return m_theme.get();
}

QStringList ZPHStyleSheetController::styleSheetFolders() { return {defaultArticleTheme()->folderPath()}; }

bool ZPHStyleSheetController::installTheme(const QString& resourceFolder, const QString& destination)
{
  QDir target(destination);
  if (!target.mkpath(QStringLiteral(".")))
    return false;
  bool complete = true;
  QSet<QString> shipped;
  QDirIterator files(resourceFolder, QDir::Files, QDirIterator::Subdirectories);
  while (files.hasNext()) {
    const QString source = files.next();
    const QString relative = QDir(resourceFolder).relativeFilePath(source);
    shipped.insert(relative);
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly)) {
      complete = false;
      continue;
    }
    const QByteArray bytes = input.readAll();
    const QString path = target.filePath(relative);
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)
      continue;
    existing.close();
    target.mkpath(QFileInfo(relative).path());
    QSaveFile output(path);
    if (!output.open(QIODevice::WriteOnly) || output.write(bytes) != bytes.size() || !output.commit())
      complete = false;
  }
  if (shipped.isEmpty())
    return false;
  QDirIterator installed(destination, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (installed.hasNext()) {
    const QString path = installed.next();
    if (!shipped.contains(target.relativeFilePath(path)))
      QFile::remove(path);
  }
  return complete;
}

QString ZPHStyleSheetController::installedOrSystemFamily(const QString& family, bool fixedPitch) const
{
  if (m_familyInstalled && m_familyInstalled(family))
    return family;
  return systemFamily(fixedPitch);
}

QFont ZPHStyleSheetController::defaultFont() const
{
  return QFont(installedOrSystemFamily(QStringLiteral("Times"), false), kDefaultFontPointSize);
}

QFont ZPHStyleSheetController::defaultFixedFont() const
{
  QFont font(installedOrSystemFamily(QStringLiteral("Courier"), true), kDefaultFontPointSize);
  font.setFixedPitch(true);
  return font;
}

QString ZPHStyleSheetController::standardFontFamily() const
{
  const QString family = m_defaults.stringForKey(StandardFontFamilyKey);
  return family.isEmpty() ? installedOrSystemFamily(kHelvetica, false) : family;
}

void ZPHStyleSheetController::setStandardFontFamily(const QString& family)
{
  m_defaults.setString(StandardFontFamilyKey, family);
  post();
}

QString ZPHStyleSheetController::fixedFontFamily() const
{
  const QString family = m_defaults.stringForKey(FixedFontFamilyKey);
  return family.isEmpty() ? installedOrSystemFamily(kMenlo, true) : family;
}

void ZPHStyleSheetController::setFixedFontFamily(const QString& family)
{
  m_defaults.setString(FixedFontFamilyKey, family);
  post();
}

int ZPHStyleSheetController::storedSize(const QString& key, int fallback) const
{
  const qint64 size = m_defaults.integerForKey(key);
  return size > 0 && size <= 1000 ? int(size) : fallback;
}

int ZPHStyleSheetController::defaultFontSize() const { return storedSize(DefaultFontSizeKey, kResetStandardFontSize); }

void ZPHStyleSheetController::setDefaultFontSize(int size)
{
  if (size < minimumFontSize() || size > maximumFontSize())
    return;
  m_defaults.setInteger(DefaultFontSizeKey, size);
  post();
}

int ZPHStyleSheetController::defaultFixedFontSize() const
{
  return storedSize(DefaultFixedFontSizeKey, kResetFixedFontSize);
}

void ZPHStyleSheetController::setDefaultFixedFontSize(int size)
{
  if (size < minimumFontSize() || size > maximumFontSize())
    return;
  m_defaults.setInteger(DefaultFixedFontSizeKey, size);
  post();
}

int ZPHStyleSheetController::minimumFontSize() const { return storedSize(MinimumFontSizeKey, kResetMinimumFontSize); }

void ZPHStyleSheetController::setMinimumFontSize(int size)
{
  m_defaults.setInteger(MinimumFontSizeKey, size);
  post();
}

int ZPHStyleSheetController::currentMarginIndex() const
{
  const qint64 index = m_defaults.integerForKey(ZPHStyleMarginIndexKey);
  return int(std::clamp<qint64>(index, minimumMarginIndex(), maximumMarginIndex()));
}

void ZPHStyleSheetController::setCurrentMarginIndex(qint64 index)
{
  m_defaults.setInteger(ZPHStyleMarginIndexKey, index);
  post();
}

std::optional<double> ZPHStyleSheetController::marginAtIndex(qint64 index) const
{
  if (index < 0 || index >= qint64(m_margins.size()))
    return std::nullopt;
  return m_margins[size_t(index)];
}

double ZPHStyleSheetController::marginAtCurrentIndex() const { return m_margins[size_t(currentMarginIndex())]; }

double ZPHStyleSheetController::resetArticleMargins()
{
  setCurrentMarginIndex(0);
  return m_margins.front();
}

void ZPHStyleSheetController::resetFontDefaults()
{
  resetFontFamilies();
  resetFontSizes();
}

void ZPHStyleSheetController::resetFontFamilies()
{
  setStandardFontFamily(installedOrSystemFamily(m_screenScaleFactor == 2.0 ? kHelveticaNeue : kHelvetica, false));
  setFixedFontFamily(installedOrSystemFamily(kMenlo, true));
}

void ZPHStyleSheetController::resetFontSizes()
{
  setMinimumFontSize(kResetMinimumFontSize);
  setDefaultFixedFontSize(kResetFixedFontSize);
  setDefaultFontSize(kResetStandardFontSize);
}

void ZPHStyleSheetController::windowScaleFactorChanged(qreal scaleFactor)
{
  if (m_defaults.boolForKey(DisableAutomaticFamilyChangeKey))
    return;
  const QString current = standardFontFamily();
  if (current != kHelvetica && current != kHelveticaNeue)
    return;
  const QString family = scaleFactor == 2.0 ? kHelveticaNeue : kHelvetica;
  if (m_familyInstalled && m_familyInstalled(family))
    setStandardFontFamily(family);
}

void ZPHStyleSheetController::applyToSettings(QWebEngineSettings* settings) const
{
  if (settings == nullptr)
    return;
  const QString standard = standardFontFamily();
  settings->setFontFamily(QWebEngineSettings::StandardFont, standard);
  settings->setFontFamily(QWebEngineSettings::SerifFont, standard);
  settings->setFontFamily(QWebEngineSettings::SansSerifFont, standard);
  settings->setFontFamily(QWebEngineSettings::FixedFont, fixedFontFamily());
  settings->setFontSize(QWebEngineSettings::DefaultFontSize, defaultFontSize());
  settings->setFontSize(QWebEngineSettings::DefaultFixedFontSize, defaultFixedFontSize());
  settings->setFontSize(QWebEngineSettings::MinimumFontSize, minimumFontSize());
}

void ZPHStyleSheetController::post() const
{
  ZPHNotificationCenter::defaultCenter().post(ZPHStylesDidChangeNotification);
}
