#include "web/ZPHWebEnginePage.h"

#include "keys/ZPHEditableFocusReporter.h"

#include <QtCore/QDir>
#include <QtWebEngineWidgets/QWebEngineView>
#include <QtWidgets/QFileDialog>

ZPHWebEnginePage::ZPHWebEnginePage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {}

bool ZPHWebEnginePage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
  return m_navigationPolicy && m_navigationPolicy(url, type, isMainFrame);
}

QWebEnginePage* ZPHWebEnginePage::createWindow(WebWindowType type)
{
  Q_UNUSED(type);
  return nullptr;
}

void ZPHWebEnginePage::javaScriptAlert(const QUrl& securityOrigin, const QString& message)
{
  Q_UNUSED(securityOrigin);
  Q_UNUSED(message);
}

bool ZPHWebEnginePage::javaScriptConfirm(const QUrl& securityOrigin, const QString& message)
{
  Q_UNUSED(securityOrigin);
  Q_UNUSED(message);
  return false;
}

bool ZPHWebEnginePage::javaScriptPrompt(const QUrl& securityOrigin, const QString& message, const QString& defaultValue,
                                        QString* result)
{
  Q_UNUSED(securityOrigin);
  Q_UNUSED(message);
  Q_UNUSED(defaultValue);
  Q_UNUSED(result);
  return false;
}

void ZPHWebEnginePage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                                int lineNumber, const QString& sourceID)
{
  if (ZPHEditableFocusReporter* reporter = ZPHEditableFocusReporter::reporterForPage(this);
      reporter != nullptr && reporter->takeConsoleMessage(message))
    return;
  QWebEnginePage::javaScriptConsoleMessage(level, message, lineNumber, sourceID);
}

QStringList ZPHWebEnginePage::chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                                          const QStringList& acceptedMimeTypes)
{
  Q_UNUSED(mode);
  Q_UNUSED(oldFiles);
  Q_UNUSED(acceptedMimeTypes);
  const QString file = QFileDialog::getOpenFileName(QWebEngineView::forPage(this), QString(), QDir::homePath());
  if (file.isEmpty())
    return {};
  return {file};
}
