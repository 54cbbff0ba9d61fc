#include "common/ZPHDesktopEntry.h"

#include "kit/ZPHInterfaceLog.h"

#include <QtCore/QCollator>
#include <QtCore/QDir>
#include <QtCore/QDirIterator>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QSet>
#include <QtCore/QStandardPaths>

namespace {

// An entry is a small file; a larger one is not read.
constexpr qint64 LargestDesktopEntry = 64 * 1024;
// Folders are walked this deep and this far at most.
constexpr int LargestEntryCount = 4096;

// The general escapes of a string value.
QString unescapedValue(const QString& value)
{
  QString out;
  out.reserve(value.size());
  for (qsizetype i = 0; i < value.size(); ++i) {
    const QChar c = value.at(i);
    if (c != u'\\' || i + 1 == value.size()) {
      out += c;
      continue;
    }
    const QChar next = value.at(++i);
    switch (next.unicode()) {
      case 's':
        out += u' ';
        break;
      case 'n':
        out += u'\n';
        break;
      case 't':
        out += u'\t';
        break;
      case 'r':
        out += u'\r';
        break;
      case '\\':
        out += u'\\';
        break;
      default:
        out += u'\\';
        out += next;
        break;
    }
  }
  return out;
}

QStringList listValue(const QString& value)
{
  QStringList list;
  for (const QString& part : value.split(u';', Qt::SkipEmptyParts)) {
    const QString trimmed = part.trimmed();
    if (!trimmed.isEmpty())
      list.append(trimmed);
  }
  return list;
}

bool isPlainDesktopFileID(const QString& id)
{
  return id.endsWith(QLatin1String(".desktop")) && id.size() > 8 && !id.contains(u'/') && !id.startsWith(u'.') &&
         !id.contains(QChar(0));
}

bool isExecutableProgram(const QString& program)
{
  if (program.isEmpty())
    return false;
  if (QFileInfo(program).isAbsolute()) {
    const QFileInfo info(program);
    return info.isFile() && info.isExecutable();
  }
  return !QStandardPaths::findExecutable(program).isEmpty();
}

}  // namespace

QStringList ZPHDesktopEntry::applicationFolders()
{
  QStringList folders;
  QString home = qEnvironmentVariable("XDG_DATA_HOME");
  if (home.isEmpty() || !QDir::isAbsolutePath(home))
    home = QDir::homePath() + QStringLiteral("/.local/share");
  folders.append(home + QStringLiteral("/applications"));
  QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
  if (dirs.isEmpty())
    dirs = QStringLiteral("/usr/local/share:/usr/share");
  for (const QString& dir : dirs.split(u':', Qt::SkipEmptyParts)) {
    if (QDir::isAbsolutePath(dir))
      folders.append(QDir::cleanPath(dir) + QStringLiteral("/applications"));
  }
  folders.removeDuplicates();
  return folders;
}

std::optional<ZPHDesktopEntry> ZPHDesktopEntry::fromFile(const QString& path, const QString& desktopFileID)
{
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > LargestDesktopEntry)
    return std::nullopt;
  ZPHDesktopEntry entry;
  entry.desktopFileID = desktopFileID;
  entry.path = path;
  bool sawGroup = false;
  bool inEntry = false;
  for (const QString& rawLine : QString::fromUtf8(file.read(LargestDesktopEntry)).split(u'\n')) {
    const QString line = rawLine.trimmed();
    if (line.isEmpty() || line.startsWith(u'#'))
      continue;
    if (line.startsWith(u'[')) {
      inEntry = line == QLatin1String("[Desktop Entry]");
      sawGroup = sawGroup || inEntry;
      continue;
    }
    const qsizetype equals = line.indexOf(u'=');
    if (!inEntry || equals <= 0)
      continue;
    const QString key = line.left(equals).trimmed();
    const QString value = line.mid(equals + 1).trimmed();
    if (key == QLatin1String("Name"))
      entry.name = unescapedValue(value);
    else if (key == QLatin1String("Exec"))
      entry.exec = value;  // unescaped when split
    else if (key == QLatin1String("TryExec"))
      entry.tryExec = unescapedValue(value);
    else if (key == QLatin1String("Icon"))
      entry.icon = unescapedValue(value);
    else if (key == QLatin1String("MimeType"))
      entry.mimeTypes = listValue(value);
    else if (key == QLatin1String("Categories"))
      entry.categories = listValue(value);
    else if (key == QLatin1String("Hidden"))
      entry.hidden = value == QLatin1String("true");
    else if (key == QLatin1String("NoDisplay"))
      entry.noDisplay = value == QLatin1String("true");
    else if (key == QLatin1String("Type"))
      entry.isApplication = value == QLatin1String("Application");
  }
  if (!sawGroup)
    return std::nullopt;
  return entry;
}

