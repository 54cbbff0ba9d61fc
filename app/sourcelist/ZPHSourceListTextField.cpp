#include "sourcelist/ZPHSourceListTextField.h"

#include "sourcelist/ZPHSourceListTextFieldFormatter.h"

#include <QtWidgets/QApplication>

ZPHSourceListTextField::ZPHSourceListTextField(QWidget* parent) : QLineEdit(parent)
{
  setObjectName(QStringLiteral("ZPHSourceListTextField"));
  setValidator(new ZPHSourceListTextFieldFormatter(this));
  setFrame(false);
  // Drawn as a text field of its own, not with the list's selection colours.
  setPalette(QApplication::palette(this));
  setAutoFillBackground(true);
}

void ZPHSourceListTextField::beginEditingWithName(const QString& name)
{
  m_restorationString = name;
  setText(name);
  selectAll();
}

QString ZPHSourceListTextField::editedName() const
{
  const QString name = text().trimmed();
  return name.isEmpty() ? m_restorationString : name;
}
