#include "web/ZPHWebEnginePage.h"

#include "keys/ZPHEditableFocusReporter.h"

#include <QtCore/QDir>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtWebEngineCore/QWebEngineScriptCollection>
#include <QtWebEngineWidgets/QWebEngineView>
#include <QtWidgets/QFileDialog>

namespace {

// A window of a javascript: address runs its script in the new window as
// soon as the page asks for it, before the engine tells the page's owner of
// the window (it names it as an empty one then), so no answer of the owner
// can keep the script from running. So window.open() of such an address,
// and document.open() with three arguments (which opens a window the same
// way), open nothing. Set at the document's start in every frame, in the
// page's own world (the only world whose calls it sees), with the built-ins
// it uses taken before the page can change them. It keeps the window rule;
// it is no wall between a page and an empty window it opened, which the
// page may write into anyway.
const char* const kNoScriptWindows = R"js((function () {
  var apply = Reflect.apply;
  var define = Object.defineProperty;
  var toText = String;
  var Address = URL;
  var schemeOf = Object.getOwnPropertyDescriptor(Address.prototype, 'protocol').get;
  function runsScript(address) {
    try {
      return apply(schemeOf, new Address(address, 'https://base.invalid/'), []) === 'javascript:';
    } catch (e) {
      return false;
    }
  }
  function guard(open, firstWindowArgument) {
    return function () {
      if (arguments.length <= firstWindowArgument || arguments[0] === undefined)
        return apply(open, this, arguments);
      var address = toText(arguments[0]);
      if (runsScript(address))
        return null;
      return apply(open, this, [address, arguments[1], arguments[2]]);
    };
  }
  define(window, 'open', {configurable: true, enumerable: true, writable: true,
                          value: guard(window.open, 0)});
  define(Document.prototype, 'open', {configurable: true, enumerable: true, writable: true,
                                      value: guard(Document.prototype.open, 2)});
})();)js";

}  // namespace

ZPHWebEnginePage::ZPHWebEnginePage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent)
{
  QWebEngineScript noScriptWindows;
  noScriptWindows.setName(QStringLiteral("zephlin-no-script-windows"));
  noScriptWindows.setSourceCode(QString::fromLatin1(kNoScriptWindows));
  noScriptWindows.setWorldId(QWebEngineScript::MainWorld);
  noScriptWindows.setInjectionPoint(QWebEngineScript::DocumentCreation);
  noScriptWindows.setRunsOnSubFrames(true);
  scripts().insert(noScriptWindows);
}

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