ZPHDesktopEntry ZPHDesktopEntry::entryWithID(const QString& desktopFileID)
{
  if (!isPlainDesktopFileID(desktopFileID))
    return {};
  // "vendor-app.desktop" may also live as "vendor/app.desktop".
  QStringList candidates{desktopFileID};
  for (qsizetype dash = desktopFileID.indexOf(u'-'); dash > 0; dash = desktopFileID.indexOf(u'-', dash + 1)) {
    QString nested = desktopFileID;
    nested[dash] = u'/';
    candidates.append(nested);
  }
  for (const QString& folder : applicationFolders()) {
    for (const QString& candidate : std::as_const(candidates)) {
      const QString path = QDir(folder).filePath(candidate);
      if (!QFileInfo(path).isFile())
        continue;
      if (std::optional<ZPHDesktopEntry> entry = fromFile(path, desktopFileID))
        return *entry;
      return {};
    }
  }
  return {};
}

QList<ZPHDesktopEntry> ZPHDesktopEntry::allEntries()
{
  QList<ZPHDesktopEntry> entries;
  QSet<QString> seen;
  int count = 0;
  for (const QString& folder : applicationFolders()) {
    const QDir root(folder);
    QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext() && count < LargestEntryCount) {
      const QString path = it.next();
      ++count;
      const QString id = root.relativeFilePath(path).replace(u'/', u'-');
      if (seen.contains(id))
        continue;
      seen.insert(id);
      if (std::optional<ZPHDesktopEntry> entry = fromFile(path, id))
        entries.append(*entry);
    }
  }
  return entries;
}

bool ZPHDesktopEntry::isUsable() const
{
  if (isNull() || !isApplication || hidden || noDisplay)
    return false;
  return tryExec.isEmpty() || isExecutableProgram(tryExec);
}

QString ZPHDesktopEntry::programPath() const
{
  const std::optional<QStringList> words = splitExecLine(exec);
  if (!words.has_value() || words->isEmpty())
    return {};
  const QString program = words->first();
  if (QFileInfo(program).isAbsolute())
    return isExecutableProgram(program) ? program : QString();
  return QStandardPaths::findExecutable(program);
}

bool ZPHDesktopEntry::takesURLs() const
{
  const std::optional<QStringList> words = splitExecLine(exec);
  if (!words.has_value())
    return false;
  for (const QString& word : *words) {
    if (word.contains(QLatin1String("%u")) || word.contains(QLatin1String("%U")))
      return true;
  }
  return false;
}

bool ZPHDesktopEntry::isWebBrowser() const
{
  return mimeTypes.contains(QStringLiteral("x-scheme-handler/http")) &&
         categories.contains(QStringLiteral("WebBrowser")) && takesURLs();
}

std::optional<QStringList> ZPHDesktopEntry::splitExecLine(const QString& exec)
{
  const QString line = unescapedValue(exec);
  QStringList words;
  QString word;
  bool inWord = false;
  bool quoted = false;
  for (qsizetype i = 0; i < line.size(); ++i) {
    const QChar c = line.at(i);
    if (quoted) {
      if (c == u'\\' && i + 1 < line.size()) {
        const QChar next = line.at(i + 1);
        if (next == u'"' || next == u'`' || next == u'$' || next == u'\\') {
          word += next;
          ++i;
          continue;
        }
      }
      if (c == u'"') {
        quoted = false;
        continue;
      }
      word += c;
      continue;
    }
    if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r') {
      if (inWord)
        words.append(word);
      word.clear();
      inWord = false;
      continue;
    }
    inWord = true;
    if (c == u'"') {
      quoted = true;
      continue;
    }
    word += c;
  }
  if (quoted)
    return std::nullopt;
  if (inWord)
    words.append(word);
  return words;
}

