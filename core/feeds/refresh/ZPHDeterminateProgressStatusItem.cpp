#include "feeds/refresh/ZPHDeterminateProgressStatusItem.h"

#include <QtCore/QMutexLocker>

const QString ZPHDeterminateProgressStatusItemProgressValueKey = QStringLiteral("progressValue");

std::shared_ptr<ZPHDeterminateProgressStatusItem> ZPHDeterminateProgressStatusItem::statusItemWithLocalizedDescription(
    const QString& localizedDescription, const QString& identifier, ZPHStatusItemType statusItemType)
{
  return makeItem<ZPHDeterminateProgressStatusItem>(localizedDescription, identifier, statusItemType);
}

std::shared_ptr<ZPHDeterminateProgressStatusItem>
ZPHDeterminateProgressStatusItem::determinateProgressStatusItemWithLocalizedDescription(
    const QString& localizedDescription, const QString& identifier)
{
  return statusItemWithLocalizedDescription(localizedDescription, identifier, ZPHStatusItemTypeDeterminateProgress);
}

double ZPHDeterminateProgressStatusItem::progressValue() const
{
  QMutexLocker locker(&m_progressMutex);
  return m_progressValue;
}

void ZPHDeterminateProgressStatusItem::setProgressValue(double progressValue)
{
  {
    QMutexLocker locker(&m_progressMutex);
    m_progressValue = progressValue;
  }
  Q_EMIT progressValueChanged(progressValue);
}
