#pragma once

// Qt kind: QObject that owns widgets.

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtGui/QFont>
#include <QtWidgets/QWidget>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QTemporaryDir;
class FRNHAboutWindowContentView;

// The About window: the program's icon, name, "Version <v> / Build <b>"
// (set smaller, down to 8 points, when it does not fit), the copyright and
// trademark lines and the special thanks (from the build), with two buttons
// at the bottom right: the license agreement (a sheet on the window) and the
// acknowledgements, which open in the desktop's viewer as a PDF written
// into a temporary folder of this process's own (made once, never a fixed
// name in the shared temporary folder; removed when the program's event
// loop ends). The acknowledgements button shows
// only when the program has them. Main thread.
class FRNHAboutWindowController : public QObject {
  Q_OBJECT

public:
  static const QString AcknowledgementsResource;  // ":/About/Acknowledgments.html"
  static constexpr int ButtonWidth = 175;
  static constexpr int ButtonHeight = 32;

  // The process's one controller, made on first use.
  static FRNHAboutWindowController* sharedAboutWindowController();

  // `openFile` hands a file to the desktop (QDesktopServices unless a test
  // says otherwise).
  explicit FRNHAboutWindowController(const QString& acknowledgementsPath = AcknowledgementsResource,
                                     std::function<bool(const QUrl&)> openFile = {}, QObject* parent = nullptr);
  ~FRNHAboutWindowController() override;

  QWidget* window() const { return m_window; }
  QString appName() const;
  QString appVersion() const;
  qreal appVersionFontSize() const;
  QString copyrightAndTrademarkString() const;
  QString specialThanksString() const;

  // The largest of 13, 12, 11, 10 and 9 points at which `text` is narrower
  // than `width` (13 also when it fits exactly), else 8.
  static qreal versionFontSizeForWidth(qreal width, const QString& text, const QFont& font);
  // The thanks with " the Sparkle team" as their second name when there is
  // an update feed.
  static QString specialThanksForText(const QString& thanks, bool hasUpdateFeed);
  // Where the two buttons go in a window of that width and height
  // (top-down): the agreement at the right edge, the acknowledgements left
  // of it (or there when the agreement is not shown).
  static QRect licenseAgreementButtonFrame(int width, int height);
  static QRect acknowledgementsButtonFrame(int width, int height, bool agreementShown);

  QPushButton* acknowledgementsButton() const { return m_acknowledgementsButton; }
  QPushButton* licenseAgreementButton() const { return m_licenseAgreementButton; }
  QLabel* applicationVersionTextField() const { return m_applicationVersionTextField; }

  void showWindow();
  // The acknowledgements' PDF (written on first use) handed to the desktop;
  // the file's path, empty when there are none.
  QString showAcknowledgements();
  void showLicenseAgreement();

private:
  void placeButtons();

  QPointer<QWidget> m_window;
  QString m_acknowledgementsPath;
  std::function<bool(const QUrl&)> m_openFile;
  std::unique_ptr<QTemporaryDir> m_temporaryFolder;
  QLabel* m_applicationNameTextField = nullptr;
  QLabel* m_applicationVersionTextField = nullptr;
  QLabel* m_copyrightTextField = nullptr;
  QLabel* m_acknowledgementsTextField = nullptr;
  QPushButton* m_acknowledgementsButton = nullptr;
  QPushButton* m_licenseAgreementButton = nullptr;
};
