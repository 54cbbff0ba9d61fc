#pragma once

#include "support/ZPHTestHTTPServer.h"

#include <QtCore/QHash>
#include <QtCore/QJsonObject>
#include <QtCore/QList>
#include <QtCore/QMutex>
#include <QtCore/QString>

// A sync server on the loopback for the tests, on the test HTTP server. It
// speaks the five calls under <url()>/: "create", "list_feeds_and_folders",
// "update_feeds_and_folders", "list_articles" and "update_articles"; every
// call but "create" needs HTTP Basic authentication of one of its accounts
// (else 401 with a Basic challenge). Each account has its own state: folders
// by guid, feeds by address and article states by guid, each stamped with the
// server's time of its last change ("modDate"), which the list calls compare
// with the "lastModDate" asked for. An update takes each field whose date is
// later than the stored one; a deletion sticks. An update whose node lacks
// "childIndex", "flags" or "isDeleted" is refused (400).
//
// Tests play the other device through put*() and read the state back; they
// make calls fail with failNext(). Safe from any thread (the handlers run on
// the server's thread). Its list call sets a session cookie.
class ZPHTestSyncPeer {
public:
  enum class Failure {
    Unauthorized,  // 401 with a Basic challenge, whatever the credentials
    ServerError,   // 500 with a JSON body holding a feed and an article state
    NotJSON,       // 200 with an HTML body
    Drop,          // 200 headers and the start of a body, then the connection closes
  };

  ZPHTestSyncPeer();
  bool isListening() const { return m_listening; }
  // "http://127.0.0.1:<port>/sync"
  QString url() const;

  void addAccount(const QString& user, const QString& password);
  bool hasAccount(const QString& user) const;

  // The other device's changes: stored as given, stamped now.
  void putFolder(const QString& user, const QJsonObject& folder);
  void putFeed(const QString& user, const QJsonObject& feed);
  void putArticle(const QString& user, const QJsonObject& article);
  // The stored objects (with the server's "modDate"); empty when none.
  QJsonObject folder(const QString& user, const QString& guid) const;
  QJsonObject feed(const QString& user, const QString& url) const;
  QJsonObject article(const QString& user, const QString& guid) const;
  QList<QJsonObject> folders(const QString& user) const;
  QList<QJsonObject> feeds(const QString& user) const;

  // The next `count` calls of `apiCall` fail that way.
  void failNext(const QString& apiCall, Failure failure, int count = 1);
  void clearFailures();
  // Answers this exact body (status 200), with these headers, to the next
  // call of `apiCall`.
  void answerNext(const QString& apiCall, const QByteArray& body, int status = 200,
                  const ZPHTestHTTPHeaders& headers = {});
  // The next answer to `apiCall` (not a login challenge) sends its body
  // `ms` after its headers.
  void delayNext(const QString& apiCall, int ms);

  // Requests received for a call, in order.
  QList<ZPHTestHTTPRequest> requests(const QString& apiCall) const;
  QList<ZPHTestHTTPRequest> allRequests() const { return m_server.requests(); }
  // The "tag" of each request, in order.
  QList<qint64> tags() const;

  // Server time: strictly increasing seconds since 1970.
  double stamp();

private:
  struct Account {
    QString password;
    QHash<QString, QJsonObject> folders;   // guid -> folder
    QHash<QString, QJsonObject> feeds;     // url -> feed
    QHash<QString, QJsonObject> articles;  // guid -> state
  };
  struct Canned {
    QByteArray body;
    int status = 200;
    ZPHTestHTTPHeaders headers;
  };

  ZPHTestHTTPResponse handle(const QString& apiCall, const ZPHTestHTTPRequest& request);
  ZPHTestHTTPResponse answer(const QString& apiCall, const ZPHTestHTTPRequest& request);  // m_mutex held
  // The account of the request's Basic credentials; nullptr when none.
  Account* authenticate(const ZPHTestHTTPRequest& request);
  ZPHTestHTTPResponse create(const QJsonObject& body);
  ZPHTestHTTPResponse listFeedsAndFolders(const Account& account, const QJsonObject& body) const;
  ZPHTestHTTPResponse updateFeedsAndFolders(Account& account, const QJsonObject& body);
  ZPHTestHTTPResponse listArticles(const Account& account, const QJsonObject& body) const;
  ZPHTestHTTPResponse updateArticles(Account& account, const QJsonObject& body);
  // Merges a client's node into the stored one, field by field by date.
  QJsonObject mergeNode(const QJsonObject& stored, const QJsonObject& sent);
  double stampLocked();

  ZPHTestHTTPServer m_server;
  bool m_listening = false;
  mutable QMutex m_mutex;
  QHash<QString, Account> m_accounts;
  QHash<QString, QList<Failure>> m_failures;
  QHash<QString, QList<Canned>> m_canned;
  QHash<QString, int> m_delays;
  double m_lastStamp = 0.0;
};

// JSON for the tests.
QJsonObject ZPHTestJSON(const QByteArray& json);
