#include "store/tree/ZPHGlobalNodeRepresentedObject.h"

#include <QtCore/QObject>

QString ZPHGlobalNodeRepresentedObject::nameForDisplay() const
{
  return m_nameForDisplay.isEmpty() ? QObject::tr("Untitled") : m_nameForDisplay;
}
