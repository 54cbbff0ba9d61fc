#pragma once

// Qt kind: QObject.

#include "kit/ZPHClock.h"

#include <QtCore/QObject>
#include <QtCore/QPointF>
#include <QtCore/QRectF>
#include <QtGui/QColor>

#include <vector>

class QPainter;

// The drawing of an indeterminate spinner: a ring of twelve rounded fins
// around the centre, one of which lights up at a time and fades out over
// 0.7 s, the lit fin moving on (clockwise) every 0.05 s, so a turn takes
// 0.6 s and every fin is lit again before it has faded. The host view gives
// it its bounds, paints it and repaints when told (needsDisplay()).
class YRKSpinningProgressIndicatorLayer : public QObject {
  Q_OBJECT

public:
  static constexpr int StepInterval = 50;   // ms
  static constexpr int FadeDuration = 700;  // ms

  // The clock (the system clock when null) must outlive the layer.
  explicit YRKSpinningProgressIndicatorLayer(ZPHClock* clock = nullptr, QObject* parent = nullptr);
  ~YRKSpinningProgressIndicatorLayer() override;

  QRectF bounds() const { return m_bounds; }
  void setBounds(const QRectF& bounds);

  // The colour of every fin; black at first.
  QColor color() const { return m_foreColor; }
  void setColor(const QColor& color);

  bool isRunning() const { return m_isRunning; }
  // Starts from the first fin (also when running); a stop leaves the lit
  // fins fading.
  void startProgressAnimation();
  void stopProgressAnimation();
  void toggleProgressAnimation();

  // One step: the next fin lights up and starts to fade.
  void advancePosition();

  unsigned numFins() const { return m_numFins; }
  // The fin lit last.
  unsigned position() const { return m_position; }
  // A fin's opacity now: 1 when just lit, down to the fade-down opacity (0)
  // over 0.7 s.
  qreal finOpacity(unsigned fin) const;
  // Any fin still above the fade-down opacity.
  bool isFading() const;

  // A fin's rectangle before its rotation (width 0.095 and height 0.3 of
  // the smaller side), its anchor point (in fin units; below the fin), and
  // its corner radius (half its width).
  QRectF finBoundsForCurrentBounds() const;
  QPointF finAnchorPointForCurrentBounds() const;
  qreal finCornerRadius() const { return finBoundsForCurrentBounds().width() / 2; }
  // The rotation of fin i about the centre, in radians, clockwise on screen.
  qreal finRotation(unsigned fin) const;

  void paint(QPainter& painter) const;

Q_SIGNALS:
  void needsDisplay();

private:
  void setupAnimTimer();
  void disposeAnimTimer();

  ZPHClock* m_clock;
  QRectF m_bounds{0, 0, 10, 10};
  unsigned m_numFins = 12;
  unsigned m_position = 0;
  qreal m_fadeDownOpacity = 0.0;
  bool m_isRunning = false;
  QColor m_foreColor{Qt::black};
  // When each fin was lit last; none yet: never.
  std::vector<qint64> m_litAt;
  ZPHClock::TimerID m_animationTimer = 0;
};
