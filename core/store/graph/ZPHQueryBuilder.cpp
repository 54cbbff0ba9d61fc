#include "store/graph/ZPHQueryBuilder.h"

#include "store/graph/ZPHObjectGraphErrors.h"
#include "store/graph/ZPHSQLiteConnection.h"

#include <QtCore/QDateTime>
#include <QtCore/QTimeZone>

#include <cmath>

namespace {

// Lists longer than this go to SQLite as one bound JSON array rather than a
// parameter per value, so no list meets the statement's parameter limit.
constexpr int MaxInlineListValues = 500;

// A comparable value (ZPHComparableValue) as a JSON scalar that json_each()
// hands back with the type the value would have bound with: integers stay
// integers, reals stay reals (also when whole), texts stay texts.
void appendJSONValue(QByteArray& json, const QVariant& value)
{
  switch (value.typeId()) {
    case QMetaType::LongLong:
      json += QByteArray::number(value.toLongLong());
      return;
    case QMetaType::Double: {
      const double number = value.toDouble();
      if (std::isnan(number)) {  // binds as NULL, which matches nothing
        json += "null";
      } else if (std::isinf(number)) {
        json += number > 0 ? "9e999" : "-9e999";
      } else {
        QByteArray text = QByteArray::number(number, 'g', 17);
        if (!text.contains('.') && !text.contains('e'))
          text += ".0";
        json += text;
      }
      return;
    }
    default:
      break;
  }
  // Texts as the bytes bindText() would bind, escaped for JSON.
  static const char hex[] = "0123456789abcdef";
  const QByteArray utf8 = value.toString().toUtf8();
  json += '"';
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20) {
      json += "\\u00";
      json += hex[byte >> 4];
      json += hex[byte & 15];
    } else {
      json += c;
    }
  }
  json += '"';
}

}  // namespace

namespace ZPHObjectGraphSQL {

ZPHError keyPathError(const QString& entity, const QString& keyPath)
{
  return ZPHObjectGraphError(ZPHObjectGraphSQLiteError,
                             QStringLiteral("The key path %1 is not usable on %2.").arg(keyPath, entity));
}

std::pair<const ZPHEntityDescription*, int> findProperty(const ZPHEntityDescription* entity, const QString& name)
{
  for (const ZPHEntityDescription* candidate : entity->selfAndDescendants()) {
    const int index = candidate->indexOfProperty(name);
    if (index >= 0)
      return {candidate, index};
  }
  return {nullptr, -1};
}

QByteArray placeholders(qsizetype count)
{
  QByteArray text;
  text.reserve(count * 2);
  for (qsizetype i = 0; i < count; ++i) text += i == 0 ? "?" : ",?";
  return text;
}

QVariant attributeValue(ZPHSQLiteStatement& row, int column, ZPHAttributeType type)
{
  switch (type) {
    case ZPHAttributeType::String:
      return row.columnText(column);
    case ZPHAttributeType::Int32:
      return int(row.columnInt64(column));
    case ZPHAttributeType::Int64:
    case ZPHAttributeType::Number:
      return row.columnInt64(column);
    case ZPHAttributeType::UInt64:
      return quint64(row.columnInt64(column));
    case ZPHAttributeType::Double:
      return row.columnDouble(column);
    case ZPHAttributeType::Bool:
      return row.columnInt64(column) != 0;
    case ZPHAttributeType::Date:
      return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(row.columnDouble(column) * 1000.0)), Qt::UTC);
  }
  return QVariant();
}

QString jsonRowList(const QSet<qint64>& rows)
{
  QByteArray json = "[";
  for (const qint64 row : rows) {
    if (json.size() > 1)
      json += ',';
    json += QByteArray::number(row);
  }
  json += ']';
  return QString::fromLatin1(json);
}

void collectKeyPaths(const ZPHPredicate& predicate, QStringList* keyPaths)
{
  switch (predicate.kind()) {
    case ZPHPredicate::Kind::Comparison:
      keyPaths->append(predicate.keyPath());
      return;
    case ZPHPredicate::Kind::And:
    case ZPHPredicate::Kind::Or:
    case ZPHPredicate::Kind::Not:
      for (const ZPHPredicate& child : predicate.subpredicates()) collectKeyPaths(child, keyPaths);
      return;
    default:
      return;
  }
}

