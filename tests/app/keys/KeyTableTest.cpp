#include "keys/ZPHMainWindowKeyTable.h"

#include <gtest/gtest.h>

namespace {

using Table = ZPHMainWindowKeyTable;
using Focus = Table::FocusKind;
using Effect = Table::Effect;
using Flags = Table::Flags;

constexpr Qt::KeyboardModifiers None = Qt::NoModifier;
constexpr Qt::KeyboardModifiers Shift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers Cmd = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers Opt = Qt::AltModifier;
constexpr Qt::KeyboardModifiers Ctl = Qt::MetaModifier;

Flags singleKeys()
{
  Flags flags;
  flags.singleKeyShortcuts = true;
  return flags;
}

struct Case {
  const char* what;
  Focus focus;
  int key;
  Qt::KeyboardModifiers modifiers;
  Flags flags;
  Effect effect;
  const char* selector = "";
  bool hideCursor = false;
};

void check(const Case& c)
{
  SCOPED_TRACE(c.what);
  const Table::Action action = Table::actionForKey(c.focus, c.key, c.modifiers, c.flags);
  EXPECT_EQ(action.effect, c.effect);
  EXPECT_EQ(action.selector, QString::fromLatin1(c.selector));
  EXPECT_EQ(action.hideCursor, c.hideCursor);
}

}  // namespace

TEST(MainWindowKeyTableTest, SourceList)
{
  Flags canMove = singleKeys();
  canMove.canMoveFocusToArticleList = true;
  Flags favorites = singleKeys();
  favorites.selectionIsAllFavorites = true;
  const Case cases[] = {
      {"comma folds", Focus::SourceList, Qt::Key_Comma, None, singleKeys(), Effect::CollapseItemOrCollapseItemToParent},
      {"comma with Shift is not the list's", Focus::SourceList, Qt::Key_Comma, Shift, singleKeys(), Effect::None},
      {"period opens", Focus::SourceList, Qt::Key_Period, None, singleKeys(), Effect::ExpandSelectedItem},
      {"semicolon folds all", Focus::SourceList, Qt::Key_Semicolon, None, singleKeys(), Effect::CollapseAll},
      {"apostrophe opens all", Focus::SourceList, Qt::Key_Apostrophe, None, singleKeys(), Effect::ExpandAll},
      {"k marks all read", Focus::SourceList, Qt::Key_K, None, singleKeys(), Effect::SendAction, "markAllAsRead:"},
      {"K too", Focus::SourceList, Qt::Key_K, Shift, singleKeys(), Effect::SendAction, "markAllAsRead:"},
      {"and with any modifier", Focus::SourceList, Qt::Key_K, Cmd | Opt, singleKeys(), Effect::SendAction,
       "markAllAsRead:"},
      {"Cmd-Left folds", Focus::SourceList, Qt::Key_Left, Cmd, singleKeys(),
       Effect::CollapseItemOrCollapseItemToParent},
      {"Cmd-Opt-Left folds all", Focus::SourceList, Qt::Key_Left, Cmd | Opt, singleKeys(), Effect::CollapseAll},
      {"Cmd-Opt-Shift-Left nothing", Focus::SourceList, Qt::Key_Left, Cmd | Opt | Shift, singleKeys(), Effect::None},
      {"bare Left is the outline's own", Focus::SourceList, Qt::Key_Left, None, singleKeys(), Effect::None},
      {"Right moves to the articles", Focus::SourceList, Qt::Key_Right, None, canMove, Effect::MoveFocusToArticleList},
      {"but only when there are some", Focus::SourceList, Qt::Key_Right, None, singleKeys(), Effect::None},
      {"Cmd-Right opens", Focus::SourceList, Qt::Key_Right, Cmd, singleKeys(), Effect::ExpandSelectedItem},
      {"Cmd-Opt-Right opens all", Focus::SourceList, Qt::Key_Right, Cmd | Opt, singleKeys(), Effect::ExpandAll},
      {"Cmd-Delete unfavourites", Focus::SourceList, Qt::Key_Backspace, Cmd, favorites, Effect::RemoveFromFavorites},
      {"Cmd-Shift-ForwardDelete too", Focus::SourceList, Qt::Key_Delete, Cmd | Shift, favorites,
       Effect::RemoveFromFavorites},
      {"not with a non-favourite selected", Focus::SourceList, Qt::Key_Backspace, Cmd, singleKeys(), Effect::None},
      {"not without Cmd", Focus::SourceList, Qt::Key_Backspace, None, favorites, Effect::None},
      {"the window's keys follow", Focus::SourceList, Qt::Key_Z, None, singleKeys(), Effect::SelectNextSourceListRow,
       "moveFocusToSourceList:"},
  };
  for (const Case& c : cases) check(c);
}

