#pragma once

// Qt kind: none (static functions).

#include <QtCore/QString>

// What the build says about the program (the About window's texts) and the
// mailing-list service it signs users up to; CMake writes them from its
// ZEPHLIN_* cache variables. The mailing list's address, key, list and
// password are never logged; an empty address means the build has no
// mailing list.
class ZPHBuildInfo {
public:
  static QString applicationName();     // "Zephlin"
  static QString shortVersionString();  // the project's version
  static QString buildNumber();
  static QString humanReadableCopyright();
  static QString humanReadableTrademark();
  static QString humanReadableSpecialThanks();
  // The product's page on the web.
  static QString projectPageURL();
  // Empty: the program has no update feed (packages update it).
  static QString updateFeedURL();

  static QString mailingListURL();
  static QString mailingListAPIKey();
  static QString mailingListID();
  static QString mailingListPassword();
};
