#pragma once

#include "platform/ZPHError.h"

#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>
#include <QtCore/QObject>
#include <QtCore/QString>

#include <memory>

enum ZPHStatusItemType : qint64 {
  ZPHStatusItemTypeNotSet = 0,  // never valid in a made item
  ZPHStatusItemTypeDeterminateProgress = 1,
  ZPHStatusItemTypeIndeterminateProgress = 2,
  ZPHStatusItemTypeError = 3,
};

// One message for the status area of the main window: a text, an identifier
// to remove it by, a type that decides how it is drawn, and for error items
// the error shown when the item is clicked. Shared between the library and
// the application; the fields may be read and set from any thread.
class ZPHStatusItem : public QObject {
  Q_OBJECT
public:
  // An empty description or identifier, or type ZPHStatusItemTypeNotSet, is
  // a programming error.
  static std::shared_ptr<ZPHStatusItem> statusItemWithLocalizedDescription(const QString& localizedDescription,
                                                                           const QString& identifier,
                                                                           ZPHStatusItemType statusItemType);
  // An error item (type ZPHStatusItemTypeError); the error is required.
  static std::shared_ptr<ZPHStatusItem> statusItemWithLocalizedDescription(const QString& localizedDescription,
                                                                           const QString& identifier,
                                                                           const ZPHError& clickableError);

  ZPHStatusItem() = default;
  ~ZPHStatusItem() override;

  // "ZPHStatusItem(0x…) (<description>, <identifier>)"
  QString description() const;

  QString localizedDescription() const;
  void setLocalizedDescription(const QString& localizedDescription);
  QString identifier() const;
  void setIdentifier(const QString& identifier);
  ZPHStatusItemType statusItemType() const;
  void setStatusItemType(ZPHStatusItemType statusItemType);
  ZPHError error() const;
  void setError(const ZPHError& error);

protected:
  // Fills an item of a subclass the way the factories fill a plain one.
  template <class Item>
  static std::shared_ptr<Item> makeItem(const QString& localizedDescription, const QString& identifier,
                                        ZPHStatusItemType statusItemType)
  {
    auto item = std::make_shared<Item>();
    item->configure(localizedDescription, identifier, statusItemType);
    return item;
  }
  void configure(const QString& localizedDescription, const QString& identifier, ZPHStatusItemType statusItemType);

private:
  // A field read or set under the item's lock.
  template <class T>
  T locked(const T& field) const
  {
    QMutexLocker locker(&m_mutex);
    return field;
  }
  template <class T>
  void setLocked(T& field, const T& value)
  {
    QMutexLocker locker(&m_mutex);
    field = value;
  }

  mutable QMutex m_mutex;
  QString m_localizedDescription;
  QString m_identifier;
  ZPHStatusItemType m_statusItemType = ZPHStatusItemTypeNotSet;
  ZPHError m_error;
};
