#pragma once

// Qt kind: QObject that owns widgets.

#include "sheets/ZPHSheetWindowController.h"

#include <QtNetwork/QSslCertificate>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The sheet that asks whether to trust a server whose certificate is its
// own (self-signed): the warning and the fine print name the certificate's
// subject, as plain text; "Show Certificate" shows the certificate itself.
// Its handler gets exactly one answer: true only for "Continue"; Cancel,
// Escape, closing the window, abort() and the controller going answer
// false. Main thread.
class ZPHTrustSelfSignedCertWindowController : public ZPHSheetWindowController {
  Q_OBJECT

public:
  using Handler = std::function<void(bool trust)>;

  explicit ZPHTrustSelfSignedCertWindowController(ZPHSheetHost host = {}, QObject* parent = nullptr);
  ~ZPHTrustSelfSignedCertWindowController() override;

  // The texts for the certificate's subject summary, and the certificate
  // (may be null) shown on request.
  void setCertificateSummary(const QString& summary, const QSslCertificate& certificate = QSslCertificate());
  static QString warningTextForSummary(const QString& summary);
  static QString finePrintForSummary(const QString& summary);

  QLabel* warningTextField() const { return m_warningTextField; }
  QLabel* finePrintTextField() const { return m_finePrintTextField; }
  QPushButton* continueButton() const { return m_continueButton; }
  QPushButton* cancelButton() const { return m_cancelButton; }
  QPlainTextEdit* certificateView() const { return m_certificateView; }

  bool beginSheet(QWidget* parent, Handler handler);
  void actionOK();
  void actionCancel();
  void abort() { actionCancel(); }

protected:
  void sheetWindowRejected() override { actionCancel(); }
  void sheetWindowWentAway() override;

private:
  void finish(bool trust);

  QLabel* m_warningTextField = nullptr;
  QLabel* m_finePrintTextField = nullptr;
  QPushButton* m_continueButton = nullptr;
  QPushButton* m_cancelButton = nullptr;
  QPushButton* m_showCertificateButton = nullptr;
  QPlainTextEdit* m_certificateView = nullptr;
  Handler m_handler;
};
