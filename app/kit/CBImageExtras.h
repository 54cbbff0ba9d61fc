#pragma once

// Qt kind: none (functions).

#include <QtCore/QSizeF>
#include <QtGui/QIcon>
#include <QtGui/QImage>

// A new image of `size` (points, at the source's device pixel ratio) with
// the source drawn into it, smoothly scaled. Keeping the aspect ratio fills
// the new image and crops the source: a source relatively taller keeps its
// full width and its top part, one relatively wider keeps its full height
// and its middle.
QImage cb_imageScaledToSize(const QImage& image, const QSizeF& size, bool maintainAspect);
QImage cb_imageScaledToSize(const QImage& image, const QSizeF& size);

// True when the image has pixels to draw.
bool cb_canBeDrawn(const QImage& image);

// The first bitmap of an image with several representations, in the order
// they were added; null when it has none (an icon drawn from a vector file).
QImage cb_firstBitmapImageRep(const QIcon& image);
