#include "sheets/FRNHAboutWindowController.h"

#include "common/ZPHAppServices.h"
#include "common/ZPHBuildInfo.h"
#include "common/ZPHShellLog.h"
#include "kit/CBViewExtras.h"
#include "sheets/FRNHAboutWindowContentView.h"
#include "sheets/FRNHLicenseAgreementWindowController.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTemporaryDir>
#include <QtGui/QFontMetricsF>
#include <QtGui/QPageLayout>
#include <QtGui/QPageSize>
#include <QtGui/QPdfWriter>
#include <QtGui/QTextDocument>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

const QString FRNHAboutWindowController::AcknowledgementsResource = QStringLiteral(":/About/Acknowledgments.html");

namespace {

constexpr int WindowWidth = 560;
constexpr int WindowHeight = 300;
constexpr int VersionFieldWidth = 300;
constexpr qint64 LargestAcknowledgements = 4 * 1024 * 1024;

}  // namespace

FRNHAboutWindowController* FRNHAboutWindowController::sharedAboutWindowController()
{
  static QPointer<FRNHAboutWindowController> shared;
  if (shared == nullptr)
    shared = new FRNHAboutWindowController();
  return shared;
}

FRNHAboutWindowController::FRNHAboutWindowController(const QString& acknowledgementsPath,
                                                     std::function<bool(const QUrl&)> openFile, QObject* parent)
    : QObject(parent), m_acknowledgementsPath(acknowledgementsPath), m_openFile(std::move(openFile))
{
  // The application's opener, which tells when the desktop has no program
  // for the document.
  if (!m_openFile)
    m_openFile = [](const QUrl& url) { return ZPHAppServices::current().openDocument(url); };
  // The acknowledgements' folder goes with the program's event loop (the
  // shared controller itself lives as long as the process).
  if (QCoreApplication* application = QCoreApplication::instance())
    connect(application, &QCoreApplication::aboutToQuit, this, [this] { m_temporaryFolder.reset(); });
  auto* window = new FRNHAboutWindowContentView();
  m_window = window;
  window->setObjectName(QStringLiteral("AboutWindow"));
  window->setWindowFlag(Qt::Window);
  window->setWindowTitle(tr("About %1").arg(appName()));
  window->setFixedSize(WindowWidth, WindowHeight);

  auto* icon = new QLabel(window);
  icon->setObjectName(QStringLiteral("iconImageView"));
  icon->setPixmap(QApplication::windowIcon().pixmap(128, 128));
  icon->setGeometry(36, 40, 128, 128);

  const int left = 190;
  m_applicationNameTextField = new QLabel(appName(), window);
  m_applicationNameTextField->setObjectName(QStringLiteral("applicationNameTextField"));
  QFont nameFont = m_applicationNameTextField->font();
  nameFont.setPointSizeF(26);
  nameFont.setBold(true);
  m_applicationNameTextField->setFont(nameFont);
  m_applicationNameTextField->setGeometry(left, 34, WindowWidth - left - 20, 40);

  m_applicationVersionTextField = new QLabel(appVersion(), window);
  m_applicationVersionTextField->setObjectName(QStringLiteral("applicationVersionTextField"));
  m_applicationVersionTextField->setTextFormat(Qt::PlainText);
  m_applicationVersionTextField->setGeometry(left, 76, VersionFieldWidth, 20);
  QFont versionFont = m_applicationVersionTextField->font();
  versionFont.setPointSizeF(appVersionFontSize());
  m_applicationVersionTextField->setFont(versionFont);

  m_copyrightTextField = new QLabel(copyrightAndTrademarkString(), window);
  m_copyrightTextField->setObjectName(QStringLiteral("copyrightTextField"));
  m_copyrightTextField->setTextFormat(Qt::PlainText);
  m_copyrightTextField->setWordWrap(true);
  m_copyrightTextField->setGeometry(left, 108, WindowWidth - left - 24, 60);

  m_acknowledgementsTextField = new QLabel(specialThanksString(), window);
  m_acknowledgementsTextField->setObjectName(QStringLiteral("acknowledgementsTextField"));
  m_acknowledgementsTextField->setTextFormat(Qt::PlainText);
  m_acknowledgementsTextField->setWordWrap(true);
  QFont small = m_acknowledgementsTextField->font();
  small.setPointSizeF(small.pointSizeF() * 0.9);
  m_acknowledgementsTextField->setFont(small);
  m_acknowledgementsTextField->setGeometry(left, 172, WindowWidth - left - 24, 60);
  for (QLabel* label : {m_applicationVersionTextField, m_copyrightTextField, m_acknowledgementsTextField}) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(70, 70, 70));
    label->setPalette(palette);
  }
  QPalette namePalette = m_applicationNameTextField->palette();
  namePalette.setColor(QPalette::WindowText, QColor(30, 30, 30));
  m_applicationNameTextField->setPalette(namePalette);

  m_licenseAgreementButton = new QPushButton(tr("License Agreement"), window);
  m_licenseAgreementButton->setObjectName(QStringLiteral("licenseAgreementButton"));
  m_acknowledgementsButton = new QPushButton(tr("Acknowledgments"), window);
  m_acknowledgementsButton->setObjectName(QStringLiteral("acknowledgementsButton"));
  m_acknowledgementsButton->setVisible(QFileInfo(m_acknowledgementsPath).isFile());
  connect(m_licenseAgreementButton, &QPushButton::clicked, this, &FRNHAboutWindowController::showLicenseAgreement);
  connect(m_acknowledgementsButton, &QPushButton::clicked, this, &FRNHAboutWindowController::showAcknowledgements);
  placeButtons();
}

