#pragma once

// Qt kind: QObject that owns widgets.

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtWidgets/QDialog>

class QPushButton;
class QTextBrowser;
class QWidget;

// The license agreement: our own HTML (":/About/Agreement.html") in a text
// browser, opened at its top every time, alone or as a sheet on a window.
// Without the text it says that the agreement is not available. Its links
// go to the web browser. Main thread.
class FRNHLicenseAgreementWindowController : public QObject {
  Q_OBJECT

public:
  static const QString AgreementResource;  // ":/About/Agreement.html"

  // The process's one controller, made on first use.
  static FRNHLicenseAgreementWindowController* sharedWindowController();

  explicit FRNHLicenseAgreementWindowController(const QString& agreementPath = AgreementResource,
                                                QObject* parent = nullptr);
  ~FRNHLicenseAgreementWindowController() override;

  QDialog* window() const { return m_window; }
  QTextBrowser* licenseContentTextView() const { return m_licenseContentTextView; }
  QPushButton* closeButton() const { return m_closeButton; }
  // Whether the agreement's text was there.
  bool hasAgreement() const { return m_hasAgreement; }

  void showWindow();
  void runAsSheetForWindow(QWidget* window);
  void closeWindow();

private:
  void scrollToTop();

  QPointer<QDialog> m_window;
  QTextBrowser* m_licenseContentTextView = nullptr;
  QPushButton* m_closeButton = nullptr;
  bool m_hasAgreement = false;
};
