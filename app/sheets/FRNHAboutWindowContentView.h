#pragma once

// Qt kind: QWidget.

#include <QtWidgets/QWidget>

// The About window's background: a soft light gradient with a faint band
// behind the icon, filling the window.
class FRNHAboutWindowContentView : public QWidget {
  Q_OBJECT

public:
  explicit FRNHAboutWindowContentView(QWidget* parent = nullptr);

protected:
  void paintEvent(QPaintEvent* event) override;
};
