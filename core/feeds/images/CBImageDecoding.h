#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtGui/QImage>

class QIODevice;

// Decoding image data into bitmaps of bounded size. Image data comes from
// the network, so every decode first reads the declared size from the
// header and refuses an image whose pixel count or side is past the limits
// below, before anything is allocated; the readers themselves also carry an
// allocation limit.
//
// Every function answers a null image when nothing decodes. Usable from any
// thread.

// The largest side and pixel count of an image that is decoded at all.
constexpr int CBImageDecodingMaximumSide = 16384;
constexpr qint64 CBImageDecodingMaximumPixelCount = 40LL * 1000 * 1000;
// Megabytes a single decode may allocate.
constexpr int CBImageDecodingAllocationLimitMB = 192;

// The first image of the data in 32-bit RGB (with alpha when it has any).
QImage CBCGImageFromData(const QByteArray& data);

// An image no wider and no higher than `maxPixelSize`: an exact
// maxPixelSize x maxPixelSize image of a multi-image file (the last one),
// else the first image whose sides lie between 1 and the maximum, else the
// first image scaled down, keeping its proportions, so that its longer side
// is the maximum.
QImage CBCGImageFromDataWithMaxPixelSize(const QByteArray& data, int maxPixelSize);

// The first image of the readable device scaled down (proportions kept) to
// at most `maxPixelSize` on its longer side; never scaled up.
QImage CBCGImageThumbnailFromImageSourceWithMaxPixelSize(QIODevice* imageSource, int maxPixelSize);

// The first image of the file; null when it cannot be read.
QImage CBCGImageWithFilePath(const QString& path);

// CBCGImageWithFilePath of the resource ":/<name>" (any suffix); null when
// there is none.
QImage CBCGImageInResources(const QString& name);

// The declared pixel size of the data's first image, read from its header
// only; invalid when the data is not an image.
QSize CBImagePixelSizeOfData(const QByteArray& data);
