#pragma once

#include <QtCore/QList>
#include <QtCore/QMetaType>
#include <QtCore/QString>
#include <QtCore/QUrl>

// One feed the finder found: its address as finally reached and the title
// chosen for it, and the credentials it was reached with (empty when it
// needed none). The credentials are stored with the feed when it is
// subscribed; never log them.
class ZPHFeedResult {
public:
  ZPHFeedResult() = default;
  ZPHFeedResult(const QUrl& url, const QString& foundTitle) : m_url(url), m_foundTitle(foundTitle) {}
  virtual ~ZPHFeedResult() = default;
  ZPHFeedResult(const ZPHFeedResult&) = default;
  ZPHFeedResult& operator=(const ZPHFeedResult&) = default;

  QUrl URL() const { return m_url; }
  void setURL(const QUrl& url) { m_url = url; }
  QString foundTitle() const { return m_foundTitle; }
  void setFoundTitle(const QString& title) { m_foundTitle = title; }
  QString username() const { return m_username; }
  void setUsername(const QString& username) { m_username = username; }
  QString password() const { return m_password; }
  void setPassword(const QString& password) { m_password = password; }

  // "<ZPHFeedResult <title @ address>>"; never the credentials.
  virtual QString description() const;

private:
  QUrl m_url;
  QString m_foundTitle;
  QString m_username;
  QString m_password;
};

Q_DECLARE_METATYPE(ZPHFeedResult)
Q_DECLARE_METATYPE(QList<ZPHFeedResult>)
