#include "kit/CBColorExtras.h"

#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>

#include <algorithm>

namespace {

QMutex g_coolBlueMutex;
QColor g_coolBlue;

QColor coolBlueForDefaultTint() { return QColor(82, 120, 197); }

QColor blended(const QColor& color, qreal fraction, qreal toward)
{
  const QColor rgb = color.toRgb();
  const qreal f = std::clamp<qreal>(fraction, 0, 1);
  const auto mix = [f, toward](qreal component) { return component + (toward - component) * f; };
  return QColor::fromRgbF(mix(rgb.redF()), mix(rgb.greenF()), mix(rgb.blueF()), rgb.alphaF());
}

}  // namespace

QColor cb_grayWithFloat(qreal level) { return QColor::fromRgbF(level, level, level); }

QColor cb_grayBorderColor()
{
  static const QColor color = cb_grayWithFloat(0.75);
  return color;
}

QColor cb_darkGrayBorderColor()
{
  static const QColor color = cb_grayWithFloat(0.36);
  return color;
}

QColor cb_borderColor()
{
  static const QColor color = cb_grayWithFloat(0.25);
  return color;
}

QColor cb_grayWindowBackgroundColor()
{
  static const QColor color = cb_grayWithFloat(0.94);
  return color;
}

QColor cb_coolBlueColor()
{
  const QMutexLocker locker(&g_coolBlueMutex);
  if (!g_coolBlue.isValid())
    g_coolBlue = coolBlueForDefaultTint();
  return g_coolBlue;
}

void cb_updateCoolBlueColor()
{
  const QMutexLocker locker(&g_coolBlueMutex);
  g_coolBlue = coolBlueForDefaultTint();
}

QColor cb_interfaceColor() { return cb_coolBlueColor(); }

void cb_updateInterfaceColor() {}

QColor cb_interfaceColor(qreal level)
{
  return level < 0 ? cb_shadowWithLevel(cb_interfaceColor(), -level)
                   : cb_highlightWithLevel(cb_interfaceColor(), level);
}

QColor cb_lightInterfaceColor() { return cb_interfaceColor(0.85); }

QColor cb_shadowWithLevel(const QColor& color, qreal fraction)
{
  return color.isValid() ? blended(color, fraction, 0.0) : color;
}

QColor cb_highlightWithLevel(const QColor& color, qreal fraction)
{
  return color.isValid() ? blended(color, fraction, 1.0) : color;
}
