#pragma once

// Qt kind: QWidget.

#include "themes/CBToolbarSegmentedControl.h"

#include <QtCore/QHash>
#include <QtGui/QIcon>

class QTimer;

// The toolbar's Refresh control. While a refresh runs it is disabled and
// its picture becomes a turning twelve-bar spinner: one bar further every
// 40 ms (a full turn in 0.48 s), drawn from pictures cached per button.
// When the refresh ends, the picture from before is back. Main thread.
class CBRefreshToolbarButton : public CBToolbarSegmentedControl {
  Q_OBJECT

public:
  static constexpr int HeartbeatInterval = 40;  // ms
  static constexpr int NumberOfBars = 12;

  // Control sizes, as the spinner's bar lengths follow them.
  enum ControlSize { Regular = 0, Small = 1, Mini = 2 };

  explicit CBRefreshToolbarButton(QWidget* parent = nullptr);
  ~CBRefreshToolbarButton() override;

  bool isCurrentRefreshing() const { return m_currentlyRefreshing; }
  // The same value again does nothing.
  void setCurrentlyRefreshing(bool refreshing);
  // Enabled exactly when not refreshing.
  void updateEnabledState();

  int controlSize() const { return m_controlSize; }
  void setControlSize(int size) { m_controlSize = size; }
  // The step the next heartbeat draws (0 to 11).
  int heartbeatStep() const { return m_heartbeatStep; }
  bool isHeartbeatRunning() const;
  QIcon originalImage() const { return m_originalImage; }
  qsizetype cachedImageCount() const { return m_cacheImages.size(); }

  // The spinner's picture for a step: 16 × 16 points, bar `step` darkest,
  // the brightness falling off behind it.
  QImage zph_refreshImageForStep(int step);
  static QString cacheKeyForNumberOfBars(int bars, int step, int controlSize);
  // Draws one frame and schedules the next.
  void zph_refreshHeartbeat();

protected:
  // New colours (a theme): the spinner's pictures are drawn again.
  void changeEvent(QEvent* event) override;

private:
  void zph_startRefreshHeartbeat();
  void zph_stopRefreshHeartbeat();

  bool m_currentlyRefreshing = false;
  QIcon m_originalImage;
  int m_heartbeatStep = 0;
  int m_controlSize = Regular;
  QHash<QString, QImage> m_cacheImages;
  QTimer* m_heartbeat;
};
