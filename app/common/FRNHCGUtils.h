#pragma once

// Qt kind: none (static functions).

#include <QtCore/QRectF>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtGui/QColor>
#include <QtGui/QImage>

class CBFaviconController;
class QPainter;

// Turns the favicons that the favicon controller decodes into the images the
// interface draws, and keeps them per feed for the life of the process (until
// clearCache()):
// - the plain favicon, 16 x 16 points;
// - the template favicon, an alpha mask (QImage::Format_Alpha8) of 16 x 16
//   points that views fill with a colour of their own;
// - the bitmap as the controller gave it.
// A feed is cached under its favicon URL, else its home-page URL. When the
// controller has no icon yet, the default icon may stand in; it is never
// cached for the feed, so a later request asks again.
//
// Main thread only, like the favicon controller's lookups.
class FRNHCGUtils {
public:
  FRNHCGUtils() = delete;

  static QImage imageForFeedWithHomePageURL(const QUrl& homePageURL, const QUrl& feedFaviconURL,
                                            bool useDefaultIfNotFound);
  static QImage templatedImageForFeed(const QUrl& homePageURL, const QUrl& feedFaviconURL, bool useDefaultIfNotFound);
  static QImage imageRefForFeedHomePageURL(const QUrl& homePageURL, const QUrl& feedFaviconURL,
                                           bool useDefaultIfNotFound);
  // "GenericFeedFaviconTemplate" (as a mask) with templating, else
  // "GenericFeedFavicon"; each loaded once.
  static QImage defaultFaviconImageWithTemplating(bool templating);
  // Empties every cache (the favicon scale factor changed).
  static void clearCache();
  static bool hasCachedImageForFeed(const QUrl& homePageURL, const QUrl& feedFaviconURL);

  // The desktop's folder icon at 16 x 16 points as a template mask, kept per
  // scale factor; null outside a widget application.
  static QImage templatedFolderImageForScaleFactor(double scaleFactor);
  // Any image drawn at 16 x 16 points and made a template mask.
  static QImage templatedImageFromImage(const QImage& image);
  // A favicon bitmap made a 16 x 16 point template mask.
  static QImage processTemplatedFeedIcon(const QImage& bitmap);
  // The bitmap greyed (saturation 0) and turned into a mask by
  // ZPHColorFilter with white; null when there is nothing to filter.
  static QImage createTemplatedImageRef(const QImage& bitmap);

  // Fills `rect` with a linear gradient from `startColor` at the middle of
  // its bottom edge to `endColor` at the middle of its top edge.
  static void gradientFill(QPainter& painter, const QRectF& rect, const QColor& startColor, const QColor& endColor);
  // The bitmap shown at `width` x `height` points.
  static QImage imageFromCGImage(const QImage& bitmap, qreal width, qreal height);
  // Writes the bitmap to a one-page PDF of 16 x 16 points; false on failure.
  static bool renderInPDFFile(const QImage& bitmap, const QString& path);
  // Red, green and blue all above 0.91, or all below 0.09.
  static bool colorIsBlackOrWhite(const QColor& color);

  // The controller asked for favicons: the shared one unless another is set
  // (null goes back to the shared one). It must outlive its use here.
  static void setFaviconController(CBFaviconController* controller);
};
