#pragma once

// Qt kind: none (a value type).

#include <QtGui/QColor>

// A colour and how often it was counted; sorted by count, larger first.
class ZPHCountedColor {
public:
  ZPHCountedColor(const QColor& color, unsigned count) : m_color(color), m_count(count) {}

  QColor color() const { return m_color; }
  unsigned count() const { return m_count; }

  // Less than 0 when this one sorts before `other` (its count is larger),
  // 0 for equal counts, greater than 0 when it sorts after.
  int compare(const ZPHCountedColor& other) const;

private:
  QColor m_color;
  unsigned m_count = 0;
};
