// The About window and the license agreement: the version's size, the
// special thanks, where the buttons go, the acknowledgements opened from a
// folder of this process's own, and the agreement (or that it is missing).

#include "common/ZPHBuildInfo.h"
#include "sheets/FRNHAboutWindowController.h"
#include "sheets/FRNHLicenseAgreementWindowController.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtGui/QFontMetricsF>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QTextBrowser>

#include <gtest/gtest.h>

namespace {

TEST(AboutWindow, TheVersionShrinksUntilItFits)
{
  QFont font;
  const QString text = QStringLiteral("Version 0.1.0 / Build 1234");
  const auto width = [&](qreal size) {
    QFont sized = font;
    sized.setPointSizeF(size);
    return QFontMetricsF(sized).horizontalAdvance(text);
  };
  struct Case {
    const char* name;
    qreal fieldWidth;
    qreal size;
  };
  const QList<Case> cases = {
      {"room to spare", width(13) + 50, 13},
      {"exactly the width at 13", width(13), 13},
      {"a little too narrow", (width(13) + width(12)) / 2, 12},
      {"room for 10 only", (width(11) + width(10)) / 2, 10},
      {"room for 9 only", (width(10) + width(9)) / 2, 9},
      {"not even 9", width(9) - 1, 8},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(FRNHAboutWindowController::versionFontSizeForWidth(test.fieldWidth, text, font), test.size);
  }
}

TEST(AboutWindow, TheThanksAndTheButtons)
{
  EXPECT_EQ(FRNHAboutWindowController::specialThanksForText(QStringLiteral("Ann, Bo"), false),
            QStringLiteral("Ann, Bo"));
  EXPECT_EQ(FRNHAboutWindowController::specialThanksForText(QStringLiteral("Ann, Bo"), true),
            QStringLiteral("Ann, the Sparkle team, Bo"));
  // The agreement at the right edge; the acknowledgements left of it, or in
  // its place when it is not shown.
  EXPECT_EQ(FRNHAboutWindowController::licenseAgreementButtonFrame(560, 300), QRect(376, 261, 175, 32));
  EXPECT_EQ(FRNHAboutWindowController::acknowledgementsButtonFrame(560, 300, true), QRect(199, 261, 175, 32));
  EXPECT_EQ(FRNHAboutWindowController::acknowledgementsButtonFrame(560, 300, false), QRect(376, 261, 175, 32));

  FRNHAboutWindowController about;
  EXPECT_EQ(
      about.appVersion(),
      QStringLiteral("Version %1 / Build %2").arg(ZPHBuildInfo::shortVersionString(), ZPHBuildInfo::buildNumber()));
  EXPECT_TRUE(about.copyrightAndTrademarkString().contains(QStringLiteral("\n\n")));
  EXPECT_FALSE(about.acknowledgementsButton()->isHidden());
  EXPECT_EQ(about.licenseAgreementButton()->geometry(), QRect(376, 261, 175, 32));
  EXPECT_EQ(about.applicationVersionTextField()->font().pointSizeF(), about.appVersionFontSize());

  // Without acknowledgements, no button for them.
  FRNHAboutWindowController bare(QStringLiteral(":/About/NoSuchFile.html"));
  EXPECT_TRUE(bare.acknowledgementsButton()->isHidden());
  EXPECT_EQ(bare.licenseAgreementButton()->geometry(), QRect(376, 261, 175, 32));
  EXPECT_TRUE(bare.showAcknowledgements().isEmpty());
}

TEST(AboutWindow, TheAcknowledgementsNeverOpenAFilePlantedInTheSharedTemporaryFolder)
{
  // Someone plants the fixed name in the shared temporary folder, pointing
  // at a file of the user's.
  ZPHTestTempDir victim;
  const QString precious = victim.writeFile(QStringLiteral("precious.txt"), "keep me");
  const QString planted = QDir::temp().filePath(QStringLiteral("Acknowledgments.pdf"));
  QFile::remove(planted);
  ASSERT_TRUE(QFile::link(precious, planted));

  QList<QUrl> opened;
  FRNHAboutWindowController about(FRNHAboutWindowController::AcknowledgementsResource, [&](const QUrl& url) {
    opened.append(url);
    return true;
  });
  const QString first = about.showAcknowledgements();
  ASSERT_FALSE(first.isEmpty());
  ASSERT_EQ(opened.size(), 1);
  EXPECT_NE(QFileInfo(opened[0].toLocalFile()).canonicalFilePath(), QFileInfo(planted).canonicalFilePath());
  EXPECT_NE(QFileInfo(opened[0].toLocalFile()).canonicalFilePath(), QFileInfo(precious).canonicalFilePath());
  EXPECT_FALSE(QFileInfo(first).isSymLink());
  EXPECT_EQ(QFileInfo(QFileInfo(first).absolutePath()).permissions() & (QFile::ReadOther | QFile::WriteOther), 0);
  QFile written(first);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_TRUE(written.read(5).startsWith("%PDF"));
  // The user's file is untouched; a second opening reuses the copy.
  QFile kept(precious);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), QByteArray("keep me"));
  EXPECT_EQ(about.showAcknowledgements(), first);
  EXPECT_EQ(opened.size(), 2);
  QFile::remove(planted);
}

TEST(AboutWindow, TheAcknowledgementsFolderGoesWhenTheProgramQuits)
{
  FRNHAboutWindowController about(FRNHAboutWindowController::AcknowledgementsResource,
                                  [](const QUrl&) { return true; });
  const QString path = about.showAcknowledgements();
  ASSERT_FALSE(path.isEmpty());
  const QString folder = QFileInfo(path).absolutePath();
  ASSERT_TRUE(QFileInfo(folder).isDir());
  // The program's event loop ends; the controller lives on, as the shared
  // one does until the process ends.
  QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
  QCoreApplication::exec();
  EXPECT_FALSE(QFileInfo::exists(folder));
}

TEST(LicenseAgreement, OpensAtItsTopEveryTimeAndSaysWhenItIsMissing)
{
  FRNHLicenseAgreementWindowController agreement;
  ASSERT_TRUE(agreement.hasAgreement());
  EXPECT_TRUE(agreement.licenseContentTextView()->toPlainText().contains(QStringLiteral("Zephlin License Agreement")));
  QWidget parent;
  parent.resize(400, 300);
  parent.show();
  agreement.runAsSheetForWindow(&parent);
  ASSERT_TRUE(agreement.window()->isVisible());
  EXPECT_EQ(agreement.window()->windowModality(), Qt::WindowModal);
  QScrollBar* scroll = agreement.licenseContentTextView()->verticalScrollBar();
  scroll->setValue(scroll->maximum());
  agreement.closeWindow();
  EXPECT_FALSE(agreement.window()->isVisible());
  agreement.runAsSheetForWindow(&parent);
  EXPECT_EQ(scroll->value(), 0);
  EXPECT_EQ(agreement.licenseContentTextView()->textCursor().position(), 0);
  agreement.closeWindow();

  FRNHLicenseAgreementWindowController missing(QStringLiteral(":/About/NoAgreement.html"));
  EXPECT_FALSE(missing.hasAgreement());
  EXPECT_EQ(missing.licenseContentTextView()->toPlainText(), QStringLiteral("The license agreement is not available."));
}

}  // namespace
