#include "articlelist/ZPHArticleListBookmarkView.h"

#include "kit/ZPHNamedImage.h"

#include <QtCore/QParallelAnimationGroup>
#include <QtCore/QPropertyAnimation>
#include <QtGui/QPixmap>
#include <QtWidgets/QGraphicsOpacityEffect>
#include <QtWidgets/QLabel>

namespace {

QSizeF imageSize(const QImage& image)
{
  return image.isNull() ? QSizeF() : QSizeF(image.size()) / image.devicePixelRatio();
}

QLabel* imageLabel(const QString& name, QWidget* parent)
{
  auto* label = new QLabel(parent);
  const QImage image = ZPHNamedImage(name);
  label->setPixmap(QPixmap::fromImage(image));
  label->setScaledContents(true);
  label->setAttribute(Qt::WA_TransparentForMouseEvents);
  label->resize(imageSize(image).toSize());
  return label;
}

}  // namespace

ZPHArticleListBookmarkView::ZPHArticleListBookmarkView(const QRect& frame, QWidget* parent)
    : ZPHArticleListBookmarkView(frame, parent, defaultBookmarkImageName(), QString())
{
}

ZPHArticleListBookmarkView::ZPHArticleListBookmarkView(const QRect& frame, QWidget* parent,
                                                       const QString& bookmarkImageName, const QString& shadowImageName)
    : QWidget(parent), m_bookmarkImageName(bookmarkImageName), m_shadowImageName(shadowImageName)
{
  build(frame);
}

ZPHArticleListBookmarkView::~ZPHArticleListBookmarkView()
{
  if (m_animation)
    m_animation->stop();
}

void ZPHArticleListBookmarkView::build(const QRect& frame)
{
  setAttribute(Qt::WA_TransparentForMouseEvents);
  if (frame.isValid())
    setGeometry(frame);
  if (!m_shadowImageName.isEmpty()) {
    m_shadowView = imageLabel(m_shadowImageName, this);
    m_shadowView->setGeometry(shadowViewFrame().toRect());
    m_shadowOpacity = new QGraphicsOpacityEffect(m_shadowView);
    m_shadowOpacity->setOpacity(0.0);
    m_shadowView->setGraphicsEffect(m_shadowOpacity);
  }
  // Above the shadow.
  m_imageView = imageLabel(m_bookmarkImageName, this);
  const QSizeF size = imageSize(ZPHNamedImage(m_bookmarkImageName));
  QRectF hidden = imageViewFrameForBookmarkShown(false);
  hidden.setSize(size);
  m_imageView->setGeometry(hidden.toRect());
}

QSizeF ZPHArticleListBookmarkView::sizeToFit(const QString& bookmarkImageName)
{
  return imageSize(ZPHNamedImage(bookmarkImageName));
}

QRectF ZPHArticleListBookmarkView::imageViewFrameForBookmarkShown(bool shown, const QRectF& bounds,
                                                                  qreal startingOffset)
{
  if (shown)
    return bounds;
  QRectF frame = bounds;
  frame.moveTop(startingOffset == 0 ? bounds.height() : startingOffset);
  return frame;
}

QRectF ZPHArticleListBookmarkView::imageViewFrameForBookmarkShown(bool shown) const
{
  return imageViewFrameForBookmarkShown(shown, QRectF(rect()), m_startingOffset);
}

qreal ZPHArticleListBookmarkView::shadowOpacity() const { return m_shadowOpacity ? m_shadowOpacity->opacity() : 0.0; }

void ZPHArticleListBookmarkView::setBookmarkShown(bool shown, bool animate, std::function<void()> completionHandler)
{
  m_bookmarkShown = shown;
  if (shown && isHidden())
    show();
  if (m_animation)
    m_animation->stop();
  const QRect target = imageViewFrameForBookmarkShown(shown).toRect();
  const qreal opacity = shown ? 1.0 : 0.0;
  if (animate && isVisible()) {
    auto* group = new QParallelAnimationGroup(this);
    auto* slide = new QPropertyAnimation(m_imageView, "geometry", group);
    slide->setDuration(AnimationDuration);
    slide->setEndValue(target);
    group->addAnimation(slide);
    if (m_shadowOpacity) {
      auto* fade = new QPropertyAnimation(m_shadowOpacity, "opacity", group);
      fade->setDuration(AnimationDuration);
      fade->setEndValue(opacity);
      group->addAnimation(fade);
    }
    if (completionHandler)
      connect(group, &QAbstractAnimation::finished, this, [handler = std::move(completionHandler)] { handler(); });
    m_animation = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);
  } else {
    m_imageView->setGeometry(target);
    if (m_shadowOpacity)
      m_shadowOpacity->setOpacity(opacity);
  }
  Q_EMIT bookmarkShown(shown);
  update();
}

void ZPHArticleListBookmarkView::setBookmarkShown(bool shown) { setBookmarkShown(shown, true, {}); }

void ZPHArticleListBookmarkView::resizeEvent(QResizeEvent* event)
{
  QWidget::resizeEvent(event);
  if (m_shadowView)
    m_shadowView->setGeometry(shadowViewFrame().toRect());
  if (!m_animation)
    m_imageView->setGeometry(imageViewFrameForBookmarkShown(m_bookmarkShown).toRect());
}
