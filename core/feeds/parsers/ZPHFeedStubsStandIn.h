#pragma once

// Stand-in for the feed and folder stubs of the feed objects while those are
// being written: the plain fields and the folder's ordered items, nothing of
// the store. Replace the include of this header with the real one once that
// is in place.

#include <QtCore/QList>
#include <QtCore/QString>

#include <memory>
#include <variant>

// Kept in a namespace of its own so that it never clashes with the real
// classes at link time.
namespace zph_stubs_stand_in {

class ZPHFeedStub {
public:
  explicit ZPHFeedStub(const QString& urlString) : m_urlString(urlString) {}

  QString urlString() const { return m_urlString; }
  void setUrlString(const QString& value) { m_urlString = value; }
  QString homePageURLString() const { return m_homePageURLString; }
  void setHomePageURLString(const QString& value) { m_homePageURLString = value; }
  QString faviconURLString() const { return m_faviconURLString; }
  void setFaviconURLString(const QString& value) { m_faviconURLString = value; }
  QString feedSpecifiedName() const { return m_feedSpecifiedName; }
  void setFeedSpecifiedName(const QString& value) { m_feedSpecifiedName = value; }
  QString userSpecifiedName() const { return m_userSpecifiedName; }
  void setUserSpecifiedName(const QString& value) { m_userSpecifiedName = value; }
  QString username() const { return m_username; }
  void setUsername(const QString& value) { m_username = value; }
  QString password() const { return m_password; }
  void setPassword(const QString& value) { m_password = value; }

private:
  QString m_urlString;
  QString m_homePageURLString;
  QString m_faviconURLString;
  QString m_feedSpecifiedName;
  QString m_userSpecifiedName;
  QString m_username;
  QString m_password;
};

class ZPHFolderStub;
using ZPHStubItem = std::variant<std::shared_ptr<ZPHFeedStub>, std::shared_ptr<ZPHFolderStub>>;

class ZPHFolderStub {
public:
  explicit ZPHFolderStub(const QString& title) : m_title(title) {}

  QString title() const { return m_title; }
  QList<ZPHStubItem> items() const { return m_items; }
  // Null stubs are ignored.
  void addItem(const ZPHStubItem& item)
  {
    const bool isNull = std::visit([](const auto& pointer) { return pointer == nullptr; }, item);
    if (!isNull)
      m_items.append(item);
  }

private:
  QString m_title;
  QList<ZPHStubItem> m_items;
};

}  // namespace zph_stubs_stand_in

using zph_stubs_stand_in::ZPHFeedStub;
using zph_stubs_stand_in::ZPHFolderStub;
using zph_stubs_stand_in::ZPHStubItem;
