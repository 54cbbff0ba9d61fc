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

#include <optional>

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

struct EditState {
  bool editable;
  bool copyableSelection;
  bool hasText;
};

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
  // What the control holds: whether it takes typing, has a selection that
  // may be copied out (never a password's), holds any text.
  std::optional<EditState> state;
  if (const auto* field = qobject_cast<const QLineEdit*>(focus))
    state = EditState{!field->isReadOnly(), field->hasSelectedText() && field->echoMode() == QLineEdit::Normal,
                      !field->text().isEmpty()};
  else if (const auto* area = qobject_cast<const QPlainTextEdit*>(focus))
    state = EditState{!area->isReadOnly(), area->textCursor().hasSelection(), !area->document()->isEmpty()};
  else if (const auto* rich = qobject_cast<const QTextEdit*>(focus))
    state = EditState{!rich->isReadOnly(), rich->textCursor().hasSelection(), !rich->document()->isEmpty()};
  else if (QWebEngineView* view = webViewAround(focus))
    state = EditState{ZPHEditableFocusReporter::widgetHasEditableWebFocus(view), view->hasSelection(), true};
  if (state.has_value()) {
    switch (command) {
      case Command::Cut:
        return state->editable && state->copyableSelection;
      case Command::Copy:
        return state->copyableSelection;
      case Command::Paste:
        return state->editable && clipboardHasText();
      case Command::SelectAll:
        return state->hasText;
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
