#pragma once

// Qt kind: web page (QWebEnginePage).

#include <QtWebEngineCore/QWebEnginePage>

#include <functional>

// The page of every web view of the application. It asks its owner about
// each navigation (no owner: every navigation is refused), opens no window
// by itself (requests for one arrive as newWindowRequested, which the owner
// answers) and none of a javascript: address at all, and shows no dialog
// for a page's alert, confirm or prompt.
class ZPHWebEnginePage : public QWebEnginePage {
  Q_OBJECT

public:
  // Answers whether the page may go to the address.
  using NavigationPolicy = std::function<bool(const QUrl& url, NavigationType type, bool isMainFrame)>;

  explicit ZPHWebEnginePage(QWebEngineProfile* profile, QObject* parent = nullptr);

  void setNavigationPolicy(NavigationPolicy policy) { m_navigationPolicy = std::move(policy); }

protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
  QWebEnginePage* createWindow(WebWindowType type) override;
  void javaScriptAlert(const QUrl& securityOrigin, const QString& message) override;
  bool javaScriptConfirm(const QUrl& securityOrigin, const QString& message) override;
  bool javaScriptPrompt(const QUrl& securityOrigin, const QString& message, const QString& defaultValue,
                        QString* result) override;
  // The reports of the page's editable-focus reporter (ZPHEditableFocusReporter)
  // go to it; the page's own messages are left to the engine's log.
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                const QString& sourceID) override;
  // One file, chosen in a dialog that starts in the user's home folder.
  QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                          const QStringList& acceptedMimeTypes) override;

private:
  NavigationPolicy m_navigationPolicy;
};
