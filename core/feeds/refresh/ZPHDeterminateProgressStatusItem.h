#pragma once

#include "feeds/refresh/ZPHStatusItem.h"

extern const QString ZPHDeterminateProgressStatusItemProgressValueKey;  // "progressValue"

// A status item with a progress value from 0 to 1. progressValueChanged is
// emitted on the thread that sets the value, so posters set it on the main
// thread.
class ZPHDeterminateProgressStatusItem : public ZPHStatusItem {
  Q_OBJECT
public:
  static std::shared_ptr<ZPHDeterminateProgressStatusItem> statusItemWithLocalizedDescription(
      const QString& localizedDescription, const QString& identifier, ZPHStatusItemType statusItemType);
  // A determinate-progress item (type 1).
  static std::shared_ptr<ZPHDeterminateProgressStatusItem> determinateProgressStatusItemWithLocalizedDescription(
      const QString& localizedDescription, const QString& identifier);

  double progressValue() const;
  void setProgressValue(double progressValue);

Q_SIGNALS:
  void progressValueChanged(double progressValue);

private:
  mutable QMutex m_progressMutex;
  double m_progressValue = 0.0;
};
