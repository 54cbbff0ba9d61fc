#pragma once

// Qt kind: none (an interface: an abstract class).

#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QUrl>

#include <functional>

class QAction;
class QDialog;

// What a view may ask of the application. The
// application delegate implements it and registers itself while it lives;
// views include this header, never the shell's.
//
// Links have one road: every view that opens an address calls openLink(),
// and the application decides where it goes (the web browser, a new tab of
// the built-in browser, or the desktop's mail program) by the request, the
// user's two preferences and the Alt and Ctrl keys held. Only http and https
// addresses reach a browser, only mailto: addresses the mail program; any
// other address opens nothing (the application beeps).
//
// In a program without the application (a view on its own in a test, a
// tool) current() answers a stand-in: links of the web and mail addresses go
// straight to the desktop, a subscription or a file is logged and dropped,
// and there are no commands and no sheets.
//
// Main thread only.
class ZPHAppServices {
public:
  virtual ~ZPHAppServices();

  // The running application's services, else the stand-in; never null.
  static ZPHAppServices& current();
  // The application registers itself while it lives; unregistering (null, or
  // services other than the registered ones) goes back to the stand-in.
  static void registerServices(ZPHAppServices* services);
  static void unregisterServices(ZPHAppServices* services);

  // ---- Links
  enum class LinkPlace {
    // A new tab or the web browser, as the preferences ("openLinksInBrowser",
    // "openInBrowserInBackground") and the keys decide (ZPHLinkRouting).
    Preferred,
    // The web browser; the preference and Ctrl decide only whether it comes
    // to the front.
    ExternalBrowser,
    // A new tab of the built-in browser, selected as the preference
    // "ZPHBrowserSelectNewTabsAsTheyAreCreated" says; the web browser while
    // there are no tabs.
    NewTab,
    // The desktop's mail program (mailto: only).
    MailProgram,
  };
  struct LinkRequest {
    LinkPlace place = LinkPlace::Preferred;
    // With false, the preferences count as off, or the keys as not held.
    bool respectingPreferences = true;
    bool respectingShortcuts = true;
  };
  // Where the link went: the route taken (a new tab goes to the web browser
  // while there are no tabs, and still answers Internal), or Refused.
  enum class LinkOutcome { Refused, External, Internal };
  virtual LinkOutcome openLink(const QUrl& url, const LinkRequest& request) = 0;
  LinkOutcome openLink(const QUrl& url) { return openLink(url, LinkRequest{}); }
  LinkOutcome openLink(const QUrl& url, LinkPlace place) { return openLink(url, LinkRequest{place}); }

  // A document of ours (a local file: the acknowledgements) in the
  // desktop's program for its kind; false when it could not be handed over.
  // The application tells when the desktop has no program for it, as it
  // tells of a link that did not open; here the desktop decides alone.
  virtual bool openDocument(const QUrl& fileURL);

  // ---- Subscribing and files
  // Shows the reader window, then subscribes to the address (the Add Site
  // window) or selects its feed when it is subscribed already.
  virtual void handleSubscribeToFeedRequest(const QString& urlString, bool searchImmediately,
                                            bool useCurrentlySelectedContainer) = 0;
  // Imports the files that look like OPML subscription lists.
  virtual void applicationOpenFiles(const QStringList& paths) = 0;
  // Whether a file's name says it is an OPML subscription list (".opml",
  // ".xml", any case).
  static bool isProbablyOPMLFile(const QString& path);

  // ---- Commands and sheets
  // The application's command named by its selector ("addFeed:"), or null.
  virtual QAction* commandAction(const QString& selector) const = 0;
  // Whether the application has registered itself (current() is not the
  // stand-in).
  static bool hasApplication();
  // The current services' command of that name while it is enabled; null
  // when there is none or it is off. A control that sends it is off while
  // this is null.
  static QAction* enabledCommandAction(const QString& selector);
  // Runs `window` as a window-modal sheet on the main window and `work` on
  // the next turn of the event loop; false, running neither, when there is
  // no visible main window or another sheet runs.
  virtual bool runModalSheet(QDialog* window, std::function<void()> work) = 0;

  // ---- Web views
  // The name the application's own web views add to their user agent; empty
  // for none.
  virtual QString applicationNameForWebviewUserAgent() const = 0;
  // "Version/6.0 Zephlin/<version>", the application name
  // that the browser's web views put in their user agent.
  static QString webViewApplicationName();
};
