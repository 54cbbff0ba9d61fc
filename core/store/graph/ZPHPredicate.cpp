#include "store/graph/ZPHPredicate.h"

#include "store/graph/ZPHEntityDescription.h"
#include "store/graph/ZPHManagedObject.h"
#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QDateTime>
#include <QtCore/QSet>
#include <QtCore/QStringList>

#include <atomic>
#include <optional>

struct ZPHPredicate::Node {
  Kind kind = Kind::True;
  Operator op = Operator::Equal;
  QString keyPath;
  QVariant value;
  QString variable;
  ZPHPredicate::ComparisonOptions options;
  QList<ZPHPredicate> children;
  // For an IN list of texts only (nulls match nothing): the texts, so that
  // judging an object is one look-up rather than a walk of the list.
  bool inListIsText = false;
  QSet<QString> inTexts;
  // The value as comparisons take it, worked out once.
  QVariant comparable;
  // The key path names a property of the object itself (no hop).
  bool ownProperty = false;
  // Its index in the entity last judged, looked up by name once per entity
  // rather than once per object (-1: not yet). Shared between threads: a
  // stale index is caught by its name.
  struct CachedIndex {
    std::atomic<int> index{-1};
    CachedIndex() = default;
    CachedIndex(const CachedIndex&) {}
    CachedIndex& operator=(const CachedIndex&) { return *this; }
  };
  mutable CachedIndex cachedIndex;
  // The index of the own attribute the key path names in `entity`, or -1.
  int attributeIndex(const ZPHEntityDescription* entity) const
  {
    const int cached = cachedIndex.index.load(std::memory_order_relaxed);
    if (entity->isAttribute(cached) && entity->attribute(cached).name == keyPath)
      return cached;
    const int index = entity->indexOfProperty(keyPath);
    if (!entity->isAttribute(index))
      return -1;
    cachedIndex.index.store(index, std::memory_order_relaxed);
    return index;
  }
};

ZPHPredicate::ZPHPredicate() = default;

ZPHPredicate ZPHPredicate::falsePredicate()
{
  auto node = std::make_shared<Node>();
  node->kind = Kind::False;
  return ZPHPredicate(std::move(node));
}

ZPHPredicate ZPHPredicate::compare(const QString& keyPath, Operator op, const QVariant& value)
{
  auto node = std::make_shared<Node>();
  node->kind = Kind::Comparison;
  node->op = op;
  node->keyPath = keyPath;
  node->value = value;
  node->comparable = ZPHComparableValue(value);
  node->ownProperty = !keyPath.contains(u'.');
  if (op == Operator::In) {
    node->inListIsText = true;
    for (const QVariant& candidate : value.toList()) {
      const QVariant comparable = ZPHComparableValue(candidate);
      if (!comparable.isValid())
        continue;
      if (comparable.typeId() != QMetaType::QString) {
        node->inListIsText = false;
        node->inTexts.clear();
        break;
      }
      node->inTexts.insert(comparable.toString());
    }
  }
  return ZPHPredicate(std::move(node));
}

ZPHPredicate ZPHPredicate::contains(const QString& keyPath, const QString& text, ComparisonOptions options)
{
  auto node = std::make_shared<Node>();
  node->kind = Kind::Comparison;
  node->op = Operator::Contains;
  node->keyPath = keyPath;
  node->value = text.isNull() ? QString(QLatin1String("")) : text;
  node->options = options;
  return ZPHPredicate(std::move(node));
}

ZPHPredicate ZPHPredicate::equalToObject(const QString& keyPath, const ZPHManagedObject* object)
{
  return compare(keyPath, Operator::Equal, object ? QVariant::fromValue(object->objectID()) : QVariant());
}

ZPHPredicate ZPHPredicate::compareWithVariable(const QString& keyPath, Operator op, const QString& variableName)
{
  auto node = std::make_shared<Node>();
  node->kind = Kind::Comparison;
  node->op = op;
  node->keyPath = keyPath;
  node->variable = variableName;
  return ZPHPredicate(std::move(node));
}

ZPHPredicate ZPHPredicate::andPredicate(const QList<ZPHPredicate>& subpredicates)
{
  auto node = std::make_shared<Node>();
  node->kind = Kind::And;
  node->children = subpredicates;
  return ZPHPredicate(std::move(node));
}

ZPHPredicate ZPHPredicate::orPredicate(const QList<ZPHPredicate>& subpredicates)
{
  auto node = std::make_shared<Node>();
  node->kind = Kind::Or;
  node->children = subpredicates;
  return ZPHPredicate(std::move(node));
}

ZPHPredicate ZPHPredicate::notPredicate(const ZPHPredicate& subpredicate)
{
  auto node = std::make_shared<Node>();
  node->kind = Kind::Not;
  node->children = {subpredicate};
  return ZPHPredicate(std::move(node));
}

