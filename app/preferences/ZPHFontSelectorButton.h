#pragma once

// Qt kind: QWidget (QAbstractButton).

#include "platform/ZPHNotificationCenter.h"

#include <QtGui/QFont>
#include <QtWidgets/QAbstractButton>

// A button of the font selector: it stands for one font family, shows the
// family's name in that font, and is checked while its family is the
// article font. Style 0 is the first button of the stack, 1 every other
// one (new buttons start at 1). Its height is always 26 points; it redraws
// when the theme changes.
class ZPHFontSelectorButton : public QAbstractButton {
  Q_OBJECT

public:
  static constexpr int ButtonHeight = 26;

  explicit ZPHFontSelectorButton(QWidget* parent = nullptr);

  QString fontName() const { return m_fontName; }
  // The family at that size: the title is its name in the font, in the
  // theme's popover text colour.
  void setFont(const QString& family, qreal pointSize);
  QFont titleFont() const { return m_titleFont; }
  int styleType() const { return m_styleType; }
  void setStyleType(int type);
  // Points subtracted from the title's vertical position.
  qreal manualVerticalAlignmentTweak() const { return m_tweak; }
  void setManualVerticalAlignmentTweak(qreal tweak);

  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  QString m_fontName;
  QFont m_titleFont;
  int m_styleType = 1;
  qreal m_tweak = 0;
  ZPHObserverToken m_themeObserver;
};