TEST(MainWindowKeyTableTest, ArticleListAndWebContent)
{
  const Case cases[] = {
      {"Return opens the link", Focus::ArticleList, Qt::Key_Return, None, singleKeys(),
       Effect::OpenExternalURLForSelectedArticle},
      {"Enter too", Focus::ArticleList, Qt::Key_Enter, None, singleKeys(), Effect::OpenExternalURLForSelectedArticle},
      {"v too", Focus::ArticleList, Qt::Key_V, None, singleKeys(), Effect::OpenExternalURLForSelectedArticle},
      {"Opt-Return too", Focus::ArticleList, Qt::Key_Return, Opt, singleKeys(),
       Effect::OpenExternalURLForSelectedArticle},
      {"Cmd-Shift-Return too", Focus::ArticleList, Qt::Key_Return, Cmd | Shift, singleKeys(),
       Effect::OpenExternalURLForSelectedArticle},
      {"Shift-Return nothing", Focus::ArticleList, Qt::Key_Return, Shift, singleKeys(), Effect::None},
      {"Ctl-Return nothing", Focus::ArticleList, Qt::Key_Return, Ctl, singleKeys(), Effect::None},
      {"a adds a site", Focus::ArticleList, Qt::Key_A, Shift, singleKeys(), Effect::SendAction, "addFeed:"},
      {"b bookmarks", Focus::ArticleList, Qt::Key_B, None, singleKeys(), Effect::SendAction, "toggleFlagged:"},
      {"k marks all read", Focus::ArticleList, Qt::Key_K, Opt, singleKeys(), Effect::SendAction, "markAllAsRead:"},
      {"r toggles read", Focus::ArticleList, Qt::Key_R, None, singleKeys(), Effect::SendAction, "toggleRead:"},
      {"Cmd-u too", Focus::ArticleList, Qt::Key_U, Cmd, singleKeys(), Effect::SendAction, "toggleRead:"},
      {"Shift-m not", Focus::ArticleList, Qt::Key_M, Shift, singleKeys(), Effect::None},
      {"Opt-m is not", Focus::ArticleList, Qt::Key_M, Opt, singleKeys(), Effect::None},
      {"the window's 0", Focus::ArticleList, Qt::Key_0, Cmd, singleKeys(), Effect::SendAction, "selectNextTab:"},
      {"page: b bookmarks", Focus::WebContent, Qt::Key_B, Cmd, singleKeys(), Effect::SendAction, "toggleFlagged:"},
      {"page: M toggles read", Focus::WebContent, Qt::Key_M, Shift, singleKeys(), Effect::SendAction, "toggleRead:"},
      {"page: Left goes to the articles", Focus::WebContent, Qt::Key_Left, None, singleKeys(), Effect::SendAction,
       "selectNewsItemsTab:"},
      {"page: Shift-Left not", Focus::WebContent, Qt::Key_Left, Shift, singleKeys(), Effect::None},
      {"page: r is the window's", Focus::WebContent, Qt::Key_R, None, singleKeys(), Effect::SendAction, "toggleRead:"},
  };
  for (const Case& c : cases) check(c);
}

TEST(MainWindowKeyTableTest, WindowKeys)
{
  const Case cases[] = {
      {"a goes up the source list", Focus::Other, Qt::Key_A, None, singleKeys(), Effect::SelectPreviousSourceListRow,
       "moveFocusToSourceList:"},
      {"A does not", Focus::Other, Qt::Key_A, Shift, singleKeys(), Effect::None},
      {"z goes down", Focus::Other, Qt::Key_Z, None, singleKeys(), Effect::SelectNextSourceListRow,
       "moveFocusToSourceList:"},
      {"r", Focus::Other, Qt::Key_R, None, singleKeys(), Effect::SendAction, "toggleRead:"},
      {"u", Focus::Other, Qt::Key_U, None, singleKeys(), Effect::SendAction, "toggleRead:"},
      {"Cmd-r is a menu's", Focus::Other, Qt::Key_R, Cmd, singleKeys(), Effect::None},
      {"k", Focus::Other, Qt::Key_K, None, singleKeys(), Effect::SendAction, "markAllAsRead:"},
      {"K not", Focus::Other, Qt::Key_K, Shift, singleKeys(), Effect::None},
      {"b opens in the browser", Focus::Other, Qt::Key_B, None, singleKeys(), Effect::SendAction, "openInBrowser:"},
      {"= next unread", Focus::Other, Qt::Key_Equal, None, singleKeys(), Effect::SendAction, "nextUnread:"},
      {"Shift-Down next unread", Focus::Other, Qt::Key_Down, Shift, singleKeys(), Effect::SendAction, "nextUnread:"},
      {"Cmd-Shift-Down not", Focus::Other, Qt::Key_Down, Shift | Cmd, singleKeys(), Effect::None},
      {"9 with Cmd", Focus::Other, Qt::Key_9, Cmd | Opt, singleKeys(), Effect::SendAction, "selectPreviousTab:"},
      {"backslash", Focus::Other, Qt::Key_Backslash, Ctl, singleKeys(), Effect::SendAction, "selectNewsItemsTab:"},
      {"a modifier key alone", Focus::Other, Qt::Key_Shift, Shift, singleKeys(), Effect::None},
      {"no single keys in Zephlin 4", Focus::Other, Qt::Key_K, None, Flags{}, Effect::None},
      {"nor in the source list", Focus::SourceList, Qt::Key_K, None, Flags{}, Effect::None},
  };
  for (const Case& c : cases) check(c);
}

