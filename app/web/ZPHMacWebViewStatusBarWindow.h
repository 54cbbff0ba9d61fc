#pragma once

// Qt kind: QWidget.

#include <QtCore/QPointer>
#include <QtWidgets/QWidget>

class QGraphicsOpacityEffect;
class QPropertyAnimation;

// The link status bar's own surface: a frameless strip laid over the bottom
// edge of a web view inside the web view's window. It takes no mouse or
// keyboard input, and fades in over 0.08 s every time it is shown.
class ZPHMacWebViewStatusBarWindow : public QWidget {
  Q_OBJECT

public:
  static constexpr int FadeInDuration = 80;  // ms
  static constexpr int BarHeight = 20;

  explicit ZPHMacWebViewStatusBarWindow(QWidget* parent = nullptr);

  // The content view fills the bar.
  QWidget* contentView() const { return m_contentView; }
  void setContentView(QWidget* view);

  // 0 when the fade has just begun, 1 once it ended.
  qreal opacity() const;

protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  QPointer<QWidget> m_contentView;
  QGraphicsOpacityEffect* m_opacity;
  QPropertyAnimation* m_fade;
};
