#pragma once

// Qt kind: QObject.

#include "subscribe/ZPHSubscribeRequest.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QStringList>
#include <QtCore/QUrl>

#include <functional>
#include <memory>

class CBFeed;
class CBFolder;
class QAction;
class QWidget;
class ZPHAddFolderWindowController;
class ZPHAddSiteWindowController;
class ZPHExportOPMLController;
class ZPHImportOPMLController;

// The application's commands of adding sites and folders and of importing
// and exporting subscription lists, and the runners of their windows: each
// command is a QAction named by its selector ("addFeed:", "addPopularSites:",
// "addFolder:", "importFeedsFromOPML:", "importFeedsFromOPMLFileAtPath:"
// (the path as the action's data), "exportFeeds:"), made as a child of the
// object that answers the application's commands. The windows run as
// window-modal sheets on the main window, one at a time.
//
// Main thread.
class ZPHSubscriptionCommands : public QObject {
  Q_OBJECT
public:
  // What the commands ask of the application.
  struct Host {
    // The main window (null while there is none).
    std::function<QWidget*()> window;
    // Brings the reader window forward.
    std::function<void()> showReaderWindow;
    // Opens the Add Site window for an address unless a sheet runs (the
    // application's addFeedWithURLString).
    std::function<void(const QString& url, bool searchImmediately, bool useCurrentlySelectedContainer)> addFeed;
    // Selects the first feed added in the source list (under Favorites when
    // asked) and moves the focus there.
    std::function<void(const QList<CBFeed*>& feeds, bool underFavorites)> selectAddedFeeds;
    std::function<void(CBFolder* folder)> selectAddedFolder;
    std::function<void()> beep;
  };

  ZPHSubscriptionCommands(Host host, QObject* actionsParent, QObject* parent = nullptr);
  ~ZPHSubscriptionCommands() override;

  // The Add Site window for an address (empty: none), unless one is up.
  void addSite(const QString& address, bool searchImmediately, bool useCurrentlySelectedContainer);
  // The Add Site window for a request (a dropped address); the feeds come
  // later, to the source list's selection; answers none now.
  QList<CBFeed*> addFeedsWithSubscribeRequest(std::shared_ptr<ZPHSubscribeRequest> request);
  void addPopularSites();
  void addFolder();
  void importFeedsFromOPML();
  // Imports the list; one opened while another imports waits its turn (at
  // most MostWaitingOPMLFiles wait; more beep).
  void importFeedsFromOPMLFileAtPath(const QString& path);
  static constexpr qsizetype MostWaitingOPMLFiles = 64;
  QStringList waitingOPMLFiles() const { return m_waitingOPMLFiles; }
  void exportFeeds();

  // Runs the window as a sheet; `added` hears of the feeds it added (empty
  // for none) once it ended. False when no sheet could run.
  bool runAddSiteWindowController(std::unique_ptr<ZPHAddSiteWindowController> controller,
                                  std::function<void(const QList<CBFeed*>& feeds)> added);

  ZPHAddSiteWindowController* addSiteWindowController() const { return m_addSiteWindowController.get(); }
  ZPHAddFolderWindowController* addFolderWindowController() const { return m_addFolderWindowController.get(); }
  ZPHImportOPMLController* importOPMLController() const { return m_importOPMLController.get(); }
  ZPHExportOPMLController* exportOPMLController() const { return m_exportOPMLController.get(); }

private:
  QAction* makeAction(QObject* parent, const QString& title, const QString& selector, std::function<void()> run);
  // The next list that waits, once the import under way has ended.
  void importNextWaitingOPMLFile();

  Host m_host;
  std::unique_ptr<ZPHAddSiteWindowController> m_addSiteWindowController;
  std::unique_ptr<ZPHAddFolderWindowController> m_addFolderWindowController;
  std::unique_ptr<ZPHImportOPMLController> m_importOPMLController;
  QStringList m_waitingOPMLFiles;
  std::unique_ptr<ZPHExportOPMLController> m_exportOPMLController;
  QList<QPointer<QAction>> m_actions;
};