FRNHAboutWindowController::~FRNHAboutWindowController() { delete m_window.data(); }

QString FRNHAboutWindowController::appName() const { return ZPHBuildInfo::applicationName(); }

QString FRNHAboutWindowController::appVersion() const
{
  return tr("Version %1 / Build %2").arg(ZPHBuildInfo::shortVersionString(), ZPHBuildInfo::buildNumber());
}

qreal FRNHAboutWindowController::appVersionFontSize() const
{
  const QFont font = m_applicationVersionTextField != nullptr ? m_applicationVersionTextField->font() : QFont();
  return versionFontSizeForWidth(VersionFieldWidth, appVersion(), font);
}

QString FRNHAboutWindowController::copyrightAndTrademarkString() const
{
  return QStringLiteral("%1\n\n%2").arg(ZPHBuildInfo::humanReadableCopyright(), ZPHBuildInfo::humanReadableTrademark());
}

QString FRNHAboutWindowController::specialThanksString() const
{
  return specialThanksForText(ZPHBuildInfo::humanReadableSpecialThanks(), !ZPHBuildInfo::updateFeedURL().isEmpty());
}

qreal FRNHAboutWindowController::versionFontSizeForWidth(qreal width, const QString& text, const QFont& font)
{
  QFont sized = font;
  sized.setPointSizeF(13);
  if (QFontMetricsF(sized).horizontalAdvance(text) <= width)
    return 13;
  for (qreal size : {12.0, 11.0, 10.0, 9.0}) {
    sized.setPointSizeF(size);
    if (QFontMetricsF(sized).horizontalAdvance(text) < width)
      return size;
  }
  return 8;
}

QString FRNHAboutWindowController::specialThanksForText(const QString& thanks, bool hasUpdateFeed)
{
  if (!hasUpdateFeed)
    return thanks;
  QStringList parts = thanks.split(u',');
  parts.insert(std::min<qsizetype>(1, parts.size()), QStringLiteral(" the Sparkle team"));
  return parts.join(u',');
}

QRect FRNHAboutWindowController::licenseAgreementButtonFrame(int width, int height)
{
  return QRect(width - 9 - ButtonWidth, height - 7 - ButtonHeight, ButtonWidth, ButtonHeight);
}

QRect FRNHAboutWindowController::acknowledgementsButtonFrame(int width, int height, bool agreementShown)
{
  QRect frame = licenseAgreementButtonFrame(width, height);
  if (agreementShown)
    frame.translate(-(2 + ButtonWidth), 0);
  return frame;
}

void FRNHAboutWindowController::placeButtons()
{
  const bool agreementShown = !m_licenseAgreementButton->isHidden();
  m_licenseAgreementButton->setGeometry(licenseAgreementButtonFrame(WindowWidth, WindowHeight));
  m_acknowledgementsButton->setGeometry(acknowledgementsButtonFrame(WindowWidth, WindowHeight, agreementShown));
}

void FRNHAboutWindowController::showWindow() { cb_showWindowCentered(m_window); }

QString FRNHAboutWindowController::showAcknowledgements()
{
  QFile source(m_acknowledgementsPath);
  if (!source.open(QIODevice::ReadOnly) || source.size() > LargestAcknowledgements) {
    qCWarning(zphShell) << "Acknowledgements.pdf not found in bundle.";
    return {};
  }
  // A folder of this process's own (mode 0700, a new name), so nothing
  // another user planted in the shared temporary folder is ever opened.
  if (m_temporaryFolder == nullptr) {
    m_temporaryFolder = std::make_unique<QTemporaryDir>();
    if (!m_temporaryFolder->isValid()) {
      qCWarning(zphShell) << "no temporary folder for the acknowledgements";
      m_temporaryFolder.reset();
      return {};
    }
  }
  const QString path = m_temporaryFolder->filePath(QStringLiteral("Acknowledgments.pdf"));
  if (!QFileInfo(path).isFile()) {
    QPdfWriter writer(path);
    writer.setTitle(tr("Zephlin Acknowledgments"));
    writer.setCreator(appName());
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
    QTextDocument document;
    document.setHtml(QString::fromUtf8(source.readAll()));
    document.print(&writer);
  }
  if (!QFileInfo(path).isFile()) {
    qCWarning(zphShell) << "the acknowledgements could not be written";
    return {};
  }
  m_openFile(QUrl::fromLocalFile(path));
  return path;
}

void FRNHAboutWindowController::showLicenseAgreement()
{
  FRNHLicenseAgreementWindowController::sharedWindowController()->runAsSheetForWindow(m_window);
}
