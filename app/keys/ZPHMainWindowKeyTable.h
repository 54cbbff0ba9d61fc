#pragma once

// Qt kind: none (a plain class).

#include <Qt>
#include <QtCore/QString>

// The main window's keys as one pure function: which view has the focus,
// the key and its modifiers, and what the window knows at that moment, give
// the one thing the key does (or that it is not the window's).
//
// Two layers of keys:
// - single keys for reading without modifier keys ("z" and "a" walk the
//   source list, "r" toggles read, "k" marks all read, "=" goes to the next
//   unread article, "," and "." fold the source list, ...), routed by the
//   focused view; they work only with a shortcut set that asks for them
//   ("Zephlin 3");
// - the controller's own keys (Space and Shift-Space page through the
//   article and go on to the next unread one, Ctrl-L goes to a browser
//   tab's address field), always, except while the source list is
//   type-selecting.
// Neither acts while the focus is in editable text (a text field, an
// editable part of a web page) or in another window, so typing works.
//
// Modifiers are Qt's: Ctrl stands for Command, Alt for Option, Meta for
// Control. "Bare" means none of Shift, Ctrl, Alt and Meta.
class ZPHMainWindowKeyTable {
public:
  enum class FocusKind {
    Other,        // any other view, or no view
    SourceList,   // the source list's outline
    ArticleList,  // the article list's table
    WebContent    // a browser tab's page or the article's web view
  };

  // What the window knows when the key comes.
  struct Flags {
    // The focus is in editable text or in another window: no key is the
    // window's.
    bool focusIsEditable = false;
    // The source list is type-selecting: the controller's keys wait.
    bool typeSelecting = false;
    // The shortcut set turns single keys into commands.
    bool singleKeyShortcuts = false;
    // The article list has articles to move the focus to.
    bool canMoveFocusToArticleList = false;
    // Every selected source list row is a favourite.
    bool selectionIsAllFavorites = false;
    // The article view can scroll down (and an article is selected), up.
    bool webViewCanScrollDown = false;
    bool webViewCanScrollUp = false;
    // The current web view is the article's (not a browser tab's).
    bool currentWebViewIsDetailView = false;
    // The last Space that went to the next unread article was no more than
    // 0.1 seconds ago.
    bool spaceWentToNextUnreadJustNow = false;
    // The article row before the selected one may be selected.
    bool previousArticleRowSelectable = false;
    // A browser tab is selected (not the news-items tab).
    bool browserTabSelected = false;
  };

  enum class Effect {
    None,                                // not the window's key: it goes on as usual
    SendAction,                          // send `selector` through the responder chain
    CollapseItemOrCollapseItemToParent,  // the source list
    ExpandSelectedItem,
    CollapseAll,
    ExpandAll,
    MoveFocusToArticleList,
    RemoveFromFavorites,                // the source list's selection
    OpenExternalURLForSelectedArticle,  // the article list's layout
    SelectPreviousSourceListRow,        // then send `selector` (moveFocusToSourceList:)
    SelectNextSourceListRow,            // the same
    ScrollWebViewDown,
    ScrollWebViewUp,
    NextUnreadBySpace,  // send `selector` (nextUnread:) and note the time
    SelectPreviousArticleRow,
    MakeAddressFieldFirstResponder,
    Swallow  // handled, nothing happens
  };

  struct Action {
    Effect effect = Effect::None;
    QString selector;         // the action sent, for the effects that send one
    bool hideCursor = false;  // hide the pointer until the mouse moves (also when not handled)

    bool handled() const { return effect != Effect::None; }
    bool operator==(const Action&) const = default;
  };

  static Action actionForKey(FocusKind focus, int key, Qt::KeyboardModifiers modifiers, const Flags& flags);

  // The tables on their own.
  static Action singleKeyAction(FocusKind focus, int key, Qt::KeyboardModifiers modifiers, const Flags& flags);
  static Action controllerKeyAction(int key, Qt::KeyboardModifiers modifiers, const Flags& flags);
};
