#pragma once

// Feed-level facts found by a refresh (address, home page, title), handed
// to the account through CBDidParseFeedInfoNotification.

#include <QtCore/QMetaType>
#include <QtCore/QString>

#include <memory>

extern const QString CBDidParseFeedInfoNotification;  // "CBDidParseFeedInfoNotification"

class CBParsedFeedInfo : public std::enable_shared_from_this<CBParsedFeedInfo> {
public:
  QString feedURLString() const { return m_feedURLString; }
  void setFeedURLString(const QString& string) { m_feedURLString = string; }
  QString homePageURLString() const { return m_homePageURLString; }
  void setHomePageURLString(const QString& string) { m_homePageURLString = string; }
  QString title() const { return m_title; }
  void setTitle(const QString& string) { m_title = string; }

  // Posts CBDidParseFeedInfoNotification on the main thread, object this
  // feed info (a std::shared_ptr<CBParsedFeedInfo> in the variant), no user
  // info. The object must be owned by a shared pointer.
  void sendDidParseFeedInfoNotification();

private:
  QString m_feedURLString;
  QString m_homePageURLString;
  QString m_title;
};

Q_DECLARE_METATYPE(std::shared_ptr<CBParsedFeedInfo>)
