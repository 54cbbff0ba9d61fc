#pragma once

// Qt kind: none (a plain class).

#include "themes/ZPHThemeValue.h"

#include <array>
#include <initializer_list>
#include <utility>

// The values one theme class defines, by accessor name. A theme class keeps
// one table for the accessors it defines or overrides; the others fall
// through to its base class.
class ZPHThemeValueTable {
public:
  using Entry = std::pair<ZPHThemeValueName, ZPHThemeValue>;

  // A name given twice is a mistake in the table: the first value stays and
  // the second is logged.
  ZPHThemeValueTable(const char* themeName, std::initializer_list<Entry> entries);

  // The value defined for `name`, or null when this table has none.
  const ZPHThemeValue* find(ZPHThemeValueName name) const;

  int count() const { return m_count; }

private:
  std::array<ZPHThemeValue, ZPHThemeValueCount> m_values{};
  std::array<bool, ZPHThemeValueCount> m_defined{};
  int m_count = 0;
};