bool QueryBuilder::build(const ZPHFetchRequest& request, bool withOrderAndLimit, ZPHError* error)
{
  QByteArrayList conditions;
  if (m_entity != m_entity->rootEntity() && m_entity->hasHierarchy()) {
    QByteArrayList codes;
    for (const ZPHEntityDescription* entity : m_entity->selfAndDescendants())
      codes.append(QByteArray::number(entity->entityCode()));
    // Without statistics SQLite rates the entity column's index as good as
    // any other, and may walk every row of the entity through it (every
    // feed, to find some by their addresses). Where the predicate compares
    // a column of its own index for equality or membership, the "+" keeps
    // the entity column from being used as an index, so that index is. For
    // one value both walks give the rows in row order; for several, in the
    // order of that index.
    const bool byOtherIndex = codes.size() == 1 && hasIndexedEquality(request.predicate);
    conditions.append(QByteArray(byOtherIndex ? "+" : "") + "t0._entity IN (" + codes.join(',') + ")");
  }
  QByteArray where;
  if (!compile(request.predicate, &where, error))
    return false;
  if (where != "1")
    conditions.append(where);
  m_where = conditions.isEmpty() ? QByteArray() : " WHERE " + conditions.join(" AND ");
  if (withOrderAndLimit) {
    QByteArrayList order;
    for (const ZPHSortDescriptor& sort : request.sortDescriptors) {
      QByteArray column;
      if (!resolve(sort.keyPath, &column, nullptr)) {
        return ZPHSetError(error, keyPathError(m_entity->name(), sort.keyPath));
      }
      m_sortColumns.append(column);
      order.append(column + (sort.ascending ? " ASC" : " DESC"));
    }
    if (!order.isEmpty())
      m_tail += " ORDER BY " + order.join(", ");
    if (request.fetchLimit > 0)
      m_tail += " LIMIT " + QByteArray::number(request.fetchLimit);
  }
  return true;
}

bool QueryBuilder::hasIndexedEquality(const ZPHPredicate& predicate) const
{
  switch (predicate.kind()) {
    case ZPHPredicate::Kind::And:
      for (const ZPHPredicate& child : predicate.subpredicates()) {
        if (hasIndexedEquality(child))
          return true;
      }
      return false;
    case ZPHPredicate::Kind::Comparison:
      break;
    default:
      return false;
  }
  if ((predicate.op() != ZPHPredicate::Operator::Equal && predicate.op() != ZPHPredicate::Operator::In) ||
      !predicate.variableName().isEmpty() || predicate.keyPath().contains(u'.'))
    return false;
  auto [entity, index] = findProperty(m_entity, predicate.keyPath());
  if (entity == nullptr || !entity->isStored(index))
    return false;
  // Attributes marked indexed and stored links (foreign keys) have one.
  return entity->isAttribute(index) ? entity->attribute(index).indexed : true;
}

bool QueryBuilder::resolve(const QString& keyPath, QByteArray* column, bool* isRelationship, bool* isText,
                           std::pair<const ZPHEntityDescription*, int>* target)
{
  // The object itself, in a predicate: its identifier, as a link to it.
  if (keyPath == QLatin1String("self") && target == nullptr) {
    *column = "t0.id";
    if (isRelationship)
      *isRelationship = false;
    if (isText)
      *isText = false;
    return true;
  }
  const QStringList parts = keyPath.split(u'.');
  if (parts.size() > 2)
    return false;
  auto [entity, index] = findProperty(m_entity, parts[0]);
  if (entity == nullptr || !(entity->isStored(index) || entity->isUnstoredToOne(index)))
    return false;
  if (parts.size() == 1) {
    if (target)
      *target = {entity, index};
    *column = columnExpression(entity, index, "t0");
    if (isRelationship)
      *isRelationship = entity->isRelationship(index);
    if (isText)
      *isText = entity->isAttribute(index) && entity->attribute(index).type == ZPHAttributeType::String;
    return true;
  }
  if (!entity->isRelationship(index))
    return false;
  const ZPHEntityDescription* destination = entity->destination(index);
  auto [targetEntity, targetIndex] = findProperty(destination, parts[1]);
  if (targetEntity == nullptr || !(targetEntity->isStored(targetIndex) || targetEntity->isUnstoredToOne(targetIndex)))
    return false;
  const QString& joinKey = parts[0];
  QByteArray alias = m_joinAliases.value(joinKey);
  if (alias.isEmpty()) {
    alias = "t" + QByteArray::number(m_joinAliases.size() + 1);
    m_joinAliases.insert(joinKey, alias);
    const QByteArray on = entity->isStored(index)
                              ? alias + ".id = t0." + entity->quotedColumn(index)
                              : alias + "." + destination->quotedColumn(entity->inverseIndex(index)) + " = t0.id";
    m_joins += " LEFT JOIN " + destination->quotedTableName() + " " + alias + " ON " + on;
  }
  if (target)
    *target = {targetEntity, targetIndex};
  *column = columnExpression(targetEntity, targetIndex, alias);
  if (isRelationship)
    *isRelationship = targetEntity->isRelationship(targetIndex);
  if (isText)
    *isText =
        targetEntity->isAttribute(targetIndex) && targetEntity->attribute(targetIndex).type == ZPHAttributeType::String;
  return true;
}

QByteArray QueryBuilder::columnExpression(const ZPHEntityDescription* entity, int index, const QByteArray& alias)
{
  if (entity->isStored(index))
    return alias + "." + entity->quotedColumn(index);
  const ZPHEntityDescription* destination = entity->destination(index);
  return "(SELECT x.id FROM " + destination->quotedTableName() + " x WHERE x." +
         destination->quotedColumn(entity->inverseIndex(index)) + " = " + alias + ".id LIMIT 1)";
}

