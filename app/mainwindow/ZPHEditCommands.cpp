#include "mainwindow/ZPHEditCommands.h"

#include "keys/ZPHEditableFocusReporter.h"

#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtWebEngineCore/QWebEnginePage>
#include <QtWebEngineWidgets/QWebEngineView>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QTextEdit>

namespace {

using Command = ZPHEditCommands::Command;

// The web view the focus is in (its page takes the focus inside it).
QWebEngineView* webViewAround(QWidget* focus)
{
  for (QWidget* widget = focus; widget != nullptr; widget = widget->parentWidget())
    if (auto* view = qobject_cast<QWebEngineView*>(widget))
      return view;
  return nullptr;
}

bool clipboardHasText()
{
  const QClipboard* clipboard = QGuiApplication::clipboard();
  return clipboard != nullptr && !clipboard->text().isEmpty();
}

QWebEnginePage::WebAction webAction(Command command)
{
  switch (command) {
    case Command::Cut:
      return QWebEnginePage::Cut;
    case Command::Copy:
      return QWebEnginePage::Copy;
    case Command::Paste:
      return QWebEnginePage::Paste;
    case Command::SelectAll:
      break;
  }
  return QWebEnginePage::SelectAll;
}

// A text field or text area runs the command itself.
template <typename Text>
bool runOnText(Text* text, Command command)
{
  switch (command) {
    case Command::Cut:
      text->cut();
      break;
    case Command::Copy:
      text->copy();
      break;
    case Command::Paste:
      text->paste();
      break;
    case Command::SelectAll:
      text->selectAll();
      break;
  }
  return true;
}

bool itemViewSelectsSeveral(const QAbstractItemView* view)
{
  return view->selectionMode() == QAbstractItemView::ExtendedSelection ||
         view->selectionMode() == QAbstractItemView::MultiSelection;
}

}  // namespace

bool ZPHEditCommands::commandForSelector(const QString& selector, Command* command)
{
  static const QList<std::pair<QString, Command>> selectors{{QStringLiteral("cut:"), Command::Cut},
                                                            {QStringLiteral("copy:"), Command::Copy},
                                                            {QStringLiteral("paste:"), Command::Paste},
                                                            {QStringLiteral("selectAll:"), Command::SelectAll}};
  for (const auto& [name, value] : selectors)
    if (name == selector) {
      if (command != nullptr)
        *command = value;
      return true;
    }
  return false;
}

bool ZPHEditCommands::canPerform(Command command, QWidget* focus)
{
  if (focus == nullptr || !focus->isEnabled())
    return false;
  if (const auto* field = qobject_cast<const QLineEdit*>(focus)) {
    // A password is never copied out.
    const bool shown = field->echoMode() == QLineEdit::Normal;
    switch (command) {
      case Command::Cut:
        return shown && !field->isReadOnly() && field->hasSelectedText();
      case Command::Copy:
        return shown && field->hasSelectedText();
      case Command::Paste:
        return !field->isReadOnly() && clipboardHasText();
      case Command::SelectAll:
        return !field->text().isEmpty();
    }
  }
  const auto* area = qobject_cast<const QPlainTextEdit*>(focus);
  const auto* rich = qobject_cast<const QTextEdit*>(focus);
  if (area != nullptr || rich != nullptr) {
    const bool readOnly = area != nullptr ? area->isReadOnly() : rich->isReadOnly();
    const bool selection = area != nullptr ? area->textCursor().hasSelection() : rich->textCursor().hasSelection();
    const bool empty = area != nullptr ? area->document()->isEmpty() : rich->document()->isEmpty();
    switch (command) {
      case Command::Cut:
        return !readOnly && selection;
      case Command::Copy:
        return selection;
      case Command::Paste:
        return !readOnly && clipboardHasText();
      case Command::SelectAll:
        return !empty;
    }
  }
  if (QWebEngineView* view = webViewAround(focus)) {
    const bool editable = ZPHEditableFocusReporter::widgetHasEditableWebFocus(view);
    switch (command) {
      case Command::Cut:
        return editable && view->hasSelection();
      case Command::Copy:
        return view->hasSelection();
      case Command::Paste:
        return editable && clipboardHasText();
      case Command::SelectAll:
        return true;
    }
  }
  if (const auto* list = qobject_cast<const QAbstractItemView*>(focus))
    return command == Command::SelectAll && itemViewSelectsSeveral(list) && list->model() != nullptr &&
           list->model()->rowCount(list->rootIndex()) > 0;
  return false;
}

bool ZPHEditCommands::perform(Command command, QWidget* focus)
{
  if (!canPerform(command, focus))
    return false;
  if (auto* field = qobject_cast<QLineEdit*>(focus))
    return runOnText(field, command);
  if (auto* area = qobject_cast<QPlainTextEdit*>(focus))
    return runOnText(area, command);
  if (auto* rich = qobject_cast<QTextEdit*>(focus))
    return runOnText(rich, command);
  if (QWebEngineView* view = webViewAround(focus)) {
    view->page()->triggerAction(webAction(command));
    return true;
  }
  if (auto* list = qobject_cast<QAbstractItemView*>(focus)) {
    list->selectAll();
    return true;
  }
  return false;
}
