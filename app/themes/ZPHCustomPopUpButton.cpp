#include "themes/ZPHCustomPopUpButton.h"

ZPHCustomPopUpButton::ZPHCustomPopUpButton(QWidget* parent) : QComboBox(parent) {}
