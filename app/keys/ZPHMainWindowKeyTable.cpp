#include "keys/ZPHMainWindowKeyTable.h"

namespace {

using Effect = ZPHMainWindowKeyTable::Effect;
using Action = ZPHMainWindowKeyTable::Action;
using FocusKind = ZPHMainWindowKeyTable::FocusKind;
using Flags = ZPHMainWindowKeyTable::Flags;

// The characters the tables speak of, besides printable ones.
constexpr char32_t Enter = 3;
constexpr char32_t LineFeed = 10;
constexpr char32_t Return = 13;
constexpr char32_t Delete = 0x7F;
constexpr char32_t DownArrow = 0xF701;
constexpr char32_t LeftArrow = 0xF702;
constexpr char32_t RightArrow = 0xF703;
constexpr char32_t ForwardDelete = 0xF728;

// The four modifiers that count.
struct Modifiers {
  bool shift, command, option, control;

  explicit Modifiers(Qt::KeyboardModifiers m)
      : shift(m & Qt::ShiftModifier),
        command(m & Qt::ControlModifier),
        option(m & Qt::AltModifier),
        control(m & Qt::MetaModifier)
  {
  }
  bool bare() const { return !shift && !command && !option && !control; }
  bool commandOnly() const { return command && !shift && !option && !control; }
  bool shiftOnly() const { return shift && !command && !option && !control; }
  bool commandAndOptionOnly() const { return command && option && !shift && !control; }
};

// The character a key types: a letter in lower case, or upper case with
// Shift; the arrows, Return, Enter and the two deletes as their codes; 0
// for a key that types nothing (a modifier key alone).
char32_t characterForKey(int key, Modifiers modifiers)
{
  if (key >= Qt::Key_A && key <= Qt::Key_Z)
    return char32_t(modifiers.shift ? key : key - Qt::Key_A + 'a');
  if (key >= 0x20 && key < 0x7F)
    return char32_t(key);
  switch (key) {
    case Qt::Key_Return:
      return Return;
    case Qt::Key_Enter:
      return Enter;
    case Qt::Key_Backspace:
      return Delete;
    case Qt::Key_Delete:
      return ForwardDelete;
    case Qt::Key_Down:
      return DownArrow;
    case Qt::Key_Left:
      return LeftArrow;
    case Qt::Key_Right:
      return RightArrow;
    default:
      return 0;
  }
}

Action send(const char* selector) { return Action{Effect::SendAction, QString::fromLatin1(selector), false}; }
Action effect(Effect what, const char* selector = nullptr)
{
  return Action{what, selector ? QString::fromLatin1(selector) : QString(), false};
}

// The source list's outline.
Action sourceListKey(char32_t c, Modifiers m, const Flags& flags)
{
  switch (c) {
    case ',':
      return m.bare() ? effect(Effect::CollapseItemOrCollapseItemToParent) : Action{};
    case '.':
      return m.bare() ? effect(Effect::ExpandSelectedItem) : Action{};
    case ';':
      return m.bare() ? effect(Effect::CollapseAll) : Action{};
    case '\'':
      return m.bare() ? effect(Effect::ExpandAll) : Action{};
    case 'k':
    case 'K':
      return send("markAllAsRead:");
    case LeftArrow:
      if (m.commandOnly())
        return effect(Effect::CollapseItemOrCollapseItemToParent);
      if (m.commandAndOptionOnly())
        return effect(Effect::CollapseAll);
      return {};
    case RightArrow:
      if (m.bare())
        return flags.canMoveFocusToArticleList ? effect(Effect::MoveFocusToArticleList) : Action{};
      if (m.commandOnly())
        return effect(Effect::ExpandSelectedItem);
      if (m.commandAndOptionOnly())
        return effect(Effect::ExpandAll);
      return {};
    case Delete:
    case ForwardDelete:
      return m.command && flags.selectionIsAllFavorites ? effect(Effect::RemoveFromFavorites) : Action{};
    default:
      return {};
  }
}

// The article list's table.
Action articleListKey(char32_t c, Modifiers m)
{
  switch (c) {
    case Enter:
    case LineFeed:
    case Return:
    case 'V':
    case 'v':
      return m.bare() || m.option || m.command ? effect(Effect::OpenExternalURLForSelectedArticle) : Action{};
    case 'A':
    case 'a':
      return send("addFeed:");
    case 'B':
    case 'b':
      return send("toggleFlagged:");
    case 'K':
    case 'k':
      return send("markAllAsRead:");
    case 'M':
    case 'm':
    case 'r':
    case 'u':
      return m.bare() || m.command ? send("toggleRead:") : Action{};
    default:
      return {};
  }
}

// A browser page or the article's web view.
Action webContentKey(char32_t c, Modifiers m)
{
  switch (c) {
    case 'B':
    case 'b':
      return send("toggleFlagged:");
    case 'M':
    case 'm':
      return send("toggleRead:");
    case LeftArrow:
      return m.bare() ? send("selectNewsItemsTab:") : Action{};
    default:
      return {};
  }
}

// Anywhere in the window.
Action windowKey(char32_t c, Modifiers m)
{
  switch (c) {
    case 'a':
      return m.bare() ? effect(Effect::SelectPreviousSourceListRow, "moveFocusToSourceList:") : Action{};
    case 'z':
      return m.bare() ? effect(Effect::SelectNextSourceListRow, "moveFocusToSourceList:") : Action{};
    case 'r':
    case 'u':
      return m.bare() ? send("toggleRead:") : Action{};
    case 'k':
      return m.bare() ? send("markAllAsRead:") : Action{};
    case 'b':
      return m.bare() ? send("openInBrowser:") : Action{};
    case '=':
      return m.bare() ? send("nextUnread:") : Action{};
    case DownArrow:
      return m.shiftOnly() ? send("nextUnread:") : Action{};
    case '0':
      return send("selectNextTab:");
    case '9':
      return send("selectPreviousTab:");
    case '\\':
      return send("selectNewsItemsTab:");
    default:
      return {};
  }
}

}  // namespace

