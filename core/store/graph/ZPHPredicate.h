#pragma once

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QVariant>
#include <QtCore/QVariantMap>

#include <memory>

class ZPHManagedObject;

// A condition on the objects of an entity: comparisons of a key path
// ("title", or one hop through a to-one relationship, "metadata.read") with
// a value, joined by and, or and not. Values are never pasted into SQL: the
// fetch binds them as parameters. A value may be a substitution variable
// ($NAME), filled by withSubstitutionVariables(). Immutable and cheap to
// copy; safe to share between threads.
//
// Values: strings, numbers, booleans (compared as 0 and 1), dates, null
// (QVariant()), objects (as QVariant of ZPHManagedObject*) and object
// identifiers (for relationships), and for In a QVariantList of those.
//
// Contains asks whether a text attribute holds a text: exactly, ignoring
// case, or ignoring case and diacritics. The text is bound as a parameter
// (never a LIKE pattern, so "%" and "_" are plain characters); an empty
// text is found nowhere, and a null attribute holds nothing.
class ZPHPredicate {
public:
  enum class Kind { True, False, Comparison, And, Or, Not };
  enum class Operator { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual, In, Contains };
  enum ComparisonOption { CaseInsensitive = 0x1, DiacriticInsensitive = 0x2 };
  Q_DECLARE_FLAGS(ComparisonOptions, ComparisonOption)

  // The always-true predicate (as a default-constructed one).
  ZPHPredicate();
  static ZPHPredicate truePredicate() { return ZPHPredicate(); }
  static ZPHPredicate falsePredicate();

  static ZPHPredicate compare(const QString& keyPath, Operator op, const QVariant& value);
  static ZPHPredicate equal(const QString& keyPath, const QVariant& value)
  {
    return compare(keyPath, Operator::Equal, value);
  }
  // A key path names an attribute or to-one relationship, with hops
  // ("metadata.read"); "self" names the object itself (compared by its
  // identifier: ZPHPredicate::in(QStringLiteral("self"), ids) finds objects by
  // identifier).
  // keyPath == the object (a relationship), by its identifier.
  static ZPHPredicate equalToObject(const QString& keyPath, const ZPHManagedObject* object);
  static ZPHPredicate in(const QString& keyPath, const QVariantList& values)
  {
    return compare(keyPath, Operator::In, values);
  }
  // keyPath CONTAINS text; [c] with CaseInsensitive, [cd] with both.
  static ZPHPredicate contains(const QString& keyPath, const QString& text, ComparisonOptions options = {});
  // keyPath <op> $variableName
  static ZPHPredicate compareWithVariable(const QString& keyPath, Operator op, const QString& variableName);

  static ZPHPredicate andPredicate(const QList<ZPHPredicate>& subpredicates);
  static ZPHPredicate orPredicate(const QList<ZPHPredicate>& subpredicates);
  static ZPHPredicate notPredicate(const ZPHPredicate& subpredicate);

  // Every $NAME replaced by variables[NAME] (null when missing).
  ZPHPredicate withSubstitutionVariables(const QVariantMap& variables) const;

  Kind kind() const;
  Operator op() const;
  QString keyPath() const;
  QVariant value() const;
  QString variableName() const;  // empty unless the value is a variable
  ComparisonOptions options() const;
  QList<ZPHPredicate> subpredicates() const;

  // When every object that matches holds one of a few texts in a text
  // attribute of its own (keyPath == text, keyPath IN texts, or an and of
  // predicates with one such): that key path and the texts, for a look-up
  // of the candidates. False otherwise.
  bool requiredTexts(QString* keyPath, QList<QString>* texts) const;

  // Evaluates against an object's current in-memory values.
  bool evaluateWithObject(const ZPHManagedObject* object) const;

  // "((feedURL == $VALUE) && (read == 1))", for logs and tests.
  QString predicateFormat() const;

  // The form in which Contains compares texts under the options: the
  // canonical decomposition, case-folded with CaseInsensitive, without
  // non-spacing marks with DiacriticInsensitive. Null for null.
  static QString foldedForComparison(const QString& text, ComparisonOptions options);
  // Whether `text` holds `folded` (a text already folded with the same
  // options); false for an empty `folded`.
  static bool foldedContains(QStringView text, QStringView folded, ComparisonOptions options);

  friend bool operator==(const ZPHPredicate& a, const ZPHPredicate& b) { return a.m_node == b.m_node; }

private:
  struct Node;
  explicit ZPHPredicate(std::shared_ptr<const Node> node) : m_node(std::move(node)) {}
  std::shared_ptr<const Node> m_node;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(ZPHPredicate::ComparisonOptions)

ZPHPredicate operator&&(const ZPHPredicate& a, const ZPHPredicate& b);
ZPHPredicate operator||(const ZPHPredicate& a, const ZPHPredicate& b);
ZPHPredicate operator!(const ZPHPredicate& a);

// Scalar form of a value for comparisons: null, qint64 (booleans, integers,
// object rows), double (also dates, in seconds since 1970) or QString.
QVariant ZPHComparableValue(const QVariant& value);
// -1, 0, 1; nulls sort first. Numbers compare with numbers, strings with
// strings.
int ZPHCompareValues(const QVariant& a, const QVariant& b);
