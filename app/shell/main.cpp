// Process entry of the Zephlin desktop program.

#include "platform/ZPHLog.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QMainWindow>

int main(int argc, char** argv)
{
  QApplication::setOrganizationName(QStringLiteral("Fernhollow"));
  QApplication::setOrganizationDomain(QStringLiteral("fernhollow.com"));
  QApplication::setApplicationName(QStringLiteral("Zephlin"));
  QApplication::setApplicationVersion(QStringLiteral(ZEPHLIN_VERSION));
  QApplication app(argc, argv);
  ZPHInstallLogHandler("zephlin");

  QMainWindow window;
  window.setWindowTitle(QStringLiteral("Zephlin"));
  window.resize(1100, 700);
  window.show();
  return app.exec();
}