ZPHMainWindowKeyTable::Action ZPHMainWindowKeyTable::actionForKey(FocusKind focus, int key,
                                                                  Qt::KeyboardModifiers modifiers, const Flags& flags)
{
  if (flags.focusIsEditable)
    return {};
  Action action;
  if (flags.singleKeyShortcuts)
    action = singleKeyAction(focus, key, modifiers, flags);
  if (!action.handled() && !flags.typeSelecting)
    action = controllerKeyAction(key, modifiers, flags);
  return action;
}

ZPHMainWindowKeyTable::Action ZPHMainWindowKeyTable::singleKeyAction(FocusKind focus, int key,
                                                                     Qt::KeyboardModifiers modifiers,
                                                                     const Flags& flags)
{
  const Modifiers m(modifiers);
  const char32_t c = characterForKey(key, m);
  if (c == 0)
    return {};
  Action action;
  switch (focus) {
    case FocusKind::SourceList:
      action = sourceListKey(c, m, flags);
      break;
    case FocusKind::ArticleList:
      action = articleListKey(c, m);
      break;
    case FocusKind::WebContent:
      action = webContentKey(c, m);
      break;
    case FocusKind::Other:
      break;
  }
  return action.handled() ? action : windowKey(c, m);
}

ZPHMainWindowKeyTable::Action ZPHMainWindowKeyTable::controllerKeyAction(int key, Qt::KeyboardModifiers modifiers,
                                                                         const Flags& flags)
{
  const Modifiers m(modifiers);
  const char32_t c = characterForKey(key, m);
  if (c == ' ' && m.bare()) {
    Action action;
    if (flags.webViewCanScrollDown)
      action = effect(Effect::ScrollWebViewDown);
    else if (flags.currentWebViewIsDetailView)
      action = flags.spaceWentToNextUnreadJustNow ? effect(Effect::Swallow)
                                                  : effect(Effect::NextUnreadBySpace, "nextUnread:");
    action.hideCursor = true;
    return action;
  }
  if (c == ' ' && m.shiftOnly()) {
    if (flags.webViewCanScrollUp) {
      Action action = effect(Effect::ScrollWebViewUp);
      action.hideCursor = true;
      return action;
    }
    if (flags.currentWebViewIsDetailView && flags.previousArticleRowSelectable)
      return effect(Effect::SelectPreviousArticleRow);
    return {};
  }
  if (c == 'l' && m.command)
    return flags.browserTabSelected ? effect(Effect::MakeAddressFieldFirstResponder) : Action{};
  return {};
}
