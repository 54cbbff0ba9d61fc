#include "kit/ZPHWindowShouldDrawActive.h"

#include <QtCore/QVariant>
#include <QtWidgets/QWidget>

const QString ZPHActiveTrackingWindowShouldDrawActiveChangedNotification =
    QStringLiteral("ZPHActiveTrackingWindowShouldDrawActiveChangedNotification");

bool zph_windowShouldDrawActive(const QWidget* widget)
{
  const QWidget* window = widget != nullptr ? widget->window() : nullptr;
  if (window == nullptr)
    return true;
  const QVariant answer = window->property("zph_windowShouldDrawActive");
  return !answer.isValid() || answer.toBool();
}
