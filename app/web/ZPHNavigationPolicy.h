#pragma once

// Qt kind: none (static functions).

#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtCore/Qt>

// What a web view does when its page wants to go somewhere: load the
// address in place, hand it out (to the default browser or a tab by
// preference, to the mail client, to the subscribe flow), or refuse it.
// A pure decision; the web content view controller carries it out.
//
// Only a click or key press of the user's on the view, on the link that
// navigates, hands anything out, and only web, mail and feed addresses
// leave the view. A window a page's script asks for opens as a new tab only
// when the user's click (or key press on an element the user chose) came
// just before, and only for a web address or none. Everything a page does by itself (scripts, refreshes,
// redirects, forms) stays inside the view when it is a web address the view
// may show, and is refused otherwise. Schemes are compared whole (QUrl
// gives them in lower case): "xhttp" is no web scheme.
class ZPHNavigationPolicy {
public:
  ZPHNavigationPolicy() = delete;

  enum class Kind {
    Navigation,  // the page (or one of its frames) goes to another address
    NewWindow,   // the page asks for a new window or tab (Ctrl- and middle-clicks)
  };

  // The engine's navigation types.
  enum class Type { LinkClicked, Typed, FormSubmitted, BackForward, Reload, Other, Redirect };

  struct Request {
    Kind kind = Kind::Navigation;
    QUrl url;
    Type type = Type::Other;  // of a navigation
    bool isMainFrame = true;
    // A real click or key press of the user's on the view came just before,
    // on this link (for a new window, the engine also calls it the user's).
    bool followsUserInput = false;
    // A new window a page's script asks for: the user's click anywhere on
    // the view, or key press on an element the user chose, came just before
    // (and the engine calls it the user's).
    bool scriptWindowFollowsUserInput = false;
    // The keys held and whether the middle button clicked, for that input.
    Qt::KeyboardModifiers modifiers;
    bool middleButton = false;
    // The preference ZPHBrowserOpenLinksInZephlin ("openLinksInBrowser").
    bool openLinksInBrowser = false;
    // The address the view shows, and one the controller is loading itself.
    QUrl currentPageURL;
    QUrl ownLoadURL;
    // The view shows a page of the application's own that never goes
    // anywhere (the article page): its links are all handed out.
    bool pageNeverNavigates = false;
  };

  enum class Action {
    Load,                                      // the view goes there (a new window: in this view)
    Refuse,                                    // nothing happens (logged)
    JumpInPage,                                // an in-page link opened as a new window: scroll there
    OpenURLRespectingPreferencesAndShortcuts,  // a web link: the default browser or a new tab, by preference
    OpenURLInExternalBrowser,                  // a web link: the default browser
    OpenMail,                                  // a mailto link: the mail client
    Subscribe,                                 // a feed link: the subscribe flow
    OpenInNewTab,                              // a script's window the user opened: a new tab, selected
  };

  struct Decision {
    Action action = Action::Refuse;
    // Why, for the log, when refused.
    QString reason;
  };

  static Decision decide(const Request& request);

  // Exactly "http" or "https".
  static bool isWebScheme(const QString& scheme);
  // Exactly "feed" or "rss" (the schemes the subscribe flow turns into web
  // addresses).
  static bool isFeedScheme(const QString& scheme);
  // The same document: equal addresses but for the fragment.
  static bool isSameDocument(const QUrl& a, const QUrl& b);

  static const char* actionName(Action action);

  // What of a mailto link goes to the mail client: the recipients (of the
  // path, "to" and "cc") that are plain addresses, and the "subject" and
  // "body"; every other field ("attach", "bcc", headers) is left out. Empty
  // when it is no mailto link or nothing is left.
  static QUrl mailURLForMailClient(const QUrl& url);

private:
  static Decision handOutClickedLink(const Request& request);
};
