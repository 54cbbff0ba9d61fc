#pragma once

// Qt kind: QObject.

#include <QtCore/QByteArray>
#include <QtCore/QObject>
#include <QtCore/QString>

class QWebEnginePage;
class QWidget;

// Whether the focus in a web page is in editable content: a text field, a
// text area, a list box or an editable element; and, for each Return or
// space the user presses, whether it lands on an element the user chose
// (moved the focus to with Tab, or pressed the mouse on), never one a
// script focused, with that element's link. A script in the application's
// own script world of every frame of the page reports each focus change
// (focusin, focusout) and each such key as a console message that carries a
// token of this reporter's, which the page's own scripts cannot see, so a
// page cannot fake a report. The page's class hands its console messages to
// takeConsoleMessage().
//
// One per page, a child of it. Main thread.
class ZPHEditableFocusReporter : public QObject {
  Q_OBJECT

public:
  // Installs the script in the page (for its next loads).
  explicit ZPHEditableFocusReporter(QWebEnginePage* page);
  ~ZPHEditableFocusReporter() override;

  // The page's reporter, or null.
  static ZPHEditableFocusReporter* reporterForPage(const QWebEnginePage* page);
  // Whether the focus is in editable content of the page of the web view
  // that `widget` is or lies in; false for any other widget.
  static bool widgetHasEditableWebFocus(const QWidget* widget);

  bool editableFocus() const { return m_editable; }

  // Takes a console message of the page: true when it was a report of
  // this reporter (it should not be logged).
  bool takeConsoleMessage(const QString& message);

Q_SIGNALS:
  void editableFocusChanged(bool editable);
  // The user pressed Return or space in the page: on an element the user
  // chose (`link`: its link's address as it was when chosen, empty for an
  // element that is no link) or not.
  void keyPressReported(bool onChosenElement, const QString& link);

private:
  QString m_prefix;  // "zph-editable-focus:<token>:"
  bool m_editable = false;
};
