#pragma once

// Included by every test of the application: its programs get a
// QApplication, made after the internal URL schemes (and the scheme of the
// tests' own internal pages) are registered, as main() does.

#include "support/ZPHTestSupport.h"
#include "web/ZPHInternalSchemes.h"

#include <QtWidgets/QApplication>

// The scheme of the tests' own internal pages.
inline const QByteArray ZPHTestPageScheme = "zph-test-page";

inline std::unique_ptr<QCoreApplication> ZPHMakeAppTestApplication(int& argc, char** argv)
{
  ZPHInternalSchemes::registerSchemes();
  ZPHInternalSchemes::registerInternalScheme(ZPHTestPageScheme, true);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  auto application = std::make_unique<QApplication>(argc, argv);
  application->setQuitOnLastWindowClosed(false);
  return application;
}

inline const ZPHTestApplicationFactoryInstaller ZPHAppTestApplicationInstaller(&ZPHMakeAppTestApplication);
