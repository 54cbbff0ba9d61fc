#pragma once

// Qt kind: QWidget.

#include <QtWidgets/QWidget>

#include <array>

class QVariantAnimation;

// An indeterminate progress indicator of three dots ("CloudDot") that light
// up one after the other: each fades in over 0.25 s and out again 0.5 s
// later; the centre dot follows the left one after 0.6 s, the right one
// after 1.2 s, and the cycle starts again every 1.8 s. A stop lets the
// running cycle finish: the indicator stops one full period later, and a
// start within that time carries on as if no stop had come.
class ZPHCloudProgressIndicator : public QWidget {
  Q_OBJECT

public:
  static constexpr int AnimationPeriod = 1800;           // ms
  static constexpr int AnimationTimeBetweenDots = 600;   // ms
  static constexpr int AnimationDurationForDot = 500;    // ms
  static constexpr int ImplicitAnimationDuration = 250;  // ms
  static constexpr int DotCount = 3;

  explicit ZPHCloudProgressIndicator(QWidget* parent = nullptr);
  ~ZPHCloudProgressIndicator() override;

  void startAnimation();
  void stopAnimation();
  bool isAnimating() const { return m_currentlyAnimating; }

  // The dot's frame in the indicator and its opacity now (0 while hidden).
  QRectF dotFrame(int dot) const;
  qreal dotOpacity(int dot) const;
  bool isDotHidden(int dot) const;

  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  void stepLeftDot(quint64 cycle);
  void showDot(int dot, quint64 cycle);
  void fadeDot(int dot, qreal to);
  QSizeF dotSize() const;

  bool m_currentlyAnimating = false;
  // Every start makes a new cycle; steps of an older one do nothing.
  quint64 m_cycle = 0;
  // Every stop makes a new one; a start cancels the pending stop.
  quint64 m_stopRequest = 0;
  bool m_stopPending = false;
  std::array<qreal, DotCount> m_opacity{};
  std::array<bool, DotCount> m_hidden{true, true, true};
  std::array<QVariantAnimation*, DotCount> m_fades{};
};
