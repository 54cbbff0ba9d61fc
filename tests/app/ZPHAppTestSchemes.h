#pragma once

// Included by the application's tests that need what main() does before the
// application object exists: the internal URL schemes registered with the
// web engine, and the scheme of the tests' own internal pages.

#include "articleview/ZPHArticleSchemeHandler.h"
#include "support/ZPHTestSupport.h"
#include "web/ZPHInternalSchemes.h"

// The scheme of the tests' own internal pages.
inline const QByteArray ZPHTestPageScheme = "zph-test-page";

inline void ZPHRegisterAppTestSchemes()
{
  ZPHInternalSchemes::registerSchemes();
  // The article pages' scheme, as main() registers it.
  ZPHArticleSchemeHandler::registerScheme();
  ZPHInternalSchemes::registerInternalScheme(ZPHTestPageScheme, true);
}

inline const ZPHTestBeforeApplication ZPHAppTestSchemesRegistration(&ZPHRegisterAppTestSchemes);
