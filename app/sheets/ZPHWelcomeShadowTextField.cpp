#include "sheets/ZPHWelcomeShadowTextField.h"

#include <QtWidgets/QGraphicsDropShadowEffect>

ZPHWelcomeShadowTextField::ZPHWelcomeShadowTextField(const QString& text, QWidget* parent) : QLabel(parent)
{
  setTextFormat(Qt::PlainText);
  setText(text);
  setWordWrap(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, Qt::white);
  setPalette(palette);
  auto* shadow = new QGraphicsDropShadowEffect(this);
  shadow->setColor(QColor(0, 0, 0, 178));
  shadow->setBlurRadius(3);
  shadow->setOffset(0, 1);
  setGraphicsEffect(shadow);
}
