#include "feeds/refresh/ZPHStatusItem.h"

#include <QtCore/QMutexLocker>

ZPHStatusItem::~ZPHStatusItem() = default;

std::shared_ptr<ZPHStatusItem> ZPHStatusItem::statusItemWithLocalizedDescription(const QString& localizedDescription,
                                                                                 const QString& identifier,
                                                                                 ZPHStatusItemType statusItemType)
{
  return makeItem<ZPHStatusItem>(localizedDescription, identifier, statusItemType);
}

std::shared_ptr<ZPHStatusItem> ZPHStatusItem::statusItemWithLocalizedDescription(const QString& localizedDescription,
                                                                                 const QString& identifier,
                                                                                 const ZPHError& clickableError)
{
  Q_ASSERT_X(!clickableError.isNull(), Q_FUNC_INFO, "clickableError");
  auto item = makeItem<ZPHStatusItem>(localizedDescription, identifier, ZPHStatusItemTypeError);
  item->setError(clickableError);
  return item;
}

void ZPHStatusItem::configure(const QString& localizedDescription, const QString& identifier,
                              ZPHStatusItemType statusItemType)
{
  Q_ASSERT_X(localizedDescription.length() > 0, Q_FUNC_INFO, "[localizedDescription length] > 0");
  Q_ASSERT_X(identifier.length() > 0, Q_FUNC_INFO, "[identifier length] > 0");
  Q_ASSERT_X(statusItemType != ZPHStatusItemTypeNotSet, Q_FUNC_INFO, "statusItemType != ZPHStatusItemTypeNotSet");
  QMutexLocker locker(&m_mutex);
  m_localizedDescription = localizedDescription;
  m_identifier = identifier;
  m_statusItemType = statusItemType;
}

QString ZPHStatusItem::description() const
{
  return QStringLiteral("%1(0x%2) (%3, %4)")
      .arg(QString::fromLatin1(metaObject()->className()))
      .arg(quintptr(this), 0, 16)
      .arg(localizedDescription(), identifier());
}

QString ZPHStatusItem::localizedDescription() const { return locked(m_localizedDescription); }

void ZPHStatusItem::setLocalizedDescription(const QString& localizedDescription)
{
  setLocked(m_localizedDescription, localizedDescription);
}

QString ZPHStatusItem::identifier() const { return locked(m_identifier); }

void ZPHStatusItem::setIdentifier(const QString& identifier) { setLocked(m_identifier, identifier); }

ZPHStatusItemType ZPHStatusItem::statusItemType() const { return locked(m_statusItemType); }

void ZPHStatusItem::setStatusItemType(ZPHStatusItemType statusItemType) { setLocked(m_statusItemType, statusItemType); }

ZPHError ZPHStatusItem::error() const { return locked(m_error); }

void ZPHStatusItem::setError(const ZPHError& error) { setLocked(m_error, error); }