std::optional<QStringList> ZPHDesktopEntry::commandLineForURL(const QUrl& url) const
{
  const std::optional<QStringList> words = splitExecLine(exec);
  if (!words.has_value() || words->isEmpty())
    return std::nullopt;
  const QString address = QString::fromUtf8(url.toEncoded());
  QStringList arguments;
  bool tookURL = false;
  for (const QString& word : *words) {
    if (word == QLatin1String("%f") || word == QLatin1String("%F") || word == QLatin1String("%i") ||
        word == QLatin1String("%d") || word == QLatin1String("%D") || word == QLatin1String("%n") ||
        word == QLatin1String("%N") || word == QLatin1String("%v") || word == QLatin1String("%m"))
      continue;  // a code that stands alone and names nothing here
    QString expanded;
    for (qsizetype i = 0; i < word.size(); ++i) {
      const QChar c = word.at(i);
      if (c != u'%' || i + 1 == word.size()) {
        expanded += c;
        continue;
      }
      const QChar code = word.at(++i);
      if (code == u'u' || code == u'U') {
        if (!tookURL)
          expanded += address;
        tookURL = true;
      } else if (code == u'c') {
        expanded += name;
      } else if (code == u'k') {
        expanded += path;
      } else if (code == u'%') {
        expanded += u'%';
      }
    }
    if (!expanded.isEmpty() || !word.contains(u'%'))
      arguments.append(expanded);
  }
  if (!tookURL || arguments.isEmpty() || arguments.first().isEmpty())
    return std::nullopt;
  return arguments;
}

bool ZPHDesktopEntry::launchWithURL(const QUrl& url) const
{
  const std::optional<QStringList> commandLine = commandLineForURL(url);
  if (!commandLine.has_value()) {
    qCWarning(zphInterface).noquote() << "the desktop entry" << desktopFileID << "cannot open an address";
    return false;
  }
  QStringList arguments = *commandLine;
  QString program = arguments.takeFirst();
  if (!QFileInfo(program).isAbsolute())
    program = QStandardPaths::findExecutable(program);
  if (program.isEmpty() || !isExecutableProgram(program)) {
    qCWarning(zphInterface).noquote() << "the program of" << desktopFileID << "was not found";
    return false;
  }
  QProcess process;
  process.setProgram(program);
  process.setArguments(arguments);
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  if (!process.startDetached()) {
    qCWarning(zphInterface).noquote() << "could not start" << desktopFileID;
    return false;
  }
  return true;
}

QIcon ZPHDesktopEntry::iconImage() const
{
  if (icon.isEmpty())
    return {};
  if (QFileInfo(icon).isAbsolute())
    return QFileInfo(icon).isFile() ? QIcon(icon) : QIcon();
  return QIcon::fromTheme(icon);
}

int ZPHDesktopEntry::compareNames(const QString& a, const QString& b)
{
  // Runs of digits by value first (the locale's collation may not do it),
  // the rest by the locale's order without case.
  static const QCollator collator = [] {
    QCollator made;
    made.setCaseSensitivity(Qt::CaseInsensitive);
    made.setNumericMode(true);
    return made;
  }();
  qsizetype i = 0;
  qsizetype j = 0;
  while (i < a.size() && j < b.size()) {
    if (a.at(i).isDigit() && b.at(j).isDigit()) {
      qsizetype endA = i;
      qsizetype endB = j;
      while (endA < a.size() && a.at(endA).isDigit()) ++endA;
      while (endB < b.size() && b.at(endB).isDigit()) ++endB;
      QStringView digitsA = QStringView(a).mid(i, endA - i);
      QStringView digitsB = QStringView(b).mid(j, endB - j);
      while (digitsA.size() > 1 && digitsA.front() == u'0') digitsA = digitsA.mid(1);
      while (digitsB.size() > 1 && digitsB.front() == u'0') digitsB = digitsB.mid(1);
      if (digitsA.size() != digitsB.size())
        return digitsA.size() < digitsB.size() ? -1 : 1;
      if (const int order = digitsA.compare(digitsB); order != 0)
        return order;
      i = endA;
      j = endB;
      continue;
    }
    qsizetype endA = i;
    qsizetype endB = j;
    while (endA < a.size() && !a.at(endA).isDigit()) ++endA;
    while (endB < b.size() && !b.at(endB).isDigit()) ++endB;
    if (const int order = collator.compare(QStringView(a).mid(i, endA - i), QStringView(b).mid(j, endB - j));
        order != 0)
      return order;
    i = endA;
    j = endB;
  }
  return (i < a.size()) - (j < b.size());
}
