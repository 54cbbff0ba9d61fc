#pragma once

// Qt kind: none (functions).

#include <QtCore/QSize>
#include <QtCore/QStringList>
#include <QtGui/QIcon>

#include <functional>
#include <optional>

class QPainter;

// Images with several representations (bitmaps of one picture at different
// sizes or scales) are QIcons; the icon picks the representation to draw.

// An image holding the representations of the named images (ZPHNamedImage)
// in order; a name without an image is skipped, so names of which none
// exists give an empty image. No image at all for an empty list.
std::optional<QIcon> zph_imageWithNames(const QStringList& names);

// An image of `size` points drawn twice by `drawingBlock`: once at scale 1
// and once at scale 2, each into a transparent bitmap of `size` times the
// scale in pixels, with the painter in points. The icon holds both.
QIcon zph_imageByDrawingBothRepresentationsWithSize(const QSize& size,
                                                    const std::function<void(QPainter&)>& drawingBlock);
