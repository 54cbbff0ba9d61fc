#include "shell/ZPHDesktopIdentity.h"

#include "foundation/CBFiles.h"

#include <QtCore/QDirIterator>
#include <QtGui/QGuiApplication>

QIcon ZPHApplicationIcon()
{
  // ":/icons/hicolor/<size>x<size>/apps/<id>.png", as in data/icons/.
  QIcon icon;
  QDirIterator pictures(QStringLiteral(":/icons/hicolor"), {CBAppIdentifier() + QStringLiteral(".png")}, QDir::Files,
                        QDirIterator::Subdirectories);
  while (pictures.hasNext()) icon.addFile(pictures.next());
  return icon;
}

void ZPHApplyDesktopIdentity()
{
  QGuiApplication::setDesktopFileName(CBAppIdentifier());
  QGuiApplication::setWindowIcon(ZPHApplicationIcon());
}
