#pragma once

// Qt kind: none (a value type).

#include <QtCore/QMetaType>
#include <QtCore/QPoint>
#include <QtCore/QString>
#include <QtCore/QUrl>

class QWebEngineContextMenuRequest;

// What the user right-clicked in a page: the link, the image, the selection
// and where, as the engine reports them. A value; menu items carry it.
struct ZPHWebElement {
  QUrl linkURL;
  QString linkText;
  // The image's address as the page shows it (an image-cache address for a
  // cached article image).
  QUrl imageURL;
  bool isImage = false;
  // Plug-in content (an embed or object).
  bool isPlugin = false;
  QString selectedText;
  // In the view's coordinates.
  QPoint position;

  bool hasLink() const { return linkURL.isValid() && !linkURL.isEmpty(); }
  bool hasImage() const { return isImage && imageURL.isValid() && !imageURL.isEmpty(); }
  // The link's absolute address; "" without a link.
  QString linkURLString() const { return hasLink() ? linkURL.toString(QUrl::FullyEncoded) : QString(); }

  static ZPHWebElement fromContextMenuRequest(const QWebEngineContextMenuRequest& request);
};

Q_DECLARE_METATYPE(ZPHWebElement)
