#pragma once

// Qt kind: QWidget (QPushButton).

#include <QtWidgets/QPushButton>

// A button of the welcome window: white title over a rounded, lightly
// shaded background, darker while pressed and at half opacity while
// disabled. The main button of a step is "selected" (blue); the skip and
// no-thanks buttons are plain (translucent white).
class ZPHWelcomeButton : public QPushButton {
  Q_OBJECT

public:
  enum class Kind { Selected, Plain };

  explicit ZPHWelcomeButton(const QString& title, Kind kind = Kind::Selected, QWidget* parent = nullptr);

  Kind kind() const { return m_kind; }
  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  Kind m_kind;
};
