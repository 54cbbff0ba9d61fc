#include "sourcelist/ZPHSourceListTextField.h"

#include "sourcelist/ZPHSourceListTextFieldFormatter.h"

ZPHSourceListTextField::ZPHSourceListTextField(QWidget* parent) : QLineEdit(parent)
{
  setObjectName(QStringLiteral("ZPHSourceListTextField"));
  setValidator(new ZPHSourceListTextFieldFormatter(this));
  setFrame(false);
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
