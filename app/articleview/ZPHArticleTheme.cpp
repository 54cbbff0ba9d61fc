#include "articleview/ZPHArticleTheme.h"

#include "foundation/CBString.h"
#include "platform/ZPHUserDefaults.h"
#include "themes/ZPHTheme.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QUrl>

const QString ZPHArticleTheme::SubthemeStylesheetsKey = QStringLiteral("ZPHSubthemeStylesheetsKey");

namespace {

const QString kInfoFileName = QStringLiteral("Info.json");
// Theme files are small; anything bigger is not one.
constexpr qint64 kMaximumInfoFileSize = 1024 * 1024;

bool isPlainFileName(const QString& name)
{
  return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
         !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(u'\0'));
}

}  // namespace

ZPHArticleTheme::ZPHArticleTheme(const QString& folderPath, ZPHUserDefaults* defaults)
    : m_folderPath(folderPath),
      m_nameForDisplay(QFileInfo(QDir::cleanPath(folderPath)).completeBaseName()),
      m_cssFilePath(QDir(folderPath).filePath(QStringLiteral("stylesheet.css"))),
      m_defaults(defaults)
{
  m_subthemeStylesheetFilenames = arrayOfStringsForKey(SubthemeStylesheetsKey).value_or(QStringList());
}

QString ZPHArticleTheme::readOnce(const QString& fileName, QString* stored) const
{
  if (!stored->isEmpty())
    return *stored;
  const QString path = QDir(m_folderPath).filePath(fileName);
  if (!QFileInfo(path).isFile())
    return {};
  const QString text = cb_stringWithContentsOfUTF8EncodedFile(path);
  if (text.isEmpty())
    return {};
  *stored = text;
  return text;
}

QString ZPHArticleTheme::htmlTemplate() { return readOnce(QStringLiteral("template.html"), &m_htmlTemplate); }

QString ZPHArticleTheme::themeScript() { return readOnce(QStringLiteral("theme.js"), &m_themeScript); }

QString ZPHArticleTheme::CSSFilePathForSubthemeIndex(int index) const
{
  if (index < 0 || index >= subthemeCount())
    return {};
  return QDir(m_folderPath).filePath(m_subthemeStylesheetFilenames.at(index));
}

QString ZPHArticleTheme::activeSubthemeName() const
{
  ZPHUserDefaults& defaults = m_defaults != nullptr ? *m_defaults : ZPHUserDefaults::standardUserDefaults();
  const qint64 index = defaults.integerForKey(ZPHSubthemeStyleIndexKey);
  if (index < 0 || index >= subthemeCount())
    return QStringLiteral("");
  return QFileInfo(m_subthemeStylesheetFilenames.at(int(index))).completeBaseName();
}

std::optional<QStringList> ZPHArticleTheme::arrayOfStringsForKey(const QString& key) const
{
  QFile file(QDir(m_folderPath).filePath(kInfoFileName));
  if (!file.open(QIODevice::ReadOnly) || file.size() > kMaximumInfoFileSize)
    return std::nullopt;
  const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
  if (!document.isObject())
    return std::nullopt;
  const QJsonValue value = document.object().value(key);
  if (!value.isArray())
    return std::nullopt;
  QStringList strings;
  for (const QJsonValue& element : value.toArray()) {
    if (!element.isString() || !isPlainFileName(element.toString()))
      return std::nullopt;
    strings.append(element.toString());
  }
  return strings;
}

QString ZPHArticleTheme::stylesheetURLStringForPath(const QString& path)
{
  const QString url = QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded());
  if (!url.startsWith(QLatin1String("file://")))
    return url;
  return QStringLiteral("cbstylesheet://") + url.mid(7);
}

QString ZPHArticleTheme::stylesheetURLStringForSubtheme(const QString& name) const
{
  QString found;
  for (int index = 0; index < subthemeCount(); ++index) {
    if (QFileInfo(m_subthemeStylesheetFilenames.at(index)).completeBaseName() == name)
      found = stylesheetURLStringForPath(CSSFilePathForSubthemeIndex(index));
  }
  return found;
}

QString ZPHArticleTheme::activeSubthemeStylesheetURLString() const
{
  const QString name = activeSubthemeName();
  if (name.isEmpty())
    return {};
  return stylesheetURLStringForSubtheme(name);
}
