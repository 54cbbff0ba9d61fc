#pragma once

// Qt kind: none (static functions).

#include <QtGui/QColor>
#include <QtGui/QIcon>
#include <QtGui/QImage>

// The browser's small pictures, drawn in code on a 16-point grid: "site"
// (the page icon of a page without one), "back", "forward", "stopTemplate",
// "reloadTemplate", and the close button's "tab_close", "tab_closePressed"
// and "tab_closeMouseover". Each icon holds a 1x and a 2x picture. Main
// thread.
class ZPHBrowserImages {
public:
  ZPHBrowserImages() = delete;

  // Null for an unknown name.
  static QImage image(const QString& name, int pixels, const QColor& color = QColor(70, 70, 70));
  static QIcon icon(const QString& name, const QColor& color = QColor(70, 70, 70));
  // The icon of a page without one ("site").
  static QIcon defaultTabIcon();
};
