#pragma once

// Qt kind: QObject.

#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QPointer>

class QTimer;
class QWidget;

// The bookmark markers of a list's rows as their delegate paints them: a
// marker slides in or out only for a row whose flag changed since it was
// last painted, and the list's viewport is repainted while any slides.
class ZPHBookmarkSlides : public QObject {
public:
  explicit ZPHBookmarkSlides(QObject* parent);
  // What is repainted while a marker slides.
  void setViewport(QWidget* viewport) { m_viewport = viewport; }

  // How far the row's marker is shown, 0 (hidden) to 1 (shown), at this
  // paint; a flag different from the last paint's starts a slide.
  qreal progressForRow(const ZPHManagedObjectID& objectID, bool flagged);
  // Forgets the markers painted so far (the rows changed).
  void reset();
  int slidingCount() const { return int(m_slides.size()); }

private:
  struct Slide {
    bool shown = false;
    QElapsedTimer clock;
  };
  QPointer<QWidget> m_viewport;
  QHash<ZPHManagedObjectID, bool> m_paintedFlags;
  QHash<ZPHManagedObjectID, Slide> m_slides;
  QTimer* m_timer = nullptr;
};
