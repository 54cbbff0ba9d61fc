#include "sourcelist/ZPHSourceListTextField.h"

#include "sourcelist/ZPHSourceListTextFieldFormatter.h"

#include <QtGui/QPalette>
#include <QtWidgets/QApplication>

ZPHSourceListTextField::ZPHSourceListTextField(QWidget* parent) : QLineEdit(parent)
{
  setObjectName(QStringLiteral("ZPHSourceListTextField"));
  setValidator(new ZPHSourceListTextFieldFormatter(this));
  setFrame(false);
  // Drawn as a text field of its own, not with the list's selection colours.
  QPalette colours = QApplication::palette(this);
  colours.setColor(QPalette::Base, Qt::white);
  colours.setColor(QPalette::Text, Qt::black);
  colours.setColor(QPalette::Highlight, QColor(0x38, 0x75, 0xd7));
  colours.setColor(QPalette::HighlightedText, Qt::white);
  setPalette(colours);
  setAutoFillBackground(true);
}

void ZPHSourceListTextField::beginEditingWithName(const QString& name)
{
  m_restorationString = name;
  setText(name);
  selectAll();
}

void ZPHSourceListTextField::updateStoredName(const QString& name)
{
  if (m_restorationString.isNull() || (!isModified() && name != m_restorationString))
    beginEditingWithName(name);
}

QString ZPHSourceListTextField::editedName() const
{
  const QString name = text().trimmed();
  return name.isEmpty() ? m_restorationString : name;
}
