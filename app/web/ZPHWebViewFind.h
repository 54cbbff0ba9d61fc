#pragma once

// Qt kind: QObject.

#include <QtCore/QObject>
#include <QtCore/QString>

#include <functional>

class ZPHMacWebView;
class ZPHMacWebViewFindBarViewController;

// A find bar's searches on a web view: the matches of the field's text
// highlighted and counted, the next or previous one shown. A count reaches
// the bar only while the bar lives and the text is still the last one asked
// for. The views that host a find bar (the article pane, a browser tab) own
// one each. Main thread only.
class ZPHWebViewFind : public QObject {
  Q_OBJECT

public:
  using QObject::QObject;

  // The field's text changed: every match highlighted and counted; for an
  // empty text, no highlight and "not found".
  void textChanged(ZPHMacWebView* view, ZPHMacWebViewFindBarViewController* bar, const QString& text);
  // The next (or previous) match of the text, wrapping, case ignored.
  void search(ZPHMacWebView* view, ZPHMacWebViewFindBarViewController* bar, const QString& text, bool forward);
  // The bar went away: no text, and no highlights on the view (may be null).
  void dismiss(ZPHMacWebView* view);

private:
  // Hands a count to the bar, if it and the text still stand.
  std::function<void(int)> countFor(ZPHMacWebViewFindBarViewController* bar, const QString& text);

  QString m_lastText;
};
