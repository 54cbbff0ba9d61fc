#pragma once

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QUrl>

class CBFeed;

// What the rest of the program asks of an account: the local data account
// and the global pseudo-account answer it.
class CBAccount {
public:
  virtual ~CBAccount();

  virtual bool isSubscribedToFeedWithURL(const QUrl& url) const = 0;
  virtual bool disabled() const = 0;
  virtual void setDisabled(bool disabled) = 0;
  virtual QString identifier() const = 0;
  virtual QString login() const = 0;
  virtual void setLogin(const QString& login) = 0;
  virtual QString title() const = 0;
  virtual quint64 accountType() const = 0;
  virtual QList<CBFeed*> allFeedsThatCanBeRefreshed() const = 0;
  virtual quint64 unreadCount() const = 0;
};
