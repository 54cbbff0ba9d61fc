#pragma once

// Qt kind: QWidget (QLineEdit).

#include <QtWidgets/QLineEdit>

class QTimer;
class ZPHIndeterminateProgressIndicator;

// The search field of the main window's toolbar, with a small spinner at
// its right while a search runs: it shows only when the search has taken
// 0.2 s, so a quick search shows none.
class ZPHSearchField : public QLineEdit {
  Q_OBJECT

public:
  static constexpr int SpinnerDelay = 200;  // ms

  explicit ZPHSearchField(QWidget* parent = nullptr);

  void startProgressIndicatorAnimation();
  void stopProgressIndicatorAnimation();
  bool isSpinnerShown() const;
  bool isSpinnerPending() const;
  ZPHIndeterminateProgressIndicator* spinner() const { return m_spinner; }

  // 16 by 16, 35 points from the right edge, centred.
  static QRect spinnerFrame(const QSize& field);

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  ZPHIndeterminateProgressIndicator* m_spinner = nullptr;
  QTimer* m_delay = nullptr;
};
