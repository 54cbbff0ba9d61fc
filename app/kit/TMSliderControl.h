#pragma once

// Qt kind: QWidget (QAbstractButton).

#include <QtGui/QImage>
#include <QtWidgets/QAbstractButton>

class QVariantAnimation;

// An on/off switch: a knob (the handle) that slides in a track (the well),
// drawn from images. It is a checkable button: its state is the checked
// property (state() and setState() say the same), notified by toggled(),
// and clicked() tells of every change the user makes.
//
// The user flips it by clicking anywhere on it, by dragging the handle, with
// the arrow keys and the space bar while it has the focus, or through
// accessibility (a check box). Every user change emits clicked(), a key
// press just as a click. A disabled switch, drawn at a quarter opacity,
// ignores the mouse and the keys; setting the state in code emits toggled()
// only.
class TMSliderControl : public QAbstractButton {
  Q_OBJECT

public:
  // A drag of an on switch that leaves the handle's right edge within this
  // distance of the control's right edge keeps it on.
  static constexpr qreal MinimumMovement = 10;
  static constexpr qreal DisabledOpacity = 0.25;
  // The handle's move after a change of state.
  static constexpr int HandleAnimationDuration = 250;  // ms

  explicit TMSliderControl(QWidget* parent = nullptr);

  bool state() const { return isChecked(); }
  void setState(bool state) { setChecked(state); }

  // Moves the handle to the state's side and shows the enabled look.
  void updateUI();
  // Flips the state (a user change: emits clicked()).
  void toggleControl();
  // Off / on (a user change when it changes the state).
  void moveLeft();
  void moveRight();

  // The images: "toggle_bg_focus", "toggle_bg", "toggle_button",
  // "toggle_button_pressed" and the handle's mask "toggle_button_mask".
  virtual QImage sliderWellOn() const;
  virtual QImage sliderWellOff() const;
  virtual QImage sliderHandleImage() const;
  virtual QImage sliderHandleDownImage() const;
  virtual QImage sliderMask() const;

  // The handle's frame in the on and the off position, for the control's
  // size now: off (1, 0, 25, 27), on (width - 25 - 1, 0, 25, 27), both at
  // the bottom of the control.
  virtual QRectF handleControlRectOn() const;
  virtual QRectF handleControlRectOff() const;
  // Where the handle's centre is drawn now, and its frame there.
  qreal handleCenterX() const { return m_handleCenterX; }
  QRectF handleFrame() const;
  bool isHandlePressed() const { return m_handlePressed; }
  bool hasDragged() const { return m_hasDragged; }
  // The well image shown now.
  virtual QImage currentWellImage() const;

  QSize sizeHint() const override { return QSize(60, 27); }

protected:
  // Puts the handle at the centre of the state's frame, without a move.
  void layoutHandle();

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  bool hitButton(const QPoint& position) const override;

private:
  void userChangedState(bool state);
  void moveHandleTo(qreal centerX, bool animated);

  qreal m_handleCenterX = 0;
  qreal m_mouseDownPosition = 0;
  bool m_hasDragged = false;
  bool m_handlePressed = false;
  QVariantAnimation* m_handleAnimation = nullptr;
};
