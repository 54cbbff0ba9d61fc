#include "shell/CBDiskSpaceChecker.h"

#include <QtCore/QStorageInfo>

std::optional<qint64> CBDiskSpaceChecker::freeSpaceAtPath(const QString& path)
{
  const QStorageInfo storage(path);
  if (!storage.isValid() || !storage.isReady())
    return std::nullopt;
  const qint64 available = storage.bytesAvailable();
  return available < 0 ? std::nullopt : std::optional<qint64>(available);
}

bool CBDiskSpaceChecker::isDiskSpaceLow(const QString& path, const FreeSpaceQuery& query)
{
  const std::optional<qint64> available = query ? query(path) : freeSpaceAtPath(path);
  return available.has_value() && *available < LowDiskSpaceThreshold;
}

ZPHAlert CBDiskSpaceChecker::diskSpaceLowAlert()
{
  ZPHAlert alert;
  alert.style = ZPHAlert::Style::Warning;
  alert.messageText = QStringLiteral("Low on Disk Space!");
  alert.informativeText =
      QStringLiteral("Your hard drive is running out of space. It’s a good idea to quit and free up some space.");
  alert.buttons = {QStringLiteral("Quit")};
  return alert;
}
