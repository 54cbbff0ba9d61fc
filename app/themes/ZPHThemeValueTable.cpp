#include "themes/ZPHThemeValueTable.h"

#include "kit/ZPHInterfaceLog.h"
#include "themes/ZPHTheme.h"

ZPHThemeValueTable::ZPHThemeValueTable(const char* themeName, std::initializer_list<Entry> entries)
{
  for (const Entry& entry : entries) {
    const int index = static_cast<int>(entry.first);
    if (index < 0 || index >= ZPHThemeValueCount)
      continue;
    if (m_defined[index]) {
      qCWarning(zphInterface) << themeName << "defines" << ZPHTheme::valueNameString(entry.first) << "twice";
      continue;
    }
    m_values[index] = entry.second;
    m_defined[index] = true;
    ++m_count;
  }
}

const ZPHThemeValue* ZPHThemeValueTable::find(ZPHThemeValueName name) const
{
  const int index = static_cast<int>(name);
  if (index < 0 || index >= ZPHThemeValueCount || !m_defined[index])
    return nullptr;
  return &m_values[index];
}
