#pragma once

// Qt kind: QWidget (QPushButton).

#include <QtGui/QIcon>
#include <QtWidgets/QPushButton>

// The small button that closes the web page shown (in a browser tab's
// toolbar strip). It shows realImage(), mouseOverImage() while the mouse is
// over it and the application is active (leaving always brings
// realImage() back), and pressedImage() while pressed. A first click into a
// window that is not active only activates it. Without a mouse-over image
// it behaves as a plain button.
class ZPHCloseButton : public QPushButton {
  Q_OBJECT

public:
  explicit ZPHCloseButton(QWidget* parent = nullptr);

  QIcon realImage() const { return m_realImage; }
  void setRealImage(const QIcon& image);
  QIcon mouseOverImage() const { return m_mouseOverImage; }
  void setMouseOverImage(const QIcon& image) { m_mouseOverImage = image; }
  QIcon pressedImage() const { return m_pressedImage; }
  void setPressedImage(const QIcon& image) { m_pressedImage = image; }
  // The image shown now.
  QIcon shownImage() const { return icon(); }

protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  void showImage(const QIcon& image);

  QIcon m_realImage;
  QIcon m_mouseOverImage;
  QIcon m_pressedImage;
  bool m_inside = false;
};