ZPHPredicate operator&&(const ZPHPredicate& a, const ZPHPredicate& b) { return ZPHPredicate::andPredicate({a, b}); }

ZPHPredicate operator||(const ZPHPredicate& a, const ZPHPredicate& b) { return ZPHPredicate::orPredicate({a, b}); }

ZPHPredicate operator!(const ZPHPredicate& a) { return ZPHPredicate::notPredicate(a); }

ZPHPredicate ZPHPredicate::withSubstitutionVariables(const QVariantMap& variables) const
{
  if (!m_node)
    return *this;
  switch (m_node->kind) {
    case Kind::Comparison:
      if (m_node->variable.isEmpty())
        return *this;
      if (m_node->op == Operator::Contains)
        return contains(m_node->keyPath, variables.value(m_node->variable).toString(), m_node->options);
      return compare(m_node->keyPath, m_node->op, variables.value(m_node->variable));
    case Kind::And:
    case Kind::Or:
    case Kind::Not: {
      auto node = std::make_shared<Node>(*m_node);
      for (ZPHPredicate& child : node->children) child = child.withSubstitutionVariables(variables);
      return ZPHPredicate(std::move(node));
    }
    default:
      return *this;
  }
}

ZPHPredicate::Kind ZPHPredicate::kind() const { return m_node ? m_node->kind : Kind::True; }

ZPHPredicate::Operator ZPHPredicate::op() const { return m_node ? m_node->op : Operator::Equal; }

QString ZPHPredicate::keyPath() const { return m_node ? m_node->keyPath : QString(); }

QVariant ZPHPredicate::value() const { return m_node ? m_node->value : QVariant(); }

QString ZPHPredicate::variableName() const { return m_node ? m_node->variable : QString(); }

ZPHPredicate::ComparisonOptions ZPHPredicate::options() const { return m_node ? m_node->options : ComparisonOptions(); }

