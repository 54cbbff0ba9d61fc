#pragma once

// Qt kind: none (static functions).

#include <QtGui/QColor>
#include <QtGui/QIcon>
#include <QtGui/QImage>
#include <QtGui/QPalette>

// The toolbar's pictures, drawn as line art in one colour: "AddFeedTemplate",
// "RefreshFeedsTemplate", "MarkAllReadTemplate", "NextUnreadTemplate",
// "StyleTemplate", "ShareTemplate", "BookmarkTemplate",
// and "OpenInBrowserTemplate". Each icon holds a 16 and a 32 pixel
// picture. Main thread.
class ZPHToolbarImages {
public:
  ZPHToolbarImages() = delete;

  // The colour of the pictures: the button text of the toolbar's palette.
  static QColor templateColor(const QPalette& palette);
  // Null for an unknown name.
  static QIcon icon(const QString& name, const QColor& color);
  static QImage image(const QString& name, int pixels, const QColor& color);
};
