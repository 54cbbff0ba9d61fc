#pragma once

// Qt kind: QWidget (QLineEdit).

#include <QtWidgets/QLineEdit>

// The name field of a feed or folder row while it is being renamed. It
// keeps the name it started with: an edit that ends empty, or is called
// off with Escape, shows that name again. Tab and back-tab leave it to the
// list. Once the user has changed the text, a newer stored name never
// replaces it (updateStoredName()).
class ZPHSourceListTextField : public QLineEdit {
  Q_OBJECT

public:
  explicit ZPHSourceListTextField(QWidget* parent = nullptr);

  // The name shown when the edit began; null outside an edit.
  QString restorationString() const { return m_restorationString; }
  void beginEditingWithName(const QString& name);
  // The row's stored name, given again while the field is open (the row
  // was drawn again: an unread count, an icon, a refresh). An edit not yet
  // begun begins with it; an untouched field shows it if it changed; what
  // the user typed stays.
  void updateStoredName(const QString& name);
  // The name to store: the typed one, or the remembered one when it is
  // empty.
  QString editedName() const;

private:
  QString m_restorationString;
};