TEST(MainWindowKeyTableTest, ControllerKeys)
{
  Flags scrolls;
  scrolls.webViewCanScrollDown = true;
  scrolls.webViewCanScrollUp = true;
  scrolls.currentWebViewIsDetailView = true;
  Flags atEnd;
  atEnd.currentWebViewIsDetailView = true;
  atEnd.previousArticleRowSelectable = true;
  Flags bounced = atEnd;
  bounced.spaceWentToNextUnreadJustNow = true;
  Flags typing = atEnd;
  typing.typeSelecting = true;
  typing.singleKeyShortcuts = true;
  Flags tab;
  tab.browserTabSelected = true;
  const Case cases[] = {
      {"Space scrolls", Focus::Other, Qt::Key_Space, None, scrolls, Effect::ScrollWebViewDown, "", true},
      {"at the end it goes on", Focus::ArticleList, Qt::Key_Space, None, atEnd, Effect::NextUnreadBySpace,
       "nextUnread:", true},
      {"once within 0.1 s", Focus::ArticleList, Qt::Key_Space, None, bounced, Effect::Swallow, "", true},
      {"not on a browser tab", Focus::WebContent, Qt::Key_Space, None, Flags{}, Effect::None, "", true},
      {"Shift-Space scrolls up", Focus::Other, Qt::Key_Space, Shift, scrolls, Effect::ScrollWebViewUp, "", true},
      {"at the top it goes back", Focus::Other, Qt::Key_Space, Shift, atEnd, Effect::SelectPreviousArticleRow},
      {"Cmd-Space is not ours", Focus::Other, Qt::Key_Space, Cmd, atEnd, Effect::None},
      {"Cmd-l on a tab", Focus::WebContent, Qt::Key_L, Cmd, tab, Effect::MakeAddressFieldFirstResponder},
      {"Cmd-Opt-l on a tab", Focus::WebContent, Qt::Key_L, Cmd | Opt, tab, Effect::MakeAddressFieldFirstResponder},
      {"Cmd-l on the articles", Focus::Other, Qt::Key_L, Cmd, Flags{}, Effect::None},
      {"while type-selecting Space types", Focus::SourceList, Qt::Key_Space, None, typing, Effect::None},
      {"while type-selecting the list's keys still work", Focus::SourceList, Qt::Key_Comma, None, typing,
       Effect::CollapseItemOrCollapseItemToParent},
  };
  for (const Case& c : cases) check(c);
}

TEST(MainWindowKeyTableTest, EditableFocusTakesNoKeys)
{
  Flags editing;
  editing.focusIsEditable = true;
  editing.singleKeyShortcuts = true;
  editing.currentWebViewIsDetailView = true;
  editing.webViewCanScrollDown = true;
  editing.browserTabSelected = true;
  for (const int key : {int(Qt::Key_K), int(Qt::Key_R), int(Qt::Key_Space), int(Qt::Key_Equal), int(Qt::Key_L)}) {
    for (const Focus focus : {Focus::Other, Focus::SourceList, Focus::ArticleList, Focus::WebContent}) {
      for (const Qt::KeyboardModifiers modifiers : {None, Cmd}) {
        const Table::Action action = Table::actionForKey(focus, key, modifiers, editing);
        EXPECT_FALSE(action.handled()) << key;
        EXPECT_FALSE(action.hideCursor) << key;
      }
    }
  }
}
