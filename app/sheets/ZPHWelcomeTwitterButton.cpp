#include "sheets/ZPHWelcomeTwitterButton.h"

#include <QtWidgets/QGraphicsDropShadowEffect>

ZPHWelcomeTwitterButton::ZPHWelcomeTwitterButton(const QString& title, QWidget* parent) : QPushButton(title, parent)
{
  setFlat(true);
  setCursor(Qt::PointingHandCursor);
  setStyleSheet(
      QStringLiteral("QPushButton { color: white; border: none; background: transparent; "
                     "text-decoration: underline; } QPushButton:pressed { color: #b3b3b3; }"));
  auto* shadow = new QGraphicsDropShadowEffect(this);
  shadow->setColor(QColor(0, 0, 0, 153));
  shadow->setBlurRadius(3);
  shadow->setOffset(0, 1);
  setGraphicsEffect(shadow);
}
