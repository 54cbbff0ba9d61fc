#include "shell/ZPHCommandLine.h"

#include <QtCore/QCommandLineParser>
#include <QtCore/QDir>

#include <cstdio>

namespace {

const QString DataDirectoryVariable = QStringLiteral("ZEPHLIN_DATA_DIR");

// The positional arguments' name in the help.
const QString PositionalName = QStringLiteral("address|file");

struct Options {
  QCommandLineOption dataDirectory{QStringLiteral("data-dir"),
                                   QStringLiteral("Keep data, cache and settings in DIR (default: $ZEPHLIN_DATA_DIR, "
                                                  "else the standard folders)."),
                                   QStringLiteral("DIR")};
  QCommandLineOption screenshot{QStringLiteral("screenshot"),
                                QStringLiteral("Write the window to FILE (PNG) once started, then quit."),
                                QStringLiteral("FILE")};
  QCommandLineOption screenshotState{
      QStringLiteral("screenshot-state"),
      QStringLiteral("With --screenshot: first bring the program into the state described in STATE (JSON)."),
      QStringLiteral("STATE")};
  QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")};
  QCommandLineOption version{QStringLiteral("version"), QStringLiteral("Show the version.")};

  void addTo(QCommandLineParser& parser) const
  {
    parser.setApplicationDescription(
        QStringLiteral("Zephlin, a news-feed reader.\n\n"
                       "When a Zephlin already runs on the same data folder, the addresses and files\n"
                       "go to it: it comes to the front and this start ends."));
    parser.addOptions({dataDirectory, screenshot, screenshotState, help, version});
    parser.addPositionalArgument(
        PositionalName,
        QStringLiteral("A feed: or zephlin://add/ address, an http or https address, or an OPML file (a path or a "
                       "file: URL). Zephlin comes to the front and selects a site you already have; another address "
                       "opens the Add Site window, and the file's sites are imported."),
        QStringLiteral("[%1...]").arg(PositionalName));
  }
};

}  // namespace

QString ZPHCommandLine::dataFolder() const
{
  return dataDirectory.isEmpty() ? QString() : QDir(dataDirectory).filePath(QStringLiteral("data"));
}

QString ZPHCommandLine::cacheFolder() const
{
  return dataDirectory.isEmpty() ? QString() : QDir(dataDirectory).filePath(QStringLiteral("cache"));
}

QString ZPHCommandLine::settingsFolder() const { return dataDirectory; }

std::optional<ZPHCommandLine> ZPHCommandLine::parse(const QStringList& arguments,
                                                    const QProcessEnvironment& environment, QString* errorMessage)
{
  const Options options;
  QCommandLineParser parser;
  options.addTo(parser);
  if (!parser.parse(arguments)) {
    if (errorMessage)
      *errorMessage = parser.errorText();
    return std::nullopt;
  }
  ZPHCommandLine commandLine;
  commandLine.helpRequested = parser.isSet(options.help);
  commandLine.versionRequested = parser.isSet(options.version);
  commandLine.positionalArguments = parser.positionalArguments();

  QString directory = parser.value(options.dataDirectory);
  if (!parser.isSet(options.dataDirectory))
    directory = environment.value(DataDirectoryVariable);
  else if (directory.isEmpty()) {
    if (errorMessage)
      *errorMessage = QStringLiteral("--data-dir wants a folder");
    return std::nullopt;
  }
  if (!directory.isEmpty())
    commandLine.dataDirectory = QDir::cleanPath(QDir(directory).absolutePath());

  if (parser.isSet(options.screenshot)) {
    if (parser.value(options.screenshot).isEmpty()) {
      if (errorMessage)
        *errorMessage = QStringLiteral("--screenshot wants a file");
      return std::nullopt;
    }
    commandLine.screenshotPath = QDir(parser.value(options.screenshot)).absolutePath();
  }
  if (parser.isSet(options.screenshotState)) {
    if (parser.value(options.screenshotState).isEmpty() || commandLine.screenshotPath.isEmpty()) {
      if (errorMessage)
        *errorMessage = QStringLiteral("--screenshot-state wants a file, and --screenshot");
      return std::nullopt;
    }
    commandLine.screenshotStatePath = QDir(parser.value(options.screenshotState)).absolutePath();
  }
  return commandLine;
}

QStringList ZPHCommandLine::argumentsOfMain(int argc, const char* const* argv)
{
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
  return arguments;
}

bool ZPHCommandLine::answerInformationRequest() const
{
  if (helpRequested)
    std::fputs(qPrintable(helpText()), stdout);
  else if (versionRequested)
    std::printf("Zephlin %s\n", ZEPHLIN_VERSION);
  else
    return false;
  std::fflush(stdout);
  return true;
}

QString ZPHCommandLine::helpText()
{
  const Options options;
  QCommandLineParser parser;
  options.addTo(parser);
  // The parser takes the program's name from the application object, which
  // need not exist yet: the usage line is ours.
  const QString text = parser.helpText();
  return QStringLiteral("Usage: zephlin [options] [%1...]").arg(PositionalName) + text.mid(text.indexOf(u'\n'));
}
