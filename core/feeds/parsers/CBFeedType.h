#pragma once

// Sniffing downloaded bytes: RSS (and RDF), Atom, or not a feed. Byte
// signatures and text markers in the first 1024 bytes decide first; only
// then a streaming parse that stops at the first telling element. Data over
// 5 MiB without a marker in its head is never parsed. A marker ("<rss",
// "<rdf:", "<feed", "<html") counts only where it begins a tag: inside an
// attribute value, a comment or a CDATA section it is text.

#include <QtCore/QByteArray>

enum CBFeedType : int {
  CBFeedTypeRSS = 0,
  CBFeedTypeAtom = 1,
  CBFeedTypeNotAFeed = 2,
};

CBFeedType CBFeedTypeForData(const QByteArray& data);
// PNG, GIF, ISO base media (MP4, QuickTime) or JPEG (JFIF, Exif) signatures
// in data of at least 12 bytes.
bool CBDataIsProbablyMedia(const QByteArray& data);
bool CBDataIsFeed(const QByteArray& data);
