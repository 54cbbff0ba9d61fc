#pragma once

// Qt kind: none (a value type).

#include <QtCore/QMetaType>
#include <QtCore/QRect>
#include <QtCore/QString>
#include <QtCore/QUrl>

// One image offered to the image preview: where its bytes come from, what
// it is called, and where it was on the screen.
struct ZPHQLImagePreviewItem {
  // The image as the page shows it (an image-cache address for a cached
  // article image).
  QUrl imageURL;
  // The address to show the image from (see the article view's preview
  // address); the image's own when empty.
  QUrl previewURL;
  QString altText;
  QString articleTitle;
  // On the screen; empty when unknown.
  QRect screenFrame;

  QUrl urlToLoad() const { return previewURL.isEmpty() ? imageURL : previewURL; }
  // The alternative text, else the article's title.
  QString title() const { return altText.trimmed().isEmpty() ? articleTitle : altText.trimmed(); }
};

Q_DECLARE_METATYPE(ZPHQLImagePreviewItem)
