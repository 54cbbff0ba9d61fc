#pragma once

// Qt kind: none (a plain class).

#include "shell/ZPHAlert.h"

#include <QtCore/QString>

#include <functional>
#include <optional>

// Whether the disk that holds the application's data is about to run out:
// low is a free size under 100 MiB. A size that cannot be read is not low.
class CBDiskSpaceChecker {
public:
  static constexpr qint64 LowDiskSpaceThreshold = 104857600;

  // Bytes free to the user on the file system holding `path`; nullopt when
  // it cannot be read.
  using FreeSpaceQuery = std::function<std::optional<qint64>(const QString& path)>;
  static std::optional<qint64> freeSpaceAtPath(const QString& path);

  // With the system's answer when `query` is empty.
  static bool isDiskSpaceLow(const QString& path, const FreeSpaceQuery& query = {});

  // "Low on Disk Space!" with its one button, "Quit".
  static ZPHAlert diskSpaceLowAlert();
};
