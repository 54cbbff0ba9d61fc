#pragma once

#include "platform/ZPHError.h"

#include <QtCore/QByteArray>
#include <QtCore/QDateTime>
#include <QtCore/QJsonObject>
#include <QtCore/QList>
#include <QtCore/QString>

#include <memory>

// One password kept for the program, or the key that picks one out.
//
// An Internet password is keyed by server, path, account (the user name) and
// protocol (a four-character code; 0 stands for "any protocol" in a query).
// A generic password is keyed by service and account.
struct ZPHPasswordItem {
  enum Kind { Internet, Generic };
  Kind kind = Generic;

  QString server;        // Internet
  QString path;          // Internet; a null path is the same as ""
  quint32 protocol = 0;  // Internet
  QString service;       // Generic
  QString account;       // both
  QString label;         // Generic; may be null

  QDateTime created;    // set by the store
  QDateTime modified;   // set by the store
  QByteArray password;  // the secret

  static ZPHPasswordItem internetKey(const QString& server, const QString& path, const QString& account,
                                     quint32 protocol);
  static ZPHPasswordItem genericKey(const QString& service, const QString& account);

  // Same kind and same key fields (an Internet protocol of 0 is a value here,
  // not a wildcard).
  bool hasSameKey(const ZPHPasswordItem& other) const;
  // Whether the item is one the query asks for: equal key fields, where a
  // query's Internet protocol 0 matches any protocol and a null generic
  // service or account matches any.
  bool matchesQuery(const ZPHPasswordItem& query) const;
};

extern const QString ZPHPasswordStoreErrorDomain;  // "ZPHPasswordStoreErrorDomain"

// Where the program keeps passwords: the desktop's secret service, or a file
// readable only by the user where no secret service answers. Every operation
// is synchronous and may be called from any thread; a store serialises its
// own operations.
//
// Operations answer a status: 0 for success, else one of the negative codes
// below (numbered like the keychain statuses the calling code expects).
class ZPHPasswordStore {
public:
  enum Status : int {
    Success = 0,
    UserCanceled = -128,
    IOFailed = -36,
    BadParameter = -50,
    Failed = -2070,
    NotAvailable = -25291,
    AuthFailed = -25293,
    DuplicateItem = -25299,
    ItemNotFound = -25300,
    Corrupt = -26275,
  };

  virtual ~ZPHPasswordStore();

  // The store of this process: the secret service when it answers a probe
  // in time, else a file in the data folder (with a warning in the log). The
  // probe (up to 5 s) runs once, on a thread of its own, started at start-up
  // by prepareDefaultStore(); a call before it ended waits for it.
  static std::shared_ptr<ZPHPasswordStore> defaultStore();
  // Starts the probe in the background unless the store is chosen or the
  // probe is done or under way (the application object then waits for it
  // when it goes away). ZPHApplicationState::install() calls it when the
  // application registers its data folder.
  static void prepareDefaultStore();
  // Replaces the store of this process (tests); nullptr makes the next
  // defaultStore() choose again (a choice under way is dropped).
  static void setDefaultStore(std::shared_ptr<ZPHPasswordStore> store);

  // Where the process's store keeps passwords, as far as it is known now;
  // never waits for the probe.
  enum class Place {
    NotYetKnown,    // the probe has not answered and no store is chosen
    SecretService,  // the desktop's keyring
    File,           // a file in the data folder readable by the user only
  };
  static Place defaultStorePlace();

  // The first item that matches `query` (see ZPHPasswordItem::matchesQuery),
  // with its key and password; the label and dates may be missing.
  // ItemNotFound when none matches.
  virtual int findPassword(const ZPHPasswordItem& query, ZPHPasswordItem* found) = 0;
  // Every item that matches `query`, with key, label and dates but no
  // password. ItemNotFound when none matches.
  virtual int listItems(const ZPHPasswordItem& query, QList<ZPHPasswordItem>* items) = 0;
  // Adds a new item (key, label, password); DuplicateItem when one with the
  // same key exists.
  virtual int addItem(const ZPHPasswordItem& item) = 0;
  // Replaces the password of the item with the same key; ItemNotFound when
  // there is none.
  virtual int updatePassword(const ZPHPasswordItem& key, const QByteArray& password) = 0;
  // Removes the item with the same key; ItemNotFound when there is none.
  virtual int deleteItem(const ZPHPasswordItem& key) = 0;

  // Text for a status, for logs and error descriptions.
  static QString messageForStatus(int status);
  // Null for Success; else an error in ZPHPasswordStoreErrorDomain with the
  // status as code and its message as description.
  static ZPHError errorWithStatus(int status);

protected:
  // Whether an item to store has the key fields its kind needs.
  static bool hasCompleteKey(const ZPHPasswordItem& item);
  // The JSON record of an item (with or without its password) and back; a
  // record that is not well formed gives false.
  static QJsonObject recordFromItem(const ZPHPasswordItem& item, bool withPassword);
  static bool itemFromRecord(const QJsonObject& record, ZPHPasswordItem::Kind kind, ZPHPasswordItem* item);
};
