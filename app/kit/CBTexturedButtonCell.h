#pragma once

// Qt kind: none (a painter: a plain class that draws for a view).

#include <QtCore/QRectF>
#include <QtGui/QColor>

class QPainter;
class QPushButton;

// The bezel of a textured button whose key equivalent is Return: a blue
// rounded default-button bezel, fainter while the button's window is not
// the active window, its gradient turned upside down while pressed.
class CBTexturedButtonCell {
public:
  // The four colours of the Return-key bezel (opaque).
  static QColor texturedButtonActiveReturnOutlineGradientTopColor();     // HSB 0.577, 0.503, 0.624
  static QColor texturedButtonActiveReturnOutlineGradientBottomColor();  // HSB 0.573, 0.504, 0.482
  static QColor texturedButtonActiveReturnGradientTopColor();            // HSB 0.587, 0.411, 0.965
  static QColor texturedButtonActiveReturnGradientBottomColor();         // HSB 0.577, 0.665, 0.808

  // Whether the button's key equivalent is Return (or it is the default
  // button of its dialog, which Return presses).
  static bool hasReturnKeyEquivalent(const QPushButton& button);

  // Draws the Return-key bezel into `frame` for `button`: the frame inset
  // by half a point, one point lower and three points shorter, as a rounded
  // rectangle of radius 3.5; a white line under it; the fill gradient; the
  // outline gradient; a faint white inner shadow along its top.
  static void drawBezelWithFrame(QPainter& painter, const QRectF& frame, const QPushButton& button);
};
