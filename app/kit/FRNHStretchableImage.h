#pragma once

// Qt kind: none (a painter: a plain class that draws for a view).

#include <QtCore/QRectF>
#include <QtCore/QSizeF>
#include <QtCore/QString>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <array>
#include <memory>

// An image drawn stretched to any rectangle in nine parts: the four corners
// at their own size, the four edges stretched along one axis, the centre
// along both. The cap insets give the widths of the fixed borders.
//
// The nine pieces are cut once per change of the insets (or of the flipped
// flag), each as a bitmap at scale 1 and at scale 2, so that drawing only
// composites cached bitmaps and never slices the source again. A piece of
// zero width or height is absent and draws nothing.
//
// Sizes are in points: an image loaded from "<name>@2x.png" has half its
// pixel size. Main thread (drawing).
class FRNHStretchableImage {
public:
  // Widths of the fixed borders, in points.
  struct CapInsets {
    qreal top = 0;
    qreal left = 0;
    qreal bottom = 0;
    qreal right = 0;
    bool operator==(const CapInsets&) const = default;
  };

  enum class Piece {
    TopLeftCorner,
    TopEdge,
    TopRightCorner,
    LeftEdge,
    Center,
    RightEdge,
    BottomLeftCorner,
    BottomEdge,
    BottomRightCorner,
  };
  static constexpr int PieceCount = 9;

  // The image with the default cap insets. `name` only names it.
  explicit FRNHStretchableImage(const QImage& image, const QString& name = QString());

  // The named image (ZPHNamedImage) with the default cap insets; null when
  // there is no image of that name.
  static std::shared_ptr<FRNHStretchableImage> imageNamed(const QString& name);

  QString name() const { return m_name; }
  QImage image() const { return m_image; }
  // In points.
  QSizeF size() const;

  CapInsets stretchableCapInsets() const { return m_insets; }
  // Stores the insets and cuts the pieces again.
  void setStretchableCapInsets(const CapInsets& insets);
  // Half of each dimension, rounded down to a whole point, so an odd
  // dimension keeps a middle of one point and an even one none: a 21 x 31
  // image gets left and right 10, top and bottom 15.
  void frnh_assignDefaultCapInsets();

  // Kept for callers that track whether their drawing runs top-down. Qt
  // always paints top-down, so the pieces are always cut upright; setting
  // the flag cuts them again.
  bool isFlipped() const { return m_flipped; }
  void setFlipped(bool flipped);

  // Draws the nine pieces into `rect` with the composition mode and the
  // opacity (0 to 1), upright. The painter's state is left as it was.
  void drawInRect(QPainter& painter, const QRectF& rect,
                  QPainter::CompositionMode operation = QPainter::CompositionMode_SourceOver,
                  qreal fraction = 1.0) const;

  // A piece at scale 1 or 2 (device pixel ratio set); null when absent.
  QImage piece(Piece piece, int scale = 1) const;
  QImage topLeftCornerImage() const { return piece(Piece::TopLeftCorner); }
  QImage topEdgeImage() const { return piece(Piece::TopEdge); }
  QImage topRightCornerImage() const { return piece(Piece::TopRightCorner); }
  QImage leftEdgeImage() const { return piece(Piece::LeftEdge); }
  QImage centerImage() const { return piece(Piece::Center); }
  QImage rightEdgeImage() const { return piece(Piece::RightEdge); }
  QImage bottomLeftCornerImage() const { return piece(Piece::BottomLeftCorner); }
  QImage bottomEdgeImage() const { return piece(Piece::BottomEdge); }
  QImage bottomRightCornerImage() const { return piece(Piece::BottomRightCorner); }

private:
  // Cuts the nine pieces from the image and the insets.
  void frnh_generateSubImages();

  QImage m_image;
  QString m_name;
  CapInsets m_insets;
  bool m_flipped = false;
  std::array<QImage, PieceCount> m_pieces1x;
  std::array<QImage, PieceCount> m_pieces2x;
};