QString ZPHPredicate::foldedForComparison(const QString& text, ComparisonOptions options)
{
  if (text.isNull() || !(options & CaseInsensitive || options & DiacriticInsensitive))
    return text;
  // ASCII has nothing to decompose and no marks: lower case is the fold.
  const qsizetype n = text.size();
  const char16_t* in = reinterpret_cast<const char16_t*>(text.constData());
  qsizetype i = 0;
  while (i < n && in[i] < 0x80) ++i;
  if (i == n) {
    if (!(options & CaseInsensitive))
      return text;
    QString result(n, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(result.data());
    for (qsizetype j = 0; j < n; ++j) out[j] = in[j] >= u'A' && in[j] <= u'Z' ? char16_t(in[j] + 32) : in[j];
    return result;
  }
  QString folded = text.normalized(QString::NormalizationForm_D);
  if (options & DiacriticInsensitive) {
    qsizetype written = 0;
    QChar* data = folded.data();
    for (qsizetype j = 0; j < folded.size(); ++j) {
      if (data[j].category() != QChar::Mark_NonSpacing)
        data[written++] = data[j];
    }
    folded.truncate(written);
  }
  if (options & CaseInsensitive)
    folded = folded.toCaseFolded();
  return folded;
}

bool ZPHPredicate::foldedContains(QStringView text, QStringView folded, ComparisonOptions options)
{
  if (folded.isEmpty())
    return false;
  if (!(options & CaseInsensitive || options & DiacriticInsensitive))
    return text.contains(folded);
  const QString haystack = foldedForComparison(text.toString(), options);
  if (options & DiacriticInsensitive)
    return haystack.contains(folded);
  // Marks count: a match must not cut a letter from the marks that follow it
  // ("cafe" is not in "café").
  const auto isMark = [](QChar c) {
    const QChar::Category category = c.category();
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing;
  };
  for (qsizetype at = haystack.indexOf(folded); at >= 0; at = haystack.indexOf(folded, at + 1)) {
    const qsizetype end = at + folded.size();
    if (end >= haystack.size() || !isMark(haystack.at(end)))
      return true;
  }
  return false;
}

QList<ZPHPredicate> ZPHPredicate::subpredicates() const { return m_node ? m_node->children : QList<ZPHPredicate>(); }

QVariant ZPHComparableValue(const QVariant& value)
{
  if (!value.isValid() || value.isNull())
    return QVariant();
  switch (value.typeId()) {
    case QMetaType::QString:
      return value;
    case QMetaType::Bool:
      return QVariant(qint64(value.toBool() ? 1 : 0));
    case QMetaType::Double:
    case QMetaType::Float:
      return QVariant(value.toDouble());
    case QMetaType::QDateTime:
      return QVariant(double(value.toDateTime().toMSecsSinceEpoch()) / 1000.0);
    case QMetaType::ULongLong:
    case QMetaType::ULong:
      return QVariant(qint64(value.toULongLong()));
    default:
      break;
  }
  if (value.canConvert<ZPHManagedObjectID>() && value.typeId() == qMetaTypeId<ZPHManagedObjectID>())
    return QVariant(value.value<ZPHManagedObjectID>().rowID());
  if (value.typeId() == qMetaTypeId<ZPHManagedObject*>()) {
    const ZPHManagedObject* object = value.value<ZPHManagedObject*>();
    return object ? QVariant(object->objectID().rowID()) : QVariant();
  }
  bool ok = false;
  const qint64 integer = value.toLongLong(&ok);
  if (ok)
    return QVariant(integer);
  return QVariant(value.toString());
}

int ZPHCompareValues(const QVariant& a, const QVariant& b)
{
  const bool aNull = !a.isValid();
  const bool bNull = !b.isValid();
  if (aNull || bNull)
    return aNull == bNull ? 0 : (aNull ? -1 : 1);
  const bool aString = a.typeId() == QMetaType::QString;
  const bool bString = b.typeId() == QMetaType::QString;
  if (aString && bString) {
    const int c = QString::compare(a.toString(), b.toString(), Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  if (aString != bString)  // numbers sort before text, as in SQLite
    return aString ? 1 : -1;
  if (a.typeId() == QMetaType::LongLong && b.typeId() == QMetaType::LongLong) {
    const qint64 x = a.toLongLong();
    const qint64 y = b.toLongLong();
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  const double x = a.toDouble();
  const double y = b.toDouble();
  return x < y ? -1 : (x > y ? 1 : 0);
}

bool ZPHPredicate::requiredTexts(QString* keyPath, QList<QString>* texts) const
{
  switch (kind()) {
    case Kind::And:
      for (const ZPHPredicate& child : m_node->children) {
        if (child.requiredTexts(keyPath, texts))
          return true;
      }
      return false;
    case Kind::Comparison:
      break;
    default:
      return false;
  }
  if (!m_node->ownProperty || !m_node->variable.isEmpty() || m_node->keyPath == QLatin1String("self"))
    return false;
  if (m_node->op == Operator::Equal && m_node->comparable.typeId() == QMetaType::QString) {
    *keyPath = m_node->keyPath;
    *texts = {m_node->comparable.toString()};
    return true;
  }
  if (m_node->op == Operator::In && m_node->inListIsText) {
    *keyPath = m_node->keyPath;
    *texts = m_node->inTexts.values();
    return true;
  }
  return false;
}

bool ZPHPredicate::evaluateWithObject(const ZPHManagedObject* object) const
{
  switch (kind()) {
    case Kind::True:
      return true;
    case Kind::False:
      return false;
    case Kind::And:
      for (const ZPHPredicate& child : m_node->children) {
        if (!child.evaluateWithObject(object))
          return false;
      }
      return true;
    case Kind::Or:
      for (const ZPHPredicate& child : m_node->children) {
        if (child.evaluateWithObject(object))
          return true;
      }
      return false;
    case Kind::Not:
      return !m_node->children.value(0).evaluateWithObject(object);
    case Kind::Comparison:
      break;
  }
  if (m_node->op == Operator::Contains) {
    const QVariant text = object->valueForKeyPath(m_node->keyPath);
    if (!text.isValid() || text.isNull())
      return false;
    return foldedContains(text.toString(), foldedForComparison(m_node->value.toString(), m_node->options),
                          m_node->options);
  }
  // A text attribute of the object compared for (in)equality with a text,
  // or looked up in a list of texts: judged in place, as the general path
  // below would.
  const bool textEquality = (m_node->op == Operator::Equal || m_node->op == Operator::NotEqual) &&
                            m_node->comparable.typeId() == QMetaType::QString;
  const bool textList = m_node->op == Operator::In && m_node->inListIsText;
  if ((textEquality || textList) && m_node->ownProperty && object->entity() != nullptr) {
    const int index = m_node->attributeIndex(object->entity());
    if (index >= 0) {
      const QVariant& value = object->primitiveValue(index);
      if (!value.isValid() || value.isNull()) {  // no value (a null text counts as none)
        return m_node->op == Operator::NotEqual;
      }
      if (value.typeId() == QMetaType::QString) {
        const QString& text = *static_cast<const QString*>(value.constData());
        if (textList)
          return m_node->inTexts.contains(text);
        const bool equal = text == *static_cast<const QString*>(m_node->comparable.constData());
        return m_node->op == Operator::Equal ? equal : !equal;
      }
    }
  }
  // An integer or boolean attribute of the object compared with an
  // integer: judged in place too.
  if (m_node->op != Operator::In && m_node->comparable.typeId() == QMetaType::LongLong && m_node->ownProperty &&
      object->entity() != nullptr) {
    const int index = m_node->attributeIndex(object->entity());
    if (index >= 0) {
      const QVariant& value = object->primitiveValue(index);
      std::optional<qint64> left;
      if (!value.isValid() || value.isNull()) {
        // Null equals nothing and orders with nothing.
        return m_node->op == Operator::NotEqual;
      }
      switch (value.typeId()) {
        case QMetaType::Bool:
          left = *static_cast<const bool*>(value.constData()) ? 1 : 0;
          break;
        case QMetaType::Int:
          left = *static_cast<const int*>(value.constData());
          break;
        case QMetaType::LongLong:
          left = *static_cast<const qint64*>(value.constData());
          break;
        default:
          break;
      }
      if (left) {
        const qint64 right = *static_cast<const qint64*>(m_node->comparable.constData());
        switch (m_node->op) {
          case Operator::Equal:
            return *left == right;
          case Operator::NotEqual:
            return *left != right;
          case Operator::Less:
            return *left < right;
          case Operator::LessOrEqual:
            return *left <= right;
          case Operator::Greater:
            return *left > right;
          case Operator::GreaterOrEqual:
            return *left >= right;
          default:
            break;
        }
      }
    }
  }
  const QVariant left = ZPHComparableValue(object->valueForKeyPath(m_node->keyPath));
  if (m_node->op == Operator::In) {
    // Texts equal only texts (numbers sort apart from them).
    if (m_node->inListIsText)
      return left.typeId() == QMetaType::QString && m_node->inTexts.contains(left.toString());
    for (const QVariant& candidate : m_node->value.toList()) {
      const QVariant right = ZPHComparableValue(candidate);
      if (left.isValid() && right.isValid() && ZPHCompareValues(left, right) == 0)
        return true;
    }
    return false;
  }
  const QVariant& right = m_node->comparable;
  switch (m_node->op) {
    case Operator::Equal:
      return left.isValid() == right.isValid() && ZPHCompareValues(left, right) == 0;
    case Operator::NotEqual:
      return !(left.isValid() == right.isValid() && ZPHCompareValues(left, right) == 0);
    default:
      break;
  }
  if (!left.isValid() || !right.isValid())  // ordering with null is never true
    return false;
  const int c = ZPHCompareValues(left, right);
  switch (m_node->op) {
    case Operator::Less:
      return c < 0;
    case Operator::LessOrEqual:
      return c <= 0;
    case Operator::Greater:
      return c > 0;
    case Operator::GreaterOrEqual:
      return c >= 0;
    default:
      return false;
  }
}

QString ZPHPredicate::predicateFormat() const
{
  static const char* const operators[] = {"==", "!=", "<", "<=", ">", ">=", "IN", "CONTAINS"};
  switch (kind()) {
    case Kind::True:
      return QStringLiteral("TRUEPREDICATE");
    case Kind::False:
      return QStringLiteral("FALSEPREDICATE");
    case Kind::Not:
      return QStringLiteral("NOT %1").arg(m_node->children.value(0).predicateFormat());
    case Kind::And:
    case Kind::Or: {
      QStringList parts;
      for (const ZPHPredicate& child : m_node->children) parts.append(child.predicateFormat());
      return QLatin1Char('(') + parts.join(kind() == Kind::And ? QStringLiteral(" && ") : QStringLiteral(" || ")) +
             QLatin1Char(')');
    }
    case Kind::Comparison:
      break;
  }
  QString right;
  if (!m_node->variable.isEmpty())
    right = QLatin1Char('$') + m_node->variable;
  else if (!m_node->value.isValid() || m_node->value.isNull())
    right = QStringLiteral("nil");
  else if (m_node->value.typeId() == QMetaType::QString)
    right = QLatin1Char('"') + m_node->value.toString() + QLatin1Char('"');
  else if (m_node->value.typeId() == QMetaType::QVariantList)
    right = QStringLiteral("{%1 values}").arg(m_node->value.toList().size());
  else
    right = ZPHComparableValue(m_node->value).toString();
  QString op = QLatin1String(operators[int(m_node->op)]);
  if (m_node->op == Operator::Contains && m_node->options) {
    op += QLatin1Char('[');
    if (m_node->options & CaseInsensitive)
      op += QLatin1Char('c');
    if (m_node->options & DiacriticInsensitive)
      op += QLatin1Char('d');
    op += QLatin1Char(']');
  }
  return QStringLiteral("(%1 %2 %3)").arg(m_node->keyPath, op, right);
}
