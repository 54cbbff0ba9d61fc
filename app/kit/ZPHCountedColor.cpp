#include "kit/ZPHCountedColor.h"

int ZPHCountedColor::compare(const ZPHCountedColor& other) const
{
  if (m_count == other.m_count)
    return 0;
  return m_count > other.m_count ? -1 : 1;
}
