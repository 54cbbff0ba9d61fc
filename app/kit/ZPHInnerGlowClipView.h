#pragma once

// Qt kind: QWidget.

#include "kit/ZPHShadow.h"

#include <QtGui/QColor>
#include <QtWidgets/QWidget>

// The backdrop of a text area: its background colour and, when turned on,
// a soft glow just inside its edges. Meant as the viewport of a scroll area
// or the backdrop of an editor that draws no background of its own.
class ZPHInnerGlowClipView : public QWidget {
  Q_OBJECT

public:
  explicit ZPHInnerGlowClipView(QWidget* parent = nullptr);

  // The palette's base colour unless set.
  QColor backgroundColor() const;
  void setBackgroundColor(const QColor& color);

  bool shouldDrawInnerGlow() const { return m_shouldDrawInnerGlow; }
  // Repaints when the value changes.
  void setShouldDrawInnerGlow(bool draw);

  QColor innerGlowColor() const { return m_innerGlowColor; }
  // A different colour is kept and the glow made again (which repaints).
  void setInnerGlowColor(const QColor& color);
  ZPHShadow innerGlowShadow() const { return m_innerGlowShadow; }

  // A glow of that colour: blur radius 2.5, no offset.
  static ZPHShadow innerGlowShadowWithColor(const QColor& color);
  void regenerateShadow();

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QColor m_backgroundColor;
  bool m_shouldDrawInnerGlow = false;
  QColor m_innerGlowColor;
  ZPHShadow m_innerGlowShadow;
};
