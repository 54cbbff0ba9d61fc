#pragma once

// Qt kind: QWidget.

#include <QtGui/QColor>
#include <QtWidgets/QWidget>

class YRKSpinningProgressIndicatorLayer;
class ZPHClock;

// An indeterminate spinner in a colour of its user's choosing: hosts a
// YRKSpinningProgressIndicatorLayer over its whole area.
class ZPHIndeterminateProgressIndicator : public QWidget {
  Q_OBJECT

public:
  explicit ZPHIndeterminateProgressIndicator(QWidget* parent = nullptr, ZPHClock* clock = nullptr);

  YRKSpinningProgressIndicatorLayer* spinningProgressIndicatorLayer() const { return m_layer; }

  void startProgressAnimation();
  void stopProgressAnimation();
  void toggleProgressAnimation();
  bool isRunning() const;

  QColor color() const { return m_color; }
  // A colour equal to the one held changes nothing.
  void setColor(const QColor& color);

  QSize sizeHint() const override { return QSize(32, 32); }

protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

private:
  void zph_commonInit(ZPHClock* clock);

  YRKSpinningProgressIndicatorLayer* m_layer = nullptr;
  QColor m_color;
};
