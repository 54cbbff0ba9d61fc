#pragma once

// Qt kind: none (functions).

#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtGui/QAction>
#include <QtGui/QIcon>

class QAbstractButton;
class QAbstractSlider;
class QLabel;
class QLineEdit;

// Conveniences for controls, text fields and toolbar items.

// Sets the text; a null string shows an empty field. A label shows the text
// as plain text, never as markup.
void cb_safeSetStringValue(QLineEdit* field, const QString& string);
void cb_safeSetStringValue(QLabel* label, const QString& string);

// Gives a field the disabled look (its text in the desktop's disabled text
// colour) or takes it away; whether it takes input is not changed.
void cb_setDrawAsEnabled(QLineEdit* field, bool drawAsEnabled);

// Sets the control's value to 1 (checked) for true and 0 for false.
void setBoolValue(QAbstractButton* control, bool flag);
void setBoolValue(QAbstractSlider* control, bool flag);

// Sets a toolbar action's label (text and icon text alike), image and tool
// tip, and connects its trigger to `action` of `target`.
template <class Target, class Action>
void cb_setLabel(QAction* item, const QString& label, const QIcon& image, const QString& toolTip, const Target* target,
                 Action action)
{
  item->setText(label);
  item->setIconText(label);
  item->setIcon(image);
  item->setToolTip(toolTip);
  if (target != nullptr)
    QObject::connect(item, &QAction::triggered, target, action);
}
