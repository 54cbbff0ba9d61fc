#include "keys/ZPHEditableFocusReporter.h"

#include <QtCore/QRandomGenerator>
#include <QtWebEngineCore/QWebEnginePage>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtWebEngineCore/QWebEngineScriptCollection>
#include <QtWebEngineWidgets/QWebEngineView>

namespace {

const QString ScriptName = QStringLiteral("zph-editable-focus");

// Reports focus changes of the frame's document; runs before the page's own
// scripts, in the application's world.
const char* const ScriptSource = R"JS(
(function () {
  var prefix = %1;
  var notText = {button: 1, checkbox: 1, color: 1, file: 1, hidden: 1, image: 1, radio: 1, range: 1, reset: 1,
                 submit: 1};
  function editable(element) {
    if (!element || element.nodeType !== 1)
      return false;
    if (element.isContentEditable)
      return true;
    var tag = element.tagName;
    if (tag === 'TEXTAREA' || tag === 'SELECT')
      return !element.disabled;
    if (tag === 'INPUT')
      return !element.disabled && !element.readOnly && !notText[(element.type || 'text').toLowerCase()];
    return false;
  }
  function report(value) { console.debug(prefix + (value ? '1' : '0')); }
  document.addEventListener('focusin', function (event) { report(editable(event.target)); }, true);
  document.addEventListener('focusout', function (event) {
    if (!event.relatedTarget)
      report(false);
  }, true);

  // Whether the user chose the focused element: moved the focus to it with
  // Tab, or pressed the mouse on it. An element a script focused (at any
  // time, also while handling the user's key or mouse) is not chosen. The
  // focus moves as the default action of a Tab key or mouse press, once its
  // dispatch is over (its event phase back at 0) and unless a handler
  // prevented it; for Tab, to the element the one losing the focus names.
  // These listeners on the window's capture phase run before any of the
  // page's.
  var chosen = null;
  var chosenLink = '';
  var moving = null;
  var expected;
  function settled(event) { return event.eventPhase === 0 && !event.defaultPrevented; }
  function startMove(event) {
    moving = event;
    expected = undefined;
    setTimeout(function () { if (moving === event) moving = null; }, 0);
  }
  function focused() {
    var element = document.activeElement;
    while (element && element.shadowRoot && element.shadowRoot.activeElement)
      element = element.shadowRoot.activeElement;
    return element;
  }
  window.addEventListener('mousedown', function (event) { if (event.isTrusted) startMove(event); }, true);
  window.addEventListener('focusout', function (event) {
    if (moving && settled(moving) && expected === undefined)
      expected = event.relatedTarget;
  }, true);
  window.addEventListener('focusin', function (event) {
    var target = event.composedPath()[0] || event.target;
    var move = moving;
    moving = null;
    var byUser = move && settled(move) && (move.type === 'mousedown'
        ? target === move.target || (target.contains && target.contains(move.target))
        : expected === undefined || expected === target);
    if (byUser) {
      chosen = target;
      chosenLink = typeof target.href === 'string' ? target.href : '';
    } else if (target !== chosen) {
      chosen = null;
      chosenLink = '';
    }
  }, true);
  // Return or space: on the element the user chose (and its link, as it was
  // when chosen), or not.
  window.addEventListener('keydown', function (event) {
    if (!event.isTrusted)
      return;
    if (event.key === 'Tab') {
      startMove(event);
      return;
    }
    if (event.key !== 'Enter' && event.key !== ' ')
      return;
    var onChosen = chosen !== null && focused() === chosen;
    console.debug(prefix + 'k' + (onChosen ? '1' + chosenLink : '0'));
  }, true);
})();
)JS";

}  // namespace

ZPHEditableFocusReporter::ZPHEditableFocusReporter(QWebEnginePage* page) : QObject(page)
{
  setObjectName(ScriptName);
  const quint64 high = QRandomGenerator::system()->generate64();
  const quint64 low = QRandomGenerator::system()->generate64();
  m_prefix =
      QStringLiteral("zph-editable-focus:%1%2:").arg(high, 16, 16, QLatin1Char('0')).arg(low, 16, 16, QLatin1Char('0'));
  QWebEngineScript script;
  script.setName(ScriptName);
  script.setWorldId(QWebEngineScript::ApplicationWorld);
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setRunsOnSubFrames(true);
  script.setSourceCode(QString::fromLatin1(ScriptSource).arg(QLatin1Char('"') + m_prefix + QLatin1Char('"')));
  QWebEngineScriptCollection& scripts = page->scripts();
  for (const QWebEngineScript& old : scripts.find(ScriptName)) scripts.remove(old);
  scripts.insert(script);
}

ZPHEditableFocusReporter::~ZPHEditableFocusReporter() = default;

ZPHEditableFocusReporter* ZPHEditableFocusReporter::reporterForPage(const QWebEnginePage* page)
{
  return page != nullptr ? page->findChild<ZPHEditableFocusReporter*>(ScriptName, Qt::FindDirectChildrenOnly) : nullptr;
}

bool ZPHEditableFocusReporter::widgetHasEditableWebFocus(const QWidget* widget)
{
  for (const QWidget* view = widget; view != nullptr; view = view->parentWidget()) {
    if (const auto* webView = qobject_cast<const QWebEngineView*>(view)) {
      const ZPHEditableFocusReporter* reporter = reporterForPage(webView->page());
      return reporter != nullptr && reporter->editableFocus();
    }
  }
  return false;
}

bool ZPHEditableFocusReporter::takeConsoleMessage(const QString& message)
{
  if (!message.startsWith(m_prefix) || message.size() <= m_prefix.size())
    return false;
  if (message.at(m_prefix.size()) == u'k') {
    const QStringView report = QStringView(message).mid(m_prefix.size() + 1);
    const bool chosen = report.startsWith(u'1');
    Q_EMIT keyPressReported(chosen, chosen ? report.mid(1).toString() : QString());
    return true;
  }
  if (message.size() != m_prefix.size() + 1)
    return false;
  const bool editable = message.endsWith(QLatin1Char('1'));
  if (editable != m_editable) {
    m_editable = editable;
    Q_EMIT editableFocusChanged(editable);
  }
  return true;
}
