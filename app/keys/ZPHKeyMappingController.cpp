#include "keys/ZPHKeyMappingController.h"

#include "keys/SRKeyCodeTransformer.h"

#include <QtCore/QLocale>
#include <QtCore/QRegularExpression>

const QString ZPHKeyMappingController::Zephlin4SetName = QStringLiteral("Zephlin 4");
const QString ZPHKeyMappingController::Zephlin3SetName = QStringLiteral("Zephlin 3");

namespace {

QString languagePart(const QString& language)
{
  const qsizetype end = language.indexOf(QRegularExpression(QStringLiteral("[-_]")));
  return (end < 0 ? language : language.left(end)).toLower();
}

}  // namespace

ZPHKeyMappingController::ZPHKeyMappingController(const QString& firstUILanguage, const QString& resourceFolder,
                                                 QObject* parent)
    : FRNHKeyMappingController(resourceFolder, parent),
      m_english(languagePart(firstUILanguage.isNull() ? QLocale::system().uiLanguages().value(0) : firstUILanguage) ==
                QLatin1String("en"))
{
}

ZPHKeyMappingController* ZPHKeyMappingController::sharedMappingController()
{
  static ZPHKeyMappingController* const controller = new ZPHKeyMappingController;  // kept for the process
  return controller;
}

QKeySequence ZPHKeyMappingController::keySequenceForKeyEquivalent(int keyCode, quint64 modifierMask) const
{
  const QKeySequence plain = FRNHKeyMappingController::keySequenceForKeyEquivalent(keyCode, modifierMask);
  if (!m_english || plain.isEmpty() || !(modifierMask & ShiftKeyMask))
    return plain;
  const QKeyCombination combination = plain[0];
  if (combination.keyboardModifiers() & Qt::KeypadModifier)
    return plain;
  Qt::Key shifted;
  switch (combination.key()) {
    case Qt::Key_Equal:
      shifted = Qt::Key_Plus;
      break;
    case Qt::Key_BracketLeft:
      shifted = Qt::Key_BraceLeft;
      break;
    case Qt::Key_BracketRight:
      shifted = Qt::Key_BraceRight;
      break;
    default:
      return plain;
  }
  return QKeySequence(QKeyCombination(combination.keyboardModifiers() & ~Qt::ShiftModifier, shifted));
}

bool ZPHKeyMappingController::shouldSupportUnmodifiedSingleKeyShortcuts() const
{
  return keySetName() == Zephlin3SetName;
}

QList<QKeySequence> ZPHKeyMappingController::desktopKeysForIdentifier(const QString& identifier) const
{
  if (identifier == QLatin1String("toggleFullScreen:"))
    return {QKeySequence(Qt::Key_F11)};
  return {};
}
