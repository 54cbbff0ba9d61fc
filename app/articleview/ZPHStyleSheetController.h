#pragma once

// Qt kind: none (a plain class).

#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtGui/QFont>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWebEngineSettings;
class ZPHArticleTheme;
class ZPHUserDefaults;

// The article view's typography and column width, and the built-in article
// theme. Web engine settings are not saved by the engine, so the font
// families and sizes live in the user defaults with the margin step;
// applyToSettings() hands them to the article view's settings, and every
// change posts ZPHStylesDidChangeNotification (no object) so that views
// apply them again.
//
// Families: the standard family starts as "Helvetica" ("Helvetica Neue" on a
// screen of scale 2), the fixed-width one as "Menlo", each when installed,
// else the system's general or fixed-width family.
//
// The theme ships in the program's resources (":/StyleSheets"); pages load
// its style sheets through the "cbstylesheet" scheme, which serves files from
// disk only, so the theme is copied into the cache folder
// ("ArticleThemes.noindex/StyleSheets") when first asked for and refreshed on
// every start. styleSheetFolders() are the folders that scheme must serve.
//
// Main thread.
class ZPHStyleSheetController {
public:
  static const QString HasSetStyleDefaultsKey;  // "ZPHHasSetStyleDefaults"
  // "ZPHDisableAutomaticHelveticaFamilyChangeUponWindowScaleChange"
  static const QString DisableAutomaticFamilyChangeKey;
  static const QString StandardFontFamilyKey;    // "ZPHArticleStandardFontFamily"
  static const QString FixedFontFamilyKey;       // "ZPHArticleFixedFontFamily"
  static const QString DefaultFontSizeKey;       // "ZPHArticleDefaultFontSize"
  static const QString DefaultFixedFontSizeKey;  // "ZPHArticleDefaultFixedFontSize"
  static const QString MinimumFontSizeKey;       // "ZPHArticleMinimumFontSize"

  // Whether a font family is installed.
  using FamilyInstalled = std::function<bool(const QString& family)>;

  // Made on first use with the standard user defaults, the fonts of the font
  // database, the screen's scale and the theme folder in the cache folder.
  static ZPHStyleSheetController* sharedController();

  // Registers the defaults and applies the font defaults once per user.
  ZPHStyleSheetController(ZPHUserDefaults& defaults, FamilyInstalled familyInstalled, qreal screenScaleFactor,
                          const QString& themeFolder);
  ~ZPHStyleSheetController();
  ZPHStyleSheetController(const ZPHStyleSheetController&) = delete;
  ZPHStyleSheetController& operator=(const ZPHStyleSheetController&) = delete;

  // The built-in theme, from the theme folder (copied there from the
  // resources first).
  ZPHArticleTheme* defaultArticleTheme();
  // The folders the "cbstylesheet" scheme serves: the theme folder.
  QStringList styleSheetFolders();
  QString themeFolder() const { return m_themeFolder; }

  // "Times" at 12 points, else the system's general font; "Courier", else
  // the system's fixed-width font.
  QFont defaultFont() const;
  QFont defaultFixedFont() const;

  QString standardFontFamily() const;
  // Standard, serif and sans-serif family at once.
  void setStandardFontFamily(const QString& family);
  QString fixedFontFamily() const;
  void setFixedFontFamily(const QString& family);

  // Sizes in whole points; setters outside [minimumFontSize, 30] do nothing.
  int defaultFontSize() const;
  void setDefaultFontSize(int size);
  int defaultFixedFontSize() const;
  void setDefaultFixedFontSize(int size);
  int minimumFontSize() const;
  // Any value.
  void setMinimumFontSize(int size);
  static constexpr int maximumFontSize() { return 30; }

  // The stored margin index clamped to the table; 0 when none is stored.
  int currentMarginIndex() const;
  // Stored as given (callers clamp).
  void setCurrentMarginIndex(qint64 index);
  static constexpr int minimumMarginIndex() { return 0; }
  int maximumMarginIndex() const { return int(m_margins.size()) - 1; }
  // Column widths in em: 34, 38, … 94.
  std::optional<double> marginAtIndex(qint64 index) const;
  double marginAtCurrentIndex() const;
  // Stores index 0 and answers its width (34), which the caller applies to
  // the open article.
  double resetArticleMargins();

  void resetFontDefaults();
  void resetFontFamilies();
  void resetFontSizes();

  // The main window's scale changed: a standard family of "Helvetica" or
  // "Helvetica Neue" follows it (Neue at exactly 2), when that family is
  // installed and the user has not turned this off.
  void windowScaleFactorChanged(qreal scaleFactor);

  // The families and sizes onto the article view's settings.
  void applyToSettings(QWebEngineSettings* settings) const;

  // Makes `destination` an exact copy of the files below `resourceFolder`
  // (changed files rewritten, others removed); false when it could not.
  static bool installTheme(const QString& resourceFolder, const QString& destination);

private:
  QString installedOrSystemFamily(const QString& family, bool fixedPitch) const;
  int storedSize(const QString& key, int fallback) const;
  void post() const;

  ZPHUserDefaults& m_defaults;
  FamilyInstalled m_familyInstalled;
  qreal m_screenScaleFactor;
  QString m_themeFolder;
  std::unique_ptr<ZPHArticleTheme> m_theme;
  std::vector<double> m_margins;
};