bool QueryBuilder::compile(const ZPHPredicate& predicate, QByteArray* sql, ZPHError* error)
{
  switch (predicate.kind()) {
    case ZPHPredicate::Kind::True:
      *sql = "1";
      return true;
    case ZPHPredicate::Kind::False:
      *sql = "0";
      return true;
    case ZPHPredicate::Kind::Not: {
      QByteArray inner;
      if (!compile(predicate.subpredicates().value(0), &inner, error))
        return false;
      // A comparison with null is unknown in SQL and false in memory.
      *sql = "(NOT coalesce(" + inner + ", 0))";
      return true;
    }
    case ZPHPredicate::Kind::And:
    case ZPHPredicate::Kind::Or: {
      const bool isAnd = predicate.kind() == ZPHPredicate::Kind::And;
      const QList<ZPHPredicate> children = predicate.subpredicates();
      if (children.isEmpty()) {
        *sql = isAnd ? "1" : "0";
        return true;
      }
      QByteArrayList parts;
      for (const ZPHPredicate& child : children) {
        QByteArray part;
        if (!compile(child, &part, error))
          return false;
        parts.append(part);
      }
      *sql = "(" + parts.join(isAnd ? " AND " : " OR ") + ")";
      return true;
    }
    case ZPHPredicate::Kind::Comparison:
      break;
  }
  QByteArray column;
  bool isText = false;
  if (!resolve(predicate.keyPath(), &column, nullptr, &isText))
    return ZPHSetError(error, keyPathError(m_entity->name(), predicate.keyPath()));
  if (!predicate.variableName().isEmpty()) {
    return ZPHSetError(
        error, ZPHObjectGraphError(
                   ZPHObjectGraphSQLiteError,
                   QStringLiteral("The predicate %1 has an unfilled variable.").arg(predicate.predicateFormat())));
  }
  const ZPHPredicate::Operator op = predicate.op();
  if (op == ZPHPredicate::Operator::In) {
    QVariantList values;
    for (const QVariant& value : predicate.value().toList()) {
      const QVariant comparable = ZPHComparableValue(value);
      if (comparable.isValid())
        values.append(comparable);
    }
    if (values.isEmpty()) {
      *sql = "0";
      return true;
    }
    if (values.size() <= MaxInlineListValues) {
      *sql = "(" + column + " IN (" + placeholders(values.size()) + "))";
      m_bindings.append(values);
      return true;
    }
    // One JSON array for the lot. JSON texts end at U+0000, so the rare
    // text that holds one keeps a parameter of its own.
    QByteArray json = "[";
    QVariantList ownParameters;
    for (const QVariant& value : std::as_const(values)) {
      if (value.typeId() == QMetaType::QString && value.toString().contains(QChar(0))) {
        ownParameters.append(value);
        continue;
      }
      if (json.size() > 1)
        json += ',';
      appendJSONValue(json, value);
    }
    json += ']';
    // A list of parameters takes a text column's affinity, turning numbers
    // into their text; a subquery's values do not, so the cast does it.
    *sql = "(" + column +
           (isText ? " IN (SELECT CAST(value AS TEXT) FROM json_each(?))" : " IN (SELECT value FROM json_each(?))");
    m_bindings.append(QString::fromUtf8(json));
    if (!ownParameters.isEmpty()) {
      *sql += " OR " + column + " IN (" + placeholders(ownParameters.size()) + ")";
      m_bindings.append(ownParameters);
    }
    *sql += ")";
    return true;
  }
  if (op == ZPHPredicate::Operator::Contains) {
    const ZPHPredicate::ComparisonOptions options = predicate.options();
    const QString folded = ZPHPredicate::foldedForComparison(predicate.value().toString(), options);
    if (folded.isEmpty()) {
      *sql = "0";  // an empty text is found nowhere
    } else if (!(options & ZPHPredicate::CaseInsensitive || options & ZPHPredicate::DiacriticInsensitive)) {
      *sql = "(instr(" + column + ", ?) > 0)";
      m_bindings.append(folded);
    } else {
      *sql = "zph_contains(" + column + ", ?, " + QByteArray::number(options.toInt()) + ")";
      m_bindings.append(folded);
    }
    return true;
  }
  const QVariant value = ZPHComparableValue(predicate.value());
  if (!value.isValid()) {
    if (op == ZPHPredicate::Operator::Equal)
      *sql = "(" + column + " IS NULL)";
    else if (op == ZPHPredicate::Operator::NotEqual)
      *sql = "(" + column + " IS NOT NULL)";
    else
      *sql = "0";
    return true;
  }
  static const char* const operators[] = {" = ", " IS NOT ", " < ", " <= ", " > ", " >= "};
  *sql = "(" + column + operators[int(op)] + "?)";
  m_bindings.append(value);
  return true;
}

QByteArray QueryBuilder::whereAnd(const QByteArray& condition) const
{
  return m_where.isEmpty() ? " WHERE " + condition : m_where + " AND " + condition;
}

void QueryBuilder::bind(ZPHSQLiteStatement& statement) const
{
  for (int i = 0; i < m_bindings.size(); ++i) statement.bindVariant(i + 1, m_bindings.at(i));
}

}  // namespace ZPHObjectGraphSQL
