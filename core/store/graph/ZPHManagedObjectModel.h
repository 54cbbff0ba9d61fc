#pragma once

#include "store/graph/ZPHEntityDescription.h"

#include <QtCore/QByteArrayList>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QString>

#include <memory>

// A version of the object model: its entities, described once, and the
// SQLite schema made from them. Build it with addEntity(), then finish();
// a finished model is read-only and may be shared between threads.
class ZPHManagedObjectModel {
public:
  explicit ZPHManagedObjectModel(int versionNumber);
  ~ZPHManagedObjectModel();
  ZPHManagedObjectModel(const ZPHManagedObjectModel&) = delete;
  ZPHManagedObjectModel& operator=(const ZPHManagedObjectModel&) = delete;

  int versionNumber() const { return m_versionNumber; }

  // Entities are finished in the order added; a superentity comes first.
  ZPHEntityDescription& addEntity(const QString& name, const QString& parentName = QString(), bool abstract = false);
  // Resolves superentities, destinations and inverses. Answers false (and
  // logs) when the description does not hold together.
  bool finish();
  bool isFinished() const { return m_finished; }

  const ZPHEntityDescription* entity(const QString& name) const { return m_byName.value(name); }
  const ZPHEntityDescription* entityForCode(int code) const;
  QList<const ZPHEntityDescription*> entities() const;

  // CREATE TABLE and CREATE INDEX statements for a new store.
  QByteArrayList schemaStatements() const;
  // The indexes of the model: name -> its CREATE INDEX statement.
  QHash<QString, QByteArray> indexStatements() const;
  // The names of the model's tables.
  QStringList tableNames() const;

private:
  int m_versionNumber = 0;
  bool m_finished = false;
  std::vector<std::unique_ptr<ZPHEntityDescription>> m_entities;
  QHash<QString, ZPHEntityDescription*> m_byName;
};

// "name" with inner quotes doubled, for identifiers made from the model.
QByteArray ZPHQuotedIdentifier(const QString& name);
