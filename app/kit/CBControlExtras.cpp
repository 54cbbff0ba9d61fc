#include "kit/CBControlExtras.h"

#include <QtGui/QPalette>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QAbstractSlider>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>

void cb_safeSetStringValue(QLineEdit* field, const QString& string)
{
  if (field != nullptr)
    field->setText(string.isNull() ? QStringLiteral("") : string);
}

void cb_safeSetStringValue(QLabel* label, const QString& string)
{
  if (label == nullptr)
    return;
  label->setTextFormat(Qt::PlainText);
  label->setText(string.isNull() ? QStringLiteral("") : string);
}

void cb_setDrawAsEnabled(QLineEdit* field, bool drawAsEnabled)
{
  if (field == nullptr)
    return;
  QPalette palette = field->palette();
  const QPalette standard = QApplication::palette(field);
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    const QColor text =
        drawAsEnabled ? standard.color(group, QPalette::Text) : standard.color(QPalette::Disabled, QPalette::Text);
    palette.setColor(group, QPalette::Text, text);
  }
  field->setPalette(palette);
}

void setBoolValue(QAbstractButton* control, bool flag)
{
  if (control == nullptr)
    return;
  control->setCheckable(true);
  control->setChecked(flag);
}

void setBoolValue(QAbstractSlider* control, bool flag)
{
  if (control != nullptr)
    control->setValue(flag ? 1 : 0);
}
