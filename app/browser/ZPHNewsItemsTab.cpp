#include "browser/ZPHNewsItemsTab.h"

#include <QtCore/QCoreApplication>

QString ZPHNewsItemsTab::displayTitle() { return QCoreApplication::translate("Browser", "News Items"); }
