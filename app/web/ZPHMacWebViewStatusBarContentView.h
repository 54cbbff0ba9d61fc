#pragma once

// Qt kind: QWidget.

#include "themes/ZPHThemeUpdatingView.h"

#include <QtCore/QPointer>

class ZPHTheme;

// The link status bar's background: a strip with a gradient, an inner glow
// and shadow, and an outline whose side edges fall outside the view, drawn
// in the theme the bar was given (not always the application's).
class ZPHMacWebViewStatusBarContentView : public ZPHThemeUpdatingView<> {
  Q_OBJECT

public:
  explicit ZPHMacWebViewStatusBarContentView(QWidget* parent = nullptr);

  ZPHTheme* currentTheme() const { return m_currentTheme; }
  // A different theme repaints.
  void setCurrentTheme(ZPHTheme* theme);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  ZPHTheme* m_currentTheme = nullptr;
};
