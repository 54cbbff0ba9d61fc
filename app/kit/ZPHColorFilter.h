#pragma once

// Qt kind: none (a plain class).

#include <QtGui/QColor>
#include <QtGui/QImage>

// Turns a grey icon into a mask in one colour: every pixel takes the input
// colour, with an alpha that is the pixel's own alpha times how dark it is
// (black stays, white goes). Applied with white to the grey version of a
// favicon, it makes the favicon's template mask.
class ZPHColorFilter {
public:
  QImage inputImage() const { return m_inputImage; }
  void setInputImage(const QImage& image) { m_inputImage = image; }
  // Opaque white unless set.
  QColor inputColor() const { return m_inputColor; }
  void setInputColor(const QColor& color) { m_inputColor = color; }

  // Premultiplied ARGB of the input's size (and device pixel ratio); null
  // without an input image.
  QImage outputImage() const;

private:
  QImage m_inputImage;
  QColor m_inputColor = QColor(255, 255, 255);
};
