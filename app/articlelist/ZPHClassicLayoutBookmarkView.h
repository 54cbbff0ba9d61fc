#pragma once

// Qt kind: QWidget.

#include "articlelist/ZPHArticleListBookmarkView.h"

// The classic layout's bookmark ribbon, with its shadow.
class ZPHClassicLayoutBookmarkView : public ZPHArticleListBookmarkView {
  Q_OBJECT

public:
  static QString classicBookmarkImageName() { return QStringLiteral("ArticleListClassicBookmarkActive"); }
  static QString classicShadowImageName() { return QStringLiteral("ArticleListClassicBookmarkShadow"); }
  static QSizeF sizeToFit() { return ZPHArticleListBookmarkView::sizeToFit(classicBookmarkImageName()); }

  explicit ZPHClassicLayoutBookmarkView(const QRect& frame = QRect(), QWidget* parent = nullptr)
      : ZPHArticleListBookmarkView(frame, parent, classicBookmarkImageName(), classicShadowImageName())
  {
  }
};
