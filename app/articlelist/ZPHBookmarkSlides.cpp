#include "articlelist/ZPHBookmarkSlides.h"

#include "articlelist/ZPHArticleListBookmarkView.h"

#include <QtCore/QTimer>
#include <QtWidgets/QWidget>

ZPHBookmarkSlides::ZPHBookmarkSlides(QObject* parent) : QObject(parent), m_timer(new QTimer(this))
{
  m_timer->setInterval(16);
  connect(m_timer, &QTimer::timeout, this, [this] {
    for (auto it = m_slides.begin(); it != m_slides.end();) {
      if (it->clock.elapsed() > ZPHArticleListBookmarkView::AnimationDuration)
        it = m_slides.erase(it);
      else
        ++it;
    }
    if (m_slides.isEmpty())
      m_timer->stop();
    if (m_viewport)
      m_viewport->update();
  });
}

qreal ZPHBookmarkSlides::progressForRow(const ZPHManagedObjectID& objectID, bool flagged)
{
  const auto painted = m_paintedFlags.constFind(objectID);
  if (painted != m_paintedFlags.constEnd() && *painted != flagged) {
    Slide slide;
    slide.shown = flagged;
    slide.clock.start();
    m_slides.insert(objectID, slide);
    if (!m_timer->isActive())
      m_timer->start();
  }
  m_paintedFlags.insert(objectID, flagged);
  const auto slide = m_slides.constFind(objectID);
  if (slide == m_slides.constEnd())
    return flagged ? 1.0 : 0.0;
  const qreal t =
      qBound<qreal>(0.0, slide->clock.elapsed() / qreal(ZPHArticleListBookmarkView::AnimationDuration), 1.0);
  return slide->shown ? t : 1.0 - t;
}

void ZPHBookmarkSlides::reset()
{
  m_paintedFlags.clear();
  m_slides.clear();
}
