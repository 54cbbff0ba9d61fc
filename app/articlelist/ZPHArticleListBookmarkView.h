#pragma once

// Qt kind: QWidget.

#include <QtCore/QPointer>
#include <QtCore/QRectF>
#include <QtCore/QSizeF>
#include <QtCore/QString>
#include <QtWidgets/QWidget>

#include <functional>

class QAbstractAnimation;
class QGraphicsOpacityEffect;
class QLabel;

// The bookmark (flag) marker at the edge of an article-list row: an image
// that slides into sight from just outside the view's bounds, optionally
// over a shadow image that fades in and out with it.
//
// The images are named by bookmarkImageName() and shadowImageName(); a
// subclass names its own by passing them to the protected constructor. The
// geometry is also offered as pure functions, which the list's painters use
// to draw the marker of every row without a widget per row.
//
// Main thread only.
class ZPHArticleListBookmarkView : public QWidget {
  Q_OBJECT
  Q_PROPERTY(bool bookmarkShown READ isBookmarkShown NOTIFY bookmarkShown)

public:
  static constexpr int AnimationDuration = 200;  // ms

  // The names of the base class.
  static QString defaultBookmarkImageName() { return QStringLiteral("ArticleListBookmarkActive"); }

  explicit ZPHArticleListBookmarkView(const QRect& frame = QRect(), QWidget* parent = nullptr);
  ~ZPHArticleListBookmarkView() override;

  QString bookmarkImageName() const { return m_bookmarkImageName; }
  // Empty: no shadow view.
  QString shadowImageName() const { return m_shadowImageName; }

  // The size of the named bookmark image (points), the view's fitting size.
  static QSizeF sizeToFit(const QString& bookmarkImageName = defaultBookmarkImageName());

  // Where the image sits: the bounds when shown; when hidden, the bounds
  // moved down to `startingOffset`, or just below the bounds when that is 0.
  static QRectF imageViewFrameForBookmarkShown(bool shown, const QRectF& bounds, qreal startingOffset);
  QRectF imageViewFrameForBookmarkShown(bool shown) const;
  QRectF shadowViewFrame() const { return QRectF(rect()); }

  QLabel* imageView() const { return m_imageView; }
  QLabel* shadowView() const { return m_shadowView; }
  qreal shadowOpacity() const;

  bool isBookmarkShown() const { return m_bookmarkShown; }
  qreal startingOffset() const { return m_startingOffset; }
  void setStartingOffset(qreal offset) { m_startingOffset = offset; }

  // Shows or hides the marker. Animated (0.2 s) only when asked and the
  // view is on screen; the handler is then called when the slide ends, and
  // never otherwise. Showing makes the view visible. bookmarkShown() is
  // signalled on every call, also when nothing changes.
  void setBookmarkShown(bool shown, bool animate, std::function<void()> completionHandler);
  // Animated, without a handler.
  void setBookmarkShown(bool shown);

Q_SIGNALS:
  void bookmarkShown(bool shown);

protected:
  ZPHArticleListBookmarkView(const QRect& frame, QWidget* parent, const QString& bookmarkImageName,
                             const QString& shadowImageName);
  void resizeEvent(QResizeEvent* event) override;

private:
  void build(const QRect& frame);

  QString m_bookmarkImageName;
  QString m_shadowImageName;
  QLabel* m_imageView = nullptr;
  QLabel* m_shadowView = nullptr;
  QGraphicsOpacityEffect* m_shadowOpacity = nullptr;
  QPointer<QAbstractAnimation> m_animation;
  bool m_bookmarkShown = false;
  qreal m_startingOffset = 0;
};
