#include "common/ZPHDesktopEntry.h"

#include "kit/ZPHInterfaceLog.h"

#include <QtCore/QCollator>
#include <QtCore/QDir>
#include <QtCore/QDirIterator>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QHash>
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

QString ZPHDesktopEntry::messagesLocale()
{
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty())
      return value;
  }
  return {};
}

QStringList ZPHDesktopEntry::localeSuffixes(const QString& locale)
{
  // lang_COUNTRY.ENCODING@MODIFIER: the encoding plays no part.
  QString lang = locale;
  QString modifier;
  if (const qsizetype at = lang.indexOf(u'@'); at >= 0) {
    modifier = lang.mid(at + 1);
    lang.truncate(at);
  }
  if (const qsizetype dot = lang.indexOf(u'.'); dot >= 0)
    lang.truncate(dot);
  QString country;
  if (const qsizetype underscore = lang.indexOf(u'_'); underscore >= 0) {
    country = lang.mid(underscore + 1);
    lang.truncate(underscore);
  }
  if (lang.isEmpty() || lang == QLatin1String("C") || lang == QLatin1String("POSIX"))
    return {};
  QStringList suffixes;
  if (!country.isEmpty() && !modifier.isEmpty())
    suffixes.append(lang + u'_' + country + u'@' + modifier);
  if (!country.isEmpty())
    suffixes.append(lang + u'_' + country);
  if (!modifier.isEmpty())
    suffixes.append(lang + u'@' + modifier);
  suffixes.append(lang);
  return suffixes;
}

std::optional<ZPHDesktopEntry> ZPHDesktopEntry::fromFile(const QString& path, const QString& desktopFileID,
                                                         const QString& locale)
{
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > LargestDesktopEntry)
    return std::nullopt;
  ZPHDesktopEntry entry;
  entry.desktopFileID = desktopFileID;
  entry.path = path;
  bool sawGroup = false;
  bool inEntry = false;
  // The names for the locale, best first, and those the entry gives.
  const QStringList suffixes = localeSuffixes(locale);
  QHash<QString, QString> localizedNames;
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
    else if (key.startsWith(QLatin1String("Name[")) && key.endsWith(u']'))
      localizedNames.insert(key.mid(5, key.size() - 6), unescapedValue(value));
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
  for (const QString& suffix : suffixes) {
    const QString localized = localizedNames.value(suffix);
    if (!localized.isEmpty()) {
      entry.name = localized;
      break;
    }
  }
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
  if (isNull() || !isApplication || hidden || noDisplay || programPath().isEmpty())
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
  return commandLineForURL(QUrl(QStringLiteral("https://example.com/"))).has_value();
}

bool ZPHDesktopEntry::isWebBrowser() const
{
  return mimeTypes.contains(QStringLiteral("x-scheme-handler/http")) &&
         categories.contains(QStringLiteral("WebBrowser")) && takesURLs();
}

std::optional<QList<ZPHDesktopEntry::ExecWord>> ZPHDesktopEntry::splitExecWords(const QString& exec)
{
  const QString line = unescapedValue(exec);
  QList<ExecWord> words;
  ExecWord word;
  bool inWord = false;
  bool quoted = false;
  for (qsizetype i = 0; i < line.size(); ++i) {
    const QChar c = line.at(i);
    if (quoted) {
      if (c == u'\\' && i + 1 < line.size()) {
        const QChar next = line.at(i + 1);
        if (next == u'"' || next == u'`' || next == u'$' || next == u'\\') {
          word.text += next;
          ++i;
          continue;
        }
      }
      if (c == u'"') {
        quoted = false;
        continue;
      }
      if (c == u'%' && i + 1 < line.size()) {
        // Only "%%" may stand inside quotes; any other field code there
        // would end up inside a word the program reads as it likes.
        if (line.at(i + 1) != u'%')
          word.fieldCodeInQuotes = true;
        word.text += c;
        word.text += line.at(++i);
        continue;
      }
      word.text += c;
      continue;
    }
    if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r') {
      if (inWord)
        words.append(word);
      word = ExecWord();
      inWord = false;
      continue;
    }
    inWord = true;
    if (c == u'"') {
      quoted = true;
      continue;
    }
    word.text += c;
  }
  if (quoted)
    return std::nullopt;
  if (inWord)
    words.append(word);
  return words;
}

std::optional<QStringList> ZPHDesktopEntry::splitExecLine(const QString& exec)
{
  const std::optional<QList<ExecWord>> words = splitExecWords(exec);
  if (!words.has_value())
    return std::nullopt;
  QStringList texts;
  for (const ExecWord& word : *words) texts.append(word.text);
  return texts;
}

bool ZPHDesktopEntry::isShell(const QString& program)
{
  static const QStringList shells{QStringLiteral("sh"),     QStringLiteral("bash"), QStringLiteral("dash"),
                                  QStringLiteral("zsh"),    QStringLiteral("ksh"),  QStringLiteral("mksh"),
                                  QStringLiteral("fish"),   QStringLiteral("csh"),  QStringLiteral("tcsh"),
                                  QStringLiteral("busybox")};
  return shells.contains(QFileInfo(program).fileName());
}

std::optional<QStringList> ZPHDesktopEntry::commandLineForURL(const QUrl& url) const
{
  const std::optional<QList<ExecWord>> words = splitExecWords(exec);
  if (!words.has_value() || words->isEmpty())
    return std::nullopt;
  const QString address = QString::fromUtf8(url.toEncoded());
  QStringList arguments;
  bool tookURL = false;
  bool afterShell = false;
  for (const ExecWord& word : *words) {
    if (word.fieldCodeInQuotes)
      return std::nullopt;
    const QString& text = word.text;
    if (text == QLatin1String("%u") || text == QLatin1String("%U")) {
      // The address as one argument of its own, once.
      if (!tookURL)
        arguments.append(address);
      tookURL = true;
      continue;
    }
    if (text == QLatin1String("%f") || text == QLatin1String("%F") || text == QLatin1String("%i") ||
        text == QLatin1String("%d") || text == QLatin1String("%D") || text == QLatin1String("%n") ||
        text == QLatin1String("%N") || text == QLatin1String("%v") || text == QLatin1String("%m"))
      continue;  // a code that stands alone and names nothing here
    QString expanded;
    for (qsizetype i = 0; i < text.size(); ++i) {
      const QChar c = text.at(i);
      if (c != u'%' || i + 1 == text.size()) {
        expanded += c;
        continue;
      }
      const QChar code = text.at(++i);
      if (code == u'u' || code == u'U') {
        // Inside a longer word only for a program that is no shell: a
        // shell would read the address as commands.
        if (afterShell || code == u'U')
          return std::nullopt;
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
    if (!expanded.isEmpty() || !text.contains(u'%'))
      arguments.append(expanded);
    afterShell = afterShell || isShell(expanded);
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
