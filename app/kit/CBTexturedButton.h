#pragma once

// Qt kind: QWidget (QPushButton).

#include <QtWidgets/QPushButton>

// A button that draws the blue default-button bezel (CBTexturedButtonCell)
// when its key equivalent is Return, and the desktop's button otherwise.
class CBTexturedButton : public QPushButton {
  Q_OBJECT

public:
  explicit CBTexturedButton(QWidget* parent = nullptr);
  explicit CBTexturedButton(const QString& title, QWidget* parent = nullptr);

  // True while it draws the Return-key bezel.
  bool drawsReturnKeyBezel() const;

protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
};
